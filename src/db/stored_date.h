#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

namespace quel::db {

// Dates are stored as text in the one form "YYYY-MM-DD HH:MM:SS".
QString canonicalDateText(const QDateTime& dateTime);
QString canonicalDateText(const QDate& date);

// The stored form back to a date and time (also accepts a stored date without time).
std::optional<QDateTime> parseCanonicalDate(QStringView text);

// A date and time of the day as written, without a time zone.
struct DateParts
{
    QDate date;
    QTime time;
};

// The stored form only, as written: nothing when the text has another form. Showing a stored
// date needs no local time, whose conversion costs more than the rest of a grid cell.
std::optional<DateParts> parseCanonicalDateParts(QStringView text);

// Which part comes first in a date of two-digit parts: the year (y/m/d) or the month
// (m/d/y). A part of three or four digits is always the year.
enum class DateOrder
{
    YearFirst,
    MonthFirst
};

// A quoted text written into a DATE column: y-m-d, m-d-y, y/m/d, m/d/y, y.m.d, y年m月d日,
// each with an optional time (H:M or H:M:S, optionally AM/PM, 上午/下午).
std::optional<QDateTime> parseDateText(QStringView text, DateOrder order = DateOrder::YearFirst);

} // namespace quel::db
