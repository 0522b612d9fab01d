#include "window/Clock.h"

QDate SystemClock::today() const
{
    return QDate::currentDate();
}
