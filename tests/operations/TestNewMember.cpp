#include "tests/support/OperationFixture.h"

#include <QFile>
#include <QTest>

// Waiting for the new member's data.
const QString kEditing = QStringLiteral("fillInDataNote saveNewMemberButton leaveNewMemberButton edit @nameBox");

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

    void cardEntryAndLeaving_data()
    {
        // taken: the number in cardNumberBox at each prompt after the first; accepted: empty when the operator left;
        // refused: typed and saved in vain before "salir sin salvar"
        const DataTable<QStringList, QStringList, QString, QStringList> row("answers", "taken", "accepted", "refused");
        row("star", {"*"}, {}, "", {});
        row("cancelled", {""}, {}, "", {});
        row("taken, then new, a date refused", {"0001", "0030"}, {"0001"}, "0030",
            {"birthDayBox=31", "birthMonthBox=4"});
        row("taken, then ñ*", {"0007", "ñ*"}, {"0007"}, "", {});
        row("card reader", {"ñ0030"}, {}, "0030", {});
    }

    void cardEntryAndLeaving()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, taken);
        QFETCH(QString, accepted);
        QFETCH(QStringList, refused);
        // The entry empties the boxes and amountBox but leaves their colours.
        t->leaveLeftovers();
        t->form.amountBox.setText("25");
        QStringList expected = {"leaveWithStarNote enterMemberNumberNote | nameBox=resto birthDayBox:red"};
        for (const QString& card : taken)
            expected << "leaveWithStarNote numberTakenNote | birthDayBox:red cardNumberBox=" + card;
        t->click(t->form.newMemberButton, answers);

        QCOMPARE(t->prompts, expected);
        // Leaving, the buttons come back, but "porfavor rellenar datos" stays in place of "elegir proceso".
        QCOMPARE(t->window(), accepted.isEmpty() ? "fillInDataNote ops" : kEditing);
        QCOMPARE(t->boxes(), QStringList{"birthDayBox:red"} +
                                 (accepted.isEmpty() ? QStringList() : QStringList{"cardNumberBox=" + accepted}));
        QCOMPARE(t->form.amountBox.text(), QString());
        t->type(refused);
        if (!refused.isEmpty())
            t->form.saveNewMemberButton.click();
        t->form.leaveNewMemberButton.click(); // shown only in the editing state
        QCOMPARE(t->window(), accepted.isEmpty() ? "fillInDataNote ops" : kIdle);
        QCOMPARE(t->boxes(), QStringList{"birthDayBox:red"});
        QCOMPARE(allRows(t->path).size(), 6);
    }

    void failedDatesCorrected()
    {
        QList<MemberRecord> expected = allRows(t->path);
        // Left by earlier operations: "salvar" hides noSuchCardNote but leaves the colours alone.
        t->form.noSuchCardNote.setVisible(true);
        t->form.emailBox.setBackColor(Form1::kRed);
        t->click(t->form.newMemberButton, {"0030"});
        t->type({"nameBox=Eva", "birthDayBox=31", "birthMonthBox=4", "birthYearBox=1990"});
        t->form.saveNewMemberButton.click();
        QCOMPARE(t->window(), "noSuchCardNote dateErrorNote saveNewMemberButton leaveNewMemberButton edit @nameBox");
        QCOMPARE(allRows(t->path), expected);

        // Without a birth date, as "Alta" stores it.
        t->type({"birthDayBox=", "birthMonthBox=", "birthYearBox="});
        t->form.saveNewMemberButton.click();
        QCOMPARE(allRows(t->path), expected << newRow({"ntarjeta=0030", "nombre=Eva"}));
        QCOMPARE(t->window(), kIdle);
        QCOMPARE(t->boxes(), QStringList{"emailBox:red"});
    }

    void takenMeanwhile()
    {
        t->click(t->form.newMemberButton, {"0030"});
        t->type({"nameBox=Eva", "birthYearBox=1990"});
        VERIFY_OK(t->store.append(sampleMember("0030"))); // another till registers the number
        const QList<MemberRecord> before = allRows(t->path);

        // Asked for another number with what was typed kept: the taken one again is refused, "*" keeps the member open.
        const QStringList typed = {"nameBox=Eva", "birthDayBox=00", "birthMonthBox=00", "birthYearBox=1990",
                                   "cardNumberBox=0030"};
        t->click(t->form.saveNewMemberButton, {"0030", "*"});
        QCOMPARE(t->prompts.mid(1),
                 QStringList(
                     2, "leaveWithStarNote numberTakenNote saveNewMemberButton leaveNewMemberButton edit @nameBox | " +
                            typed.join(' ')));
        QCOMPARE(allRows(t->path), before);
        QCOMPARE(t->window(), "numberTakenNote saveNewMemberButton leaveNewMemberButton edit @nameBox");
        QCOMPARE(t->boxes(), typed);

        // "salvar" again: a free number this time saves the member as typed, under that number.
        t->click(t->form.saveNewMemberButton, {"ñ0031"});
        QCOMPARE(allRows(t->path), before + QList{newRow({"ntarjeta=0031", "nombre=Eva", "fnacimiento=00/00/1990"})});
        QCOMPARE(t->window(), kIdle);
    }

    void fileGoneWhileAnotherNumberIsAsked()
    {
        t->click(t->form.newMemberButton, {"0030"});
        t->type({"nameBox=Eva"});
        VERIFY_OK(t->store.append(sampleMember("0030"))); // another till registers the number
        t->prompt.setBeforeEachAnswer([this](int asked) {
            if (asked == 1) // while the operator is asked for another number
                QVERIFY(QFile::remove(t->path));
        });
        t->click(t->form.saveNewMemberButton, {"0031"});
        QCOMPARE(t->messages.failures.size(), 1);
        QCOMPARE(t->messages.failures.first().path, t->path);
        QVERIFY(!QFile::exists(t->path)); // nothing made in its place
        QCOMPARE(t->window(), "numberTakenNote saveNewMemberButton leaveNewMemberButton edit @nameBox");
        QVERIFY(t->boxes().contains("nameBox=Eva"));
    }
};

QTEST_GUILESS_MAIN(TestNewMember)
#include "TestNewMember.moc"
