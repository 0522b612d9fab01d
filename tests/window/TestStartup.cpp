#include "tests/support/OperationFixture.h"

#include <QTest>

// Start-up: the idle state, the birthday list, and the failures of the member file that stop it.
class TestStartup : public QObject
{
    Q_OBJECT

    // The birthday list that start-up shows on `today` for a file holding `rows` changed by `sql`; or its failure,
    // with "F" for the file's path, and the card of the row when it is known.
    static QStringList listFor(const QList<MemberRecord>& rows, QDate today, const QString& sql = {})
    {
        QTemporaryDir dir;
        const QString path = createMemberFile(dir, rows);
        if (!sql.isEmpty())
            execSql(path, sql);
        Form1 form;
        const StoreResult<void> loaded = form.load(MemberStore(path), FixedClock(today));
        if (loaded)
            return form.birthdayList.items();
        return {loaded.error().toString().replace(path, "F") +
                (loaded.error().card.isEmpty() ? "" : ", card " + loaded.error().card)};
    }

private slots:
    void idleState()
    {
        OperationFixture t; // start-up on 10 March 2026, with tests/data/members.sql
        QCOMPARE(t.window(), kIdle);
        QCOMPARE(t.boxes(), QStringList());
        for (const Control* c :
             {&t.form.cardEntryBox, &t.form.spareBirthDateBox, &t.form.spareCardBox, &t.form.spareDateBox,
              &t.form.spareFlagBox, &t.form.spareActionsBox, &t.form.dataControl, &t.form.birthdayGreetingNote})
            QVERIFY2(!c->isVisible(), c->design().name);
        QVERIFY(!t.form.cardEntryBox.isEnabled() && !t.form.birthdayList.isEnabled() &&
                t.form.birthdayList.isVisible());
    }

    void oneMember_data()
    {
        // listed: the days left; empty: not listed; else the failure. sql: changes the file first.
        const DataTable<QDate, QString, QString, QString> row("today", "birth", "listed", "sql");
        const QDate march10(2026, 3, 10);
        row("today", march10, "10/03/1980", "", "");
        row("tomorrow", march10, "11/03/1980", "1", "");
        row("in nine days", march10, "19/03/1980", "9", "");
        row("in ten days", march10, "20/03/1980", "", "");
        row("yesterday", march10, "09/03/1980", "", "");
        row("across a month end", QDate(2026, 4, 28), "03/05/1999", "5", "");
        row("next January is next year", QDate(2026, 12, 28), "02/01/1990", "", "");
        row("29 February in a leap year", QDate(2028, 2, 25), "29/02/1992", "4", "");
        row("29 February in a common year", QDate(2026, 2, 25), "29/02/1992", "", "");
        row("no birth date", march10, "00/00/0000", "", "");
        row("day 31 in April", QDate(2026, 4, 25), "31/04/1990", "", "");
        row("parts not two digits", march10, "1/3/1990", "", "");
        row("date only", march10, "12/03", "2", "");
        row("no birth date value in any row", march10, "01/01/1980", "no value in field F: fnacimiento, card 0007",
            "UPDATE ficha SET fnacimiento = NULL");
        row("no name in a listed row", march10, "12/03/1980", "no value in field F: nombre, card 0007",
            "UPDATE ficha SET nombre = NULL");
        row("no card in a listed row", march10, "12/03/1980", "no value in field F: ntarjeta",
            "UPDATE ficha SET ntarjeta = NULL");
        row("no name in a row not listed", march10, "01/01/1980", "", "UPDATE ficha SET nombre = NULL");
        row("no table", march10, "12/03/1980", "cannot open F: no such table: ficha", "DROP TABLE ficha");
    }

    void oneMember()
    {
        QFETCH(QDate, today);
        QFETCH(QString, birth);
        QFETCH(QString, sql);
        QFETCH(QString, listed);
        const QStringList lines = listFor({sampleMember("0007", "Ana", birth)}, today, sql);
        QCOMPARE(lines, listed.isEmpty() ? QStringList()
                        : listed.toInt() ? QStringList{"Ana\t\t Ruiz Gómez\t 0007\t" + listed}
                                         : QStringList{listed});
    }

    void linesInTableOrder()
    {
        auto member = [](const QString& card, const QString& nombre, const QString& apellidos, const QString& birth) {
            return OperationFixture::changed(sampleMember(card, nombre, birth), {"apellidos=" + apellidos});
        };
        const QList<MemberRecord> rows = {
            member("1234567", "Begoña", "Martín", "15/03/1970"),              // 6 characters, long card
            member("0002", "Ana María", "Oñate", "11/03/1960"),               // 9 characters
            member("0003", "Marisol", "Fernández-Ibáñez Ruiz", "15/03/1970"), // 7; 21 cut to 17
            member("0004", "*****", "*****", "12/03/1985"),                   // empty marks listed as they are
            member("0005", "Maximiliano José Luis", "Sanz", "30/03/1985"),    // not listed
            member("0006", "Ñ", "😀😀😀😀", "13/03/2000"), // 4 characters outside the BMP, 8 UTF-16 units
        };
        QCOMPARE(listFor(rows, QDate(2026, 3, 10)),
                 (QStringList{"Begoña\t\t Martín\t\t 1234\t5", "Ana María\t Oñate\t\t 0002\t1",
                              "Marisol\t\t Fernández-Ibáñez \t 0003\t5", "*****\t\t *****\t\t 0004\t2",
                              "Ñ\t\t 😀😀😀😀\t\t 0006\t3"}));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
