#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

namespace quel::store {

// Dates are stored as text in the one form "YYYY-MM-DD HH:MM:SS".
QString canonicalDateText(const QDateTime& dateTime);
QString canonicalDateText(const QDate& date);

// The stored form back to a date and time (also accepts a stored date without time).
std::optional<QDateTime> parseCanonicalDate(QStringView text);

// The inside of a Jet date literal #...#: y-m-d or m/d/y (also y/m/d), optional time.
std::optional<QDateTime> parseJetDateLiteral(QStringView text);

// A quoted text written into a DATE column: y-m-d, m-d-y, y/m/d, m/d/y, y.m.d, y年m月d日,
// each with an optional time (H:M or H:M:S, optionally AM/PM, 上午/下午).
std::optional<QDateTime> parseDateText(QStringView text);

} // namespace quel::store
