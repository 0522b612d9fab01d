#include "tests/support/OperationFixture.h"

#include <QFile>
#include <QTest>

// Another program removes the member's row.
const QString kRowGone = QStringLiteral("DELETE FROM ficha WHERE ntarjeta = '0001'");

// The member file breaks, or another program removes the member's row, in the middle of an operation: the
// operator is told and nothing is written. A lookup that fails leaves the window idle with empty, locked,
// light-yellow boxes; a save that fails keeps the operation open with what the operator typed, to save again.
class TestOperationFailures : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

private slots:
    void init() { t.emplace(); }

    void failure_data()
    {
        // finish: clicked after the card entry; empty: the file breaks at its 2nd prompt.
        // after: the window left; empty: idle, with empty boxes.
        const DataTable<QString, QStringList, QString, QString, QString> row("button", "answers", "finish", "sabotage",
                                                                             "after");
        const QStringList query = {"0007", "0001", "*"};
        row("Consulta: file removed", "queryButton", query, "", "remove", "");
        row("Consulta: file replaced by text", "queryButton", query, "", "replace", "");
        row("Consulta: table dropped", "queryButton", query, "", "DROP TABLE ficha", "");
        row("Consulta: file removed as * is entered", "queryButton", QStringList{"0007", "*"}, "", "remove", "");
        row("Añadir Puntos: file removed as * is entered", "addPointsButton", QStringList{"9999", "*"}, "", "remove",
            "");
        row("Alta: file removed at the check", "newMemberButton", {"0001", "0030"}, "", "remove", "");
        row("salvar: table dropped", "newMemberButton", {"0030"}, "saveNewMemberButton", "DROP TABLE ficha",
            "fillInDataNote saveNewMemberButton leaveNewMemberButton edit @nameBox");
        row("Modificar: file removed at the lookup", "editMemberButton", {"9999", "0001", "*"}, "", "remove", "");
        row("Salvar registro: table dropped", "editMemberButton", {"0001"}, "saveEditedMemberButton",
            "DROP TABLE ficha", "changeDataNote saveEditedMemberButton leaveEditButton edit @nameBox");
        row("Salvar registro: row gone", "editMemberButton", {"0001"}, "saveEditedMemberButton", kRowGone, "");
        row("añadir puntos: row gone", "addPointsButton", {"0001"}, "addAmountButton", kRowGone, "");
        row("añadir puntos: table dropped", "addPointsButton", {"0001"}, "addAmountButton", "DROP TABLE ficha",
            "addAmountButton leavePointsButton resetPointsButton amountBox @amountBox");
    }

    void failure()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, answers);
        QFETCH(QString, finish);
        QFETCH(QString, sabotage);
        QFETCH(QString, after);
        QByteArray bytes;
        auto breakFile = [&] {
            QFile file(t->path);
            if (sabotage == "remove")
                QVERIFY(file.remove());
            else if (sabotage == "replace")
                QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("no es una base de datos"));
            else
                execSql(t->path, sabotage);
            file.close();
            bytes = fileBytes(t->path);
        };
        t->prompt.setBeforeEachAnswer([&](int asked) {
            if (asked == 1 && finish.isEmpty())
                breakFile();
        });
        t->click(*t->form.find(button), answers);
        if (finish == "saveNewMemberButton" || finish == "saveEditedMemberButton")
            t->type({"nameBox=Ana", "birthDayBox=5", "birthMonthBox=3", "birthYearBox=1980", "phoneBox="});
        const QStringList typed = t->boxes();
        if (!finish.isEmpty()) {
            breakFile();
            t->form.find(finish)->click();
        }

        const bool vanished = sabotage == kRowGone;
        QCOMPARE(t->messages.notices, vanished ? QStringList{"no existe este número de tarjeta"} : QStringList());
        QCOMPARE(t->messages.failures.size(), vanished ? 0 : 1);
        for (const StoreError& failure : t->messages.failures) {
            QCOMPARE(failure.path, t->path);
            if (sabotage.startsWith("DROP")) // told as a file that is not a member file any more
                QCOMPARE(failure.cause, StoreError::Cause::NotMemberFile);
        }
        QCOMPARE(fileBytes(t->path), bytes);
        QCOMPARE(t->window(), after.isEmpty() ? kIdle : after);
        QCOMPARE(t->boxes(), after.isEmpty() ? QStringList() : typed);
        // The message shows over the boxes as they stay, never over the forms the save made of them.
        QCOMPARE(t->behindMessages, QList<QStringList>{t->boxes()});

        // Nothing of the interrupted card entry is left over: the next operation asks for a card number again.
        if (after.isEmpty()) {
            t->prompt.setBeforeEachAnswer({});
            t->prompt.lastPrompt.clear();
            t->click(t->form.queryButton, {"*"});
            QVERIFY(!t->prompt.lastPrompt.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestOperationFailures)
#include "TestOperationFailures.moc"
