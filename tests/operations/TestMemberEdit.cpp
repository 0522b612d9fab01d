#include "operations/CardOperations.h"
#include "store/MemberStore.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using BoxTexts = std::map<QString, QString>;
Q_DECLARE_METATYPE(BoxTexts)

// "Modificar", "Salvar registro" and "Salir sin salvar".
class TestMemberEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void leavingWithStar_data();
    void leavingWithStar();
    void cardEntry_data();
    void cardEntry();
    void save_data();
    void save();
    void dateErrorKeepsTheEditOpen_data();
    void dateErrorKeepsTheEditOpen();
    void leaveWithoutSaving_data();
    void leaveWithoutSaving();
    void vanishedRow_data();
    void vanishedRow();
    void storeFailure_data();
    void storeFailure();

private:
    // Runs "Modificar" with these answers; true when it ended in the editing state.
    bool openEdit(const QStringList& answers);
    void type(const BoxTexts& texts);
    // "name=text" for every non-empty member box, "name:red" for every red one.
    QStringList boxes() const;
    QStringList visibleMessageLabels() const;
    void verifyEditing();
    void verifyIdle();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<MemberStore> m_store;
    std::unique_ptr<Form1> m_form;
    FakePrompt m_prompt;
    FakeMessages m_messages;
    std::unique_ptr<CardOperations> m_operations;
};

void TestMemberEdit::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    m_store = std::make_unique<MemberStore>(m_path);
    QCOMPARE(m_store->append(sampleMember(QStringLiteral("1234567"), QStringLiteral("Siete"))), std::nullopt);
    m_form = std::make_unique<Form1>();
    QCOMPARE(m_form->Form_Load(*m_store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    m_prompt = FakePrompt();
    m_messages = FakeMessages();
    m_operations = std::make_unique<CardOperations>(*m_form, *m_store, m_prompt, m_messages);
    m_operations->connectHandlers();
}

bool TestMemberEdit::openEdit(const QStringList& answers)
{
    m_prompt.setAnswers(answers);
    m_form->Command3.click();
    return m_prompt.asked() == answers.size() && m_form->Command10.isVisible() && m_form->Command10.isEnabled();
}

void TestMemberEdit::type(const BoxTexts& texts)
{
    for (const auto& [name, text] : texts) {
        Control* box = m_form->find(name);
        QVERIFY2(box, qPrintable(name));
        QVERIFY2(box->isEnabled(), qPrintable(name));
        box->setText(text);
    }
}

QStringList TestMemberEdit::boxes() const
{
    QStringList shown;
    for (Control* box : m_form->memberBoxes()) {
        if (!box->text().isEmpty())
            shown << box->name() + QLatin1Char('=') + box->text();
        if (box->backColor() == Form1::kRed)
            shown << box->name() + QLatin1String(":red");
    }
    return shown;
}

QStringList TestMemberEdit::visibleMessageLabels() const
{
    Form1& f = *m_form;
    QStringList shown;
    for (Control* label : {&f.Label29, &f.Label36, &f.Label18, &f.Label35, &f.Label14, &f.Label17, &f.Label37,
                           &f.Label5, &f.Label28, &f.Label12})
        if (label->isVisible())
            shown << label->name();
    return shown;
}

void TestMemberEdit::verifyEditing()
{
    Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(!button->isEnabled());
    for (Control* button : {&f.Command10, &f.Command11})
        QVERIFY(button->isVisible() && button->isEnabled());
    for (Control* box : f.memberBoxes())
        QCOMPARE(box->isEnabled(), box != &f.Text4);
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.focusErrors(), 0);
}

void TestMemberEdit::verifyIdle()
{
    Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(button->isEnabled());
    QVERIFY(!f.Command10.isVisible());
    QVERIFY(!f.Command11.isVisible());
    for (Control* box : f.memberBoxes()) {
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->text(), QString());
    }
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.focusErrors(), 0);
}

void TestMemberEdit::leavingWithStar_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::newRow("at the first prompt") << QStringList{"*"};
    QTest::newRow("after a number without a row") << QStringList{"9999", "*"};
    QTest::newRow("after a cancelled prompt") << QStringList{"", "ñ*"};
}

void TestMemberEdit::leavingWithStar()
{
    QFETCH(QStringList, answers);
    Form1& f = *m_form;
    f.Text28.setBackColor(Form1::kRed); // left red by an earlier query
    const QList<MemberRecord> before = allRows(m_path);
    QVERIFY(!openEdit(answers));
    QCOMPARE(m_prompt.asked(), answers.size());

    verifyIdle();
    QCOMPARE(boxes(), QStringList());
    // Label29 stays hidden and the "not found" message stays on screen.
    QCOMPARE(visibleMessageLabels(), QStringList{"Label35"});
    QCOMPARE(allRows(m_path), before);

    // The next "Modificar" starts prompting again.
    m_prompt = FakePrompt({"*"});
    f.Command3.click();
    QCOMPARE(m_prompt.asked(), 1);
}

void TestMemberEdit::cardEntry_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("nombre"); // the member finally shown

    QTest::newRow("a number without a row, then one with") << QStringList{"9999", "0001"} << "Ana";
    QTest::newRow("card reader") << QStringList{"ñ0001"} << "Ana";
    QTest::newRow("long entry cut to seven") << QStringList{"123456789"} << "Siete";
    QTest::newRow("cancelled prompt asks again") << QStringList{"", "0007"} << "";
    QTest::newRow("two rows: the last is shown") << QStringList{"0020"} << "Segundo";
}

void TestMemberEdit::cardEntry()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, nombre);
    Form1& f = *m_form;
    f.Label35.setVisible(true); // left by an earlier operation

    m_prompt.setBeforeEachAnswer([&](int asked) {
        for (Control* button : f.operationButtons())
            QVERIFY(!button->isEnabled());
        for (Control* button : {&f.Command10, &f.Command11})
            QVERIFY(button->isVisible() && !button->isEnabled());
        // The edit boxes are open while the card number is asked for; the card number box is not.
        for (Control* box : f.memberBoxes())
            QCOMPARE(box->isEnabled(), box != &f.Text4);
        // Before the first answer the old message stays beside the prompt; after a miss only it shows.
        const QStringList expected =
            asked == 0 ? QStringList{"Label36", "Label18", "Label35"} : QStringList{"Label18", "Label35"};
        QCOMPARE(visibleMessageLabels(), expected);
        if (asked > 0)
            QCOMPARE(boxes(), QStringList());
    });
    QVERIFY(openEdit(answers));

    verifyEditing();
    QCOMPARE(f.Text25.text(), nombre);
    QVERIFY(f.Text25.hasFocus());
    QCOMPARE(visibleMessageLabels(), QStringList{"Label37"});
    QVERIFY(m_messages.failures.isEmpty());
}

void TestMemberEdit::save_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QStringList>("shown"); // boxes after "Modificar"; empty: not checked
    QTest::addColumn<BoxTexts>("typed");
    QTest::addColumn<int>("row");          // the row that is rewritten
    QTest::addColumn<BoxTexts>("written"); // its fields that change

    QTest::newRow("unchanged member written back as loaded")
        << "0001" << QStringList() << BoxTexts{} << 0 << BoxTexts{};
    QTest::newRow("empty marks shown red and written back")
        << "0007" << QStringList{"Text25:red", "Text26:red", "Text47:red", "Text28:red", "Text29:red", "Text30:red",
                                 "Text34:red", "Text35:red", "Text36:red", "Text38:red", "Text40:red", "Text1:red",
                                 "Text45:red", "Text46:red", "Text4=0007", "Text2:red"}
        << BoxTexts{} << 1 << BoxTexts{{"fcaducidad", "00/0000"}};
    QTest::newRow("birth date 00/00/0000 shown as zeros, written as empty mark")
        << "0012"
        << QStringList{"Text25=José Antonio",
                       "Text26=Núñez Peña",
                       "Text47:red",
                       "Text28=00",
                       "Text29=00",
                       "Text30=0000",
                       "Text34=C/ Alcalá 45, 2º B",
                       "Text35=28014",
                       "Text36=Madrid",
                       "Text38=600 111 222",
                       "Text40:red",
                       "Text1=112",
                       "Text45=00",
                       "Text46=0000",
                       "Text4=0012",
                       "Text2= 17.5"}
        << BoxTexts{} << 2 << BoxTexts{{"fnacimiento", "*****"}};
    QTest::newRow("date padded") << "0001" << QStringList()
                                 << BoxTexts{{"Text28", "5"}, {"Text29", "3"}, {"Text30", "1980"}} << 0
                                 << BoxTexts{{"fnacimiento", "05/03/1980"}};
    QTest::newRow("only a year") << "0012" << QStringList()
                                 << BoxTexts{{"Text28", ""}, {"Text29", ""}, {"Text30", "85"}} << 2
                                 << BoxTexts{{"fnacimiento", "00/00/0085"}};
    QTest::newRow("years 2100") << "0001" << QStringList() << BoxTexts{{"Text30", "2100"}, {"Text46", "2100"}} << 0
                                << BoxTexts{{"fnacimiento", "13/03/2100"}, {"fcaducidad", "06/2100"}};
    QTest::newRow("expiry emptied") << "0001" << QStringList() << BoxTexts{{"Text45", ""}, {"Text46", ""}} << 0
                                    << BoxTexts{{"fcaducidad", "00/0000"}};
    QTest::newRow("text boxes changed and emptied")
        << "0001" << QStringList() << BoxTexts{{"Text25", "Anabel"}, {"Text26", ""}, {"Text38", " "}, {"Text2", ""}}
        << 0 << BoxTexts{{"nombre", "Anabel"}, {"apellidos", "*****"}, {"telefono", " "}, {"puntos", "*****"}};
    // Only an outside change can leave two rows with one number: the last is shown, the first rewritten.
    QTest::newRow("two rows: the first takes what is shown")
        << "0020" << QStringList() << BoxTexts{{"Text25", "Tercero"}} << 3
        << BoxTexts{{"nombre", "Tercero"},         {"nsocio", "121"}, {"ciudad", "Segovia"},
                    {"fnacimiento", "06/03/1981"}, {"puntos", "20"},  {"fcaducidad", "02/2026"}};
}

void TestMemberEdit::save()
{
    QFETCH(QString, card);
    QFETCH(QStringList, shown);
    QFETCH(BoxTexts, typed);
    QFETCH(int, row);
    QFETCH(BoxTexts, written);
    Form1& f = *m_form;

    QList<MemberRecord> expected = allRows(m_path);
    for (const auto& [field, text] : written)
        for (Field fld : allFields())
            if (QLatin1String(fieldName(fld)) == field)
                expected[row][fld] = text;

    QVERIFY(openEdit({card}));
    if (!shown.isEmpty())
        QCOMPARE(boxes(), shown);
    type(typed);
    f.Command10.click();

    QCOMPARE(allRows(m_path), expected);
    verifyIdle();
    QCOMPARE(visibleMessageLabels(), QStringList{"Label29"});
    QVERIFY(f.Command1.hasFocus());
    QVERIFY(m_messages.failures.isEmpty());
    QVERIFY(m_messages.notices.isEmpty());
}

void TestMemberEdit::dateErrorKeepsTheEditOpen_data()
{
    QTest::addColumn<BoxTexts>("typed");
    QTest::addColumn<QString>("day"); // the day and month boxes after the failed save
    QTest::addColumn<QString>("month");

    QTest::newRow("31 April") << BoxTexts{{"Text28", "31"}, {"Text29", "4"}} << "31"
                              << "4";
    QTest::newRow("month 13 with an empty day") << BoxTexts{{"Text28", ""}, {"Text29", "13"}} << "00"
                                                << "00";
    QTest::newRow("year 2101") << BoxTexts{{"Text30", "2101"}} << "13"
                               << "03";
    QTest::newRow("expiry year 2101") << BoxTexts{{"Text46", "2101"}} << "13"
                                      << "03";
}

void TestMemberEdit::dateErrorKeepsTheEditOpen()
{
    QFETCH(BoxTexts, typed);
    QFETCH(QString, day);
    QFETCH(QString, month);
    Form1& f = *m_form;
    const QList<MemberRecord> before = allRows(m_path);

    QVERIFY(openEdit({"0001"}));
    type(typed);
    f.Command10.click();
    QCOMPARE(allRows(m_path), before);
    verifyEditing();
    QCOMPARE(visibleMessageLabels(), QStringList{"Label5"});
    QCOMPARE(f.Text28.text(), day);
    QCOMPARE(f.Text29.text(), month);
    QCOMPARE(f.Text25.text(), QStringLiteral("Ana"));

    // Corrected, the same edit is saved.
    type({{"Text28", "30"}, {"Text29", "4"}, {"Text30", "1990"}, {"Text45", "1"}, {"Text46", "2030"}});
    f.Command10.click();
    QList<MemberRecord> expected = before;
    expected[0].fnacimiento = QStringLiteral("30/04/1990");
    expected[0].fcaducidad = QStringLiteral("01/2030");
    QCOMPARE(allRows(m_path), expected);
    QCOMPARE(visibleMessageLabels(), QStringList{"Label29"});
}

void TestMemberEdit::leaveWithoutSaving_data()
{
    QTest::addColumn<bool>("failedSaveFirst");
    QTest::newRow("after changes") << false;
    QTest::newRow("after a failed save") << true;
}

void TestMemberEdit::leaveWithoutSaving()
{
    QFETCH(bool, failedSaveFirst);
    Form1& f = *m_form;
    const QList<MemberRecord> before = allRows(m_path);

    QVERIFY(openEdit({"9999", "0007"})); // leaves Label35 shown during the entry
    type({{"Text25", "Nadie"}, {"Text1", "999"}, {"Text29", "13"}});
    if (failedSaveFirst) {
        f.Command10.click();
        QVERIFY(f.Label5.isVisible());
    }
    f.Command11.click();

    QCOMPARE(allRows(m_path), before);
    verifyIdle();
    QCOMPARE(visibleMessageLabels(), QStringList{"Label29"});
    QVERIFY(f.Command1.hasFocus());
}

void TestMemberEdit::vanishedRow_data()
{
    QTest::addColumn<QString>("outsideChange");
    QTest::newRow("row removed") << "DELETE FROM ficha WHERE ntarjeta = '0001'";
    QTest::newRow("card number changed") << "UPDATE ficha SET ntarjeta = '0002' WHERE ntarjeta = '0001'";
}

void TestMemberEdit::vanishedRow()
{
    QFETCH(QString, outsideChange);
    Form1& f = *m_form;
    QVERIFY(openEdit({"0001"}));
    type({{"Text25", "Anabel"}});
    execSql(m_path, outsideChange);
    const QList<MemberRecord> before = allRows(m_path);

    f.Command10.click();
    QCOMPARE(allRows(m_path), before);
    QCOMPARE(m_messages.notices, QStringList{"no existe este número de tarjeta"});
    QVERIFY(m_messages.failures.isEmpty());
    verifyIdle();
    QCOMPARE(visibleMessageLabels(), QStringList{"Label29"});
}

void TestMemberEdit::storeFailure_data()
{
    QTest::addColumn<bool>("atSave"); // false: while the card number is asked for
    QTest::addColumn<QString>("sabotage");
    QTest::addColumn<bool>("readable"); // whether the rows can still be compared afterwards
    QTest::newRow("lookup: file removed") << false << "remove" << false;
    QTest::newRow("save: table dropped") << true << "DROP TABLE ficha" << false;
    QTest::newRow("save: write refused after the change")
        << true << "CREATE TRIGGER refuse AFTER UPDATE ON ficha BEGIN SELECT RAISE(ABORT, 'refused'); END" << true;
}

void TestMemberEdit::storeFailure()
{
    QFETCH(bool, atSave);
    QFETCH(QString, sabotage);
    QFETCH(bool, readable);
    Form1& f = *m_form;
    QList<MemberRecord> before;
    auto breakFile = [&] {
        if (sabotage == QLatin1String("remove"))
            QVERIFY(QFile::remove(m_path));
        else
            execSql(m_path, sabotage);
        if (readable)
            before = allRows(m_path);
    };

    if (atSave) {
        QVERIFY(openEdit({"0001"}));
        type({{"Text25", "Anabel"}, {"Text28", ""}});
        breakFile();
        f.Command10.click();
    } else {
        m_prompt.setBeforeEachAnswer([&](int asked) {
            if (asked == 1)
                breakFile();
        });
        QVERIFY(!openEdit({"9999", "0001", "*"}));
        QCOMPARE(m_prompt.asked(), 2);
    }

    QCOMPARE(m_messages.failures.size(), 1);
    QCOMPARE(m_messages.failures.first().path, m_path);
    if (readable)
        QCOMPARE(allRows(m_path), before); // nothing half-written
    verifyIdle();
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(visibleMessageLabels(), QStringList{"Label29"});
}

QTEST_GUILESS_MAIN(TestMemberEdit)
#include "TestMemberEdit.moc"
