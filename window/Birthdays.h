#pragma once

#include <QDate>
#include <QString>

#include <optional>

// How far ahead the birthday list looks: the members whose birthday is 1 to this many days after today.
inline constexpr int kBirthdayDaysAhead = 9;

// The days from `today` to the birthday of a stored birth date ("dd/mm/aaaa") when it falls 1 to
// kBirthdayDaysAhead days after today in today's calendar year: whether the birthday list shows the member. No
// value for a birth date without a day and month that form a date this year (the empty mark, "00/00/0000", a year
// only, 29 February in a common year).
std::optional<int> daysToBirthday(const QString& birth, QDate today);

// The month (1 to 12) of a stored birth date's birthday, read as the birthday list reads it; 0 when its day and
// month form no date (in a leap year, so that 29 February counts).
int birthdayMonth(const QString& birth);
