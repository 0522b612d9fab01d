#include "tests/support/TestSupport.h"
#include "window/Form1.h"

#include <QTemporaryDir>
#include <QTest>

// Enter-key navigation between the member boxes, and from the amount box to "añadir puntos".
class TestKeyNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void enterWalksTheRing();
    void otherKeysLeaveTheFocus_data();
    void otherKeysLeaveTheFocus();
    void amountLeadsToAddButton();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Form1> m_form;
};

void TestKeyNavigation::init()
{
    m_form = std::make_unique<Form1>();
    QCOMPARE(m_form->Form_Load(MemberStore(createMemberFile(m_dir)), FixedClock(QDate(2026, 3, 10))), std::nullopt);
}

void TestKeyNavigation::enterWalksTheRing()
{
    // Screen order: name, surname, birth date, address, telephone, e-mail, member number, expiry date, points,
    // notes; the card number box Text4 is skipped.
    const QStringList expected = {"Text26", "Text28", "Text29", "Text30", "Text34", "Text35", "Text36", "Text38",
                                  "Text40", "Text1",  "Text45", "Text46", "Text2",  "Text47", "Text25"};
    Form1& f = *m_form;
    f.UnlockMemberBoxesForEntry();
    QVERIFY(f.Text25.hasFocus());
    QStringList visited;
    for (int step = 0; step < expected.size(); ++step) {
        Control* box = f.focusedControl();
        QVERIFY(box);
        box->setText(box->name());
        int key = 13;
        box->keyPress(key);
        QCOMPARE(key, 13);
        visited << f.focusedControl()->name();
    }
    QCOMPARE(visited, expected);
    // What was typed stays where it was typed.
    for (Control* box : f.memberBoxes())
        QCOMPARE(box->text(), box == &f.Text4 ? QString() : box->name());
    QCOMPARE(f.focusErrors(), 0);
}

void TestKeyNavigation::otherKeysLeaveTheFocus_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::newRow("Tab") << "Text25" << 9;
    QTest::newRow("line feed") << "Text47" << 10;
    QTest::newRow("letter") << "Text1" << int('a');
    QTest::newRow("ñ") << "Text26" << 0xF1;
    QTest::newRow("Enter in the card number box") << "Text4" << 13;
}

void TestKeyNavigation::otherKeysLeaveTheFocus()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    Form1& f = *m_form;
    f.UnlockMemberBoxesForEntry();
    Control* control = f.find(box);
    control->setEnabled(true); // Text4 is never enabled for typing; the key is delivered all the same
    control->setFocus();
    const int sent = key;
    control->keyPress(key);
    QCOMPARE(key, sent);
    QCOMPARE(f.focusedControl(), control);
}

void TestKeyNavigation::amountLeadsToAddButton()
{
    Form1& f = *m_form;
    f.Command4.setVisible(true);
    f.Command4.setEnabled(true);
    f.Text8.setVisible(true);
    f.Text8.setFocus();
    f.Text8.setText(QStringLiteral("25"));
    int key = 13;
    f.Text8.keyPress(key);
    QVERIFY(f.Command4.hasFocus());
    QCOMPARE(f.Text8.text(), QStringLiteral("25"));
    QCOMPARE(f.focusErrors(), 0);
}

QTEST_GUILESS_MAIN(TestKeyNavigation)
#include "TestKeyNavigation.moc"
