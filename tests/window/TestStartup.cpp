#include "tests/support/TestSupport.h"
#include "window/Form1.h"

#include <QTemporaryDir>
#include <QTest>

// Start-up: the idle state and the birthday list.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void idleState();
    void birthdayList_data();
    void birthdayList();
    void listLinesInTableOrder();
    void noValueFails_data();
    void noValueFails();
    void unreadableFileFails();

private:
    QStringList listFor(const QList<MemberRecord>& rows, QDate today, StoreStatus* failure = nullptr);
};

QStringList TestStartup::listFor(const QList<MemberRecord>& rows, QDate today, StoreStatus* failure)
{
    QTemporaryDir dir;
    const MemberStore store(createMemberFile(dir, rows));
    Form1 form;
    const StoreStatus result = form.Form_Load(store, FixedClock(today));
    if (failure)
        *failure = result;
    return form.List1.items();
}

void TestStartup::idleState()
{
    QTemporaryDir dir;
    const MemberStore store(memberFileFromFixture(dir, QStringLiteral("members.sql")));
    Form1 form;
    QCOMPARE(form.Form_Load(store, FixedClock(QDate(2026, 3, 10))), std::nullopt);

    for (Control* c : {&form.Command1, &form.Command5, &form.Command6, &form.Command3})
        QVERIFY2(c->isEnabled() && c->isVisible(), c->spec().name);
    for (Control* c : {&form.command2, &form.Command9, &form.Command4, &form.Command7, &form.Command8, &form.Command10,
                       &form.Command11})
        QVERIFY2(!c->isEnabled() && !c->isVisible(), c->spec().name);
    for (Control* box : form.memberBoxes()) {
        QVERIFY2(!box->isEnabled() && box->isVisible(), box->spec().name);
        QVERIFY2(box->text().isEmpty(), box->spec().name);
        QCOMPARE(box->backColor(), std::optional<Rgb>(Form1::kLightYellow));
    }
    for (Control* c : {&form.Text52, &form.Text3, &form.Text5, &form.Text6, &form.Text7, &form.Text9, &form.Text8,
                       &form.Data1, &form.cumple, &form.Label12, &form.Label5})
        QVERIFY2(!c->isVisible(), c->spec().name);
    QVERIFY(!form.Text52.isEnabled());
    QCOMPARE(form.Text52.text(), QStringLiteral("CÓDIGO"));

    // "elegir proceso" is the only message label shown.
    for (Control* c : {&form.Label29, &form.Label36, &form.Label18, &form.Label35, &form.Label14, &form.Label17,
                       &form.Label37, &form.Label5, &form.Label28, &form.Label12})
        QCOMPARE(c->isVisible(), c == &form.Label29);
    QVERIFY(!form.List1.isEnabled());
    QCOMPARE(form.List1.items(), QStringList{"Ana\t\t Ruiz Gómez\t 0001\t3"});
    QCOMPARE(form.focusErrors(), 0);
}

void TestStartup::birthdayList_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("birth");
    QTest::addColumn<int>("days"); // 0: not listed

    const QDate march10(2026, 3, 10);
    QTest::newRow("today") << march10 << "10/03/1980" << 0;
    QTest::newRow("tomorrow") << march10 << "11/03/1980" << 1;
    QTest::newRow("in nine days") << march10 << "19/03/1980" << 9;
    QTest::newRow("in ten days") << march10 << "20/03/1980" << 0;
    QTest::newRow("yesterday") << march10 << "09/03/1980" << 0;
    QTest::newRow("across a month end") << QDate(2026, 4, 28) << "03/05/1999" << 5;
    QTest::newRow("next January is next year") << QDate(2026, 12, 28) << "02/01/1990" << 0;
    QTest::newRow("29 February in a leap year") << QDate(2028, 2, 25) << "29/02/1992" << 4;
    QTest::newRow("29 February in a common year") << QDate(2026, 2, 25) << "29/02/1992" << 0;
    QTest::newRow("year of birth in the future") << march10 << "12/03/2031" << 2;
    QTest::newRow("empty mark") << march10 << "*****" << 0;
    QTest::newRow("no birth date") << march10 << "00/00/0000" << 0;
    QTest::newRow("only a year") << march10 << "00/00/1990" << 0;
    QTest::newRow("day 31 in April") << QDate(2026, 4, 25) << "31/04/1990" << 0;
    QTest::newRow("month 13") << march10 << "12/13/1990" << 0;
    QTest::newRow("parts not two digits") << march10 << "1/3/1990" << 0;
    QTest::newRow("letters") << march10 << "ab/cd/efgh" << 0;
    QTest::newRow("empty text") << march10 << "" << 0;
    QTest::newRow("date only") << march10 << "12/03" << 2;
}

void TestStartup::birthdayList()
{
    QFETCH(QDate, today);
    QFETCH(QString, birth);
    QFETCH(int, days);
    const QStringList lines = listFor({sampleMember(QStringLiteral("0007"), QStringLiteral("Ana"), birth)}, today);
    QCOMPARE(lines, days ? QStringList{QStringLiteral("Ana\t\t Ruiz Gómez\t 0007\t%1").arg(days)} : QStringList{});
}

void TestStartup::listLinesInTableOrder()
{
    auto member = [](const QString& card, const QString& nombre, const QString& apellidos, const QString& birth) {
        MemberRecord m = sampleMember(card, nombre, birth);
        m.apellidos = apellidos;
        return m;
    };
    const QList<MemberRecord> rows = {
        member("1234567", "Begoña", "Martín", "15/03/1970"),              // 6 characters, long card
        member("0002", "Ana María", "Oñate", "11/03/1960"),               // 9 characters
        member("0003", "Marisol", "Fernández-Ibáñez Ruiz", "15/03/1970"), // 7; 21 cut to 17
        member("0004", "*****", "*****", "12/03/1985"),                   // empty marks listed as they are
        member("0005", "Maximiliano José Luis", "Sanz", "30/03/1985"),    // not listed
        member("0006", "Ñ", "😀😀😀😀😀😀😀😀", "13/03/2000"),                    // 8 characters outside the BMP
    };
    QCOMPARE(listFor(rows, QDate(2026, 3, 10)), (QStringList{
                                                    "Begoña\t\t Martín\t\t 1234\t5",
                                                    "Ana María\t Oñate\t\t 0002\t1",
                                                    "Marisol\t\t Fernández-Ibáñez \t 0003\t5",
                                                    "*****\t\t *****\t\t 0004\t2",
                                                    "Ñ\t\t 😀😀😀😀😀😀😀😀\t 0006\t3",
                                                }));
}

void TestStartup::noValueFails_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("birth");
    QTest::addColumn<bool>("fails");

    QTest::newRow("birth date of any row") << "fnacimiento"
                                           << "01/01/1980" << true;
    QTest::newRow("name of a listed row") << "nombre"
                                          << "12/03/1980" << true;
    QTest::newRow("card of a listed row") << "ntarjeta"
                                          << "12/03/1980" << true;
    QTest::newRow("name of a row not listed") << "nombre"
                                              << "01/01/1980" << false;
}

void TestStartup::noValueFails()
{
    QFETCH(QString, field);
    QFETCH(QString, birth);
    QFETCH(bool, fails);
    QTemporaryDir dir;
    const QString path = createMemberFile(dir, {sampleMember(QStringLiteral("0001"), QStringLiteral("Ana"), birth)});
    execSql(path, QStringLiteral("UPDATE ficha SET %1 = NULL").arg(field));
    Form1 form;
    const StoreStatus failure = form.Form_Load(MemberStore(path), FixedClock(QDate(2026, 3, 10)));
    QCOMPARE(failure.has_value(), fails);
    if (fails) {
        QCOMPARE(failure->kind, StoreError::Kind::NoValue);
        QCOMPARE(failure->detail, field);
    }
}

void TestStartup::unreadableFileFails()
{
    QTemporaryDir dir;
    const QString path = createMemberFile(dir, {sampleMember(QStringLiteral("0001"))});
    execSql(path, QStringLiteral("DROP TABLE ficha"));
    Form1 form;
    const StoreStatus failure = form.Form_Load(MemberStore(path), FixedClock(QDate(2026, 3, 10)));
    QVERIFY(failure);
    QVERIFY(failure->detail.contains(QLatin1String("ficha")));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
