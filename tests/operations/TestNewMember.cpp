#include "tests/support/OperationFixture.h"

#include <QTest>

// Waiting for the new member's data.
const QString kEditing = QStringLiteral("Label17 command2 Command9 edit @Text25");

// A new member's row as every box left empty stores it, with `changes` ("field=text").
static MemberRecord newRow(const QStringList& changes)
{
    MemberRecord row;
    for (Field field : allFields())
        row[field] = kEmptyMark;
    return OperationFixture::changed(row, QStringList{"fnacimiento=00/00/0000", "fcaducidad=00/0000"} + changes);
}

// "Alta", "salvar" and "salir sin salvar".
class TestNewMember : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

private slots:
    void init() { t.emplace(); }

    void cardEntry_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("refused"); // the taken number in Text4 at each prompt after the first
        QTest::addColumn<QString>("accepted");    // empty: the operator left

        QTest::newRow("star") << QStringList{"*"} << QStringList{} << "";
        QTest::newRow("cancelled") << QStringList{""} << QStringList{} << "";
        QTest::newRow("taken, then new") << QStringList{"0001", "0030"} << QStringList{"0001"} << "0030";
        QTest::newRow("taken, then ñ*") << QStringList{"0007", "ñ*"} << QStringList{"0007"} << "";
        QTest::newRow("card reader") << QStringList{"ñ0030"} << QStringList{} << "0030";
        QTest::newRow("longer than seven") << QStringList{"123456789"} << QStringList{} << "1234567";
        QTest::newRow("exact text: 0012 and 12 taken, 012 new")
            << QStringList{"0012", "12", "012"} << QStringList{"0012", "12"} << "012";
        QTest::newRow("star with more") << QStringList{"*x"} << QStringList{} << "*x";
    }

    void cardEntry()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, refused);
        QFETCH(QString, accepted);
        // The entry empties the boxes and Text8 but leaves their colours.
        t->leaveLeftovers();
        t->form.Text8.setText("25");
        QStringList expected = {"Label18 Label12 | Text25=resto Text28:red"};
        for (const QString& card : refused)
            expected << "Label18 Label14 | Text28:red Text4=" + card;
        t->notePrompts();
        t->prompt.setAnswers(answers);
        t->form.Command5.click();

        QCOMPARE(t->prompts, expected);
        // Leaving, the buttons come back, but "porfavor rellenar datos" stays in place of "elegir proceso".
        QCOMPARE(t->window(), accepted.isEmpty() ? "Label17 ops" : kEditing);
        QCOMPARE(t->boxes(),
                 QStringList{"Text28:red"} + (accepted.isEmpty() ? QStringList() : QStringList{"Text4=" + accepted}));
        QCOMPARE(t->form.Text8.text(), QString());
        t->form.Command9.click(); // shown only in the editing state
        QCOMPARE(t->window(), accepted.isEmpty() ? "Label17 ops" : kIdle);
    }

    void emptyTableAndEveryBoxEmpty()
    {
        execSql(t->path, "DELETE FROM ficha");
        // Left by earlier operations: "salvar" hides Label35 but leaves the colours alone.
        t->form.Label35.setVisible(true);
        t->form.Text40.setBackColor(Form1::kRed);
        t->prompt.setAnswers({"0001"});
        t->form.Command5.click();
        t->form.command2.click();
        QCOMPARE(allRows(t->path), QList{newRow({"ntarjeta=0001"})});
        QCOMPARE(t->window(), kIdle);
        QCOMPARE(t->boxes(), QStringList{"Text40:red"});

        // The number just saved is taken now.
        t->notePrompts();
        t->prompt.setAnswers({"0001", "0002"});
        t->form.Command5.click();
        QCOMPARE(t->prompts, (QStringList{"Label18 Label12 | Text40:red", "Label18 Label14 | Text40:red Text4=0001"}));
        QCOMPARE(t->window(), kEditing);
    }

    void failedDates_data()
    {
        QTest::addColumn<bool>("corrected"); // false: "salir sin salvar" instead
        QTest::newRow("corrected and saved") << true;
        QTest::newRow("salir sin salvar") << false;
    }

    void failedDates()
    {
        QFETCH(bool, corrected);
        QList<MemberRecord> expected = allRows(t->path);
        t->prompt.setAnswers({"0030"});
        t->form.Command5.click();
        t->type({"Text25=Eva", "Text28=31", "Text29=4", "Text30=1990"});
        t->form.command2.click();
        QCOMPARE(t->window(), "Label5 command2 Command9 edit @Text25");
        QCOMPARE(allRows(t->path), expected);

        if (corrected) {
            t->type({"Text28=30"});
            t->form.command2.click();
            expected << newRow({"ntarjeta=0030", "nombre=Eva", "fnacimiento=30/04/1990"});
        } else {
            t->form.Command9.click();
        }
        QCOMPARE(allRows(t->path), expected);
        QCOMPARE(t->window(), kIdle);
        QCOMPARE(t->boxes(), QStringList());
    }

    void takenMeanwhile()
    {
        t->prompt.setAnswers({"0030"});
        t->form.Command5.click();
        t->type({"Text25=Eva", "Text30=1990"});
        QCOMPARE(t->store.append(sampleMember("0030")), std::nullopt); // another till registers the number
        const QList<MemberRecord> before = allRows(t->path);

        // Asked for another number with what was typed kept: the taken one again is refused, "*" keeps the member open.
        const QStringList typed = {"Text25=Eva", "Text28=00", "Text29=00", "Text30=1990", "Text4=0030"};
        t->notePrompts();
        t->prompt.setAnswers({"0030", "*"});
        t->form.command2.click();
        QCOMPARE(t->prompts, QStringList(2, "Label18 Label14 command2 Command9 edit @Text25 | " + typed.join(' ')));
        QCOMPARE(allRows(t->path), before);
        QCOMPARE(t->window(), "Label14 command2 Command9 edit @Text25");
        QCOMPARE(t->boxes(), typed);

        // "salvar" again: a free number this time saves the member as typed, under that number.
        t->prompt.setAnswers({"ñ0031"});
        t->form.command2.click();
        QCOMPARE(allRows(t->path), before + QList{newRow({"ntarjeta=0031", "nombre=Eva", "fnacimiento=00/00/1990"})});
        QCOMPARE(t->window(), kIdle);
    }
};

QTEST_GUILESS_MAIN(TestNewMember)
#include "TestNewMember.moc"
