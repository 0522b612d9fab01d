#include "tests/support/OperationFixture.h"

#include <QTest>

using Variant = Form1::StoreVariant;
Q_DECLARE_METATYPE(Form1::StoreVariant)

// A member whose every field but the card number 0007 holds the empty mark.
static MemberRecord emptyMarks()
{
    MemberRecord row;
    for (Field field : allFields())
        row[field] = kEmptyMark;
    return OperationFixture::changed(row, {"ntarjeta=0007"});
}

// The member form routines, on the window model alone.
class TestMemberForm : public QObject
{
    Q_OBJECT

    std::optional<Form1> f;

    // The date boxes: day, month and year of birth, expiry month and year, joined by "|".
    QString dates() const
    {
        return QStringList{f->Text28.text(), f->Text29.text(), f->Text30.text(), f->Text45.text(), f->Text46.text()}
            .join('|');
    }
    void typeDates(const QString& dates)
    {
        const QStringList texts = dates.split('|');
        Control* boxes[] = {&f->Text28, &f->Text29, &f->Text30, &f->Text45, &f->Text46};
        for (int i = 0; i < 5; ++i)
            boxes[i]->setText(texts[i]);
    }

private slots:
    void init() { f.emplace(); }

    void showsEmptyMarksAsRedBoxes()
    {
        f->ShowMemberRecord(emptyMarks());
        QStringList red;
        for (Control* box : f->memberBoxes())
            red << box->name() + (box == &f->Text4 ? "=0007" : ":red");
        QCOMPARE(OperationFixture::boxes(*f), red);
        // Emptying a box does not restore its colour; only the colour reset does.
        f->ClearMemberBoxes();
        red.removeOne("Text4=0007");
        QCOMPARE(OperationFixture::boxes(*f), red);
        f->ResetMemberBoxColours();
        QCOMPARE(OperationFixture::boxes(*f), QStringList());
    }

    void roundTrip_data()
    {
        QTest::addColumn<MemberRecord>("stored");
        QTest::addColumn<Variant>("variant");
        QTest::addColumn<QStringList>("changes"); // how the row written differs from the row shown, "field=text"
        auto row = [](const char* name, const MemberRecord& stored, Variant variant, const QStringList& changes) {
            QTest::newRow(name) << stored << variant << changes;
        };
        const MemberRecord full = sampleMember("0001");
        const MemberRecord noDates = OperationFixture::changed(full, {"fnacimiento=00/00/0000", "fcaducidad=00/0000"});
        row("full member", full, Variant::New, {});
        row("empty marks, new", emptyMarks(), Variant::New, {"fnacimiento=00/00/0000", "fcaducidad=00/0000"});
        row("empty marks, edited", emptyMarks(), Variant::Edited, {"fcaducidad=00/0000"});
        row("no birth date, new", noDates, Variant::New, {});
        row("no birth date, edited", noDates, Variant::Edited, {"fnacimiento=*****"});
        row("a single blank stays a blank",
            OperationFixture::changed(full, {"nombre= ", "observaciones='; DROP TABLE ficha; -- 😀"}), Variant::Edited,
            {});
    }

    void roundTrip()
    {
        QFETCH(MemberRecord, stored);
        QFETCH(Variant, variant);
        QFETCH(QStringList, changes);
        f->ShowMemberRecord(stored);
        QCOMPARE(f->StoreMemberBoxes(variant), OperationFixture::changed(stored, changes));
    }

    void dateCheck_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after"); // Text7, then the date boxes
        auto row = [](const char* name, const QString& typed, const QString& after) {
            QTest::newRow(name) << typed << after;
        };
        row("31 April", "31|4|1990||", "false 31|4|1990||");
        row("30 April", "30|04|1990||", "true 30|04|1990||");
        row("31 December", "31|12|1990||", "true 31|12|1990||");
        row("32 January", "32|01|1990||", "false 32|01|1990||");
        row("29 February, any year", "29|2|2001||", "true 29|2|2001||");
        row("30 February", "30|2|2000||", "false 30|2|2000||");
        row("year and expiry year 2100", "1|1|2100|12|2100", "true 1|1|2100|12|2100");
        row("year 2101", "1|1|2101||", "false 1|1|2101||");
        row("expiry month 13", "1|1|1990|13|2027", "false 1|1|1990|13|2027");
        row("expiry year 2101", "1|1|1990|12|2101", "false 1|1|1990|12|2101");
        row("no month: day not checked, then zeros", "45||1980||", "true 00|00|1980||");
        row("month 0 and month 13 fail, zeros all the same", "|13|||", "false 00|00|||");
        row("no lower bound", "-5|1|-1|-1|-1", "true -5|1|-1|-1|-1");
        row("month not whole: day not checked", "40|1.5|1990||", "true 40|1.5|1990||");
        row("comma ends the month", "31|4,5|1990||", "false 31|4,5|1990||");
    }

    void dateCheck()
    {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        f->Text7.setText("false");
        typeDates(typed);
        const bool passed = f->CheckMemberDates();
        QCOMPARE(f->Text7.text() + ' ' + dates(), after);
        QCOMPARE(passed, after.startsWith("true"));
    }

    void storedDates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Variant>("variant");
        QTest::addColumn<QString>("stored"); // fnacimiento and fcaducidad
        auto row = [](const char* name, const QString& typed, Variant variant, const QString& stored) {
            QTest::newRow(name) << typed << variant << stored;
        };
        row("short parts padded", "5|3|1980|6|2012", Variant::New, "05/03/1980 06/2012");
        row("two-digit year", "7|3|85||", Variant::New, "07/03/0085 00/0000");
        row("long parts keep their last characters", "123|0012|19999|123|12345", Variant::New, "23/12/9999 23/2345");
        row("only a year", "00|00|1990||", Variant::Edited, "00/00/1990 00/0000");
        row("nothing, new", "||||", Variant::New, "00/00/0000 00/0000");
        row("nothing, edited", "||||", Variant::Edited, "***** 00/0000");
        row("characters, not bytes", "ñ|😀|||", Variant::New, "0ñ/0😀/0000 00/0000");
    }

    void storedDates()
    {
        QFETCH(QString, typed);
        QFETCH(Variant, variant);
        QFETCH(QString, stored);
        typeDates(typed);
        const MemberRecord row = f->StoreMemberBoxes(variant);
        QCOMPARE(row.fnacimiento + ' ' + row.fcaducidad, stored);
        QCOMPARE(f->Text30.text() + ' ' + f->Text46.text(), stored);
    }

    void storeRewritesBoxesInOrder()
    {
        f->Text4.setText("0042");
        QStringList changes;
        connect(&*f, &Form1::changed, this, [&](Control& control, Form1::Property property) {
            if (property == Form1::Property::Text)
                changes << control.name() + '=' + control.text();
        });
        QCOMPARE(f->StoreMemberBoxes(Variant::Edited).ntarjeta, "0042");
        QCOMPARE(changes, (QStringList{"Text25=*****", "Text26=*****", "Text28=00", "Text29=00", "Text30=0000",
                                       "Text30=00/00/0000", "Text30=*****", "Text34=*****", "Text35=*****",
                                       "Text36=*****", "Text38=*****", "Text40=*****", "Text45=00", "Text46=0000",
                                       "Text46=00/0000", "Text47=*****", "Text1=*****", "Text2=*****"}));
    }

    void unlockFocusesNameAndLocksCard()
    {
        f->restoreIdleState();
        f->UnlockMemberBoxesForEntry();
        QCOMPARE(OperationFixture::window(*f), kIdle + " edit @Text25");
        f->LockMemberBoxes();
        QCOMPARE(OperationFixture::window(*f), kIdle);
    }

    void enterWalksTheRing()
    {
        // Enter walks the member boxes in screen order, leaving out the card number box Text4, and leads from Text8
        // to "añadir puntos". Tab, a line feed and a letter leave the focus alone; the text typed stays.
        QStringList walked;
        for (Control* box : QList<Control*>(f->memberBoxes().begin(), f->memberBoxes().end()) << &f->Text8) {
            box->setFocus();
            box->setText("typed");
            for (int key : {9, 10, int('a'), 13}) {
                const int pressed = key;
                box->keyPress(key);
                QCOMPARE(key, pressed);
                QCOMPARE(f->focusedControl() == box, pressed != 13 || box == &f->Text4);
            }
            walked << box->name() + ">" + f->focusedControl()->name();
            QCOMPARE(box->text(), "typed");
        }
        QCOMPARE(walked.join(' '), "Text25>Text26 Text26>Text28 Text47>Text25 Text28>Text29 Text29>Text30 "
                                   "Text30>Text34 Text34>Text35 Text35>Text36 Text36>Text38 Text38>Text40 "
                                   "Text40>Text1 Text1>Text45 Text45>Text46 Text46>Text2 Text4>Text4 Text2>Text47 "
                                   "Text8>Command4");
        QCOMPARE(f->focusErrors(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMemberForm)
#include "TestMemberForm.moc"
