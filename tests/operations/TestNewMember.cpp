#include "operations/CardOperations.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Typed = QMap<QString, QString>; // box name -> text the operator types

// "Alta", "salvar" and "salir sin salvar" on the window model.
class TestNewMember : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void cardEntry_data();
    void cardEntry();
    void saves_data();
    void saves();
    void failedDates_data();
    void failedDates();
    void emptyTable();
    void storeFailure_data();
    void storeFailure();

private:
    void useFile(const QString& path);
    // Alta with these answers; the last one must be accepted.
    void startAlta(const QStringList& answers);
    void type(const Typed& typed);
    // The labels of "información" that are visible, in a fixed order.
    QStringList shownMessages() const;
    bool boxesEmptyAndLocked() const;
    void verifyEditingState(const QString& card) const;
    // The window after "salvar" or "salir sin salvar": every button back, the boxes empty and locked.
    void verifyIdleAfterFinishing() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<MemberStore> m_store;
    std::unique_ptr<Form1> m_form;
    FakePrompt m_prompt;
    FakeMessages m_messages;
    std::unique_ptr<CardOperations> m_operations;
};

void TestNewMember::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    useFile(memberFileFromFixture(*m_dir, QStringLiteral("members.sql")));
}

void TestNewMember::useFile(const QString& path)
{
    m_path = path;
    m_store = std::make_unique<MemberStore>(m_path);
    m_form = std::make_unique<Form1>();
    QCOMPARE(m_form->Form_Load(*m_store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    m_prompt = FakePrompt();
    m_messages = FakeMessages();
    m_operations = std::make_unique<CardOperations>(*m_form, *m_store, m_prompt, m_messages);
    m_operations->connectHandlers();
}

void TestNewMember::startAlta(const QStringList& answers)
{
    m_prompt.setAnswers(answers);
    m_form->Command5.click();
    QVERIFY(m_form->command2.isVisible());
}

void TestNewMember::type(const Typed& typed)
{
    for (auto it = typed.begin(); it != typed.end(); ++it) {
        Control* box = m_form->find(it.key());
        QVERIFY2(box && box->isEnabled(), qPrintable(it.key()));
        box->setText(it.value());
    }
}

QStringList TestNewMember::shownMessages() const
{
    QStringList shown;
    const Form1& f = *m_form;
    for (const Control* label :
         {&f.Label29, &f.Label18, &f.Label12, &f.Label14, &f.Label17, &f.Label5, &f.Label35, &f.Label36, &f.Label37})
        if (label->isVisible())
            shown << label->name();
    return shown;
}

bool TestNewMember::boxesEmptyAndLocked() const
{
    for (Control* box : m_form->memberBoxes())
        if (!box->text().isEmpty() || box->isEnabled())
            return false;
    return true;
}

void TestNewMember::verifyEditingState(const QString& card) const
{
    const Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(!button->isEnabled());
    for (const Control* button : {&f.command2, &f.Command9})
        QVERIFY(button->isVisible() && button->isEnabled());
    QCOMPARE(f.Text4.text(), card);
    for (Control* box : f.memberBoxes())
        QCOMPARE(box->isEnabled(), box != &f.Text4);
    QCOMPARE(f.focusedControl(), &f.Text25);
    QCOMPARE(shownMessages(), QStringList{"Label17"});
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.focusErrors(), 0);
}

void TestNewMember::verifyIdleAfterFinishing() const
{
    const Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(button->isEnabled());
    QVERIFY(!f.command2.isVisible());
    QVERIFY(!f.Command9.isVisible());
    QVERIFY(boxesEmptyAndLocked());
    QCOMPARE(shownMessages(), QStringList{"Label29"});
    QCOMPARE(f.focusErrors(), 0);
}

void TestNewMember::cardEntry_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("refused"); // the taken number in Text4 at each prompt after the first
    QTest::addColumn<QString>("accepted");    // empty: the operator left

    QTest::newRow("star") << QStringList{"*"} << QStringList{} << "";
    QTest::newRow("cancelled") << QStringList{""} << QStringList{} << "";
    QTest::newRow("ñ alone") << QStringList{"ñ"} << QStringList{} << "";
    QTest::newRow("ñ then star") << QStringList{"ñ*"} << QStringList{} << "";
    QTest::newRow("taken, then new") << QStringList{"0001", "0030"} << QStringList{"0001"} << "0030";
    QTest::newRow("taken, then star") << QStringList{"0007", "*"} << QStringList{"0007"} << "";
    QTest::newRow("taken twice, then cancelled")
        << QStringList{"ñ0001", "0020", ""} << QStringList{"0001", "0020"} << "";
    QTest::newRow("card reader") << QStringList{"ñ0030"} << QStringList{} << "0030";
    QTest::newRow("only one ñ dropped") << QStringList{"ññ0001"} << QStringList{} << "ñ0001";
    QTest::newRow("longer than seven") << QStringList{"123456789"} << QStringList{} << "1234567";
    QTest::newRow("exact text: 12 and 0012 held, 012 new")
        << QStringList{"0012", "12", "012"} << QStringList{"0012", "12"} << "012";
    QTest::newRow("1 beside 0001") << QStringList{"1"} << QStringList{} << "1";
    QTest::newRow("trailing blank") << QStringList{"0001 "} << QStringList{} << "0001 ";
    QTest::newRow("star with more") << QStringList{"*x"} << QStringList{} << "*x";
}

void TestNewMember::cardEntry()
{
    QFETCH(QStringList, answers);
    QFETCH(QStringList, refused);
    QFETCH(QString, accepted);
    Form1& f = *m_form;
    // Left over from elsewhere: the entry empties them.
    f.Text25.setText(QStringLiteral("resto"));
    f.Text8.setText(QStringLiteral("25"));

    QStringList seenRefused;
    m_prompt.setBeforeEachAnswer([&](int asked) {
        for (Control* button : f.operationButtons())
            QVERIFY(!button->isEnabled());
        QVERIFY(!f.command2.isVisible());
        QVERIFY(!f.Label29.isVisible());
        QVERIFY(f.Label18.isVisible());
        QCOMPARE(f.Label12.isVisible(), asked == 0);
        QCOMPARE(f.Label14.isVisible(), asked > 0);
        QVERIFY(!f.Label17.isVisible());
        if (asked == 0)
            return;
        seenRefused << f.Text4.text();
        for (Control* box : f.memberBoxes())
            QVERIFY(!box->isEnabled() && (box == &f.Text4 || box->text().isEmpty()));
    });
    const QList<MemberRecord> before = allRows(m_path);
    m_prompt.setAnswers(answers);
    f.Command5.click();

    QCOMPARE(m_prompt.asked(), answers.size());
    QCOMPARE(seenRefused, refused);
    QCOMPARE(f.Text8.text(), QString());
    QCOMPARE(allRows(m_path), before);
    QVERIFY(m_messages.failures.isEmpty());
    if (!accepted.isEmpty())
        return verifyEditingState(accepted);

    // Leaving the entry: the buttons come back, but "porfavor rellenar datos" stays in place of "elegir proceso".
    for (Control* button : f.operationButtons())
        QVERIFY(button->isEnabled());
    QVERIFY(!f.command2.isVisible());
    QVERIFY(!f.Command9.isVisible());
    QVERIFY(boxesEmptyAndLocked());
    QCOMPARE(shownMessages(), QStringList{"Label17"});
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.focusErrors(), 0);
}

void TestNewMember::saves_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<Typed>("typed");
    QTest::addColumn<MemberRecord>("stored");

    MemberRecord empty;
    for (Field field : allFields())
        empty[field] = kEmptyMark;
    empty.ntarjeta = QStringLiteral("0030");
    empty.fnacimiento = QStringLiteral("00/00/0000");
    empty.fcaducidad = QStringLiteral("00/0000");
    QTest::newRow("every box empty") << "0030" << Typed{} << empty;

    const QString longNotes =
        QStringLiteral("Línea con \"comillas\", 'apóstrofos'; DROP TABLE ficha; -- ").repeated(200);
    const Typed full = {{"Text25", "Zoë 😀 李"}, {"Text26", "O'Brien \"Ñoño\""},
                        {"Text28", "29"},       {"Text29", "2"},
                        {"Text30", "2001"},     {"Text34", " C/ Mayor 1 "},
                        {"Text35", "28013"},    {"Text36", "A Coruña"},
                        {"Text38", "+34 600"},  {"Text40", "zoe@example.es"},
                        {"Text1", " "},         {"Text45", "6"},
                        {"Text46", "2012"},     {"Text2", " 150"},
                        {"Text47", longNotes}};
    MemberRecord typedExactly{"1234567", " ",        "Zoë 😀 李", "O'Brien \"Ñoño\"", " C/ Mayor 1 ",
                              "28013",   "A Coruña", "+34 600",  "zoe@example.es",   "29/02/2001",
                              longNotes, " 150",     "06/2012"};
    QTest::newRow("typed text kept exactly, card from a reader") << "ñ123456789" << full << typedExactly;

    MemberRecord onlyAYear = empty;
    onlyAYear.ntarjeta = QStringLiteral("012");
    onlyAYear.nombre = QStringLiteral("Íñigo");
    onlyAYear.fnacimiento = QStringLiteral("00/00/1990");
    QTest::newRow("month left empty, card beside 12 and 0012")
        << "012" << Typed{{"Text25", "Íñigo"}, {"Text28", "15"}, {"Text30", "1990"}} << onlyAYear;
}

void TestNewMember::saves()
{
    QFETCH(QString, answer);
    QFETCH(Typed, typed);
    QFETCH(MemberRecord, stored);
    // Left by earlier operations: the save hides Label35 but leaves colours and the birthday notice alone.
    m_form->Label35.setVisible(true);
    m_form->Text40.setBackColor(Form1::kRed);
    m_form->cumple.setVisible(true);

    QList<MemberRecord> expected = allRows(m_path);
    startAlta({answer});
    type(typed);
    m_form->command2.click();

    expected.append(stored);
    QCOMPARE(allRows(m_path), expected);
    QVERIFY(m_messages.failures.isEmpty());
    verifyIdleAfterFinishing();
    QCOMPARE(m_form->Text40.backColor(), Form1::kRed);
    QVERIFY(m_form->cumple.isVisible());
}

void TestNewMember::failedDates_data()
{
    QTest::addColumn<Typed>("dates");
    QTest::addColumn<QStringList>("dayAndMonthAfter"); // Text28 and Text29 after the failed check
    QTest::addColumn<Typed>("correction");             // empty: "salir sin salvar" instead
    QTest::addColumn<QStringList>("storedDates");      // fnacimiento and fcaducidad

    const Typed april31 = {{"Text28", "31"}, {"Text29", "4"}, {"Text30", "1990"}};
    QTest::newRow("31 April corrected to 30")
        << april31 << QStringList{"31", "4"} << Typed{{"Text28", "30"}} << QStringList{"30/04/1990", "00/0000"};
    QTest::newRow("expiry month 13 corrected; zero rule kept")
        << Typed{{"Text28", "15"}, {"Text30", "1990"}, {"Text45", "13"}, {"Text46", "2027"}} << QStringList{"00", "00"}
        << Typed{{"Text45", "12"}} << QStringList{"00/00/1990", "12/2027"};
    QTest::newRow("31 April, then salir sin salvar") << april31 << QStringList{"31", "4"} << Typed{} << QStringList{};
}

void TestNewMember::failedDates()
{
    QFETCH(Typed, dates);
    QFETCH(QStringList, dayAndMonthAfter);
    QFETCH(Typed, correction);
    QFETCH(QStringList, storedDates);
    Form1& f = *m_form;
    const QList<MemberRecord> before = allRows(m_path);
    startAlta({"0030"});
    type(dates);
    type({{"Text25", "Eva"}});

    // Failing again without a correction changes nothing.
    for (int attempt = 0; attempt < 2; ++attempt) {
        f.command2.click();
        QCOMPARE(shownMessages(), QStringList{"Label5"});
        QCOMPARE((QStringList{f.Text28.text(), f.Text29.text()}), dayAndMonthAfter);
        QCOMPARE(f.Text25.text(), QStringLiteral("Eva"));
        QCOMPARE(f.Text4.text(), QStringLiteral("0030"));
        for (const Control* button : {&f.command2, &f.Command9})
            QVERIFY(button->isVisible() && button->isEnabled());
        for (Control* box : f.memberBoxes())
            QCOMPARE(box->isEnabled(), box != &f.Text4);
        QCOMPARE(allRows(m_path), before);
    }

    QList<MemberRecord> expected = before;
    if (correction.isEmpty()) {
        f.Command9.click();
    } else {
        type(correction);
        f.command2.click();
        QCOMPARE(allRows(m_path).size(), before.size() + 1);
        const MemberRecord added = allRows(m_path).last();
        QCOMPARE((QStringList{added.nombre, added.ntarjeta, added.fnacimiento, added.fcaducidad}),
                 QStringList({"Eva", "0030"}) + storedDates);
        expected.append(added);
    }
    QCOMPARE(allRows(m_path), expected);
    verifyIdleAfterFinishing();
}

void TestNewMember::emptyTable()
{
    QTemporaryDir dir;
    useFile(createMemberFile(dir));
    Form1& f = *m_form;

    // Cancelling leaves, as with rows in the table.
    m_prompt.setAnswers({""});
    f.Command5.click();
    QVERIFY(!f.command2.isVisible());
    QCOMPARE(shownMessages(), QStringList{"Label17"});

    startAlta({"0001"});
    verifyEditingState(QStringLiteral("0001"));
    type({{"Text25", "Primera"}});
    f.command2.click();
    QCOMPARE(allRows(m_path).size(), 1);
    QCOMPARE(allRows(m_path).first().nombre, QStringLiteral("Primera"));
    QCOMPARE(allRows(m_path).first().ntarjeta, QStringLiteral("0001"));
    verifyIdleAfterFinishing();

    // The number just saved is taken now.
    QList<bool> takenShown;
    m_prompt.setBeforeEachAnswer([&](int) { takenShown << f.Label14.isVisible(); });
    m_prompt.setAnswers({"0001", "0002"});
    f.Command5.click();
    QCOMPARE(takenShown, (QList<bool>{false, true}));
    verifyEditingState(QStringLiteral("0002"));
    QVERIFY(m_messages.failures.isEmpty());
}

void TestNewMember::storeFailure_data()
{
    QTest::addColumn<bool>("atSave"); // false: the file breaks before the duplicate check
    QTest::addColumn<QString>("sabotage");

    QTest::newRow("check: file removed") << false << "remove";
    QTest::newRow("check: file replaced by text") << false << "replace";
    QTest::newRow("check: table dropped") << false << "DROP TABLE ficha";
    QTest::newRow("save: file removed") << true << "remove";
    QTest::newRow("save: column dropped") << true << "ALTER TABLE ficha DROP COLUMN email";
    // FAIL keeps the inserted row inside the transaction: only a rollback removes it.
    QTest::newRow("save: insert refused after the row went in")
        << true << "CREATE TRIGGER refuse AFTER INSERT ON ficha BEGIN SELECT RAISE(FAIL, 'no'); END";
}

void TestNewMember::storeFailure()
{
    QFETCH(bool, atSave);
    QFETCH(QString, sabotage);
    Form1& f = *m_form;
    auto breakFile = [&] {
        if (sabotage == QLatin1String("remove")) {
            QVERIFY(QFile::remove(m_path));
        } else if (sabotage == QLatin1String("replace")) {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("esto no es una base de datos");
        } else {
            execSql(m_path, sabotage);
        }
    };

    m_prompt.setAnswers({"0030"});
    if (atSave) {
        f.Command5.click();
        type({{"Text25", "Eva"}, {"Text28", "1"}, {"Text29", "2"}, {"Text30", "1990"}});
        breakFile();
    } else {
        breakFile();
    }
    const QByteArray bytes = fileBytes(m_path);
    const bool readable = sabotage.startsWith(QLatin1String("ALTER")) || sabotage.startsWith(QLatin1String("CREATE"));
    const QList<MemberRecord> before = readable ? allRows(m_path) : QList<MemberRecord>{};
    if (atSave)
        f.command2.click();
    else
        f.Command5.click();

    QCOMPARE(m_messages.failures.size(), 1);
    QCOMPARE(m_messages.failures.first().path, m_path);
    if (readable)
        QCOMPARE(allRows(m_path), before);
    else
        QCOMPARE(fileBytes(m_path), bytes);
    QCOMPARE(QFile::exists(m_path), sabotage != QLatin1String("remove"));

    verifyIdleAfterFinishing();
    QCOMPARE(f.Text52.text(), QString());

    // The application keeps running: "Alta" asks again.
    m_prompt.setAnswers({"*"});
    f.Command5.click();
    QCOMPARE(m_prompt.asked(), 2);
}

QTEST_GUILESS_MAIN(TestNewMember)
#include "TestNewMember.moc"
