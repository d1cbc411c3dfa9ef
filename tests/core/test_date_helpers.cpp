// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/date_helpers.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace quel::core;

namespace {
QDateTime at(int y, int m, int d, int h = 0, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
} // namespace

TEST(DateHelpers, MonthBounds)
{
    EXPECT_EQ(FirstDayOfMonth(at(2008, 2, 17, 13, 5)), at(2008, 2, 1));
    for (int day = 1; day <= 29; ++day)
        EXPECT_EQ(LastDayOfMonth(at(2008, 2, day, 23, 59)), at(2008, 2, 29));
    EXPECT_EQ(LastDayOfMonth(at(2007, 12, 3)), at(2007, 12, 31));
    EXPECT_EQ(LastDayOfMonth(at(2007, 2, 3)), at(2007, 2, 28));
    EXPECT_EQ(LastDayOfMonth(at(2026, 4, 30)), at(2026, 4, 30));
}

TEST(DateHelpers, WeeksStartOnMonday)
{
    // 2026-12-07 is a Monday, 2026-12-13 a Sunday.
    EXPECT_EQ(WeekdayFromMonday(at(2026, 12, 7)), 1);
    EXPECT_EQ(WeekdayFromMonday(at(2026, 12, 13)), 7);
    EXPECT_EQ(FirstDayOfWeek(at(2026, 12, 13, 15, 30)), at(2026, 12, 7, 15, 30));
    EXPECT_EQ(FirstDayOfWeek(at(2026, 12, 7, 8)), at(2026, 12, 7, 8));
    // Across a year boundary: Friday 2027-01-01 belongs to the week of Monday 2026-12-28.
    EXPECT_EQ(FirstDayOfWeek(at(2027, 1, 1)), at(2026, 12, 28));
}
