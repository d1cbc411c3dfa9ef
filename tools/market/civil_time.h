#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quel::market {

// Wall-clock time of the marketplace, in seconds since 1970-01-01 00:00:00, without a time
// zone: the pages show local times and every calculation stays in that one calendar.
using Seconds = std::int64_t;
constexpr Seconds kSecondsPerDay = 86400;

struct CivilTime
{
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4; // 0 Sunday ... 6 Saturday
};

Seconds toSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
CivilTime toCivil(Seconds t);
// Day number (days since 1970-01-01) of a time; floor division, so times before 1970 work.
std::int64_t dayOf(Seconds t);

// "2026-12-07", "2026-12-07 14:30", "2026-12-07 14:30:15" or with "T" instead of the blank.
// A date alone means the end of that day, so all of its sales are on the pages.
std::optional<Seconds> parseCivilTime(std::string_view text);
// The machine's local time now.
Seconds localNow();

// "2026-12-07 09:05:07".
std::string formatDateTime(Seconds t);
// "2026-12-07".
std::string formatDate(Seconds t);

} // namespace quel::market
