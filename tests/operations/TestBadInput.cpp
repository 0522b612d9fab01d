#include "operations/CardOperations.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

// Hostile texts typed into every free-text box travel through "Alta", the file and "Consulta" unchanged.
class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
};

void TestBadInput::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("quotes") << "O'Brien \"el Rápido\" `x`";
    QTest::newRow("SQL") << "'; DROP TABLE ficha; --";
    QTest::newRow("SQL in double quotes") << "\"); DELETE FROM ficha WHERE (\"1\"=\"1";
    QTest::newRow("emoji") << "😀👍🏽👨‍👩‍👧";
    QTest::newRow("right to left") << "שלום עליכם مرحبا";
    QTest::newRow("combining marks") << QString::fromUtf8("n\u0303a\u0301e\u0308");
    QTest::newRow("tabs and line feeds") << "a\tb\nc\r\n";
    QTest::newRow("percent and backslash") << "100% \\n %1 %s";
    QTest::newRow("zero width and BOM") << QString::fromUtf8("a\u200Bb\uFEFF");
    QTest::newRow("100 000 characters") << QString(100000, QChar(0x00F1));
    QTest::newRow("the empty mark typed") << "*****";
}

void TestBadInput::roundTrip()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    const MemberStore store(memberFileFromFixture(dir, QStringLiteral("members.sql")));
    Form1 form;
    QCOMPARE(form.Form_Load(store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    FakePrompt prompt({"0777"});
    FakeMessages messages;
    CardOperations operations(form, store, prompt, messages);
    operations.connectHandlers();

    form.Command5.click();
    Control* textBoxes[] = {&form.Text25, &form.Text26, &form.Text34, &form.Text35, &form.Text36,
                            &form.Text38, &form.Text40, &form.Text47, &form.Text1,  &form.Text2};
    for (Control* box : textBoxes)
        box->setText(text);
    form.command2.click();
    QVERIFY(messages.failures.isEmpty());

    const auto rows = store.rowsWithCard(QStringLiteral("0777"));
    QCOMPARE(rows->size(), std::size_t(1));
    for (Field f : {Field::nombre, Field::apellidos, Field::calle, Field::cp, Field::ciudad, Field::telefono,
                    Field::email, Field::observaciones, Field::nsocio, Field::puntos})
        QCOMPARE(rows->front()[f], text);

    prompt.setAnswers({"0777", "*"});
    prompt.setBeforeEachAnswer([&](int asked) {
        if (asked == 2) // the query's second prompt: the member found by the first answer is on screen
            for (Control* box : textBoxes)
                QVERIFY2(box->text() == (text == kEmptyMark ? QString() : text), box->spec().name);
    });
    form.Command1.click();
    QCOMPARE(allRows(store.path()).size(), 7);
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "TestBadInput.moc"
