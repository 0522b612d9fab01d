#include "tests/support/OperationFixture.h"

#include <QTest>

// Hostile texts typed into every free-text box travel through "Alta", the file and "Consulta" unchanged.
class TestBadInput : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

private slots:
    void init() { t.emplace(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes and SQL")
            << "O'Brien \"el Rápido\" `x` '; DROP TABLE ficha; -- \"); DELETE FROM ficha WHERE (\"1\"=\"1";
        QTest::newRow("beyond Latin-1") << QString::fromUtf8(
            "\uFEFF😀👍🏽👨‍👩‍👧 שלום عليكم n\u0303a\u0301e\u0308 a\u200Bb");
        QTest::newRow("control characters and format directives") << "100% \\n %1 %s a\tb\nc\r\n";
        QTest::newRow("100 000 characters") << QString(100000, QChar(0x00F1));
        QTest::newRow("the empty mark typed") << "*****";
    }

    void roundTrip()
    {
        QFETCH(QString, text);
        const QList<Control*> boxes = {
            &t->form.nameBox,  &t->form.surnameBox, &t->form.streetBox, &t->form.postcodeBox,     &t->form.cityBox,
            &t->form.phoneBox, &t->form.emailBox,   &t->form.notesBox,  &t->form.memberNumberBox, &t->form.pointsBox};
        t->click(t->form.newMemberButton, {"0777"});
        for (Control* box : boxes)
            box->setText(text);
        t->form.saveNewMemberButton.click();
        MemberRecord expected;
        for (Field field : allFields())
            expected[field] = text;
        expected =
            OperationFixture::changed(expected, {"ntarjeta=0777", "fnacimiento=00/00/0000", "fcaducidad=00/0000"});
        QCOMPARE(allRows(t->path).mid(6), QList<MemberRecord>{expected});

        // What the query shows at its last prompt: the member that the first answer found.
        QStringList shown;
        t->prompt.setBeforeEachAnswer([&](int) {
            shown.clear();
            for (Control* box : boxes)
                shown << box->text();
        });
        t->click(t->form.queryButton, {"0777", "*"});
        QCOMPARE(shown, QStringList(boxes.size(), text == kEmptyMark ? QString() : text));
    }
};

QTEST_GUILESS_MAIN(TestBadInput)
#include "TestBadInput.moc"
