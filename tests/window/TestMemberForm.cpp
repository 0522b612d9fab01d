#include "tests/support/TestSupport.h"
#include "window/Form1.h"

#include <QTest>

using Variant = Form1::StoreVariant;
Q_DECLARE_METATYPE(Form1::StoreVariant)

// The member form routines, on the window model alone.
class TestMemberForm : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_form = std::make_unique<Form1>(); }

    void showsEmptyMarksAsRedBoxes();
    void roundTrip_data();
    void roundTrip();
    void dateCheck_data();
    void dateCheck();
    void storedDates_data();
    void storedDates();
    void storeRewritesBoxesInOrder();
    void unlockFocusesNameAndLocksCard();
    void enterWalksTheRing();
    void otherKeysLeaveTheFocus_data();
    void otherKeysLeaveTheFocus();

private:
    QStringList redBoxes() const;
    std::unique_ptr<Form1> m_form;
};

QStringList TestMemberForm::redBoxes() const
{
    QStringList red;
    for (Control* box : m_form->memberBoxes())
        if (box->backColor() == Form1::kRed)
            red << box->name();
    return red;
}

void TestMemberForm::showsEmptyMarksAsRedBoxes()
{
    MemberRecord row;
    for (Field field : allFields())
        row[field] = kEmptyMark;
    row.ntarjeta = QStringLiteral("0007");
    m_form->ShowMemberRecord(row);
    for (Control* box : m_form->memberBoxes())
        QCOMPARE(box->text(), box == &m_form->Text4 ? QStringLiteral("0007") : QString());
    QStringList expected;
    for (Control* box : m_form->memberBoxes())
        if (box != &m_form->Text4)
            expected << box->name();
    QCOMPARE(redBoxes(), expected);

    // Emptying a box does not restore its colour; only the colour reset does.
    m_form->ClearMemberBoxes();
    QCOMPARE(redBoxes(), expected);
    m_form->ResetMemberBoxColours();
    QVERIFY(redBoxes().isEmpty());
}

void TestMemberForm::roundTrip_data()
{
    QTest::addColumn<MemberRecord>("stored");
    QTest::addColumn<Variant>("variant");
    QTest::addColumn<MemberRecord>("written");

    const MemberRecord full = sampleMember(QStringLiteral("0001"));
    QTest::newRow("full member, new") << full << Variant::New << full;
    QTest::newRow("full member, edited") << full << Variant::Edited << full;

    MemberRecord marks;
    for (Field field : allFields())
        marks[field] = kEmptyMark;
    marks.ntarjeta = QStringLiteral("0007");
    MemberRecord marksNew = marks;
    marksNew.fnacimiento = QStringLiteral("00/00/0000");
    marksNew.fcaducidad = QStringLiteral("00/0000");
    MemberRecord marksEdited = marksNew;
    marksEdited.fnacimiento = kEmptyMark;
    QTest::newRow("empty marks, new") << marks << Variant::New << marksNew;
    QTest::newRow("empty marks, edited") << marks << Variant::Edited << marksEdited;

    MemberRecord noDates = full;
    noDates.fnacimiento = QStringLiteral("00/00/0000");
    noDates.fcaducidad = QStringLiteral("00/0000");
    MemberRecord noDatesEdited = noDates;
    noDatesEdited.fnacimiento = kEmptyMark;
    QTest::newRow("no birth date, new") << noDates << Variant::New << noDates;
    QTest::newRow("no birth date, edited") << noDates << Variant::Edited << noDatesEdited;

    MemberRecord blanks = full;
    blanks.nombre = QStringLiteral(" ");
    blanks.observaciones = QStringLiteral("'; DROP TABLE ficha; -- 😀");
    QTest::newRow("a single blank stays a blank") << blanks << Variant::New << blanks;
}

void TestMemberForm::roundTrip()
{
    QFETCH(MemberRecord, stored);
    QFETCH(Variant, variant);
    QFETCH(MemberRecord, written);
    m_form->ShowMemberRecord(stored);
    QCOMPARE(m_form->StoreMemberBoxes(variant), written);
}

void TestMemberForm::dateCheck_data()
{
    QTest::addColumn<QStringList>("boxes"); // day, month, year, expiry month, expiry year
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QStringList>("dayMonthAfter");

    QTest::newRow("31 April") << QStringList{"31", "4", "1990", "", ""} << false << QStringList{"31", "4"};
    QTest::newRow("30 April") << QStringList{"30", "4", "1990", "", ""} << true << QStringList{"30", "4"};
    QTest::newRow("31 December") << QStringList{"31", "12", "1990", "", ""} << true << QStringList{"31", "12"};
    QTest::newRow("32 January") << QStringList{"32", "01", "1990", "", ""} << false << QStringList{"32", "01"};
    QTest::newRow("29 February, any year") << QStringList{"29", "2", "2001", "", ""} << true << QStringList{"29", "2"};
    QTest::newRow("30 February") << QStringList{"30", "2", "2000", "", ""} << false << QStringList{"30", "2"};
    QTest::newRow("month 13") << QStringList{"1", "13", "1990", "", ""} << false << QStringList{"1", "13"};
    QTest::newRow("year 2100") << QStringList{"1", "1", "2100", "", ""} << true << QStringList{"1", "1"};
    QTest::newRow("year 2101") << QStringList{"1", "1", "2101", "", ""} << false << QStringList{"1", "1"};
    QTest::newRow("expiry month 13") << QStringList{"1", "1", "1990", "13", "2027"} << false << QStringList{"1", "1"};
    QTest::newRow("expiry year 2100") << QStringList{"1", "1", "1990", "12", "2100"} << true << QStringList{"1", "1"};
    QTest::newRow("expiry year 2101") << QStringList{"1", "1", "1990", "12", "2101"} << false << QStringList{"1", "1"};
    QTest::newRow("day 45, month 0") << QStringList{"45", "0", "1980", "", ""} << true << QStringList{"00", "00"};
    QTest::newRow("month left empty") << QStringList{"15", "", "1990", "", ""} << true << QStringList{"00", "00"};
    QTest::newRow("empty day, month 13") << QStringList{"", "13", "", "", ""} << false << QStringList{"00", "00"};
    QTest::newRow("month empty, expiry 13")
        << QStringList{"15", "", "1990", "13", ""} << false << QStringList{"00", "00"};
    QTest::newRow("negative day") << QStringList{"-5", "1", "1990", "", ""} << true << QStringList{"-5", "1"};
    QTest::newRow("month not whole") << QStringList{"40", "1.5", "1990", "", ""} << true << QStringList{"40", "1.5"};
    QTest::newRow("month with comma") << QStringList{"31", "4,5", "1990", "", ""} << false << QStringList{"31", "4,5"};
    QTest::newRow("every test fails") << QStringList{"45", "13", "2500", "13", "2500"} << false
                                      << QStringList{"45", "13"};
}

void TestMemberForm::dateCheck()
{
    QFETCH(QStringList, boxes);
    QFETCH(bool, passes);
    QFETCH(QStringList, dayMonthAfter);
    Form1& f = *m_form;
    f.Text7.setText(QStringLiteral("stale"));
    Control* dateBoxes[] = {&f.Text28, &f.Text29, &f.Text30, &f.Text45, &f.Text46};
    for (int i = 0; i < 5; ++i)
        dateBoxes[i]->setText(boxes[i]);
    QCOMPARE(f.CheckMemberDates(), passes);
    QCOMPARE(f.Text7.text(), passes ? QStringLiteral("true") : QStringLiteral("false"));
    QCOMPARE((QStringList{f.Text28.text(), f.Text29.text()}), dayMonthAfter);
    QCOMPARE(f.Text30.text(), boxes[2]);
}

void TestMemberForm::storedDates_data()
{
    QTest::addColumn<QStringList>("boxes"); // day, month, year, expiry month, expiry year
    QTest::addColumn<Variant>("variant");
    QTest::addColumn<QString>("fnacimiento");
    QTest::addColumn<QString>("fcaducidad");

    QTest::newRow("short parts padded") << QStringList{"5", "3", "1980", "6", "2012"} << Variant::New << "05/03/1980"
                                        << "06/2012";
    QTest::newRow("two-digit year") << QStringList{"7", "3", "85", "", ""} << Variant::New << "07/03/0085"
                                    << "00/0000";
    QTest::newRow("long parts keep their last characters")
        << QStringList{"123", "0012", "19999", "123", "12345"} << Variant::New << "23/12/9999"
        << "23/2345";
    QTest::newRow("only a year") << QStringList{"00", "00", "1990", "", ""} << Variant::Edited << "00/00/1990"
                                 << "00/0000";
    QTest::newRow("nothing, new") << QStringList{"", "", "", "", ""} << Variant::New << "00/00/0000"
                                  << "00/0000";
    QTest::newRow("nothing, edited") << QStringList{"", "", "", "", ""} << Variant::Edited << "*****"
                                     << "00/0000";
    QTest::newRow("zeros typed, edited") << QStringList{"0", "0", "0", "0", "0"} << Variant::Edited << "*****"
                                         << "00/0000";
    QTest::newRow("characters, not bytes") << QStringList{"ñ", "😀", "", "", ""} << Variant::New << "0ñ/0😀/0000"
                                           << "00/0000";
}

void TestMemberForm::storedDates()
{
    QFETCH(QStringList, boxes);
    QFETCH(Variant, variant);
    QFETCH(QString, fnacimiento);
    QFETCH(QString, fcaducidad);
    Form1& f = *m_form;
    Control* dateBoxes[] = {&f.Text28, &f.Text29, &f.Text30, &f.Text45, &f.Text46};
    for (int i = 0; i < 5; ++i)
        dateBoxes[i]->setText(boxes[i]);
    const MemberRecord row = f.StoreMemberBoxes(variant);
    QCOMPARE(row.fnacimiento, fnacimiento);
    QCOMPARE(row.fcaducidad, fcaducidad);
    QCOMPARE(f.Text30.text(), fnacimiento);
    QCOMPARE(f.Text46.text(), fcaducidad);
}

void TestMemberForm::storeRewritesBoxesInOrder()
{
    QStringList changes;
    connect(m_form.get(), &Form1::changed, this, [&](Control& control, Form1::Property property) {
        if (property == Form1::Property::Text)
            changes << control.name() + QLatin1Char('=') + control.text();
    });
    m_form->Text4.setText(QStringLiteral("0042"));
    changes.clear();
    const MemberRecord row = m_form->StoreMemberBoxes(Variant::Edited);
    QCOMPARE(changes, (QStringList{"Text25=*****", "Text26=*****", "Text28=00", "Text29=00", "Text30=0000",
                                   "Text30=00/00/0000", "Text30=*****", "Text34=*****", "Text35=*****", "Text36=*****",
                                   "Text38=*****", "Text40=*****", "Text45=00", "Text46=0000", "Text46=00/0000",
                                   "Text47=*****", "Text1=*****", "Text2=*****"}));
    QCOMPARE(row.ntarjeta, QStringLiteral("0042"));
}

void TestMemberForm::unlockFocusesNameAndLocksCard()
{
    m_form->Text25.setVisible(true);
    m_form->UnlockMemberBoxesForEntry();
    QCOMPARE(m_form->focusedControl(), &m_form->Text25);
    QCOMPARE(m_form->focusErrors(), 0);
    for (Control* box : m_form->memberBoxes())
        QCOMPARE(box->isEnabled(), box != &m_form->Text4);
    m_form->LockMemberBoxes();
    for (Control* box : m_form->memberBoxes())
        QVERIFY(!box->isEnabled());
    QCOMPARE(m_form->focusedControl(), nullptr);
}

void TestMemberForm::enterWalksTheRing()
{
    // Screen order, the card number box left out; Text8 leads to "añadir puntos".
    const QStringList ring = {"Text25", "Text26", "Text28", "Text29", "Text30", "Text34", "Text35", "Text36",
                              "Text38", "Text40", "Text1",  "Text45", "Text46", "Text2",  "Text47", "Text25"};
    Form1& f = *m_form;
    for (int i = 0; i + 1 < ring.size(); ++i) {
        Control* box = f.find(ring[i]);
        box->setFocus();
        box->setText(QStringLiteral("typed"));
        int key = 13;
        box->keyPress(key);
        QCOMPARE(key, 13);
        QCOMPARE(f.focusedControl()->name(), ring[i + 1]);
        QCOMPARE(box->text(), QStringLiteral("typed"));
    }
    int key = 13;
    f.Text8.setFocus();
    f.Text8.keyPress(key);
    QCOMPARE(f.focusedControl(), &f.Command4);
    QCOMPARE(f.focusErrors(), 0);
}

void TestMemberForm::otherKeysLeaveTheFocus_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::newRow("Tab") << "Text25" << 9;
    QTest::newRow("line feed") << "Text47" << 10;
    QTest::newRow("letter") << "Text1" << int('a');
    QTest::newRow("Enter in the card number box") << "Text4" << 13;
}

void TestMemberForm::otherKeysLeaveTheFocus()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    Control* control = m_form->find(box);
    control->setFocus();
    control->keyPress(key);
    QCOMPARE(m_form->focusedControl(), control);
}

QTEST_GUILESS_MAIN(TestMemberForm)
#include "TestMemberForm.moc"
