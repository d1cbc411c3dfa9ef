#include "analysis/period_bounds.h"

namespace quel::analysis {

QString periodUnitCaption(PeriodUnit unit)
{
    switch (unit) {
    case PeriodUnit::Day:
        return QStringLiteral("天");
    case PeriodUnit::Week:
        return QStringLiteral("周");
    case PeriodUnit::Month:
        break;
    }
    return QStringLiteral("月");
}

std::optional<PeriodUnit> periodUnitFromCaption(const QString& caption)
{
    for (PeriodUnit unit : { PeriodUnit::Day, PeriodUnit::Week, PeriodUnit::Month }) {
        if (caption == periodUnitCaption(unit))
            return unit;
    }
    return std::nullopt;
}

void PeriodBounds(QDate& start, QDate& end, PeriodUnit unit)
{
    switch (unit) {
    case PeriodUnit::Day:
        end = start.addDays(1);
        return;
    case PeriodUnit::Week:
        start = start.addDays(1 - start.dayOfWeek());
        end = start.addDays(7);
        return;
    case PeriodUnit::Month:
        start = QDate(start.year(), start.month(), 1);
        end = start.addMonths(1);
        return;
    }
}

void PeriodBounds(QDateTime& start, QDateTime& end, PeriodUnit unit)
{
    // Calendar days, not elapsed hours: a period starts at midnight whatever the clock
    // change in between.
    QDate first = start.date();
    QDate next;
    PeriodBounds(first, next, unit);
    start = QDateTime(first, QTime(0, 0));
    end = QDateTime(next, QTime(0, 0));
}

std::vector<QDate> periodStarts(QDate first, QDate last, PeriodUnit unit)
{
    std::vector<QDate> starts;
    if (!first.isValid() || !last.isValid())
        return starts;
    QDate start = first;
    QDate end;
    PeriodBounds(start, end, unit);
    while (start <= last) {
        starts.push_back(start);
        start = end;
        PeriodBounds(start, end, unit);
    }
    return starts;
}

} // namespace quel::analysis
