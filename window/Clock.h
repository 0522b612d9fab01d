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
