#include "window/Birthdays.h"

#include "conversions/Characters.h"
#include "store/MemberRecord.h"

namespace {

bool isTwoDigits(const QString& part)
{
    return part.size() == 2 && part.at(0).isDigit() && part.at(1).isDigit() && part.at(0).unicode() < 128 &&
           part.at(1).unicode() < 128;
}

// The birthday in `year` for a birth text: its day (characters 1-2) and month (characters 4-5); invalid when they
// are not two digits each or do not form a date in that year (29 February in a common year, day 31 in a 30-day
// month, "00").
QDate birthdayIn(int year, const QString& birth)
{
    if (birth == kEmptyMark || birth == QLatin1String("00/00/0000"))
        return {};
    const QString day = midChars(birth, 1, 2);
    const QString month = midChars(birth, 4, 2);
    if (!isTwoDigits(day) || !isTwoDigits(month))
        return {};
    return QDate(year, month.toInt(), day.toInt());
}

} // namespace

std::optional<int> daysToBirthday(const QString& birth, QDate today)
{
    const QDate birthday = birthdayIn(today.year(), birth);
    if (!birthday.isValid())
        return std::nullopt;
    const qint64 daysLeft = today.daysTo(birthday);
    if (daysLeft <= 0 || daysLeft > kBirthdayDaysAhead)
        return std::nullopt;
    return int(daysLeft);
}

int birthdayMonth(const QString& birth)
{
    const QDate birthday = birthdayIn(2000, birth);
    return birthday.isValid() ? birthday.month() : 0;
}
