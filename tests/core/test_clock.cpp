// The program's calendar and the day a demo or test may put in its place.
#include "core/clock.h"

#include <QtGlobal>
#include <gtest/gtest.h>

namespace {

// Sets QUELMAR_TODAY for one test and puts back what was there.
class TodayOverride
{
public:
    explicit TodayOverride(const QByteArray& value)
        : m_had(qEnvironmentVariableIsSet("QUELMAR_TODAY"))
        , m_old(qgetenv("QUELMAR_TODAY"))
    {
        qputenv("QUELMAR_TODAY", value);
    }
    ~TodayOverride()
    {
        if (m_had)
            qputenv("QUELMAR_TODAY", m_old);
        else
            qunsetenv("QUELMAR_TODAY");
    }

private:
    bool m_had;
    QByteArray m_old;
};

TEST(Clock, AGivenDayStandsInForTheCalendarButKeepsTheTimeOfDay)
{
    const TodayOverride today("2026-12-10");
    EXPECT_EQ(quel::core::Today(), QDate(2026, 12, 10));
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime now = quel::core::Now();
    EXPECT_EQ(now.date(), QDate(2026, 12, 10));
    EXPECT_LE(qAbs(now.time().secsTo(before.time())), 5);
}

TEST(Clock, AnEmptyOrUnreadableDayLeavesTheMachinesDate)
{
    for (const QByteArray& value : { QByteArray(), QByteArray("2026-13-01"), QByteArray("tomorrow"),
             QByteArray("2026/12/10") }) {
        const TodayOverride today(value);
        EXPECT_EQ(quel::core::Today(), QDate::currentDate()) << value.constData();
        EXPECT_EQ(quel::core::Now().date(), QDate::currentDate()) << value.constData();
    }
    EXPECT_EQ(quel::core::ParseTodayOverride(QStringLiteral(" 2026-12-07 ")), QDate(2026, 12, 7));
}

} // namespace
