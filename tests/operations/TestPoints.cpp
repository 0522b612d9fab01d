#include "tests/support/OperationFixture.h"

#include <QTest>

// A member found, the amount awaited.
const QString kAwaiting = QStringLiteral("Command4 Command7 Command8 Text8 @Text8");

// "Añadir Puntos": finding the member, then adding, resetting or leaving.
class TestPoints : public QObject
{
    Q_OBJECT

    std::optional<OperationFixture> t;

    // Gives the member with card 0001 this balance and finds it through "Añadir Puntos".
    void findAna(const QString& balance)
    {
        execSql(t->path, "UPDATE ficha SET puntos = '" + balance + "' WHERE ntarjeta = '0001'");
        t->prompt.setAnswers({"0001"});
        t->form.Command6.click();
        QCOMPARE(t->window(), kAwaiting);
    }

private slots:
    void init() { t.emplace(); }

    void finishing_data()
    {
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored");
        auto row = [](const char* name, const QString& balance, const QString& amount, const QString& button,
                      const QString& stored) { QTest::newRow(name) << balance << amount << button << stored; };
        row("10 + 5", "10", "5", "Command4", " 15");
        row("15 + 2.5", "15", "2.5", "Command4", " 17.5");
        row("decimal comma counts the whole part", "15", "2,5", "Command4", " 17");
        row("letters count 0", "15", "diez", "Command4", " 15");
        row("empty amount counts 0", "15", "", "Command4", " 15");
        row("below zero", "15", "-20", "Command4", "-5");
        row("empty mark + 5", "*****", "5", "Command4", " 5");
        row("reset", " 150", "25", "Command8", "0");
        row("leave", " 150", "25", "Command7", " 150");
    }

    void finishing()
    {
        QFETCH(QString, balance);
        QFETCH(QString, amount);
        QFETCH(QString, button);
        QFETCH(QString, stored);
        findAna(balance);
        QList<MemberRecord> expected = allRows(t->path);
        expected[0].puntos = stored;
        t->form.Text8.setText(amount);
        t->form.find(button)->click();

        QCOMPARE(allRows(t->path), expected);
        // The stored text is shown, on the colour the balance was shown with.
        QCOMPARE(t->form.Text2.text(), stored);
        QCOMPARE(t->boxes().contains("Text2:red"), balance == kEmptyMark);
        QCOMPARE(t->window(), kIdle);
        QCOMPARE(t->form.Text8.text(), QString());
    }

    void findingTheMember_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("found"); // the row found; -1: the operator left

        QTest::newRow("star at the first prompt") << QStringList{"*"} << -1;
        QTest::newRow("card reader") << QStringList{"ñ0001"} << 0;
        QTest::newRow("not found, cancelled, then found") << QStringList{"ññ0001", "", "0012"} << 2;
        QTest::newRow("not found, then ñ*") << QStringList{"1", "ñ*"} << -1;
    }

    void findingTheMember()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, found);
        const QList<MemberRecord> rows = allRows(t->path);
        // Each pass empties the boxes and resets their colours.
        t->leaveLeftovers();
        QStringList expected = {"Label36 Label18 | Text25=resto Text28:red"};
        while (expected.size() < answers.size())
            expected << "Label18 Label35 | ";
        t->notePrompts();
        t->prompt.setAnswers(answers);
        t->form.Command6.click();

        QCOMPARE(t->prompts, expected);
        QCOMPARE(t->window(), found < 0 ? kIdle : kAwaiting);
        QCOMPARE(t->boxes(), found < 0 ? QStringList() : OperationFixture::shown(rows[found]));
    }

    void cardHoldingTheEmptyMarkIsNotFound()
    {
        QCOMPARE(t->store.append(sampleMember(kEmptyMark)), std::nullopt);
        t->prompt.setAnswers({"*****", "*"});
        t->form.Command6.click();
        QCOMPARE(t->window(), kIdle);
    }

    void duplicatesAddToTheFirstRow()
    {
        QList<MemberRecord> expected = allRows(t->path);
        t->prompt.setAnswers({"0020"});
        t->form.Command6.click();
        QCOMPARE(t->boxes(), OperationFixture::shown(expected[4]));
        t->form.Text8.setText("5");
        t->form.Command4.click();

        // The first row's own balance (10) takes the amount, not the one shown (20).
        expected[3].puntos = " 15";
        QCOMPARE(allRows(t->path), expected);
        QCOMPARE(t->form.Text2.text(), " 15");
    }

    void sumOutOfRangeIsRefused_data()
    {
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("amount");
        QTest::newRow("1E308 twice") << QString("1E308") << QString("1E308");
        QTest::newRow("no number at all") << QString("1E999") << QString("-1E999");
    }

    void sumOutOfRangeIsRefused()
    {
        QFETCH(QString, balance);
        QFETCH(QString, amount);
        findAna(balance);
        const QList<MemberRecord> rows = allRows(t->path);
        t->form.Text8.setText(amount);
        t->form.Command4.setFocus();
        t->form.Command4.click();

        QCOMPARE(t->messages.notices.size(), 1);
        QCOMPARE(allRows(t->path), rows);
        QCOMPARE(t->window(), kAwaiting);
        QCOMPARE(t->form.Text8.text(), amount);
    }
};

QTEST_GUILESS_MAIN(TestPoints)
#include "TestPoints.moc"
