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

void Form1::ClearMemberBoxes()
{
    for (Control* box : m_memberBoxes)
        box->setText(QString());
}

void Form1::LockMemberBoxes()
{
    for (Control* box : m_memberBoxes)
        box->setEnabled(false);
}

void Form1::UnlockMemberBoxesForEntry()
{
    Text25.setEnabled(true);
    Text25.setFocus();
    for (Control* box : m_memberBoxes)
        if (box != &Text25 && box != &Text4)
            box->setEnabled(true);
    Text4.setEnabled(false);
}

void Form1::ResetMemberBoxColours()
{
    for (Control* box : m_memberBoxes)
        box->setBackColor(kLightYellow);
    cumple.setVisible(false);
}

void Form1::ShowMemberRecord(const MemberRecord& row)
{
    showField(Text25, row.nombre);
    showField(Text26, row.apellidos);
    showField(Text34, row.calle);
    showField(Text35, row.cp);
    showField(Text36, row.ciudad);
    showField(Text38, row.telefono);

    Text3.setText(row.fnacimiento);
    if (Text3.text() != kEmptyMark) {
        Text28.setText(midChars(Text3.text(), 1, 2));
        Text29.setText(midChars(Text3.text(), 4, 2));
        Text30.setText(midChars(Text3.text(), 7, 4));
    } else {
        for (Control* box : {&Text28, &Text29, &Text30}) {
            box->setText(QString());
            box->setBackColor(kRed);
        }
    }

    showField(Text40, row.email);
    showField(Text1, row.nsocio);
    showField(Text47, row.observaciones);
    showField(Text2, row.puntos);
    showField(Text4, row.ntarjeta);

    Text46.setText(row.fcaducidad);
    if (Text46.text() != kEmptyMark) {
        Text45.setText(midChars(Text46.text(), 1, 2));
        Text46.setText(midChars(Text46.text(), 4, 4));
    } else {
        for (Control* box : {&Text45, &Text46}) {
            box->setText(QString());
            box->setBackColor(kRed);
        }
    }
}

void Form1::ShowMemberRecords(std::span<const MemberRecord> rows)
{
    if (rows.empty())
        return;
    struct FieldBoxes
    {
        Field field;
        std::array<Control*, 3> boxes; // nullptr past the field's last box
    };
    const FieldBoxes boxesOf[] = {
        {Field::nombre, {&Text25}},
        {Field::apellidos, {&Text26}},
        {Field::calle, {&Text34}},
        {Field::cp, {&Text35}},
        {Field::ciudad, {&Text36}},
        {Field::telefono, {&Text38}},
        {Field::fnacimiento, {&Text28, &Text29, &Text30}},
        {Field::email, {&Text40}},
        {Field::nsocio, {&Text1}},
        {Field::observaciones, {&Text47}},
        {Field::puntos, {&Text2}},
        {Field::ntarjeta, {&Text4}},
        {Field::fcaducidad, {&Text45, &Text46}},
    };
    ShowMemberRecord(rows.back());
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

bool Form1::CheckMemberDates()
{
    const double day = Val(Text28.text());
    const double month = Val(Text29.text());
    const double year = Val(Text30.text());
    const double expiryMonth = Val(Text45.text());
    const double expiryYear = Val(Text46.text());
    auto isOneOf = [](double value, std::initializer_list<double> values) {
        return std::find(values.begin(), values.end(), value) != values.end();
    };

    // Every test is made, none skipped; each one that holds fails the check.
    Text7.setText(QStringLiteral("true"));
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
            Text7.setText(QStringLiteral("false"));

    // A birth date without its day or its month keeps only its year, whatever the verdict.
    if (day == 0 || month == 0) {
        Text28.setText(QStringLiteral("00"));
        Text29.setText(QStringLiteral("00"));
    }
    return Text7.text() == QLatin1String("true");
}

MemberRecord Form1::StoreMemberBoxes(StoreVariant variant)
{
    MemberRecord row;
    row.nombre = storedText(Text25);
    row.apellidos = storedText(Text26);

    padWithZeros(Text28, 2);
    padWithZeros(Text29, 2);
    padWithZeros(Text30, 4);
    Text30.setText(Text28.text() + QLatin1Char('/') + Text29.text() + QLatin1Char('/') + Text30.text());
    if (variant == StoreVariant::Edited && Text30.text() == QLatin1String("00/00/0000"))
        Text30.setText(kEmptyMark);
    row.fnacimiento = Text30.text();

    row.calle = storedText(Text34);
    row.cp = storedText(Text35);
    row.ciudad = storedText(Text36);
    row.telefono = storedText(Text38);
    row.email = storedText(Text40);

    // An expiry date has no empty mark: left empty it is stored as "00/0000".
    padWithZeros(Text45, 2);
    padWithZeros(Text46, 4);
    Text46.setText(Text45.text() + QLatin1Char('/') + Text46.text());
    row.fcaducidad = Text46.text();

    row.observaciones = storedText(Text47);
    row.nsocio = storedText(Text1);
    row.puntos = storedText(Text2);
    row.ntarjeta = Text4.text();
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
         {&Label12, &Label5, &Label14, &Label17, &Label18, &Label28, &Label35, &Label36, &Label37, &cumple})
        label->setVisible(false);
    Label29.setVisible(true);
    LockMemberBoxes();
    Text8.setVisible(false);
}

void Form1::restoreIdleState()
{
    showIdleState();
    ClearMemberBoxes();
    ResetMemberBoxColours();
    Text8.setText(QString());
    Text52.setText(QString());
}
