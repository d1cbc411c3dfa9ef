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

void ReadTimeZoneOnce()
{
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    // ":" names a zone file; glibc reads it when TZ changes, not on every conversion.
    qputenv("TZ", ":/etc/localtime");
}

} // namespace quel::core
