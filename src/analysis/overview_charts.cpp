// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/overview_charts.h"

#include "analysis/analysis_run.h"
#include "analysis/chart_draw.h"
#include "core/number_form.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"

#include <QPainter>
#include <cmath>

namespace quel::analysis {

namespace {

QString countText(qint64 n)
{
    return QString::number(n);
}

double fraction(double part, double whole)
{
    return whole > 0 ? part / whole : 0;
}

// A band's label: "LOW-HIGH" in plain numbers.
QString bandLabel(const PriceBand& band)
{
    return core::NumberText(band.low) + u'-' + core::NumberText(band.high);
}

QString weekLabel(const QDate& start)
{
    return start.toString(QStringLiteral("yyyy.MM.dd"));
}

// A province chart: one bar per province, largest first.
OverviewChart provinceChart(const std::vector<ProvinceCount>& counts, const QString& title,
    const QString& counted, const QString& note)
{
    OverviewChart chart;
    chart.title = title;
    chart.note = note;
    chart.table.headings = QStringList { QStringLiteral("省份"), counted, QStringLiteral("占比") };
    OverviewSeries bars { counted, {} };
    qint64 total = 0;
    for (const ProvinceCount& p : counts)
        total += p.count;
    for (const ProvinceCount& p : counts) {
        chart.categories << p.province;
        bars.values.push_back(static_cast<double>(p.count));
        chart.table.rows.push_back({ p.province, countText(p.count),
            percentText(fraction(static_cast<double>(p.count), static_cast<double>(total))) });
    }
    chart.series.push_back(std::move(bars));
    return chart;
}

} // namespace

QString moneyText(double value)
{
    return QString::number(value, 'f', 2);
}

QString percentText(double fraction)
{
    return QString::number(100.0 * fraction, 'f', 2) + u'%';
}

OverviewChart PriceBandChart(const MarketOverview& o)
{
    OverviewChart chart;
    chart.title = QStringLiteral("价格区间");
    chart.note = QStringLiteral(
        "每个价格区间的在售产品占比与90天销量占比并排对比：销量占比高于产品占比的区间，"
        "买家多而卖家少。");
    chart.table.headings = QStringList { QStringLiteral("价格区间"), QStringLiteral("产品数"),
        QStringLiteral("90天销量"), QStringLiteral("90天销售额") };
    OverviewSeries listings { QStringLiteral("产品占比(%)"), {} };
    OverviewSeries sales { QStringLiteral("销量占比(%)"), {} };
    for (const PriceBand& band : o.bands) {
        chart.categories << bandLabel(band);
        listings.values.push_back(
            100.0 * fraction(static_cast<double>(band.products), static_cast<double>(o.products)));
        sales.values.push_back(
            100.0 * fraction(static_cast<double>(band.quantity), static_cast<double>(o.quantity)));
        chart.table.rows.push_back({ bandLabel(band), countText(band.products),
            countText(band.quantity), moneyText(band.amount) });
    }
    chart.series.push_back(std::move(listings));
    chart.series.push_back(std::move(sales));
    return chart;
}

OverviewChart ShopChart(const MarketOverview& o)
{
    OverviewChart chart;
    chart.title = QStringLiteral("店铺销售额排名（前%1名）").arg(kOverviewTopShops);
    chart.subtitle = QStringLiteral("集中度指数(HHI) %1：%2")
                         .arg(QString::number(o.hhi, 'f', 0), o.concentration());
    chart.note = QStringLiteral("按90天销售额排列的最大店铺及其占比，折线为从第一名起的累计占比："
                                "曲线越早接近100%，市场越集中。");
    chart.table.headings = QStringList { QStringLiteral("店铺"), QStringLiteral("90天销售额"),
        QStringLiteral("90天销量"), QStringLiteral("占比"), QStringLiteral("累计占比") };
    OverviewSeries shares { QStringLiteral("占比(%)"), {} };
    OverviewSeries running { QStringLiteral("累计占比(%)"), {} };
    for (const ShopShare& s : o.topShops) {
        chart.categories << s.name;
        shares.values.push_back(100.0 * s.share);
        running.values.push_back(100.0 * s.cumulative);
        chart.table.rows.push_back({ s.name, moneyText(s.amount), countText(s.quantity),
            percentText(s.share), percentText(s.cumulative) });
    }
    chart.series.push_back(std::move(shares));
    chart.series.push_back(std::move(running));
    // Each shop's share as a bar, the running total from the largest shop on as a line over
    // them on a 0-100 % axis of its own.
    chart.options.seriesMarks = { ChartMark::Bar, ChartMark::Line };
    chart.options.lineAxisTop = 100;
    chart.options.lineAxisSuffix = QStringLiteral("%");
    return chart;
}

OverviewChart WeeklySalesChart(const MarketOverview& o)
{
    OverviewChart chart;
    chart.title = QStringLiteral("每周销售");
    chart.subtitle = QStringLiteral("基于 %1 个已下载成交记录的产品").arg(o.productsWithRecords);
    chart.note = QStringLiteral("至最新一笔成交的%1周，每周（周一起）的成交数量与金额；"
                                "基于 %2 个已下载成交记录的产品。")
                     .arg(kOverviewWeeks)
                     .arg(o.productsWithRecords);
    chart.table.headings = QStringList { QStringLiteral("周"), QStringLiteral("成交数量"),
        QStringLiteral("成交金额") };
    OverviewSeries quantity { QStringLiteral("成交数量"), {} };
    OverviewSeries amount { QStringLiteral("成交金额"), {} };
    for (const WeekSales& w : o.weeks) {
        chart.categories << weekLabel(w.start);
        quantity.values.push_back(static_cast<double>(w.quantity));
        amount.values.push_back(w.amount);
        chart.table.rows.push_back(
            { weekLabel(w.start), countText(w.quantity), moneyText(w.amount) });
    }
    chart.series.push_back(std::move(quantity));
    chart.series.push_back(std::move(amount));
    // Pieces and money: a panel each.
    chart.options.panels = ChartPanels::Each;
    return chart;
}

OverviewChart SellerProvinceChart(const MarketOverview& o)
{
    return provinceChart(o.sellerProvinces, QStringLiteral("卖家所在省份"),
        QStringLiteral("店铺数"),
        QStringLiteral("按店铺所在地统计的店铺数，每个店铺计一次；无法识别省份的计入其他。"));
}

OverviewChart BuyerProvinceChart(const MarketOverview& o)
{
    return provinceChart(o.buyerProvinces, QStringLiteral("买家所在省份"), QStringLiteral("买家数"),
        QStringLiteral("已下载资料的买家按省份统计，每个买家计一次。"));
}

std::vector<OverviewChart> OverviewCharts(const MarketOverview& o)
{
    return { PriceBandChart(o), ShopChart(o), WeeklySalesChart(o), SellerProvinceChart(o),
        BuyerProvinceChart(o) };
}

std::vector<HeadlineFigure> HeadlineFigures(const MarketOverview& o)
{
    const auto n = [](qint64 v) { return static_cast<double>(v); };
    return {
        { QStringLiteral("products"), QStringLiteral("产品数"), n(o.products),
            countText(o.products) },
        { QStringLiteral("shops"), QStringLiteral("店铺数"), n(o.shops), countText(o.shops) },
        { QStringLiteral("sales90_quantity"), QStringLiteral("90天销量"), n(o.quantity),
            countText(o.quantity) },
        { QStringLiteral("sales90_amount"), QStringLiteral("90天销售额"), o.amount,
            moneyText(o.amount) },
        { QStringLiteral("weighted_avg_price"), QStringLiteral("销量加权均价"),
            o.weightedAveragePrice, moneyText(o.weightedAveragePrice) },
        { QStringLiteral("median_price"), QStringLiteral("价格中位数"), o.medianPrice,
            moneyText(o.medianPrice) },
        { QStringLiteral("top10_share"), QStringLiteral("前十店铺销售额占比"), o.top10Share,
            percentText(o.top10Share) },
        { QStringLiteral("hhi"), QStringLiteral("集中度指数(HHI)"), o.hhi,
            QString::number(o.hhi, 'f', 0) + QStringLiteral("（") + o.concentration()
                + QStringLiteral("）") },
    };
}

std::vector<std::pair<QString, QString>> OverviewFigureList(const MarketOverview& o)
{
    std::vector<std::pair<QString, QString>> list;
    for (const HeadlineFigure& f : HeadlineFigures(o))
        list.emplace_back(f.key, core::NumberText(f.value));
    for (const PriceBand& band : o.bands) {
        const QString key = QStringLiteral("band_") + core::NumberText(band.low) + u'_'
            + core::NumberText(band.high) + u'_';
        list.emplace_back(key + QStringLiteral("products"), countText(band.products));
        list.emplace_back(key + QStringLiteral("quantity"), countText(band.quantity));
        list.emplace_back(key + QStringLiteral("amount"), core::NumberText(band.amount));
    }
    return list;
}

QString OverviewTitle(const MarketOverview& o)
{
    return QStringLiteral("市场概览：") + o.category + QStringLiteral("\r\n") + sourceLine();
}

void FillOverviewGrid(grid::GridModel& grid, const MarketOverview& o)
{
    constexpr int kValueCols = 4;
    QStringList fields { QString(), QStringLiteral("Item") };
    QStringList titles { grid::kSerialTitle, QStringLiteral("项目") };
    for (int i = 1; i <= kValueCols; ++i) {
        fields << QStringLiteral("V%1").arg(i);
        titles << QStringLiteral("数值%1").arg(i);
    }
    grid::GridModel::BulkUpdate bulk(grid);
    grid::setGridColumns(grid, fields, titles);
    const QColor headingColour(255, 192, 128);
    const auto heading = [&grid, &headingColour](const QStringList& cells) {
        grid.appendRow(QList<QString> { QString() } + cells);
        const int row = grid.rows() - 1;
        for (int c = 0; c < grid.cols(); ++c)
            grid.setCellBackground(row, c, headingColour);
    };
    heading({ QStringLiteral("概况：") + o.category, QStringLiteral("数值") });
    for (const HeadlineFigure& f : HeadlineFigures(o))
        grid.appendRow({ QString(), f.caption, f.shown });
    for (const OverviewChart& chart : OverviewCharts(o)) {
        QStringList cells = chart.table.headings;
        cells[0] = chart.title + QStringLiteral("：") + cells[0];
        heading(cells);
        for (const QStringList& row : chart.table.rows)
            grid.appendRow(QList<QString> { QString() } + row);
    }
    int serial = 0;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        grid.setText(r, 0, QString::number(++serial));
}

void FillChartGrid(grid::GridModel& grid, const OverviewChart& chart)
{
    QStringList fields { QStringLiteral("Label") };
    QStringList titles { chart.table.headings.value(0) };
    for (const OverviewSeries& s : chart.series) {
        fields << s.name;
        titles << s.name;
    }
    grid::GridModel::BulkUpdate bulk(grid);
    grid::setGridColumns(grid, fields, titles);
    grid.setFixedCols(1);
    // Values to the cent (shares to a hundredth of a per cent).
    for (qsizetype i = 0; i < chart.categories.size(); ++i) {
        QList<QString> cells { chart.categories[i] };
        for (const OverviewSeries& s : chart.series)
            cells << core::NumberText(std::round(s.values.at(static_cast<size_t>(i)) * 100) / 100);
        grid.appendRow(cells);
    }
}

QString ChartTitleLines(const OverviewChart& chart)
{
    return chart.subtitle.isEmpty() ? chart.title
                                    : chart.title + QStringLiteral("\r\n") + chart.subtitle;
}

QImage RenderChart(const OverviewChart& chart, const QSize& pixels)
{
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    grid::GridModel grid;
    FillChartGrid(grid, chart);
    QPainter painter(&image);
    QString stored;
    DrawChart(painter, pixels, grid, stored, ChartTitleLines(chart), -1, -1, chart.options);
    return image;
}

} // namespace quel::analysis
