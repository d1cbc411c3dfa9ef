#include "analysis/chart_draw.h"
#include "analysis/product_stats.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "support/app_fixture.h"
#include "views/list_fixture.h"

#include <QImage>
#include <QPainter>

namespace quel::analysis {
namespace {

class ProductStatsTest : public test::ListFixture
{
protected:
    void SetUp() override
    {
        test::app();
        ListFixture::SetUp();
    }

    void product(const QString& category, const QString& shortName, const QString& shop,
        double price, double postage, double discount, long sales, long sales90, long views,
        long favourites)
    {
        exec(QStringLiteral("INSERT INTO 产品表(KWord,P_Name,SName,Price,MFee,Dis,Num1,Num9,VTimes,"
                            "CTimes) VALUES(%1,%2,%3,%4,%5,%6,%7,%8,%9,%10)")
                 .arg(store::Quote(category), store::Quote(shortName), store::Quote(shop))
                 .arg(price)
                 .arg(postage)
                 .arg(discount)
                 .arg(sales)
                 .arg(sales90)
                 .arg(views)
                 .arg(favourites));
    }

    void sampleProducts()
    {
        product("手机", "N73", "数码小铺", 1600, 10, 9.5, 3, 30, 100, 5);
        product("手机", "N73", "手机之家", 1700, 20, 9, 5, 50, 200, 7);
        product("手机", "E258", "数码小铺", 560, 12, 8, 7, 70, 50, 1);
        product("配件", "电池", "手机之家", 45, 5, 10, 40, 400, 900, 30);
    }

    QString run(std::initializer_list<int> measures, int grouping)
    {
        ProductStatsOptions options;
        for (int m : measures)
            options.measures[size_t(m)] = true;
        options.grouping = grouping;
        return RunProductStatistics(m_grid, *m_db, options, m_measure, QDate(2026, 12, 7));
    }

    // The data rows' texts of one column.
    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = m_grid.fixedRows(); r < m_grid.rows(); ++r)
            texts << m_grid.text(r, c);
        return texts;
    }

    grid::GridModel m_grid;
};

TEST_F(ProductStatsTest, HeadingsFollowTheGroupingAndTheCheckedMeasures)
{
    ProductStatsOptions options;
    options.measures[4] = options.measures[0] = true;
    options.grouping = 0;
    ProductHeadings h = BuildProductStatisticsHeadings(options);
    EXPECT_EQ(h.fields, QStringList({ "SName", "", "P_Name", "Price", "Num9" }));
    EXPECT_EQ(h.titles, QStringList({ "店铺名称", "序号", "产品/店铺", "价格", "90天售出" }));
    EXPECT_EQ(ProductStatisticsOrder(options), "Price DESC");

    options = ProductStatsOptions();
    options.grouping = 1;
    h = BuildProductStatisticsHeadings(options);
    EXPECT_EQ(h.fields, QStringList({ "", "", "KWord" }));
    EXPECT_EQ(ProductStatisticsOrder(options), "");

    EXPECT_EQ(ProductChartTitle(QDate(2026, 3, 7)),
        "淘宝产品销售情况分析图表\r\n（数据来源：Dovrel软件；统计日期：2026-3-7）");
}

TEST_F(ProductStatsTest, ShortNameGroupsAcrossShopsWithAveragesAndSums)
{
    sampleProducts();
    const QString title = run({ 0, 1, 4 }, 3);
    EXPECT_TRUE(title.startsWith("淘宝产品销售情况分析图表\r\n"));
    ASSERT_EQ(m_grid.dataRowCount(), 3);
    EXPECT_EQ(m_grid.fixedCols(), 3);
    EXPECT_EQ(m_grid.title(2), "产品名称");
    // Ordered by price, the measure of lowest index, descending.
    EXPECT_EQ(column(2), QStringList({ "N73", "E258", "电池" }));
    EXPECT_EQ(column(3), QStringList({ "1650.00", "560.00", "45.00" }));
    EXPECT_EQ(column(4), QStringList({ "15.00", "12.00", "5.00" }));
    EXPECT_EQ(column(5), QStringList({ "80", "70", "400" }));
    EXPECT_EQ(column(1), QStringList({ "1", "2", "3" }));
    // The shop column has no field here and stays hidden; measures sort as numbers.
    EXPECT_EQ(m_grid.columnWidth(0), 0);
    EXPECT_GE(m_grid.columnCode(3), grid::kFirstNumericCode);
    EXPECT_EQ(m_grid.tag(), "TEMP_PAna");
}

TEST_F(ProductStatsTest, EachGroupingGivesItsGroups)
{
    sampleProducts();
    run({ 3 }, 1);
    EXPECT_EQ(column(2), QStringList({ "配件", "手机" }));
    EXPECT_EQ(column(3), QStringList({ "40", "15" }));
    run({ 3 }, 2);
    EXPECT_EQ(column(2), QStringList({ "手机之家", "数码小铺" }));
    EXPECT_EQ(column(3), QStringList({ "45", "10" }));
    // By shop and product: labels read short name(shop).
    run({ 6 }, 0);
    EXPECT_EQ(column(2),
        QStringList({ "电池(手机之家)", "N73(手机之家)", "N73(数码小铺)", "E258(数码小铺)" }));
    EXPECT_EQ(column(3), QStringList({ "30", "7", "5", "1" }));
    EXPECT_EQ(m_grid.fieldName(0), "SName");
}

// Equal figures follow the names (ignoring letter case), whatever order the products were
// stored in.
TEST_F(ProductStatsTest, EqualFiguresFollowTheNames)
{
    for (const char* name : { "d", "C", "b", "A", "e" })
        product("手机", name, "店", 100, 0, 10, 1, 2, 3, 4);
    product("手机", "z", "店", 50, 0, 10, 1, 2, 3, 4);
    product("手机", "y", "店", 150, 0, 10, 1, 2, 3, 4);
    run({ 0 }, 3);
    EXPECT_EQ(column(2), QStringList({ "y", "A", "b", "C", "d", "e", "z" }));
    run({ 6 }, 3);
    EXPECT_EQ(column(2), QStringList({ "A", "b", "C", "d", "e", "y", "z" }));
}

TEST_F(ProductStatsTest, QuotesAndLetterCaseGroupLikeAnyOtherName)
{
    product("服装", "Levi's 501", "Levi's Store", 300, 0, 10, 1, 2, 3, 4);
    product("服装", "LEVI'S 501", "levi's store", 500, 0, 10, 1, 2, 3, 4);
    product("服装", "Lee", "Levi's Store", 100, 0, 10, 1, 2, 3, 4);
    run({ 0 }, 3);
    ASSERT_EQ(m_grid.dataRowCount(), 2);
    EXPECT_EQ(column(2).at(0).toLower(), "levi's 501");
    EXPECT_EQ(column(3), QStringList({ "400.00", "100.00" }));
    run({ 0 }, 0);
    ASSERT_EQ(m_grid.dataRowCount(), 2);
    EXPECT_EQ(column(2).at(0).toLower(), "levi's 501(levi's store)");
    EXPECT_EQ(column(3).at(0), "400.00");
}

TEST_F(ProductStatsTest, NoMeasureGivesTheFixedColumnsAndAChartWithoutLines)
{
    sampleProducts();
    run({}, 2);
    EXPECT_EQ(m_grid.cols(), 3);
    EXPECT_EQ(m_grid.dataRowCount(), 2);
    QImage image(600, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    QString title;
    const ChartDrawing d = DrawChart(painter, image.size(), m_grid, title, "t", 1, 40);
    EXPECT_TRUE(d.drawn);
    EXPECT_EQ(d.series, 0);
    EXPECT_EQ(d.segments, 0);
}

TEST_F(ProductStatsTest, EmptyProductTableGivesAnEmptyGridAndChart)
{
    run({ 0, 3 }, 0);
    EXPECT_EQ(m_grid.dataRowCount(), 0);
    EXPECT_EQ(m_grid.cols(), 5);
    EXPECT_TRUE(m_feedback.messages.isEmpty());
    QImage image(600, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    QString title;
    EXPECT_FALSE(DrawChart(painter, image.size(), m_grid, title, "t", 1, 40).drawn);
}

TEST(ProductStatsArguments, MeasuresAndGroupingAreReadByName)
{
    ProductStatsOptions o;
    QString error;
    ASSERT_TRUE(ParseProductStatsArguments(
        { "--measures", "sales90,price", "--group", "shop-product" }, o, &error));
    EXPECT_TRUE(o.measures[0] && o.measures[4] && !o.measures[1]);
    EXPECT_EQ(o.grouping, 0);
    ASSERT_TRUE(ParseProductStatsArguments({ "--group", "product", "--measures", "" }, o, &error));
    EXPECT_EQ(o.grouping, 3);
    EXPECT_FALSE(ParseProductStatsArguments({ "--measures", "price" }, o, &error));
    EXPECT_TRUE(error.contains("--group"));
    EXPECT_FALSE(
        ParseProductStatsArguments({ "--measures", "weight", "--group", "shop" }, o, &error));
    EXPECT_TRUE(error.contains("weight"));
    EXPECT_FALSE(ParseProductStatsArguments({ "--measures", "price", "--group" }, o, &error));
    EXPECT_FALSE(ParseProductStatsArguments(
        { "--measures", "price", "--group", "shop", "--colour" }, o, &error));
}

} // namespace
} // namespace quel::analysis
