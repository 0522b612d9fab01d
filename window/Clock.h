#pragma once

#include <QDate>

// Where today's date comes from.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

// The computer's local date.
class SystemClock : public Clock
{
public:
    QDate today() const override;
};

// Always the same day: for a window shown as of a given date (tests, the screenshot, the benchmarks).
class FixedClock : public Clock
{
public:
    explicit FixedClock(QDate day) : m_day(day) {}
    QDate today() const override { return m_day; }

private:
    QDate m_day;
};
