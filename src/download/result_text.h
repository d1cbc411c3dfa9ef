#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace quel::download {

// The value of the number a text starts with, as Val read it: leading blanks skipped,
// an optional sign, digits with at most one decimal point; 0 when there is none.
double LeadingNumber(const QString& text);

// A date with an optional time as the worker and the profile pages write them:
// "2010-4-12 10:20:30", "2010-4-12 10:20", "2010-04-12", "2010/4/12", "2010.4.12".
// nullopt when the text is not such a date, so that nothing wrong is ever stored.
std::optional<QDateTime> ParseResultDateTime(const QString& text);

// The short date form "yyyy-M-d" (2026-12-7) and the buyer table's "MM-dd-yyyy" form.
QString ShortDateText(const QDate& date);
QString MonthDayYearText(const QDate& date);

} // namespace quel::download
