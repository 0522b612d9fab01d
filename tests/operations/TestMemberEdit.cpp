#include "tests/support/OperationFixture.h"

#include <QTest>

const QString kEditing = QStringLiteral("changeDataNote saveEditedMemberButton leaveEditButton edit @nameBox");
const QString kDone = QStringLiteral("chooseOperationNote ops @queryButton");

// "Modificar", "Salvar registro" and "Salir sin salvar".
class TestMemberEdit : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

private slots:
    void init() { t.emplace(); }

    void cardEntryAndLeaving_data()
    {
        // shown: the row shown for editing, -1 when the operator left; refused: typed and saved in vain before leaving
        const DataTable<QStringList, int, QStringList> row("answers", "shown", "refused");
        row("star at the first prompt", {"*"}, -1, {});
        row("no row, cancelled, then ñ*", {"9999", "", "ñ*"}, -1, {});
        row("no row, then a row without dates", {"9999", "0012"}, 2, {});
        row("card reader, empty marks, a date refused", {"ñ0007"}, 1, {"birthMonthBox=13"});
    }

    void cardEntryAndLeaving()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, shown);
        QFETCH(QStringList, refused);
        const QList<MemberRecord> rows = allRows(t->path);
        // Left by earlier operations: noSuchCardNote stays beside enterCardNote until the first pass ends.
        t->leaveLeftovers();
        t->form.noSuchCardNote.setVisible(shown >= 0);
        // The edit boxes are open while the card number is asked for.
        QStringList expected = {QString("enterCardNote leaveWithStarNote ") + (shown >= 0 ? "noSuchCardNote " : "") +
                                "saveEditedMemberButton- leaveEditButton- edit | nameBox=resto birthDayBox:red"};
        while (expected.size() < answers.size())
            expected << "leaveWithStarNote noSuchCardNote saveEditedMemberButton- leaveEditButton- edit | ";
        t->click(t->form.editMemberButton, answers);

        QCOMPARE(t->prompts, expected);
        // Leaving, "no existe ..." stays in place of "elegir proceso".
        QCOMPARE(t->window(), shown < 0 ? "noSuchCardNote ops" : kEditing);
        QCOMPARE(t->boxes(), shown < 0 ? QStringList() : OperationFixture::shown(rows[shown]));
        t->type(refused);
        if (!refused.isEmpty())
            t->form.saveEditedMemberButton.click();
        t->form.leaveEditButton.click(); // shown only in the editing state
        QCOMPARE(t->window(), shown < 0 ? "noSuchCardNote ops" : kDone);
        QCOMPARE(t->boxes().filter("="), QStringList());
        QCOMPARE(allRows(t->path), rows);
    }

    void save_data()
    {
        // refused: typed first, refused for its dates, so that nothing is written until `typed` is saved;
        // row: the row rewritten; written: its fields that change
        const DataTable<QString, QStringList, QStringList, int, QStringList> row("card", "refused", "typed", "row",
                                                                                 "written");
        row("unchanged, card number included", "0001", {}, {}, 0, {});
        row("00/00/0000 written as the empty mark", "0012", {}, {}, 2, {"fnacimiento=*****"});
        row("typed", "0001", {}, {"nameBox=Anabel", "birthDayBox=5", "expiryMonthBox=", "expiryYearBox="}, 0,
            {"nombre=Anabel", "fnacimiento=05/03/1985", "fcaducidad=00/0000"});
        // The month typed before the refusal stays for the next try.
        row("31 April refused, then corrected", "0001", {"birthDayBox=31", "birthMonthBox=4"},
            {"birthDayBox=30", "birthYearBox=1990"}, 0, {"fnacimiento=30/04/1990"});
        // An import keeps two rows with one number: the last is shown and rewritten, the other left as it is.
        row("two rows: the one shown is written", "0020", {}, {"nameBox=Tercero"}, 4, {"nombre=Tercero"});
    }

    void save()
    {
        QFETCH(QString, card);
        QFETCH(QStringList, refused);
        QFETCH(QStringList, typed);
        QFETCH(int, row);
        QFETCH(QStringList, written);
        QList<MemberRecord> expected = allRows(t->path);
        t->click(t->form.editMemberButton, {card});
        if (!refused.isEmpty()) {
            t->type(refused);
            t->form.saveEditedMemberButton.click();
            QCOMPARE(allRows(t->path), expected);
            QCOMPARE(t->window(), "dateErrorNote saveEditedMemberButton leaveEditButton edit @nameBox");
        }
        expected[row] = OperationFixture::changed(expected[row], written);
        t->type(typed);
        t->form.saveEditedMemberButton.click();

        QCOMPARE(allRows(t->path), expected);
        QCOMPARE(t->window(), kDone);
        QCOMPARE(t->boxes().filter("="), QStringList()); // emptied; red ones stay red
    }

    void changedMeanwhile()
    {
        // Another till changes the member on screen (the last of two rows on 0020) during the edit: nothing is
        // saved, and the boxes behind the message already show the stored member as "Consulta" does, each date
        // split into its boxes. The change made again goes into that row.
        QList<MemberRecord> rows = allRows(t->path);
        t->click(t->form.editMemberButton, {"0020"});
        execSql(t->path, "UPDATE ficha SET fnacimiento = '12/10/1951', fcaducidad = '12/2007' WHERE rowid = 5");
        rows[4] = OperationFixture::changed(rows[4], {"fnacimiento=12/10/1951", "fcaducidad=12/2007"});
        t->type({"nameBox=Tercero", "birthDayBox=", "birthMonthBox=", "birthYearBox="});
        t->form.saveEditedMemberButton.click();
        QCOMPARE(allRows(t->path), rows);
        QVERIFY(t->messages.notices.size() == 1 && t->messages.notices[0].startsWith("Otra caja ha cambiado"));
        QCOMPARE(t->behindMessages, QList<QStringList>{OperationFixture::shown(rows[4])});
        QCOMPARE(t->boxes(), OperationFixture::shown(rows[4]));
        QCOMPARE(t->window(), kEditing);

        t->type({"nameBox=Tercero"});
        t->form.saveEditedMemberButton.click();
        rows[4].nombre = "Tercero";
        QCOMPARE(allRows(t->path), rows);
        QCOMPARE(t->window(), kDone);
    }
};

QTEST_GUILESS_MAIN(TestMemberEdit)
#include "TestMemberEdit.moc"
