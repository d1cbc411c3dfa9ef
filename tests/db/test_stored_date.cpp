#include "jet/jet_date.h"

#include <gtest/gtest.h>

using namespace quel::db;
using namespace quel::jet;

namespace {

QString parsed(const QString& text)
{
    const auto date = parseDateText(text);
    return date ? canonicalDateText(*date) : QStringLiteral("none");
}

QString literal(const QString& text)
{
    const auto date = parseJetDateLiteral(text);
    return date ? canonicalDateText(*date) : QStringLiteral("none");
}

} // namespace

TEST(JetDate, QuotedTextFormsBecomeTheStoredForm)
{
    EXPECT_EQ(parsed("1900-1-1"), "1900-01-01 00:00:00");
    EXPECT_EQ(parsed("2026-12-07 9:05"), "2026-12-07 09:05:00");
    EXPECT_EQ(
        parsed("12-07-2026"), "2026-12-07 00:00:00"); // m-d-y, as the buyer download writes it
    EXPECT_EQ(parsed("2026/12/7 13:01:02"), "2026-12-07 13:01:02");
    EXPECT_EQ(parsed("12/7/2026"), "2026-12-07 00:00:00");
    EXPECT_EQ(parsed("2026.12.7"), "2026-12-07 00:00:00");
    EXPECT_EQ(parsed("2026年12月7日"), "2026-12-07 00:00:00");
    EXPECT_EQ(parsed("2026年12月7日 8:30:00"), "2026-12-07 08:30:00");
    EXPECT_EQ(parsed("2026-12-7 下午 3:04:05"), "2026-12-07 15:04:05");
    EXPECT_EQ(parsed("2026-12-7 12:00 AM"), "2026-12-07 00:00:00");
    EXPECT_EQ(parsed(" 2026-12-07T10:11:12 "), "2026-12-07 10:11:12");
}

TEST(JetDate, NonDatesAreRejected)
{
    for (const char* text : { "", "abc", "2026-13-01", "2026-2-30", "2026-12", "12.5",
             "2026-1-1 25:00", "2026年12-7", "1-2-3-4" })
        EXPECT_EQ(parsed(QString::fromUtf8(text)), "none") << text;
}

TEST(JetDate, LiteralsReadMonthFirstUnlessTheYearLeads)
{
    EXPECT_EQ(literal("1900-1-1"), "1900-01-01 00:00:00");
    EXPECT_EQ(literal("3/4/2026"), "2026-03-04 00:00:00");
    EXPECT_EQ(literal("2026/3/4"), "2026-03-04 00:00:00");
    EXPECT_EQ(literal("3/4/26"), "2026-03-04 00:00:00");
    EXPECT_EQ(literal("3/4/99 23:59:59"), "1999-03-04 23:59:59");
}

TEST(JetDate, StoredFormReadsBack)
{
    const auto full = parseCanonicalDate(u"2026-02-03 04:05:06");
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6)));
    const auto day = parseCanonicalDate(u"2026-02-03");
    ASSERT_TRUE(day);
    EXPECT_EQ(*day, QDateTime(QDate(2026, 2, 3), QTime(0, 0)));
    EXPECT_FALSE(parseCanonicalDate(u"2026-02-30 00:00:00"));
}
