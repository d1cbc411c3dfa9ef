#pragma once

#include <QDate>
#include <QDateTime>

namespace quel::core {

// The program's calendar. QUELMAR_TODAY=YYYY-MM-DD stands in for the machine's date (the time
// of day stays the machine's), so that a demo or a test can look at the marketplace on
// several days within one real day, as the demo marketplace's --now does on its side. An
// empty or unreadable value is ignored.
QDate Today();
QDateTime Now();

// Makes the C library read the machine's time zone once rather than look at /etc/localtime
// again for every local time it converts (a file system call per date cell of a grid), when
// no TZ is set. Called first thing in main; a change of the machine's zone is then seen on
// the program's next start.
void ReadTimeZoneOnce();

// What Today() makes of a QUELMAR_TODAY text: the date, or an invalid date.
QDate ParseTodayOverride(const QString& text);

} // namespace quel::core
