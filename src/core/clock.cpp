#include "core/clock.h"

#include <QtGlobal>

namespace quel::core {

QDate ParseTodayOverride(const QString& text)
{
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
}

QDate Today()
{
    const QDate forced = ParseTodayOverride(qEnvironmentVariable("QUELMAR_TODAY"));
    return forced.isValid() ? forced : QDate::currentDate();
}

QDateTime Now()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate forced = ParseTodayOverride(qEnvironmentVariable("QUELMAR_TODAY"));
    return forced.isValid() ? QDateTime(forced, now.time()) : now;
}

} // namespace quel::core
