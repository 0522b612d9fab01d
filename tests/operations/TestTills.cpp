#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// One till: a process of its own running the window model, the operations and the store on a shared file.
class Till
{
public:
    explicit Till(const QString& path)
    {
        m_process.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"till", path});
        m_started = m_process.waitForStarted() && nextLine() == "ready";
    }
    ~Till()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    bool started() const { return m_started; }

    // Sends a command without waiting for it, so that two tills can act at once.
    void send(const QString& command) { m_process.write((command + QLatin1Char('\n')).toUtf8()); }

    // Reads to the end of the command, answering each card number prompt with the next of `answers`.
    // Returns the lines the command printed (messages, shown controls).
    QStringList finish(QStringList answers = {})
    {
        QStringList lines;
        for (QString line = nextLine(); line != QLatin1String("done") && !line.isNull(); line = nextLine()) {
            if (line == QLatin1String("prompt"))
                send(answers.isEmpty() ? QStringLiteral("*") : answers.takeFirst());
            else
                lines << line;
        }
        return lines;
    }

    QStringList run(const QString& command, const QStringList& answers = {})
    {
        send(command);
        return finish(answers);
    }

    // "visible TEXT" or "hidden TEXT".
    QString show(const QString& control) { return run(QStringLiteral("show ") + control).value(0); }

private:
    QString nextLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return {};
        return QString::fromUtf8(m_process.readLine()).chopped(1);
    }

    QProcess m_process;
    bool m_started = false;
};

// Two tills on one member file.
class TestTills : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sameNewNumberAtOnce();
    void pointsAddedAtOnce();
    void changesReachTheOtherTill();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestTills::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
}

void TestTills::sameNewNumberAtOnce()
{
    Till first(m_path), second(m_path);
    QVERIFY(first.started() && second.started());
    for (Till* till : {&first, &second}) {
        QCOMPARE(till->run(QStringLiteral("click Command5"), {"0040"}), QStringList());
        till->run(QStringLiteral("set Text25 Nueva"));
    }
    first.send(QStringLiteral("click command2"));
    second.send(QStringLiteral("click command2"));
    first.finish();
    second.finish();

    int rows = 0;
    for (const MemberRecord& row : allRows(m_path))
        rows += row.ntarjeta == QLatin1String("0040");
    QCOMPARE(rows, 1);
    // One till saved; the other was refused inside its write and says the number is taken.
    Till& refused = first.show(QStringLiteral("Label14")).startsWith(QLatin1String("visible")) ? first : second;
    Till& saved = &refused == &first ? second : first;
    QVERIFY(saved.show(QStringLiteral("Label29")).startsWith(QLatin1String("visible")));
    QVERIFY(refused.show(QStringLiteral("Label14")).startsWith(QLatin1String("visible")));
    QVERIFY(refused.show(QStringLiteral("Label17")).startsWith(QLatin1String("hidden")));
    refused.run(QStringLiteral("click Command9"));
    QVERIFY(refused.show(QStringLiteral("Label14")).startsWith(QLatin1String("hidden")));
    QVERIFY(refused.show(QStringLiteral("Label29")).startsWith(QLatin1String("visible")));
}

void TestTills::pointsAddedAtOnce()
{
    Till first(m_path), second(m_path);
    QVERIFY(first.started() && second.started());
    first.run(QStringLiteral("click Command6"), {"0001"});
    second.run(QStringLiteral("click Command6"), {"ñ0001"});
    first.run(QStringLiteral("set Text8 5"));
    second.run(QStringLiteral("set Text8 7"));
    first.send(QStringLiteral("click Command4"));
    second.send(QStringLiteral("click Command4"));
    first.finish();
    second.finish();
    QCOMPARE(allRows(m_path).first().puntos, QStringLiteral(" 162")); // 150 + 5 + 7: neither addition lost
}

void TestTills::changesReachTheOtherTill()
{
    Till first(m_path), second(m_path);
    QVERIFY(first.started() && second.started());
    first.run(QStringLiteral("click Command5"), {"0050"});
    first.run(QStringLiteral("set Text25 Rosa"));
    first.run(QStringLiteral("click command2"));

    second.run(QStringLiteral("click Command3"), {"0050"});
    QCOMPARE(second.show(QStringLiteral("Text25")), QStringLiteral("visible Rosa"));
    second.run(QStringLiteral("set Text25 Rosa María"));
    second.run(QStringLiteral("click Command10"));

    first.run(QStringLiteral("click Command6"), {"0050"});
    QCOMPARE(first.show(QStringLiteral("Text25")), QStringLiteral("visible Rosa María"));
}

QTEST_GUILESS_MAIN(TestTills)
#include "TestTills.moc"
