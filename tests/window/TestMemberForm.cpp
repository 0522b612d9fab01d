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

private slots:
    void init() { f.emplace(); }

    void eachNameFindsOneControl()
    {
        // Design names and roles are all different: either finds the control, and no other.
        for (const Control* control : f->controls()) {
            QCOMPARE(f->find(control->name()), control);
            QCOMPARE(f->find(control->role()), control);
        }
        QCOMPARE(f->find("nameBox"), &f->nameBox);
        QCOMPARE(f->find("Text25"), &f->nameBox);
    }

    void showsEmptyMarksAsRedBoxes()
    {
        f->showMember(emptyMarks());
        QStringList red;
        for (Control* box : f->memberBoxes())
            red << box->role() + (box == &f->cardNumberBox ? "=0007" : ":red");
        QCOMPARE(OperationFixture::boxes(*f), red);
        // Emptying a box does not restore its colour; only the colour reset does.
        f->clearMemberBoxes();
        red.removeOne("cardNumberBox=0007");
        QCOMPARE(OperationFixture::boxes(*f), red);
        f->resetMemberBoxColours();
        QCOMPARE(OperationFixture::boxes(*f), QStringList());
    }

    void manyRowsShownAtOnce_data()
    {
        // Rows of one card number, as only an outside change can leave them, shown in one pass.
        const DataTable<QList<MemberRecord>> row("rows");
        const MemberRecord full = sampleMember("0007");
        const MemberRecord noEmail = OperationFixture::changed(full, {"email=*****", "nombre=Segundo"});
        const MemberRecord noDates = OperationFixture::changed(full, {"fnacimiento=*****", "fcaducidad=*****"});
        row("marks in the first row only", {emptyMarks(), full});
        row("different marks in each", {noEmail, noDates, full});
        row("a thousand rows", QList<MemberRecord>(999, full) + QList<MemberRecord>{noDates, noEmail});
    }

    void manyRowsShownAtOnce()
    {
        // The window ends as showing every row in turn leaves it, working boxes included, and each box changes a
        // bounded number of times, however many rows there are.
        QFETCH(QList<MemberRecord>, rows);
        Form1 oneByOne;
        for (const MemberRecord& row : rows)
            oneByOne.showMember(row);
        Form1 lastOnly;
        int lastRowChanges = 0;
        connect(&lastOnly, &Form1::changed, this, [&] { ++lastRowChanges; });
        lastOnly.showMember(rows.last());

        int changes = 0;
        connect(&*f, &Form1::changed, this, [&] { ++changes; });
        f->showMembers(rows);
        for (const Control* control : oneByOne.controls()) {
            const Control* other = f->find(control->name());
            QCOMPARE(other->text(), control->text());
            QCOMPARE(other->backColor(), control->backColor());
        }
        QVERIFY2(changes <= lastRowChanges + 16, qPrintable(QString::number(changes)));
    }

    void save_data()
    {
        // typed: over the date boxes, if any; saved: the verdict, then fnacimiento and fcaducidad stored
        const DataTable<QString, Variant, QString, MemberRecord> row("typed", "variant", "saved", "shown");
        const MemberRecord full = sampleMember("0001");
        const MemberRecord noDates = OperationFixture::changed(full, {"fnacimiento=00/00/0000", "fcaducidad=00/0000"});
        const MemberRecord blanks = OperationFixture::changed(full, {"nombre= ", "observaciones=';DROP TABLE ficha;😀"});
        // Members shown and saved again without typing.
        row("full member", "", Variant::New, "true 13/03/1985 06/2027", full);
        row("empty marks, new", "", Variant::New, "true 00/00/0000 00/0000", emptyMarks());
        row("empty marks, edited", "", Variant::Edited, "true ***** 00/0000", emptyMarks());
        row("no birth date, new", "", Variant::New, "true 00/00/0000 00/0000", noDates);
        row("no birth date, edited", "", Variant::Edited, "true ***** 00/0000", noDates);
        row("a single blank stays a blank", "", Variant::Edited, "true 13/03/1985 06/2027", blanks);
        // Dates typed: the check, the zero rule whatever the verdict, the padding.
        row("31 April", "31|4|1990||", Variant::New, "false 31/04/1990 00/0000", full);
        row("30 April", "30|04|1990||", Variant::New, "true 30/04/1990 00/0000", full);
        row("32 January", "32|1|1990||", Variant::New, "false 32/01/1990 00/0000", full);
        row("29 February, any year", "29|2|2001||", Variant::New, "true 29/02/2001 00/0000", full);
        row("year and expiry year 2100", "1|1|2100|12|2100", Variant::New, "true 01/01/2100 12/2100", full);
        row("year 2101", "1|1|2101||", Variant::New, "false 01/01/2101 00/0000", full);
        row("expiry month 13", "1|1|1990|13|2027", Variant::New, "false 01/01/1990 13/2027", full);
        row("expiry year 2101", "1|1|1990|6|2101", Variant::New, "false 01/01/1990 06/2101", full);
        row("no month: day not checked, zeros", "45||1980||", Variant::New, "true 00/00/1980 00/0000", full);
        row("month 13 fails, zeros all the same", "|13|||", Variant::New, "false 00/00/0000 00/0000", full);
        row("no lower bound", "-5|1|-1|-1|-1", Variant::New, "true -5/01/00-1 -1/00-1", full);
        row("month not whole: day not checked", "40|1.5|1990||", Variant::New, "true 40/.5/1990 00/0000", full);
        row("two-digit year", "7|3|85||", Variant::New, "true 07/03/0085 00/0000", full);
        row("long parts keep their last characters", "12|0012|19999|123|12345", Variant::New,
            "false 12/12/9999 23/2345", full);
        row("only a year, edited", "00|00|1990||", Variant::Edited, "true 00/00/1990 00/0000", full);
        row("characters, not bytes", "1ñ|1|😀||", Variant::New, "true 1ñ/01/000😀 00/0000", full);
    }

    void save()
    {
        QFETCH(MemberRecord, shown);
        QFETCH(QString, typed);
        QFETCH(Variant, variant);
        QFETCH(QString, saved);
        f->showMember(shown);
        const QStringList dates = typed.split('|'); // birth day, month and year, expiry month and year
        for (int i = 0; i < dates.size() && !typed.isEmpty(); ++i)
            std::array{&f->birthDayBox, &f->birthMonthBox, &f->birthYearBox, &f->expiryMonthBox, &f->expiryYearBox}[i]
                ->setText(dates[i]);
        const bool passed = f->checkMemberDates();
        const MemberRecord row = f->storeMemberBoxes(variant);
        QCOMPARE(QStringList({passed ? "true" : "false", row.fnacimiento, row.fcaducidad}).join(' '), saved);
        QCOMPARE(row,
                 OperationFixture::changed(shown, {"fnacimiento=" + row.fnacimiento, "fcaducidad=" + row.fcaducidad}));
    }

    void enterWalksTheRing()
    {
        // Enter walks the member boxes in screen order, leaving out cardNumberBox, and leads from
        // amountBox to "añadir puntos". Tab, a line feed and a letter leave the focus alone; the text typed stays.
        QList<Control*> boxes(f->memberBoxes().begin(), f->memberBoxes().end());
        QStringList walked;
        for (Control* box : boxes << &f->amountBox) {
            box->setFocus();
            box->setText("typed");
            for (int key : {9, 10, int('a'), 13}) {
                const int pressed = key;
                box->keyPress(key);
                QCOMPARE(key, pressed);
                QCOMPARE(f->focusedControl() == box, pressed != 13 || box == &f->cardNumberBox);
            }
            walked << box->role() + ">" + f->focusedControl()->role();
            QCOMPARE(box->text(), "typed");
        }
        QCOMPARE(walked.join(' '),
                 "nameBox>surnameBox surnameBox>birthDayBox notesBox>nameBox birthDayBox>birthMonthBox "
                 "birthMonthBox>birthYearBox "
                 "birthYearBox>streetBox streetBox>postcodeBox postcodeBox>cityBox cityBox>phoneBox phoneBox>emailBox "
                 "emailBox>memberNumberBox memberNumberBox>expiryMonthBox expiryMonthBox>expiryYearBox "
                 "expiryYearBox>pointsBox cardNumberBox>cardNumberBox pointsBox>notesBox "
                 "amountBox>addAmountButton");
        QCOMPARE(f->focusErrors(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMemberForm)
#include "TestMemberForm.moc"
