#include "tests/support/OperationFixture.h"

#include <QTest>

// A member found, the amount awaited.
const QString kAwaiting = QStringLiteral("addAmountButton leavePointsButton resetPointsButton amountBox @amountBox");

// "Añadir Puntos": finding the member, then adding, resetting or leaving.
class TestPoints : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

private slots:
    void init() { t.emplace(); }

    void finishing_data()
    {
        // stored: empty when the sum is no number, which is refused: nothing stored, the amount awaited again
        const DataTable<QString, QString, QString, QString> row("balance", "amount", "button", "stored");
        row("15 + 2.5", "15", "2.5", "addAmountButton", " 17.5");
        row("empty mark + 5", "*****", "5", "addAmountButton", " 5");
        row("reset", " 150", "25", "resetPointsButton", "0");
        row("leave", " 150", "25", "leavePointsButton", " 150");
        row("1E308 twice", "1E308", "1E308", "addAmountButton", "");
        row("no number at all", "1E999", "-1E999", "addAmountButton", "");
    }

    void finishing()
    {
        QFETCH(QString, balance);
        QFETCH(QString, amount);
        QFETCH(QString, button);
        QFETCH(QString, stored);
        execSql(t->path, "UPDATE ficha SET puntos = '" + balance + "' WHERE ntarjeta = '0001'");
        t->click(t->form.addPointsButton, {"0001"});
        QCOMPARE(t->window(), kAwaiting);
        QList<MemberRecord> expected = allRows(t->path);
        const bool refused = stored.isEmpty();
        expected[0].puntos = refused ? balance : stored;
        t->form.amountBox.setText(amount);
        t->form.find(button)->setFocus();
        t->form.find(button)->click();

        QCOMPARE(allRows(t->path), expected);
        QCOMPARE(t->messages.notices.size(), refused ? 1 : 0);
        // The stored text is shown, on the colour the balance was shown with.
        QCOMPARE(t->form.pointsBox.text(), expected[0].puntos);
        QCOMPARE(t->boxes().contains("pointsBox:red"), balance == kEmptyMark);
        QCOMPARE(t->window(), refused ? kAwaiting : kIdle);
        QCOMPARE(t->form.amountBox.text(), refused ? amount : QString());
    }

    void findingTheMember_data()
    {
        const DataTable<QStringList, int> row("answers", "found"); // the row found; -1: the operator left
        row("star at the first prompt", {"*"}, -1);
        row("card reader", {"ñ0001"}, 0);
        row("not found, cancelled, then found", {"ññ0001", "", "0012"}, 2);
        row("not found, then ñ*", {"1", "ñ*"}, -1);
        // A card number holding the empty mark shows an empty cardNumberBox.
        row("the empty mark as a card number", {"*****", "*"}, -1);
    }

    void findingTheMember()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, found);
        execSql(t->path, "UPDATE ficha SET ntarjeta = '*****' WHERE ntarjeta = '0007'");
        const QList<MemberRecord> rows = allRows(t->path);
        // Each pass empties the boxes and resets their colours.
        t->leaveLeftovers();
        QStringList expected = {"enterCardNote leaveWithStarNote | nameBox=resto birthDayBox:red"};
        while (expected.size() < answers.size())
            expected << "leaveWithStarNote noSuchCardNote | " +
                            (answers[0] == kEmptyMark ? OperationFixture::shown(rows[1]).join(' ') : "");
        t->click(t->form.addPointsButton, answers);

        QCOMPARE(t->prompts, expected);
        QCOMPARE(t->window(), found < 0 ? kIdle : kAwaiting);
        QCOMPARE(t->boxes(), found < 0 ? QStringList() : OperationFixture::shown(rows[found]));
    }
};

QTEST_GUILESS_MAIN(TestPoints)
#include "TestPoints.moc"
