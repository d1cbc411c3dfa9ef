// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/chart_layout.h"
#include "analysis/market_overview.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::analysis {

// One series of an overview chart: its name and one value per category.
struct OverviewSeries
{
    QString name;
    std::vector<double> values;
};

// A table with its column headings, as the report and the result grid show it.
struct FigureTable
{
    QStringList headings;
    std::vector<QStringList> rows;
};

// One chart of the overview: what it shows (categories along the axis, series over them),
// the table behind it and a line saying how to read it.
struct OverviewChart
{
    QString title;
    QString subtitle; // a short second line under the title, may be empty
    QString note;
    QStringList categories;
    std::vector<OverviewSeries> series;
    // Bars or lines; series of different units stand in panels of their own.
    ChartOptions options { ChartMark::Bar, ChartPanels::One };
    FigureTable table;
};

OverviewChart PriceBandChart(const MarketOverview& o);
OverviewChart ShopChart(const MarketOverview& o);
OverviewChart WeeklySalesChart(const MarketOverview& o);
OverviewChart SellerProvinceChart(const MarketOverview& o);
OverviewChart BuyerProvinceChart(const MarketOverview& o);
// The five, in the order the page and the report show them.
std::vector<OverviewChart> OverviewCharts(const MarketOverview& o);

// A headline figure: its key in the figure list for scripts, its caption, its value as a
// number (the figure list's form) and as shown.
struct HeadlineFigure
{
    QString key;
    QString caption;
    double value = 0;
    QString shown;
};
std::vector<HeadlineFigure> HeadlineFigures(const MarketOverview& o);

// The figure list for scripts: the headline figures, then per price band its products,
// quantity and amount as band_LOW_HIGH_products, _quantity, _amount.
std::vector<std::pair<QString, QString>> OverviewFigureList(const MarketOverview& o);

// "市场概览：手机" CR LF "（数据来源：…；统计日期：…）".
QString OverviewTitle(const MarketOverview& o);

// The result grid of the page: the headline figures, then each chart's table under a
// heading row of its own (its title and column headings), so that the whole overview
// exports as one sheet.
void FillOverviewGrid(grid::GridModel& grid, const MarketOverview& o);

// The grid the chart drawing reads for a chart: the categories label the points, one
// column per series.
void FillChartGrid(grid::GridModel& grid, const OverviewChart& chart);
// The title lines the chart drawing shows: the title, and the subtitle under it.
QString ChartTitleLines(const OverviewChart& chart);
// The chart drawn into an image of the given size.
QImage RenderChart(const OverviewChart& chart, const QSize& pixels);

// Numbers as the overview shows them: amounts and prices with two decimals, shares in per
// cent with two decimals.
QString moneyText(double value);
QString percentText(double fraction);

} // namespace quel::analysis
