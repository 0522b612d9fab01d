#include "operations/CardOperations.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

// "Añadir Puntos": finding the member, then adding, resetting or leaving.
class TestPoints : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void finishing_data();
    void finishing();
    void findingTheMember_data();
    void findingTheMember();
    void duplicatesAddToTheFirstRow();
    void sumOutOfRangeIsRefused_data();
    void sumOutOfRangeIsRefused();
    void rowGoneOrFileBroken_data();
    void rowGoneOrFileBroken();

private:
    // Opens the file and finds `card` through "Añadir Puntos".
    void start(const QList<MemberRecord>& rows, const QString& card);
    void verifyIdle(bool memberShown) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<MemberStore> m_store;
    std::unique_ptr<Form1> m_form;
    FakePrompt m_prompt;
    FakeMessages m_messages;
    std::unique_ptr<CardOperations> m_operations;
};

void TestPoints::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompt = FakePrompt();
    m_messages = FakeMessages();
}

void TestPoints::start(const QList<MemberRecord>& rows, const QString& card)
{
    m_path =
        rows.isEmpty() ? memberFileFromFixture(*m_dir, QStringLiteral("members.sql")) : createMemberFile(*m_dir, rows);
    m_store = std::make_unique<MemberStore>(m_path);
    m_form = std::make_unique<Form1>();
    QCOMPARE(m_form->Form_Load(*m_store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    m_operations = std::make_unique<CardOperations>(*m_form, *m_store, m_prompt, m_messages);
    m_operations->connectHandlers();
    m_prompt.setAnswers({card});
    m_form->Command6.click();
    QVERIFY(m_form->Text8.hasFocus());
}

void TestPoints::verifyIdle(bool memberShown) const
{
    const Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(button->isEnabled());
    for (const Control* control : {&f.Command4, &f.Command7, &f.Command8, &f.Text8})
        QVERIFY(!control->isVisible());
    QCOMPARE(f.Text8.text(), QString());
    for (const Control* label :
         {&f.Label14, &f.Label17, &f.Label18, &f.Label28, &f.Label35, &f.Label36, &f.Label37, &f.Label5})
        QVERIFY(!label->isVisible());
    QVERIFY(f.Label29.isVisible());
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.Text4.text().isEmpty(), !memberShown);
    for (Control* box : f.memberBoxes())
        QVERIFY(!box->isEnabled());
    QCOMPARE(f.focusErrors(), 0);
}

void TestPoints::finishing_data()
{
    QTest::addColumn<QString>("balance");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("stored");

    // One line per case: name, balance stored, amount typed, button pressed, balance stored afterwards.
    auto row = [](const char* name, const char* balance, const char* amount, const char* button, const char* stored) {
        QTest::newRow(name) << QString(balance) << QString(amount) << QString(button) << QString(stored);
    };
    row("10 + 5", "10", "5", "Command4", " 15");
    row("15 + 2.5", "15", "2.5", "Command4", " 17.5");
    row("decimal comma counts the whole part", "15", "2,5", "Command4", " 17");
    row("letters count 0", "15", "diez", "Command4", " 15");
    row("empty amount counts 0", "15", "", "Command4", " 15");
    row("below zero", "15", "-20", "Command4", "-5");
    row("empty mark + 5", "*****", "5", "Command4", " 5");
    row("fifteen significant digits", ".1", ".2", "Command4", " .3");
    row("blanks inside the amount", " 150", "1 000", "Command4", " 1150");
    row("reset", " 150", "25", "Command8", "0");
    row("reset of the empty mark", "*****", "", "Command8", "0");
    row("leave", " 150", "25", "Command7", " 150");
}

void TestPoints::finishing()
{
    QFETCH(QString, balance);
    QFETCH(QString, amount);
    QFETCH(QString, button);
    QFETCH(QString, stored);
    MemberRecord member = sampleMember(QStringLiteral("0001"));
    member.puntos = balance;
    start({sampleMember(QStringLiteral("0002")), member}, QStringLiteral("0001"));
    const Rgb shownColour = *m_form->Text2.backColor();
    QCOMPARE(shownColour, balance == kEmptyMark ? Form1::kRed : Form1::kLightYellow);

    m_form->Text8.setText(amount);
    m_form->find(button)->click();

    const QList<MemberRecord> rows = allRows(m_path);
    QCOMPARE(rows.at(1).puntos, stored);
    QCOMPARE(rows.at(0), sampleMember(QStringLiteral("0002")));
    // The stored text is shown, on the colour the balance was shown with.
    QCOMPARE(m_form->Text2.text(), button == QLatin1String("Command7") ? balance : stored);
    QCOMPARE(*m_form->Text2.backColor(), shownColour);
    QCOMPARE(m_form->Text25.text(), member.nombre);
    verifyIdle(true);
    QVERIFY(m_messages.notices.isEmpty() && m_messages.failures.isEmpty());
}

void TestPoints::findingTheMember_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("found"); // empty: left with "*"

    QTest::newRow("leave at once") << QStringList{"*"} << "";
    QTest::newRow("ñ then leave") << QStringList{"ñ*"} << "";
    QTest::newRow("card reader") << QStringList{"ñ0001"} << "0001";
    QTest::newRow("not found, cancelled, then found") << QStringList{"ññ0001", "", "0012"} << "0012";
    QTest::newRow("not found, then leave") << QStringList{"1", "*"} << "";
    QTest::newRow("card number holding the empty mark") << QStringList{"*****", "*"} << "";
}

void TestPoints::findingTheMember()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, found);
    start({sampleMember(QStringLiteral("0001")), sampleMember(QStringLiteral("0012")), sampleMember(kEmptyMark)},
          QStringLiteral("0001"));
    m_operations->Command7_Click(); // a member left on screen by an earlier operation
    const QList<MemberRecord> before = allRows(m_path);
    Form1& f = *m_form;
    const int askedBefore = m_prompt.asked();
    m_prompt.setAnswers(answers);
    m_prompt.setBeforeEachAnswer([&](int asked) {
        for (Control* button : f.operationButtons())
            QVERIFY(!button->isEnabled());
        QVERIFY(f.Label18.isVisible() && !f.Label29.isVisible());
        // After a pass that found nothing: "no existe ..." instead of the request.
        const bool afterAPass = asked > askedBefore;
        QCOMPARE(f.Label35.isVisible(), afterAPass);
        QCOMPARE(f.Label36.isVisible(), !afterAPass);
        if (afterAPass)
            QCOMPARE(f.Text4.text(), QString());
    });
    f.Command6.click();

    QCOMPARE(m_prompt.asked() - askedBefore, answers.size());
    QCOMPARE(f.Text4.text(), found);
    QCOMPARE(f.Text52.text(), QString());
    for (Control* label : {&f.Label14, &f.Label17, &f.Label18, &f.Label28, &f.Label35, &f.Label36})
        QVERIFY(!label->isVisible());
    if (found.isEmpty()) {
        verifyIdle(false);
    } else {
        // Waiting for an amount.
        QVERIFY(f.Text8.isVisible() && f.Text8.hasFocus() && f.Text8.text().isEmpty());
        for (Control* button : {&f.Command4, &f.Command7, &f.Command8})
            QVERIFY(button->isVisible() && button->isEnabled());
        for (Control* button : f.operationButtons())
            QVERIFY(!button->isEnabled());
        QVERIFY(!f.Label29.isVisible());
        QCOMPARE(f.focusErrors(), 0);
    }
    QCOMPARE(allRows(m_path), before);
}

void TestPoints::duplicatesAddToTheFirstRow()
{
    // The last row is shown; the amount goes to the first row's own balance, which another member's balance
    // never overwrites.
    start({}, QStringLiteral("0020"));
    QCOMPARE(m_form->Text25.text(), QStringLiteral("Segundo"));
    QCOMPARE(m_form->Text2.text(), QStringLiteral("20"));
    m_form->Text8.setText(QStringLiteral("5"));
    m_form->Command4.click();
    const QList<MemberRecord> rows = allRows(m_path);
    QCOMPARE(rows.at(3).puntos, QStringLiteral(" 15"));
    QCOMPARE(rows.at(4).puntos, QStringLiteral("20"));
    QCOMPARE(m_form->Text2.text(), QStringLiteral(" 15"));
}

void TestPoints::sumOutOfRangeIsRefused_data()
{
    QTest::addColumn<QString>("balance");
    QTest::addColumn<QString>("amount");
    auto row = [](const char* name, const char* balance, const char* amount) {
        QTest::newRow(name) << QString(balance) << QString(amount);
    };
    row("1E308 twice", "1E308", "1E308");
    row("below the range", "-1E308", "-1.5D308");
    row("amount out of range", "10", "1E999");
    row("balance out of range", "-1E999", "0");
    row("no number at all", "1E999", "-1E999");
}

void TestPoints::sumOutOfRangeIsRefused()
{
    QFETCH(QString, balance);
    QFETCH(QString, amount);
    MemberRecord member = sampleMember(QStringLiteral("0001"));
    member.puntos = balance;
    start({member}, QStringLiteral("0001"));
    Form1& f = *m_form;
    f.Text8.setText(amount);
    f.Command4.setFocus();
    f.Command4.click();

    QCOMPARE(m_messages.notices.size(), 1);
    QCOMPARE(allRows(m_path), QList<MemberRecord>{member});
    QVERIFY(f.Text8.isVisible() && f.Text8.hasFocus());
    QCOMPARE(f.Text8.text(), amount);
    QVERIFY(f.Command4.isVisible() && f.Command4.isEnabled() && !f.Command1.isEnabled());
    QVERIFY(!f.Label29.isVisible());

    // The operation can still be finished.
    f.Command8.click();
    QCOMPARE(allRows(m_path).first().puntos, QStringLiteral("0"));
    verifyIdle(true);
}

void TestPoints::rowGoneOrFileBroken_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("vanished");

    const QString deleted = "DELETE FROM ficha WHERE ntarjeta = '0001'";
    const QString renumbered = "UPDATE ficha SET ntarjeta = '0099' WHERE ntarjeta = '0001'";
    const QString refused = "CREATE TRIGGER refuse BEFORE UPDATE ON ficha BEGIN SELECT RAISE(ABORT, 'no'); END";
    QTest::newRow("removed, add") << deleted << "Command4" << true;
    QTest::newRow("renumbered, reset") << renumbered << "Command8" << true;
    QTest::newRow("write refused, add") << refused << "Command4" << false;
    QTest::newRow("table dropped, reset") << QString("DROP TABLE ficha") << "Command8" << false;
}

void TestPoints::rowGoneOrFileBroken()
{
    QFETCH(QString, sql);
    QFETCH(QString, button);
    QFETCH(bool, vanished);
    start({}, QStringLiteral("0001"));
    execSql(m_path, sql);
    const bool tableKept = !sql.startsWith(QLatin1String("DROP"));
    const QList<MemberRecord> before = tableKept ? allRows(m_path) : QList<MemberRecord>();
    m_form->Text8.setText(QStringLiteral("5"));
    m_form->find(button)->click();

    if (vanished)
        QCOMPARE(m_messages.notices, QStringList{QStringLiteral("no existe este número de tarjeta")});
    QCOMPARE(m_messages.failures.size(), vanished ? 0 : 1);
    if (tableKept)
        QCOMPARE(allRows(m_path), before);
    verifyIdle(false);
}

QTEST_GUILESS_MAIN(TestPoints)
#include "TestPoints.moc"
