#include "analysis/analysis_arguments.h"

#include <gtest/gtest.h>

using namespace quel::analysis;

namespace {

QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
}

} // namespace

TEST(AnalysisArguments, EachKindReadsItsOptions)
{
    QString error;
    TotalsArguments totals;
    ASSERT_TRUE(ParseTotalsArguments(words("--measure quantity --by shop"), totals, &error));
    EXPECT_EQ(totals.grouping, TotalsGrouping::Shop);
    EXPECT_EQ(totals.measure, TotalsMeasure::Quantity);

    PeriodsArguments periods;
    ASSERT_TRUE(ParsePeriodsArguments(
        words("--products 5,12,5 --unit week --measure average --series shop"), periods, &error));
    EXPECT_EQ(periods.idList, "5；12；5；");
    EXPECT_EQ(periods.options.unit, PeriodUnit::Week);
    EXPECT_EQ(periods.options.measure, TradeMeasure::Average);
    EXPECT_EQ(periods.options.series, TradeSeries::Shop);

    BuyersArguments buyers;
    ASSERT_TRUE(ParseBuyersArguments(words("--products 112 --by login"), buyers, &error));
    EXPECT_EQ(buyers.idList, "112；");
    EXPECT_EQ(buyers.grouping, CustomerGrouping::Activity);

    CycleArguments cycle;
    ASSERT_TRUE(
        ParseCycleArguments(words("--products 1 --cycle day --measure quantity"), cycle, &error));
    EXPECT_EQ(cycle.kind, CycleKind::HoursOfDay);
    EXPECT_EQ(cycle.measure, CycleMeasure::Quantity);
}

TEST(AnalysisArguments, FaultsAreNamed)
{
    QString error;
    TotalsArguments totals;
    EXPECT_FALSE(ParseTotalsArguments(words("--by product"), totals, &error));
    EXPECT_EQ(error, "--measure is required");
    EXPECT_FALSE(ParseTotalsArguments(words("--by brand --measure amount"), totals, &error));
    EXPECT_EQ(error, "--by takes product|shop, not brand");
    EXPECT_FALSE(
        ParseTotalsArguments(words("--by shop --by shop --measure amount"), totals, &error));
    EXPECT_EQ(error, "--by is given twice");
    EXPECT_FALSE(ParseTotalsArguments(words("--by shop --measure"), totals, &error));
    EXPECT_EQ(error, "--measure needs a value");
    EXPECT_FALSE(ParseTotalsArguments(words("--by shop --measure amount --x 1"), totals, &error));
    EXPECT_EQ(error, "unknown option: --x");

    BuyersArguments buyers;
    for (const char* ids : { "5,,6", "5;6", "-5", "1 OR 1=1", "5,x" }) {
        EXPECT_FALSE(ParseBuyersArguments({ QStringLiteral("--products"), QString::fromUtf8(ids),
                                              QStringLiteral("--by"), QStringLiteral("region") },
            buyers, &error))
            << ids;
        EXPECT_TRUE(error.startsWith("--products takes product identifiers")) << ids;
    }
}
