#include "tests/support/OperationFixture.h"
#include "tests/support/TestStore.h"

#include <QProcess>
#include <QTest>

// One till: the window model, the operations and the store in a process of its own (socios-test-helper till).
class Till
{
public:
    explicit Till(const QString& path) { m_process.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"till", path}); }
    // A till ends at the end of its input; one that does not is killed.
    ~Till()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(5000);
    }

    // Sends a command without waiting for it, so that two tills can act at once: "click newMemberButton 0040" (the card
    // number prompt's answers follow the control) or "set nameBox Rosa".
    Till& send(const QString& command)
    {
        m_process.write((command + QLatin1Char('\n')).toUtf8());
        return *this;
    }
    // The window after the command: "window | boxes" as OperationFixture writes them, then the messages shown.
    QString finish()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return QStringLiteral("the till stopped");
        return QString::fromUtf8(m_process.readLine()).chopped(1);
    }
    QString run(const QString& command) { return send(command).finish(); }

private:
    QProcess m_process;
};

const QString kIdleTill = kIdle + " | ";

// Two tills on one member file, or on one server.
class TestTills : public QObject
{
    Q_OBJECT

    std::optional<TestStore> m_store;

private slots:
    void init() { m_store.emplace().createFromFixture(QStringLiteral("members.sql")); }

    void sameNewNumberAtOnceThenChanges()
    {
        Till tills[2] = {Till(m_store->uri()), Till(m_store->uri())};
        for (Till& till : tills) {
            QCOMPARE(till.run("click newMemberButton 0040"),
                     "fillInDataNote saveNewMemberButton leaveNewMemberButton edit @nameBox | cardNumberBox=0040");
            till.run("set nameBox Nueva");
        }
        for (Till& till : tills)
            till.send("click saveNewMemberButton");
        const QStringList after = {tills[0].finish(), tills[1].finish()};

        // One till saved; the other was refused inside its write: it says that the number is taken, and leaves.
        QCOMPARE(m_store->allRows().size(), 7);
        const int refused = after[0] == kIdleTill ? 1 : 0;
        QCOMPARE(after[1 - refused], kIdleTill);
        QVERIFY2(after[refused].startsWith("numberTakenNote saveNewMemberButton leaveNewMemberButton edit @nameBox | "),
                 qPrintable(after[refused]));
        QCOMPARE(tills[refused].run("click leaveNewMemberButton"), kIdleTill);

        // Each till sees what the other saves.
        QVERIFY(tills[refused].run("click editMemberButton 0040").contains(" | nameBox=Nueva surnameBox:red"));
        tills[refused].run("set nameBox Nueva María");
        tills[refused].run("click saveEditedMemberButton");
        QVERIFY(tills[1 - refused].run("click addPointsButton 0040").contains(" | nameBox=Nueva María surnameBox:red"));
    }

    void pointsAddedAtOnce()
    {
        Till first(m_store->uri()), second(m_store->uri());
        first.run("click addPointsButton 0001");
        second.run("click addPointsButton ñ0001");
        first.run("set amountBox 5");
        second.run("set amountBox 7");
        first.send("click addAmountButton"); // both at once
        second.send("click addAmountButton").finish();
        first.finish();
        QCOMPARE(m_store->allRows().first().puntos, " 162"); // 150 + 5 + 7: neither addition lost
        // Two records whose balances chain, whichever till came first.
        const std::vector<Movement> changes = MemberStore(m_store->address()).history("0001").value();
        QCOMPARE(changes.size(), 2u);
        QCOMPARE(changes[0].antes, " 150");
        QCOMPARE(changes[0].despues, changes[1].antes);
        QCOMPARE(changes[1].despues, " 162");
        QCOMPARE(QSet<QString>({changes[0].cantidad, changes[1].cantidad}), QSet<QString>({" 5", " 7"}));
    }

    void editNeverUndoesPointsAddedMeanwhile()
    {
        Till editor(m_store->uri()), cashier(m_store->uri());
        editor.run("click editMemberButton 0001"); // shows a balance of 150
        cashier.run("click addPointsButton 0001");
        cashier.run("set amountBox 50");
        cashier.run("click addAmountButton");
        editor.run("set phoneBox 600 000 000");

        // Nothing saved: told why, and shown what is stored now, still editing.
        const QString refused = editor.run("click saveEditedMemberButton");
        QVERIFY2(refused.startsWith("changeDataNote saveEditedMemberButton leaveEditButton edit @nameBox | ") &&
                     refused.contains("pointsBox= 200") && refused.contains("phoneBox=915 555 123") &&
                     refused.contains("Otra caja"),
                 qPrintable(refused));
        QCOMPARE(m_store->allRows().first().puntos, " 200");

        // The change made again is saved, with the points kept.
        editor.run("set phoneBox 600 000 000");
        QCOMPARE(editor.run("click saveEditedMemberButton"), "chooseOperationNote ops @queryButton | ");
        const MemberRecord saved = m_store->allRows().first();
        QVERIFY(saved.telefono == "600 000 000" && saved.puntos == " 200");
    }
};

QTEST_GUILESS_MAIN(TestTills)
#include "TestTills.moc"
