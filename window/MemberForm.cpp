// The member form routines of Form1: show, clear, check and store one member in the sixteen member boxes.

#include "window/Form1.h"

#include "conversions/Characters.h"
#include "conversions/Conversions.h"

namespace {

// A box receives a field's text; the empty mark shows as an empty red box.
void showField(Control& box, const QString& value)
{
    box.setText(value);
    if (box.text() == kEmptyMark) {
        box.setText(QString());
        box.setBackColor(Form1::kRed);
    }
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
    showField(nameBox, row.nombre);
    showField(surnameBox, row.apellidos);
    showField(streetBox, row.calle);
    showField(postcodeBox, row.cp);
    showField(cityBox, row.ciudad);
    showField(phoneBox, row.telefono);

    spareBirthDateBox.setText(row.fnacimiento);
    if (spareBirthDateBox.text() != kEmptyMark) {
        birthDayBox.setText(midChars(spareBirthDateBox.text(), 1, 2));
        birthMonthBox.setText(midChars(spareBirthDateBox.text(), 4, 2));
        birthYearBox.setText(midChars(spareBirthDateBox.text(), 7, 4));
    } else {
        for (Control* box : {&birthDayBox, &birthMonthBox, &birthYearBox}) {
            box->setText(QString());
            box->setBackColor(kRed);
        }
    }

    showField(emailBox, row.email);
    showField(memberNumberBox, row.nsocio);
    showField(notesBox, row.observaciones);
    showField(pointsBox, row.puntos);
    showField(cardNumberBox, row.ntarjeta);

    expiryYearBox.setText(row.fcaducidad);
    if (expiryYearBox.text() != kEmptyMark) {
        expiryMonthBox.setText(midChars(expiryYearBox.text(), 1, 2));
        expiryYearBox.setText(midChars(expiryYearBox.text(), 4, 4));
    } else {
        for (Control* box : {&expiryMonthBox, &expiryYearBox}) {
            box->setText(QString());
            box->setBackColor(kRed);
        }
    }
}

void Form1::showMembers(std::span<const MemberRecord> rows)
{
    if (rows.empty())
        return;
    struct FieldBoxes
    {
        Field field;
        std::array<Control*, 3> boxes; // nullptr past the field's last box
    };
    const FieldBoxes boxesOf[] = {
        {Field::nombre, {&nameBox}},
        {Field::apellidos, {&surnameBox}},
        {Field::calle, {&streetBox}},
        {Field::cp, {&postcodeBox}},
        {Field::ciudad, {&cityBox}},
        {Field::telefono, {&phoneBox}},
        {Field::fnacimiento, {&birthDayBox, &birthMonthBox, &birthYearBox}},
        {Field::email, {&emailBox}},
        {Field::nsocio, {&memberNumberBox}},
        {Field::observaciones, {&notesBox}},
        {Field::puntos, {&pointsBox}},
        {Field::ntarjeta, {&cardNumberBox}},
        {Field::fcaducidad, {&expiryMonthBox, &expiryYearBox}},
    };
    showMember(rows.back());
    for (const FieldBoxes& entry : boxesOf) {
        const Field field = entry.field;
        if (std::none_of(rows.begin(), rows.end() - 1,
                         [field](const MemberRecord& row) { return row[field] == kEmptyMark; }))
            continue;
        for (Control* box : entry.boxes)
            if (box)
                box->setBackColor(kRed);
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
    spareFlagBox.setText(QStringLiteral("true"));
    const bool failures[] = {
        month > 12,
        year > 2100,
        isOneOf(month, {1, 3, 5, 7, 8, 10, 12}) && day > 31,
        isOneOf(month, {4, 6, 9, 11}) && day > 30,
        month == 2 && day > 29,
        expiryMonth > 12,
        expiryYear > 2100,
    };
    for (bool failed : failures)
        if (failed)
            spareFlagBox.setText(QStringLiteral("false"));

    // A birth date without its day or its month keeps only its year, whatever the verdict.
    if (day == 0 || month == 0) {
        birthDayBox.setText(QStringLiteral("00"));
        birthMonthBox.setText(QStringLiteral("00"));
    }
    return spareFlagBox.text() == QLatin1String("true");
}

MemberRecord Form1::storeMemberBoxes(StoreVariant variant)
{
    MemberRecord row;
    row.nombre = storedText(nameBox);
    row.apellidos = storedText(surnameBox);

    padWithZeros(birthDayBox, 2);
    padWithZeros(birthMonthBox, 2);
    padWithZeros(birthYearBox, 4);
    birthYearBox.setText(birthDayBox.text() + QLatin1Char('/') + birthMonthBox.text() + QLatin1Char('/') +
                         birthYearBox.text());
    if (variant == StoreVariant::Edited && birthYearBox.text() == QLatin1String("00/00/0000"))
        birthYearBox.setText(kEmptyMark);
    row.fnacimiento = birthYearBox.text();

    row.calle = storedText(streetBox);
    row.cp = storedText(postcodeBox);
    row.ciudad = storedText(cityBox);
    row.telefono = storedText(phoneBox);
    row.email = storedText(emailBox);

    // An expiry date has no empty mark: left empty it is stored as "00/0000".
    padWithZeros(expiryMonthBox, 2);
    padWithZeros(expiryYearBox, 4);
    expiryYearBox.setText(expiryMonthBox.text() + QLatin1Char('/') + expiryYearBox.text());
    row.fcaducidad = expiryYearBox.text();

    row.observaciones = storedText(notesBox);
    row.nsocio = storedText(memberNumberBox);
    row.puntos = storedText(pointsBox);
    row.ntarjeta = cardNumberBox.text();
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
    cardEntryBox.setText(QString());
}
