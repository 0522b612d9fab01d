#include "window/Form1.h"

#include "conversions/Characters.h"
#include "window/Birthdays.h"
#include "window/Clock.h"
#include "window/Form1Catalogue.h"

#include <QDate>

Form1::Form1()
    : m_memberBoxes{&nameBox,        &surnameBox,    &notesBox,      &birthDayBox, &birthMonthBox, &birthYearBox,
                    &streetBox,      &postcodeBox,   &cityBox,       &phoneBox,    &emailBox,      &memberNumberBox,
                    &expiryMonthBox, &expiryYearBox, &cardNumberBox, &pointsBox},
      m_operationButtons{&queryButton, &newMemberButton, &addPointsButton, &editMemberButton},
      m_finishingButtons{&saveNewMemberButton, &saveEditedMemberButton, &addAmountButton,  &leaveNewMemberButton,
                         &leaveEditButton,     &leavePointsButton,      &resetPointsButton}
{
    for (const CatalogueEntry& entry : formCatalogue()) {
        Control& control = this->*entry.member;
        control.init(this, &entry.design);
        m_controls.push_back(&control);
    }

    connectKeyPressHandlers();
}

Form1::~Form1() = default;

Control* Form1::find(QAnyStringView nameOrRole) const
{
    for (Control* control : m_controls)
        if (QAnyStringView::compare(nameOrRole, QLatin1String(control->design().name)) == 0 ||
            QAnyStringView::compare(nameOrRole, QLatin1String(control->design().role)) == 0)
            return control;
    return nullptr;
}

void Form1::noteFocus(Control* control)
{
    m_focused = control;
}

void Form1::notify(Control& control, Property property)
{
    emit changed(control, property);
}

void Form1::giveFocus(Control& control)
{
    if (!control.isVisible() || !control.isEnabled()) {
        ++m_focusErrors;
        qWarning("Form1: the focus was asked for %s, which is %s", control.design().name,
                 control.isVisible() ? "disabled" : "hidden");
        return;
    }
    m_focused = &control;
    emit focusGiven(control);
}

void Form1::loseFocusIfUnusable(Control& control)
{
    if (m_focused == &control && !(control.isVisible() && control.isEnabled()))
        m_focused = nullptr;
}

namespace {

// A name or surname column of the birthday list: its first 17 characters, then one TAB and a blank when that
// is longer than 7 characters, or two TABs and a blank otherwise.
QString listColumn(const QString& text)
{
    const QString cut = leftChars(text, 17);
    return cut + (charCount(cut) > 7 ? QStringLiteral("\t ") : QStringLiteral("\t\t "));
}

} // namespace

StoreResult<void> Form1::load(const MemberStore& store, const Clock& clock, BirthdayList list)
{
    birthdayList.clear();
    birthdayList.setEnabled(false);
    showIdleState();
    // What only start-up does: the controls without a role and the working boxes out of sight.
    dataControl.setVisible(false);
    cardEntryBox.setEnabled(false);
    for (Control* box :
         {&cardEntryBox, &spareBirthDateBox, &spareCardBox, &spareDateBox, &spareFlagBox, &spareActionsBox})
        box->setVisible(false);
    notesBox.setText(QString());

    const StoreResult<void> filled =
        list == BirthdayList::Now ? fillBirthdayList(store, clock.today()) : StoreResult<void>();
    for (Control* box : {&birthDayBox, &birthMonthBox, &birthYearBox})
        box->setText(QString());
    return filled;
}

StoreResult<void> Form1::fillBirthdayList(const MemberStore& store, QDate today)
{
    const StoreResult<QStringList> lines = birthdayLines(store, today);
    if (!lines)
        return lines.error();
    showBirthdayList(*lines);
    return {};
}

void Form1::showBirthdayList(const QStringList& lines)
{
    // One change for the window, however many members are listed.
    birthdayList.addItems(lines);
}

StoreResult<QStringList> Form1::birthdayLines(const MemberStore& store, QDate today)
{
    // Only rows with a birthday 1 to 9 days ahead in this calendar year can be listed: the store hands out those
    // (and rows whose birth date holds no value, which fail) instead of every row. Each is checked in full below.
    std::vector<QString> monthDays;
    for (int ahead = 1; ahead <= kBirthdayDaysAhead && today.addDays(ahead).year() == today.year(); ++ahead) {
        const QDate day = today.addDays(ahead);
        monthDays.push_back(
            QStringLiteral("%1%2").arg(day.month(), 2, 10, QLatin1Char('0')).arg(day.day(), 2, 10, QLatin1Char('0')));
    }
    static constexpr Field kRead[] = {Field::fnacimiento, Field::nombre, Field::apellidos, Field::ntarjeta};
    QStringList lines;
    const StoreResult<void> scanned =
        store.scanBirthdays(monthDays, kRead, [&](const StoredRow& row) -> StoreResult<void> {
            const StoreResult<QString> birth = row.text(Field::fnacimiento);
            if (!birth)
                return birth.error();
            const std::optional<int> daysLeft = daysToBirthday(*birth, today);
            if (!daysLeft)
                return {};

            const StoreResult<QString> nombre = row.text(Field::nombre);
            if (!nombre)
                return nombre.error();
            const StoreResult<QString> apellidos = row.text(Field::apellidos);
            if (!apellidos)
                return apellidos.error();
            const StoreResult<QString> ntarjeta = row.text(Field::ntarjeta);
            if (!ntarjeta)
                return ntarjeta.error();
            lines << listColumn(*nombre) + listColumn(*apellidos) + leftChars(*ntarjeta, 4) + QLatin1Char('\t') +
                         QString::number(*daysLeft);
            return {};
        });
    if (!scanned)
        return scanned.error();
    return lines;
}
