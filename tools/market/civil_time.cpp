#include "market/civil_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace quel::market {

using namespace std::chrono;

Seconds toSeconds(int year, int month, int day, int hour, int minute, int second)
{
    const sys_days date = year_month_day { std::chrono::year { year },
        std::chrono::month { static_cast<unsigned>(month) },
        std::chrono::day { static_cast<unsigned>(day) } };
    return static_cast<Seconds>(date.time_since_epoch().count()) * kSecondsPerDay + hour * 3600
        + minute * 60 + second;
}

std::int64_t dayOf(Seconds t)
{
    return t >= 0 ? t / kSecondsPerDay : -((-t + kSecondsPerDay - 1) / kSecondsPerDay);
}

CivilTime toCivil(Seconds t)
{
    const std::int64_t days = dayOf(t);
    const Seconds rest = t - days * kSecondsPerDay;
    const sys_days date { std::chrono::days { days } };
    const year_month_day ymd { date };
    CivilTime c;
    c.year = static_cast<int>(ymd.year());
    c.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    c.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    c.weekday = static_cast<int>(weekday { date }.c_encoding());
    return c;
}

std::optional<Seconds> parseCivilTime(std::string_view text)
{
    int y = 0, mo = 0, d = 0, h = 23, mi = 59, s = 59;
    char sep = 0;
    int consumed = 0;
    const std::string owned(text);
    const int fields = std::sscanf(
        owned.c_str(), "%4d-%2d-%2d%n%c%2d:%2d:%2d", &y, &mo, &d, &consumed, &sep, &h, &mi, &s);
    if (fields < 3)
        return std::nullopt;
    if (fields == 3) {
        if (static_cast<std::size_t>(consumed) != owned.size())
            return std::nullopt;
        h = 23, mi = 59, s = 59;
    } else {
        if ((sep != ' ' && sep != 'T') || fields < 6)
            return std::nullopt;
        if (fields == 6)
            s = 0;
    }
    const year_month_day ymd { std::chrono::year { y },
        std::chrono::month { static_cast<unsigned>(mo) },
        std::chrono::day { static_cast<unsigned>(d) } };
    if (!ymd.ok() || y < 1990 || y > 2200 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0
        || s > 59)
        return std::nullopt;
    return toSeconds(y, mo, d, h, mi, s);
}

Seconds localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return toSeconds(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
        local.tm_min, local.tm_sec);
}

std::string formatDateTime(Seconds t)
{
    const CivilTime c = toCivil(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
        c.minute, c.second);
    return buf;
}

std::string formatDate(Seconds t)
{
    const CivilTime c = toCivil(t);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buf;
}

} // namespace quel::market
