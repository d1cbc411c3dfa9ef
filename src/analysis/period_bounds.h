#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace quel::analysis {

// The periods the trade comparison sums over; weeks start on Monday.
enum class PeriodUnit
{
    Day,
    Week,
    Month
};

// "天", "周", "月": the captions of the period buttons, which name the unit.
QString periodUnitCaption(PeriodUnit unit);
std::optional<PeriodUnit> periodUnitFromCaption(const QString& caption);

// Moves start back to the beginning of its period and sets end to the beginning of the
// next one (exclusive): the day and the day after; the Monday on or before it and seven
// days on; the first of its month and the first of the next month.
void PeriodBounds(QDate& start, QDate& end, PeriodUnit unit);
// The same on date-times: both come out at midnight.
void PeriodBounds(QDateTime& start, QDateTime& end, PeriodUnit unit);

// The starts of every period from the one holding first to the one holding last, in order
// (empty when last lies before first's period).
std::vector<QDate> periodStarts(QDate first, QDate last, PeriodUnit unit);

} // namespace quel::analysis
