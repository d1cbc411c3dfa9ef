#include "analysis/customer_stats.h"
#include "analysis_fixture.h"
#include "db/recordset.h"

using namespace quel::analysis;
using quel::grid::GridModel;

namespace {

class CustomerStats : public quel::test::AnalysisFixture
{
protected:
    // Products 1, 2, 12 and 112. b1 bought product 1 twice and product 2 once; b2 bought
    // product 1; b3 (no profile) product 2; b4 product 112; b5 product 12.
    void addBuyers()
    {
        product(1, "诺基亚", "甲店");
        product(2, "钢笔", "乙店");
        product(12, "Levi's 501", "Levi's");
        product(112, "台灯", "丙店");
        trade(1, "2010-4-1 10:00", 1, 1, "b1");
        trade(1, "2010-4-2 10:00", 1, 1, "b1");
        trade(2, "2010-4-2 10:00", 1, 1, "b1");
        trade(1, "2010-4-3 10:00", 1, 1, "b2");
        trade(2, "2010-4-3 10:00", 1, 1, "b3");
        trade(112, "2010-4-3 10:00", 1, 1, "b4");
        trade(12, "2010-4-3 10:00", 1, 1, "b5");
        trade(1, "2010-4-4 10:00", 1, 1, ""); // no buyer code
        buyer("b1", "小明", "浙江", "2010-4-1", 9);
        buyer("b2", "O'Neil", "浙江", "2010-4-1", 3);
        buyer("b3", "", "", "1900-1-1");
        buyer("b4", "小刚", "上海", "2010-3-1", 1);
        buyer("b5", "小红", "北京", "2010-3-1", 1);
    }

    AnalysisResult count(GridModel& grid, CustomerGrouping by)
    {
        return RunCustomerStatistics(grid, *m_db, by, m_measure);
    }
    using AnalysisFixture::count;
};

} // namespace

TEST_F(CustomerStats, EachProfiledBuyerCountsOnce)
{
    addBuyers();
    ASSERT_TRUE(PrepareCustomerSet(*m_db, "1；2；1；"));

    EXPECT_EQ(count("TEMP_Trade2"), 2) << "b1 once, b2; b3 has no profile";

    GridModel grid;
    AnalysisResult result = count(grid, CustomerGrouping::Province);
    ASSERT_TRUE(result.ready);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "省份", "用户数" }));
    EXPECT_EQ(grid.fieldName(1), "Prov");
    EXPECT_EQ(grid.fieldName(2), "Cou");
    EXPECT_EQ(column(grid, 1), (QStringList { "浙江" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "2" }));
    EXPECT_TRUE(result.title.startsWith(
        "淘宝产品客户构成情况比较图表\r\n（数据来源：Dovrel软件；统计日期："));
    EXPECT_TRUE(result.title.endsWith("；比较内容：省份）"));
    EXPECT_FALSE(result.showHint);

    // A recount by another column uses the same set.
    result = count(grid, CustomerGrouping::Credit);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "买家信用", "用户数" }));
    EXPECT_EQ(column(grid, 1), (QStringList { "3", "9" }));
    EXPECT_TRUE(result.title.endsWith("；比较内容：买家信用）"));
}

// A buyer's code may come in another letter case from a trade than from the profile: the
// set holds exactly the buyers the engine's own IN (...) over the same trades names, each
// once.
TEST_F(CustomerStats, CodesFindTheirProfilesWithoutLetterCase)
{
    product(1, "诺基亚", "甲店");
    product(2, "钢笔", "乙店");
    product(3, "台灯", "丙店");
    for (const char* code : { "Bob", "bob", "BOB" })
        trade(1, "2010-4-1 10:00", 1, 1, QString::fromUtf8(code));
    trade(2, "2010-4-1 10:00", 1, 1, "ann");
    trade(2, "2010-4-1 10:00", 1, 1, "买家Ä");
    trade(2, "2010-4-1 10:00", 1, 1, "Zed");
    trade(3, "2010-4-1 10:00", 1, 1, "carl"); // not chosen
    buyer("bob", "小明", "浙江");
    buyer("ANN", "安", "上海");
    buyer("买家ä", "某", "北京"); // only ASCII letters compare without case
    buyer("zed", ""); // never downloaded
    buyer("carl", "卡尔", "江苏");
    ASSERT_TRUE(PrepareCustomerSet(*m_db, "1；2"));

    const auto codes = [&](const QString& sql) {
        QStringList out;
        quel::db::Connection conn;
        quel::db::Recordset rs;
        EXPECT_TRUE(m_db->OpenRecordset(conn, rs, sql)) << sql.toStdString();
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out << rs.value(0).toString();
        return out;
    };
    EXPECT_EQ(
        codes("SELECT BCode FROM TEMP_Trade2 ORDER BY BCode"), (QStringList { "ANN", "bob" }));
    EXPECT_EQ(codes("SELECT BCode FROM TEMP_Trade2 ORDER BY BCode"),
        codes("SELECT BCode FROM 客户表 WHERE BName<>'' AND BCode IN (SELECT BCode FROM 交易表 "
              "WHERE BCode<>'' AND PID IN (1,2)) ORDER BY BCode"));
}

TEST_F(CustomerStats, IdentifiersMatchWhole)
{
    addBuyers();
    ASSERT_TRUE(PrepareCustomerSet(*m_db, "12；"));
    GridModel grid;
    ASSERT_TRUE(count(grid, CustomerGrouping::Province).ready);
    EXPECT_EQ(column(grid, 1), (QStringList { "北京" })) << "12 does not select 112";

    ASSERT_TRUE(PrepareCustomerSet(*m_db, "1；2；12；112"));
    count(grid, CustomerGrouping::Region);
    EXPECT_EQ(titles(grid)[1], "地区");
    EXPECT_EQ(column(grid, 1), (QStringList { "浙江区", "上海区", "北京区" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "2", "1", "1" }));
}

TEST_F(CustomerStats, LoginsFallIntoRecencyBandsNewestFirst)
{
    addBuyers();
    ASSERT_TRUE(PrepareCustomerSet(*m_db, "1；2；12；112；"));
    GridModel grid;
    AnalysisResult result = count(grid, CustomerGrouping::Activity);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "最近登录", "用户数" }));
    // Counted back from the newest login (2010-4-1): every band in its order, also the
    // empty ones.
    EXPECT_EQ(column(grid, 1),
        (QStringList { "一周内", "一月内", "三月内", "半年内", "一年内", "更早" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "2", "2", "0", "0", "0", "0" }));
    EXPECT_TRUE(result.title.endsWith("；比较内容：最近登录）"));
    EXPECT_EQ(result.mark, ChartMark::Bar);

    // By count: one group per distinct date, largest first, as counted.
    RunCustomerStatistics(grid, *m_db, CustomerGrouping::Activity, m_measure, CustomerOrder::Count);
    EXPECT_EQ(column(grid, 1), (QStringList { "2010.03.01", "2010.04.01" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "2", "2" }));
}

TEST_F(CustomerStats, CreditLevelsStandInTheirOrder)
{
    product(1, "诺基亚", "甲店");
    const int levels[] = { 0, 1, 2, 3, 4, 6, 5, 7, 9, 10, 8 };
    int n = 0;
    for (const int level : levels) {
        // Fewer buyers at higher levels, so that the count order differs.
        for (int k = 0; k <= 11 - n; ++k) {
            const QString code = QStringLiteral("b%1_%2").arg(level).arg(k);
            trade(1, "2010-4-1 10:00", 1, 1, code);
            buyer(code, "某人", "浙江", "2010-4-1", level);
        }
        ++n;
    }
    ASSERT_TRUE(PrepareCustomerSet(*m_db, "1"));
    GridModel grid;
    count(grid, CustomerGrouping::Credit);
    EXPECT_EQ(
        column(grid, 1), (QStringList { "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10" }));
    RunCustomerStatistics(grid, *m_db, CustomerGrouping::Credit, m_measure, CustomerOrder::Count);
    EXPECT_EQ(
        column(grid, 1), (QStringList { "0", "1", "2", "3", "4", "6", "5", "7", "9", "10", "8" }));
}

TEST(RecencyBands, EdgesBelongToTheNearerBand)
{
    const QDate newest(2026, 12, 8);
    const auto band = [&](int y, int m, int d) { return recencyBand(newest, QDate(y, m, d)); };
    EXPECT_EQ(band(2026, 12, 8), 0);
    EXPECT_EQ(band(2026, 12, 1), 0) << "seven days back";
    EXPECT_EQ(band(2026, 11, 30), 1);
    EXPECT_EQ(band(2026, 11, 8), 1) << "a month back";
    EXPECT_EQ(band(2026, 11, 7), 2);
    EXPECT_EQ(band(2026, 9, 8), 2) << "three months back";
    EXPECT_EQ(band(2026, 9, 7), 3);
    EXPECT_EQ(band(2026, 6, 8), 3) << "half a year back";
    EXPECT_EQ(band(2026, 6, 7), 4);
    EXPECT_EQ(band(2025, 12, 8), 4) << "a year back";
    EXPECT_EQ(band(2025, 12, 7), 5);
    EXPECT_EQ(band(1900, 1, 1), 5) << "never logged in";
    EXPECT_EQ(recencyBand(newest, QDate()), -1);
    EXPECT_EQ(recencyBandName(0), "一周内");
    EXPECT_EQ(recencyBandName(5), "更早");
    // A month back from the 31st is the last day of the shorter month.
    EXPECT_EQ(recencyBand(QDate(2026, 3, 31), QDate(2026, 2, 28)), 1);
    EXPECT_EQ(recencyBand(QDate(2026, 3, 31), QDate(2026, 2, 27)), 2);
}

TEST_F(CustomerStats, NoChoiceKeepsThePreviousSet)
{
    addBuyers();
    GridModel grid;
    EXPECT_FALSE(count(grid, CustomerGrouping::Province).ready) << "nothing prepared yet";
    EXPECT_FALSE(PrepareCustomerSet(*m_db, ""));
    EXPECT_FALSE(m_db->TableExists("TEMP_Trade2"));

    ASSERT_TRUE(PrepareCustomerSet(*m_db, "12"));
    EXPECT_FALSE(PrepareCustomerSet(*m_db, "；"));
    ASSERT_TRUE(count(grid, CustomerGrouping::Province).ready);
    EXPECT_EQ(column(grid, 1), (QStringList { "北京" }));
    EXPECT_FALSE(m_feedback.open);
}

TEST_F(CustomerStats, AFailedPreparationKeepsThePreviousSet)
{
    addBuyers();
    ASSERT_TRUE(PrepareCustomerSet(*m_db, "12"));
    // Without the buyer table the new set cannot be built once the old one is dropped.
    native("ALTER TABLE 客户表 RENAME TO 客户表_x");
    EXPECT_FALSE(PrepareCustomerSet(*m_db, "1；2"));
    EXPECT_EQ(m_feedback.messages, QStringList { analysisFailedMessage() });
    EXPECT_EQ(count("TEMP_Trade2"), 1);
    EXPECT_EQ(count("TEMP_Trade2", "BCode='b5'"), 1);
}
