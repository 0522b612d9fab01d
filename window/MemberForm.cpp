// The member form routines of Form1: show, clear, check and store one member in the sixteen member boxes.

#include "window/Form1.h"

#include "conversions/Characters.h"
#include "conversions/Conversions.h"

#include <algorithm>

namespace {

// One box of a field: the characters of the stored text that it shows, or the whole text.
struct BoxPart
{
    Control Form1::*box = nullptr;
    int first = 1;   // 1-based
    int length = -1; // -1: the whole text
};

// The member boxes of each field of a row, in the order a member is shown. A date is split over two or three boxes,
// and is stored with each box padded with zeros to its length, the boxes joined by "/".
struct FieldBoxes
{
    Field field;
    std::array<BoxPart, 3> parts; // no box past the field's last one
};

constexpr FieldBoxes kFieldBoxes[] = {
    {Field::nombre, {{{&Form1::nameBox}}}},
    {Field::apellidos, {{{&Form1::surnameBox}}}},
    {Field::calle, {{{&Form1::streetBox}}}},
    {Field::cp, {{{&Form1::postcodeBox}}}},
    {Field::ciudad, {{{&Form1::cityBox}}}},
    {Field::telefono, {{{&Form1::phoneBox}}}},
    {Field::fnacimiento, {{{&Form1::birthDayBox, 1, 2}, {&Form1::birthMonthBox, 4, 2}, {&Form1::birthYearBox, 7, 4}}}},
    {Field::email, {{{&Form1::emailBox}}}},
    {Field::nsocio, {{{&Form1::memberNumberBox}}}},
    {Field::observaciones, {{{&Form1::notesBox}}}},
    {Field::puntos, {{{&Form1::pointsBox}}}},
    {Field::ntarjeta, {{{&Form1::cardNumberBox}}}},
    {Field::fcaducidad, {{{&Form1::expiryMonthBox, 1, 2}, {&Form1::expiryYearBox, 4, 4}}}},
};

bool isDate(const FieldBoxes& entry)
{
    return entry.parts[1].box != nullptr;
}

// An empty box is stored as the empty mark, written back into the box first.
QString storedText(Control& box)
{
    if (box.text().isEmpty())
        box.setText(kEmptyMark);
    return box.text();
}

// The last `width` characters of "0000" followed by the box's text, written back into the box.
void padWithZeros(Control& box, int width)
{
    box.setText(rightChars(QStringLiteral("0000") + box.text(), width));
}

} // namespace

void Form1::clearMemberBoxes()
{
    for (Control* box : m_memberBoxes)
        box->setText(QString());
}

void Form1::lockMemberBoxes()
{
    for (Control* box : m_memberBoxes)
        box->setEnabled(false);
}

void Form1::unlockMemberBoxesForEntry()
{
    nameBox.setEnabled(true);
    nameBox.setFocus();
    for (Control* box : m_memberBoxes)
        if (box != &nameBox && box != &cardNumberBox)
            box->setEnabled(true);
    cardNumberBox.setEnabled(false);
}

void Form1::resetMemberBoxColours()
{
    for (Control* box : m_memberBoxes)
        box->setBackColor(kLightYellow);
    birthdayGreetingNote.setVisible(false);
}

void Form1::showMember(const MemberRecord& row)
{
    for (const FieldBoxes& entry : kFieldBoxes) {
        const QString& value = row[entry.field];
        for (const BoxPart& part : entry.parts) {
            if (!part.box)
                break;
            Control& box = this->*part.box;
            if (value == kEmptyMark) {
                box.setText(QString());
                box.setBackColor(kRed);
            } else {
                box.setText(part.length < 0 ? value : midChars(value, part.first, part.length));
            }
        }
    }
}

void Form1::showMembers(std::span<const MemberRecord> rows)
{
    if (rows.empty())
        return;
    showMember(rows.back());
    for (const FieldBoxes& entry : kFieldBoxes) {
        const Field field = entry.field;
        if (std::none_of(rows.begin(), rows.end() - 1,
                         [field](const MemberRecord& row) { return row[field] == kEmptyMark; }))
            continue;
        for (const BoxPart& part : entry.parts)
            if (part.box)
                (this->*part.box).setBackColor(kRed);
    }
}

bool Form1::checkMemberDates()
{
    const double day = Val(birthDayBox.text());
    const double month = Val(birthMonthBox.text());
    const double year = Val(birthYearBox.text());
    const double expiryMonth = Val(expiryMonthBox.text());
    const double expiryYear = Val(expiryYearBox.text());
    auto isOneOf = [](double value, std::initializer_list<double> values) {
        return std::find(values.begin(), values.end(), value) != values.end();
    };

    // Every test is made, none skipped; each one that holds fails the check.
    const bool failures[] = {
        month > 12,
        year > 2100,
        isOneOf(month, {1, 3, 5, 7, 8, 10, 12}) && day > 31,
        isOneOf(month, {4, 6, 9, 11}) && day > 30,
        month == 2 && day > 29,
        expiryMonth > 12,
        expiryYear > 2100,
    };
    const bool passed = std::none_of(std::begin(failures), std::end(failures), [](bool failed) { return failed; });

    // A birth date without its day or its month keeps only its year, whatever the verdict.
    if (day == 0 || month == 0) {
        birthDayBox.setText(QStringLiteral("00"));
        birthMonthBox.setText(QStringLiteral("00"));
    }
    return passed;
}

MemberRecord Form1::storeMemberBoxes(StoreVariant variant)
{
    MemberRecord row;
    for (const FieldBoxes& entry : kFieldBoxes) {
        Control& first = this->*entry.parts[0].box;
        if (entry.field == Field::ntarjeta) {
            // Never typed into: stored as shown.
            row.ntarjeta = first.text();
        } else if (!isDate(entry)) {
            row[entry.field] = storedText(first);
        } else {
            // The date, written into its last box. An expiry date has no empty mark: left empty it is stored as
            // "00/0000".
            QStringList padded;
            Control* last = nullptr;
            for (const BoxPart& part : entry.parts) {
                if (!part.box)
                    break;
                last = &(this->*part.box);
                padWithZeros(*last, part.length);
                padded << last->text();
            }
            last->setText(padded.join(QLatin1Char('/')));
            if (entry.field == Field::fnacimiento && variant == StoreVariant::Edited &&
                last->text() == QLatin1String("00/00/0000"))
                last->setText(kEmptyMark);
            row[entry.field] = last->text();
        }
    }
    return row;
}

void Form1::showIdleState()
{
    for (Control* button : m_operationButtons)
        button->setEnabled(true);
    for (Control* button : m_finishingButtons) {
        button->setEnabled(false);
        button->setVisible(false);
    }
    for (Control* label :
         {&enterMemberNumberNote, &dateErrorNote, &numberTakenNote, &fillInDataNote, &leaveWithStarNote,
          &enterPointsNote, &noSuchCardNote, &enterCardNote, &changeDataNote, &birthdayGreetingNote})
        label->setVisible(false);
    chooseOperationNote.setVisible(true);
    lockMemberBoxes();
    amountBox.setVisible(false);
}

void Form1::restoreIdleState()
{
    showIdleState();
    clearMemberBoxes();
    resetMemberBoxColours();
    amountBox.setText(QString());
}
