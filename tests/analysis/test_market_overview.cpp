// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/market_overview.h"
#include "analysis/overview_charts.h"
#include "analysis_fixture.h"
#include "store/overview_summary.h"

#include <QMap>

using namespace quel::analysis;

namespace {

class Overview : public quel::test::AnalysisFixture
{
protected:
    // A listed product; with `downloaded` its item page (and records) count as fetched.
    void listing(int id, const QString& category, const QString& shop, double price, long sold90,
        const QString& addr = QStringLiteral("浙江 杭州"), bool downloaded = true)
    {
        exec(QStringLiteral("INSERT INTO 产品表(ID,KWord,PCode,P_Name,PName,SName,Addr,Price,"
                            "Num9,Style) VALUES(%1,%2,'c%1','n%1','n%1',%3,%4,%5,%6,%7)")
                 .arg(id)
                 .arg(quel::store::Quote(category), quel::store::Quote(shop),
                     quel::store::Quote(addr))
                 .arg(price)
                 .arg(sold90)
                 .arg(downloaded ? QStringLiteral("'1'") : QStringLiteral("''")));
    }

    MarketOverview overview(const QString& category)
    {
        MarketOverview o;
        QString error;
        EXPECT_TRUE(BuildMarketOverview(*m_db, category, o, &error)) << error.toStdString();
        return o;
    }

    static QMap<QString, qint64> provinces(const std::vector<ProvinceCount>& list)
    {
        QMap<QString, qint64> map;
        for (const ProvinceCount& p : list)
            map.insert(p.province, p.count);
        return map;
    }
};

} // namespace

TEST(PriceBands, WidthIsTheSmallestRoundStepThatCoversTheRangeInTenBands)
{
    struct Case
    {
        double low, high, start, width;
        int count;
    };
    const Case cases[] = {
        { 12, 12, 12, 1, 1 }, // one price only
        { 0.5, 3000, 0, 500, 7 }, // 0-500 ... 3000-3500
        { 0, 9.99, 0, 1, 10 },
        { 0, 10, 0, 2, 6 }, // 10 does not fit in [0, 10) with width 1
        { 17, 34, 16, 2, 10 }, // from the even number at or below 17
        { 101, 189, 100, 10, 9 },
        { 3, 3.5, 3, 1, 1 },
    };
    for (const Case& c : cases) {
        const BandLayout layout = PriceBandLayout(c.low, c.high);
        EXPECT_DOUBLE_EQ(layout.start, c.start) << c.low << "-" << c.high;
        EXPECT_DOUBLE_EQ(layout.width, c.width) << c.low << "-" << c.high;
        EXPECT_EQ(layout.count, c.count) << c.low << "-" << c.high;
        EXPECT_LE(layout.count, 10);
        EXPECT_EQ(PriceBandIndex(layout, c.high), layout.count - 1);
        EXPECT_EQ(PriceBandIndex(layout, c.low), 0);
    }
    // A price exactly on an edge opens the upper band.
    const BandLayout layout = PriceBandLayout(0.5, 3000);
    EXPECT_EQ(PriceBandIndex(layout, 500), 1);
    EXPECT_EQ(PriceBandIndex(layout, 499.99), 0);
    EXPECT_EQ(PriceBandLayout(5, 4).count, 0);
}

TEST(Concentration, ReadingsAtTheirBounds)
{
    EXPECT_EQ(ConcentrationReading(1499.9, true), "分散");
    EXPECT_EQ(ConcentrationReading(1500, true), "中等");
    EXPECT_EQ(ConcentrationReading(2500, true), "中等");
    EXPECT_EQ(ConcentrationReading(2500.1, true), "集中");
    EXPECT_EQ(ConcentrationReading(0, false), "无销售");
}

TEST_F(Overview, SingleShopHoldsTheWholeMarket)
{
    listing(1, "台灯", "甲店", 10, 3);
    listing(2, "台灯", "甲店", 30, 1);
    listing(3, "钢笔", "乙店", 99, 50); // another category
    const MarketOverview o = overview("台灯");
    EXPECT_EQ(o.products, 2);
    EXPECT_EQ(o.shops, 1);
    EXPECT_EQ(o.quantity, 4);
    EXPECT_DOUBLE_EQ(o.amount, 60);
    EXPECT_DOUBLE_EQ(o.weightedAveragePrice, 15);
    EXPECT_DOUBLE_EQ(o.medianPrice, 20);
    EXPECT_DOUBLE_EQ(o.top10Share, 1);
    EXPECT_DOUBLE_EQ(o.hhi, 10000);
    EXPECT_EQ(o.concentration(), "集中");
    ASSERT_EQ(o.topShops.size(), 1u);
    EXPECT_DOUBLE_EQ(o.topShops[0].cumulative, 1);
}

TEST_F(Overview, EqualShopsAndTheTopTenShare)
{
    // Twenty shops of equal amount: HHI 20 x 5^2 = 500, the ten largest hold half.
    for (int i = 1; i <= 20; ++i)
        listing(i, "手机", QStringLiteral("店%1").arg(i), 100, 2);
    MarketOverview o = overview("手机");
    EXPECT_EQ(o.shops, 20);
    EXPECT_NEAR(o.hhi, 500, 1e-9);
    EXPECT_EQ(o.concentration(), "分散");
    EXPECT_NEAR(o.top10Share, 0.5, 1e-12);
    ASSERT_EQ(o.topShops.size(), 20u);
    EXPECT_NEAR(o.topShops[19].cumulative, 1, 1e-12);

    // Four equal shops: 4 x 25^2 = 2,500, still 中等; the top ten are all of them.
    for (int i = 21; i <= 24; ++i)
        listing(i, "平板", QStringLiteral("店%1").arg(i), 50, 1);
    o = overview("平板");
    EXPECT_NEAR(o.hhi, 2500, 1e-9);
    EXPECT_EQ(o.concentration(), "中等");
    EXPECT_DOUBLE_EQ(o.top10Share, 1);

    // Every product: 24 shops, shares 200/4200 and 50/4200.
    o = overview(allCategoriesText());
    EXPECT_EQ(o.products, 24);
    const double big = 100.0 * 200 / 4200;
    const double small = 100.0 * 50 / 4200;
    EXPECT_NEAR(o.hhi, 20 * big * big + 4 * small * small, 1e-6);
}

TEST_F(Overview, PriceBandsFromHalfAUnitToThreeThousand)
{
    listing(1, "手机", "甲店", 0.5, 10);
    listing(2, "手机", "甲店", 500, 1); // on the edge: the second band
    listing(3, "手机", "乙店", 3000, 2);
    listing(4, "手机", "乙店", 499.99, 0);
    const MarketOverview o = overview("手机");
    EXPECT_DOUBLE_EQ(o.bandLayout.width, 500);
    ASSERT_EQ(o.bands.size(), 7u);
    EXPECT_EQ(o.bands[0].products, 2);
    EXPECT_EQ(o.bands[0].quantity, 10);
    EXPECT_DOUBLE_EQ(o.bands[0].amount, 5);
    EXPECT_EQ(o.bands[1].products, 1);
    EXPECT_DOUBLE_EQ(o.bands[1].amount, 500);
    for (int i = 2; i < 6; ++i)
        EXPECT_EQ(o.bands[static_cast<size_t>(i)].products, 0) << "empty bands are listed";
    EXPECT_EQ(o.bands[6].products, 1);
    EXPECT_DOUBLE_EQ(o.bands[6].low, 3000);
    EXPECT_DOUBLE_EQ(o.bands[6].high, 3500);
    EXPECT_DOUBLE_EQ(o.medianPrice, (499.99 + 500) / 2);

    // The figure list for scripts names the bands by their bounds.
    const auto list = OverviewFigureList(o);
    QMap<QString, QString> figures;
    for (const auto& [key, value] : list)
        figures.insert(key, value);
    EXPECT_EQ(list.front().first, "products");
    EXPECT_EQ(figures.value("band_500_1000_amount"), "500");
    EXPECT_EQ(figures.value("band_0_500_products"), "2");
    EXPECT_EQ(figures.value("band_1500_2000_quantity"), "0");
    EXPECT_EQ(figures.value("band_3000_3500_products"), "1");
    EXPECT_EQ(figures.value("sales90_amount"), "6505");
    EXPECT_EQ(list.size(), 8u + 7 * 3);
}

TEST_F(Overview, WeeksRunFromMondayOverTheLast26WithGapsAtZero)
{
    listing(1, "手机", "甲店", 10, 1);
    listing(2, "手机", "乙店", 10, 1, "上海", false);
    listing(3, "钢笔", "丙店", 10, 1);
    trade(1, "2026-12-06 23:00", 10, 2); // Sunday: the week of Monday 11-30
    trade(1, "2026-12-07 08:00", 10, 3); // Monday: a week of its own
    trade(1, "2026-06-01 08:00", 5, 1); // more than 26 weeks back: left out
    trade(3, "2026-12-20 08:00", 10, 7); // another category
    const MarketOverview o = overview("手机");
    ASSERT_EQ(o.weeks.size(), 26u);
    EXPECT_EQ(o.weeks.back().start, QDate(2026, 12, 7));
    EXPECT_EQ(o.weeks.back().quantity, 3);
    EXPECT_DOUBLE_EQ(o.weeks.back().amount, 30);
    EXPECT_EQ(o.weeks[24].start, QDate(2026, 11, 30));
    EXPECT_EQ(o.weeks[24].quantity, 2);
    EXPECT_EQ(o.weeks.front().start, QDate(2026, 6, 15));
    qint64 total = 0;
    for (const WeekSales& w : o.weeks)
        total += w.quantity;
    EXPECT_EQ(total, 5);
    EXPECT_EQ(o.productsWithRecords, 1);
    EXPECT_NE(WeeklySalesChart(o).note.indexOf("基于 1 个已下载成交记录的产品"), -1);
}

TEST_F(Overview, CategoryWithoutDownloadedRecords)
{
    listing(1, "手机", "甲店", 10, 0, "广东 深圳", false);
    const MarketOverview o = overview("手机");
    EXPECT_TRUE(o.weeks.empty());
    EXPECT_EQ(o.productsWithRecords, 0);
    EXPECT_FALSE(o.anySales());
    EXPECT_EQ(o.hhi, 0);
    EXPECT_EQ(o.concentration(), "无销售");
    EXPECT_EQ(o.weightedAveragePrice, 0);
    EXPECT_TRUE(o.buyerProvinces.empty());
    EXPECT_EQ(WeeklySalesChart(o).table.rows.size(), 0u);
}

TEST_F(Overview, SellerAddressesWithoutAKnownProvinceCountAsOther)
{
    listing(1, "手机", "甲店", 10, 1, "浙江 杭州");
    listing(2, "手机", "甲店", 10, 1, "浙江 杭州"); // the same shop once
    listing(3, "手机", "乙店", 10, 1, "黑龙江哈尔滨");
    listing(4, "手机", "丙店", 10, 1, "火星");
    listing(5, "手机", "丁店", 10, 1, "");
    listing(6, "手机", "乙店", 10, 1, ""); // an empty address beside a known one
    const MarketOverview o = overview("手机");
    EXPECT_EQ(provinces(o.sellerProvinces),
        (QMap<QString, qint64> { { "浙江", 1 }, { "黑龙江", 1 }, { "其他", 2 } }));
    EXPECT_EQ(o.sellerProvinces.front().province, "其他") << "largest first";
}

TEST_F(Overview, BuyersOfTwoProductsCountOnceAndOnlyWithAProfile)
{
    listing(1, "手机", "甲店", 10, 1);
    listing(2, "手机", "乙店", 10, 1);
    listing(3, "钢笔", "丙店", 10, 1);
    trade(1, "2026-12-01 08:00", 10, 1, "b1");
    trade(2, "2026-12-02 08:00", 10, 1, "b1"); // the same buyer, another product
    trade(2, "2026-12-02 09:00", 10, 1, "b2");
    trade(1, "2026-12-03 09:00", 10, 1, "b3"); // no profile yet
    trade(3, "2026-12-03 09:00", 10, 1, "b4"); // another category
    buyer("b1", "小明", "浙江");
    buyer("b2", "小红", "查封");
    buyer("b3", "", "");
    buyer("b4", "小刚", "上海");
    const MarketOverview o = overview("手机");
    EXPECT_EQ(
        provinces(o.buyerProvinces), (QMap<QString, qint64> { { "浙江", 1 }, { "其他", 1 } }));
    const MarketOverview all = overview(allCategoriesText());
    EXPECT_EQ(provinces(all.buyerProvinces),
        (QMap<QString, qint64> { { "浙江", 1 }, { "其他", 1 }, { "上海", 1 } }));
}

TEST_F(Overview, UnknownCategoryIsNamed)
{
    listing(1, "手机", "甲店", 10, 1);
    MarketOverview o;
    QString error;
    EXPECT_FALSE(BuildMarketOverview(*m_db, "冰箱", o, &error));
    EXPECT_NE(error.indexOf("冰箱"), -1);

    QStringList categories;
    ASSERT_TRUE(OverviewCategories(*m_db, categories, &error));
    EXPECT_EQ(categories, (QStringList { "全部", "手机" }));
}

TEST_F(Overview, GridHoldsEveryFigureAndTable)
{
    listing(1, "手机", "甲店", 12.5, 2);
    listing(2, "手机", "O'Neil", 25, 3, "北京");
    const MarketOverview o = overview("手机");
    quel::grid::GridModel grid;
    FillOverviewGrid(grid, o);
    const QStringList items = column(grid, 1);
    for (const char* caption : { "产品数", "店铺数", "90天销量", "90天销售额", "销量加权均价",
             "价格中位数", "前十店铺销售额占比", "集中度指数(HHI)", "O'Neil", "12-14", "24-26" })
        EXPECT_TRUE(items.contains(caption)) << caption;
    const qsizetype hhiRow = items.indexOf("集中度指数(HHI)");
    EXPECT_TRUE(column(grid, 2)[hhiRow].startsWith("6250")) << "75% and 25%: 5625 + 625";
    // The drawing grid of the shop chart: one point per shop, share and cumulative share.
    quel::grid::GridModel chartGrid;
    FillChartGrid(chartGrid, ShopChart(o));
    EXPECT_EQ(chartGrid.dataRowCount(), 2);
    EXPECT_EQ(column(chartGrid, 0), (QStringList { "O'Neil", "甲店" }));
    EXPECT_EQ(column(chartGrid, 2), (QStringList { "75", "100" }));
    // Pieces and money in panels of their own; shares side by side on one axis.
    EXPECT_EQ(WeeklySalesChart(o).options.panels, ChartPanels::Each);
    EXPECT_EQ(PriceBandChart(o).options.panels, ChartPanels::One);
    EXPECT_EQ(PriceBandChart(o).options.mark, ChartMark::Bar);
    // Shop shares as bars, the running share as a line over them on a 0-100 % axis.
    const ChartOptions shops = ShopChart(o).options;
    EXPECT_EQ(shops.panels, ChartPanels::One);
    EXPECT_FALSE(shops.onLineAxis(0));
    EXPECT_TRUE(shops.onLineAxis(1));
    EXPECT_DOUBLE_EQ(shops.lineAxisTop, 100);
}

TEST_F(Overview, TheKeptSummaryGivesWhatTheTradesGive)
{
    listing(1, "手机", "甲店", 10, 1);
    listing(2, "手机", "乙店", 12.5, 3);
    listing(3, "钢笔", "丙店", 3, 9);
    trade(1, "2026-12-06 23:00", 10.01, 2, "b1");
    trade(1, "2026-12-07 08:00", 9.99, 3, "b2");
    trade(2, "2026-11-02 08:00", 12.5, 1, "b1");
    trade(2, "2026-07-01 08:00", 12.5, 4, "b3");
    trade(3, "2026-12-20 08:00", 3, 7, "b4");
    trade(9, "2026-12-21 08:00", 1, 1, "b5"); // a product no longer stored
    buyer("b1", "小明", "浙江");
    buyer("b2", "小红", "上海");
    buyer("b4", "小刚", "上海");
    buyer("b5", "小强", "");
    const auto build = [this]() {
        std::vector<MarketOverview> all;
        for (const QString& category : { allCategoriesText(), QStringLiteral("手机") })
            all.push_back(overview(category));
        return all;
    };
    const std::vector<MarketOverview> kept = build();
    const auto database
        = quel::store::DatabasePool::shared().acquire(m_db->currentDatabasePath(), nullptr);
    ASSERT_TRUE(database && quel::store::HasOverviewSummary(*database));
    ASSERT_TRUE(quel::store::DropOverviewSummary(*database, nullptr));
    const std::vector<MarketOverview> counted = build();
    for (size_t i = 0; i < kept.size(); ++i) {
        const MarketOverview& a = kept[i];
        const MarketOverview& b = counted[i];
        SCOPED_TRACE(a.category.toStdString());
        ASSERT_EQ(a.weeks.size(), 26u);
        ASSERT_EQ(a.weeks.size(), b.weeks.size());
        for (size_t w = 0; w < a.weeks.size(); ++w) {
            EXPECT_EQ(a.weeks[w].start, b.weeks[w].start);
            EXPECT_EQ(a.weeks[w].quantity, b.weeks[w].quantity);
            EXPECT_EQ(a.weeks[w].amount, b.weeks[w].amount);
        }
        EXPECT_EQ(provinces(a.buyerProvinces), provinces(b.buyerProvinces));
        EXPECT_FALSE(a.buyerProvinces.empty());
        EXPECT_EQ(a.productsWithRecords, b.productsWithRecords);
    }
    EXPECT_EQ(kept[0].weeks.back().start, QDate(2026, 12, 21));
    EXPECT_DOUBLE_EQ(kept[1].weeks.back().amount, 29.97);
    EXPECT_EQ(provinces(kept[0].buyerProvinces),
        (QMap<QString, qint64> { { "浙江", 1 }, { "上海", 2 }, { "其他", 1 } }));
}
