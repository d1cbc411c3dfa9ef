#include "core/date_helpers.h"

namespace quel::core {

QDateTime FirstDayOfMonth(const QDateTime& d)
{
    const QDate day = d.date();
    return QDateTime(QDate(day.year(), day.month(), 1), QTime(0, 0));
}

QDateTime LastDayOfMonth(const QDateTime& d)
{
    const QDate day = d.date();
    return QDateTime(QDate(day.year(), day.month(), 1).addMonths(1).addDays(-1), QTime(0, 0));
}

int WeekdayFromMonday(const QDateTime& d)
{
    return d.date().dayOfWeek();
}

QDateTime FirstDayOfWeek(const QDateTime& d)
{
    return d.addDays(-(WeekdayFromMonday(d) - 1));
}

} // namespace quel::core
