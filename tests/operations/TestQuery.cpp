#include "operations/CardEntry.h"
#include "tests/support/OperationFixture.h"

#include <QTest>

// The card number prompt and "Consulta".
class TestQuery : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

private slots:
    void init() { t.emplace(); }

    void normalise_data()
    {
        const DataTable<QString, QString> row("entry", "normalised");
        row("card reader", "ñ0001", "0001");
        row("only one ñ dropped", "ññ0001", "ñ0001");
        row("ten characters", "0123456789", "0123456");
        row("ñ then leave", "ñ*", "*");
        row("leave with more", "*x", "*x");
        row("cancelled", "", "");
        row("ñ alone", "ñ", "");
        row("capital Ñ and blanks kept", "Ñ0001 ", "Ñ0001 ");
        row("seventh character outside the BMP", "123456😀89", "123456😀");
    }

    void normalise()
    {
        QFETCH(QString, entry);
        QFETCH(QString, normalised);
        QCOMPARE(CardEntry::normalise(entry), normalised);
    }

    void passes_data()
    {
        // shown: the fixture row on screen after each pass but the last; -1: none
        const DataTable<QStringList, QList<int>> row("answers", "shown");
        row("card reader, not found, cancel asks again", {"ñ0001", "9999", "ñ0001", "", "*"}, {0, -1, 0, -1});
        row("red boxes light yellow again", {"0007", "0001", "*"}, {1, 0});
        row("*x is a number, ñ* leaves", {"*x", "ñ*"}, {-1});
    }

    void passes()
    {
        QFETCH(QStringList, answers);
        QFETCH(QList<int>, shown);
        const QList<MemberRecord> rows = allRows(t->path);
        // While prompting the operation buttons are disabled and the boxes locked; each pass starts from empty,
        // light-yellow boxes. Of the labels left by earlier operations, noSuchCardNote is not touched.
        QStringList expected = {"leaveWithStarNote noSuchCardNote | birthDayBox:red"};
        for (int row : shown)
            expected << "leaveWithStarNote noSuchCardNote | " +
                            (row < 0 ? QStringList() : OperationFixture::shown(rows[row])).join(' ');
        t->leaveLeftovers();
        t->form.noSuchCardNote.setVisible(true);
        t->click(t->form.queryButton, answers);

        QCOMPARE(t->prompts, expected);
        // The pass of "*" runs in full: it clears the boxes and their colours.
        QCOMPARE(t->boxes(), QStringList());
        QCOMPARE(t->window(), "chooseOperationNote noSuchCardNote ops");
    }
};

QTEST_GUILESS_MAIN(TestQuery)
#include "TestQuery.moc"
