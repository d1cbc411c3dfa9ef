// The analyses against their one-query yardsticks on a small generated database of a
// busy category: best sellers and a long tail, anonymous trades without a buyer code and
// buyers whose profile was never downloaded. Every analysis must show what its query
// finds, or the benchmark's ratios would compare different work.
#include "analysis/product_stats.h"
#include "analysis_compare.h"
#include "core/feedback.h"
#include "db/database.h"
#include "grid/grid_model.h"
#include "grid/text_measure.h"
#include "scale_generator.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/temp_dir.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

using namespace quel;

namespace {

class AnalysisCompare : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        QString error;
        s_generated = bench::generateScaleDatabase(
            s_dir->file(QStringLiteral("DATA.mdb")), { 400, 20000, 1500, 3 }, &error);
        EXPECT_TRUE(s_generated) << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        store::DatabasePool::shared().releaseAll();
        s_dir.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_generated);
        m_catalogue = std::make_unique<store::Catalogue>(s_dir->path());
        m_catalogue->LoadCurrentDatabase();
        m_ops = std::make_unique<store::DB_Operate>(*m_catalogue, m_feedback);
        QString error;
        m_db = store::DatabasePool::shared().acquire(
            s_dir->file(QStringLiteral("DATA.mdb")), &error);
        ASSERT_TRUE(m_db) << error.toStdString();
    }

    bench::AnalysisBench bench() { return { *m_db, *m_ops, m_grid, m_measure, 1 }; }

    static inline std::unique_ptr<test::TempDir> s_dir;
    static inline bool s_generated = false;
    std::unique_ptr<store::Catalogue> m_catalogue;
    core::SilentFeedback m_feedback;
    std::unique_ptr<store::DB_Operate> m_ops;
    std::shared_ptr<db::Database> m_db;
    grid::GridModel m_grid;
    grid::FixedTextMeasure m_measure;
};

// The three best sellers, some of the tail and one product that was never downloaded
// (no trades at all).
const std::vector<qint64> kChosen { 1, 2, 3, 40, 41, 57, 120, 20, 333 };

} // namespace

TEST_F(AnalysisCompare, ProductStatisticsShowEveryGroupOfTheQuery)
{
    for (int g = 0; g < analysis::kProductGroupings; ++g) {
        const bench::AnalysisTiming t = bench::compareProductStatistics(bench(), g);
        EXPECT_TRUE(t.match) << analysis::productGroupings()[size_t(g)].batchName;
        EXPECT_GT(t.rows, 0);
        EXPECT_GE(t.ours, 0);
        EXPECT_GE(t.sql, 0);
    }
}

TEST_F(AnalysisCompare, TradeAnalysesAgreeWithTheirQueries)
{
    const bench::AnalysisTiming periods = bench::comparePeriods(bench(), kChosen);
    EXPECT_TRUE(periods.match);
    EXPECT_GT(periods.rows, 100); // best sellers trade on most of the 400 days
    const bench::AnalysisTiming totals = bench::compareTotals(bench());
    EXPECT_TRUE(totals.match);
    EXPECT_GT(totals.rows, 1);
    const bench::AnalysisTiming buyers = bench::compareCustomers(bench(), kChosen);
    EXPECT_TRUE(buyers.match);
    EXPECT_GT(buyers.rows, 5); // provinces
    const bench::AnalysisTiming cycle = bench::compareSalesCycle(bench(), kChosen);
    EXPECT_TRUE(cycle.match);
    EXPECT_EQ(cycle.rows, 31);
}

TEST(AnalysisCompareTiming, BestRunAndTagAreThoseOfThePicker)
{
    int calls = 0;
    EXPECT_GE(bench::bestCpuMs(3, [&] { ++calls; }), 0.0);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(bench::pickerTag({ 5, 12 }), QStringLiteral("5；12；"));
    EXPECT_EQ(bench::pickerTag({}), QString());
}
