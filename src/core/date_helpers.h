#pragma once

#include <QDateTime>

namespace quel::core {

// Calendar arithmetic of the trade statistics; weeks start on Monday.

// Day 1 of d's month at 00:00.
QDateTime FirstDayOfMonth(const QDateTime& d);
// The last day of d's month at 00:00.
QDateTime LastDayOfMonth(const QDateTime& d);
// 1 for Monday up to 7 for Sunday.
int WeekdayFromMonday(const QDateTime& d);
// The Monday of d's week, keeping d's time of day.
QDateTime FirstDayOfWeek(const QDateTime& d);

} // namespace quel::core
