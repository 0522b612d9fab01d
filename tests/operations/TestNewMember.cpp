#include "tests/support/OperationFixture.h"

#include <QTest>

// "Alta", "salvar" and "salir sin salvar".
class TestNewMember : public QObject
{
    Q_OBJECT

private slots:
    void init() { t.emplace(); }
    void cardEntry_data();
    void cardEntry();
    void everyBoxEmpty();
    void failedDates_data();
    void failedDates();
    void emptyTable();
    void takenMeanwhile();
    void storeFailure_data();
    void storeFailure();

private:
    std::optional<OperationFixture> t;
};

// Waiting for the new member's data.
const QString kEditing = QStringLiteral("Label17 command2 Command9 edit @Text25");

// A new member's row as every box left empty stores it, with `changes` ("field=text").
MemberRecord newRow(const QStringList& changes)
{
    MemberRecord row;
    for (Field field : allFields())
        row[field] = kEmptyMark;
    return OperationFixture::changed(row, QStringList{"fnacimiento=00/00/0000", "fcaducidad=00/0000"} + changes);
}

void TestNewMember::cardEntry_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("refused"); // the taken number in Text4 at each prompt after the first
    QTest::addColumn<QString>("accepted");    // empty: the operator left

    QTest::newRow("star") << QStringList{"*"} << QStringList{} << "";
    QTest::newRow("cancelled") << QStringList{""} << QStringList{} << "";
    QTest::newRow("ñ alone") << QStringList{"ñ"} << QStringList{} << "";
    QTest::newRow("taken, then new") << QStringList{"0001", "0030"} << QStringList{"0001"} << "0030";
    QTest::newRow("taken, then ñ*") << QStringList{"0007", "ñ*"} << QStringList{"0007"} << "";
    QTest::newRow("card reader") << QStringList{"ñ0030"} << QStringList{} << "0030";
    QTest::newRow("longer than seven") << QStringList{"123456789"} << QStringList{} << "1234567";
    QTest::newRow("exact text: 0012 and 12 taken, 012 new")
        << QStringList{"0012", "12", "012"} << QStringList{"0012", "12"} << "012";
    QTest::newRow("star with more") << QStringList{"*x"} << QStringList{} << "*x";
}

void TestNewMember::cardEntry()
{
    QFETCH(QStringList, answers);
    QFETCH(QStringList, refused);
    QFETCH(QString, accepted);
    t->form.Text25.setText("resto"); // left over from elsewhere: the entry empties the boxes and Text8
    t->form.Text8.setText("25");
    QStringList expected = {"Label18 Label12 | Text25=resto"};
    for (const QString& card : refused)
        expected << "Label18 Label14 | Text4=" + card;
    const QList<MemberRecord> before = allRows(t->path);
    t->notePrompts();
    t->prompt.setAnswers(answers);
    t->form.Command5.click();

    QCOMPARE(t->prompts, expected);
    // Leaving, the buttons come back, but "porfavor rellenar datos" stays in place of "elegir proceso".
    QCOMPARE(t->window(), accepted.isEmpty() ? "Label17 ops" : kEditing);
    QCOMPARE(t->boxes(), accepted.isEmpty() ? QStringList() : QStringList{"Text4=" + accepted});
    QCOMPARE(t->form.Text8.text(), QString());
    QCOMPARE(allRows(t->path), before);
}

void TestNewMember::everyBoxEmpty()
{
    // Left by earlier operations: "salvar" hides Label35 but leaves the colours alone.
    t->form.Label35.setVisible(true);
    t->form.Text40.setBackColor(Form1::kRed);
    QList<MemberRecord> expected = allRows(t->path);
    t->prompt.setAnswers({"0030"});
    t->form.Command5.click();
    t->form.command2.click();

    expected << newRow({"ntarjeta=0030"});
    QCOMPARE(allRows(t->path), expected);
    QCOMPARE(t->window(), kIdle);
    QCOMPARE(t->boxes(), QStringList{"Text40:red"});
}

void TestNewMember::failedDates_data()
{
    QTest::addColumn<bool>("corrected"); // false: "salir sin salvar" instead
    QTest::newRow("corrected and saved") << true;
    QTest::newRow("salir sin salvar") << false;
}

void TestNewMember::failedDates()
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

void TestNewMember::emptyTable()
{
    execSql(t->path, "DELETE FROM ficha");
    t->prompt.setAnswers({"0001"});
    t->form.Command5.click();
    QCOMPARE(t->window(), kEditing);
    t->type({"Text25=Primera"});
    t->form.command2.click();
    QCOMPARE(allRows(t->path), QList{newRow({"ntarjeta=0001", "nombre=Primera"})});

    // The number just saved is taken now.
    t->notePrompts();
    t->prompt.setAnswers({"0001", "0002"});
    t->form.Command5.click();
    QCOMPARE(t->prompts, (QStringList{"Label18 Label12 | ", "Label18 Label14 | Text4=0001"}));
    QCOMPARE(t->window(), kEditing);
}

void TestNewMember::takenMeanwhile()
{
    t->prompt.setAnswers({"0030"});
    t->form.Command5.click();
    t->type({"Text25=Eva"});
    QCOMPARE(t->store.append(sampleMember("0030")), std::nullopt); // another till registers the number
    const QList<MemberRecord> before = allRows(t->path);
    t->form.command2.click();
    QCOMPARE(allRows(t->path), before);
    QCOMPARE(t->window(), "Label14 command2 Command9 edit @Text25");

    t->form.Command9.click();
    QCOMPARE(t->window(), kIdle);
    QCOMPARE(t->boxes(), QStringList());
    QCOMPARE(t->messages.failures.size() + t->messages.notices.size(), 0);
}

void TestNewMember::storeFailure_data()
{
    QTest::addColumn<bool>("atSave"); // false: the file breaks before the duplicate check
    QTest::addColumn<QString>("sabotage");
    QTest::newRow("check: file removed") << false << "remove";
    QTest::newRow("check: file replaced by text") << false << "replace";
    QTest::newRow("save: table dropped") << true << "DROP TABLE ficha";
}

void TestNewMember::storeFailure()
{
    QFETCH(bool, atSave);
    QFETCH(QString, sabotage);
    t->prompt.setAnswers({"0030"});
    if (atSave) {
        t->form.Command5.click();
        t->type({"Text25=Eva", "Text28=1", "Text29=2", "Text30=1990"});
    }
    t->breakFile(sabotage);
    const QByteArray bytes = fileBytes(t->path);
    (atSave ? t->form.command2 : t->form.Command5).click();

    QCOMPARE(t->messages.failures.size(), 1);
    QCOMPARE(t->messages.failures.first().path, t->path);
    QCOMPARE(fileBytes(t->path), bytes);
    QCOMPARE(t->window(), kIdle);
    QCOMPARE(t->boxes(), QStringList());
}

QTEST_GUILESS_MAIN(TestNewMember)
#include "TestNewMember.moc"
