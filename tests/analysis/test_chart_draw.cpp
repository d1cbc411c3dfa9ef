#include "analysis/chart_draw.h"
#include "analysis/chart_range.h"
#include "chart_grid.h"
#include "support/app_fixture.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

namespace quel::analysis {
namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;

class ChartDrawTest : public ::testing::Test
{
protected:
    void SetUp() override { test::app(); }

    ChartDrawing draw(const QString& title = QStringLiteral("标题"), int first = -1, int last = -1,
        const ChartOptions& options = {})
    {
        m_image = QImage(kWidth, kHeight, QImage::Format_RGB32);
        m_image.fill(Qt::black);
        QPainter painter(&m_image);
        return DrawChart(painter, m_image.size(), m_grid, m_title, title, first, last, options);
    }

    // n rows of `series` series whose sizes differ by `spread` times from one to the next.
    void manySeries(int rows, int series, double spread = 1, const QString& label = "产品")
    {
        QStringList names;
        for (int j = 0; j < series; ++j)
            names << QStringLiteral("指标%1").arg(j);
        std::vector<QStringList> cells;
        for (int i = 0; i < rows; ++i) {
            QStringList row { label + QString::number(i) };
            for (int j = 0; j < series; ++j)
                row << QString::number((i * (j + 3)) % 977 / 10.0 * std::pow(spread, j), 'f', 2);
            cells.push_back(row);
        }
        test::fillChartGrid(m_grid, names, cells);
    }

    // Draws into an image of another size (the small charts of an overview).
    ChartDrawing drawAt(const QSize& size, const QString& title, const ChartOptions& options)
    {
        m_image = QImage(size, QImage::Format_RGB32);
        m_image.fill(Qt::black);
        QPainter painter(&m_image);
        return DrawChart(painter, m_image.size(), m_grid, m_title, title, -1, -1, options);
    }

    static void expectApart(const ChartDrawing& d, const QSizeF& size = QSizeF(kWidth, kHeight))
    {
        const QRectF area(QPointF(0, 0), size);
        for (qsizetype i = 0; i < d.labels.size(); ++i) {
            EXPECT_TRUE(area.contains(d.labels[i])) << "label " << i << " is cut";
            for (qsizetype j = i + 1; j < d.labels.size(); ++j) {
                ASSERT_FALSE(d.labels[i].intersects(d.labels[j])) << i << " and " << j;
            }
        }
    }

    // Rows labelled P1, P2 ... with the given values in one series.
    void oneSeries(const std::vector<double>& values)
    {
        std::vector<QStringList> rows;
        for (size_t i = 0; i < values.size(); ++i)
            rows.push_back({ QStringLiteral("P%1").arg(i + 1), QString::number(values[i]) });
        test::fillChartGrid(m_grid, { "价格" }, rows);
    }

    bool allWhite() const
    {
        for (int y = 0; y < m_image.height(); ++y) {
            for (int x = 0; x < m_image.width(); ++x) {
                if (m_image.pixel(x, y) != qRgb(255, 255, 255))
                    return false;
            }
        }
        return true;
    }

    // Pixels of exactly this colour inside a rectangle.
    int count(const QRect& area, QRgb colour) const
    {
        int n = 0;
        const QRect r = area.intersected(m_image.rect());
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x)
                n += m_image.pixel(x, y) == colour;
        }
        return n;
    }

    grid::GridModel m_grid;
    QString m_title;
    QImage m_image;
};

TEST_F(ChartDrawTest, GridWithoutDataLeavesTheAreaEmptyAndKeepsTheTitle)
{
    test::fillChartGrid(m_grid, { "价格" }, {});
    m_title = "旧标题";
    const ChartDrawing d = draw("新标题");
    EXPECT_FALSE(d.drawn);
    EXPECT_TRUE(allWhite());
    EXPECT_EQ(m_title, "旧标题");
}

TEST_F(ChartDrawTest, OneRowRangePutsThePointOnTheAxisAndSpansThePlot)
{
    oneSeries({ 5, 7, 9 });
    const ChartDrawing d = draw("t", 2, 2);
    EXPECT_EQ(d.firstRow, 3);
    EXPECT_EQ(d.lastRow, 3);
    EXPECT_DOUBLE_EQ(d.spacing, d.plot.width() * 15.0);
    EXPECT_DOUBLE_EQ(d.plot.left(), kChartLeft / 15.0);
    EXPECT_DOUBLE_EQ(d.plot.right(), kWidth - kChartRightMargin / 15.0);
    EXPECT_EQ(d.segments, 0);
    EXPECT_EQ(d.markers, 1);
    EXPECT_DOUBLE_EQ(d.largest, 7);
}

TEST_F(ChartDrawTest, RangeIsClampedToTheDataRows)
{
    oneSeries({ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 });
    ChartDrawing d = draw("t", 1, 40);
    EXPECT_EQ(d.firstRow, 2);
    EXPECT_EQ(d.lastRow, 11);
    EXPECT_EQ(d.segments, 9);
    // Nothing before the first data row becomes a point, whatever the start box says.
    d = draw("t", 0, 3);
    EXPECT_EQ(d.firstRow, 2);
    d = draw("t", -1, -1);
    EXPECT_EQ(d.lastRow, 11);
}

TEST_F(ChartDrawTest, AllZerosDrawNoFloorSegmentsAndNoFirstMarker)
{
    oneSeries({ 0, 0, 0, 0 });
    const ChartDrawing d = draw();
    EXPECT_DOUBLE_EQ(d.largest, 1);
    EXPECT_DOUBLE_EQ(d.axisTop, 1);
    EXPECT_EQ(d.segments, 0);
    EXPECT_EQ(d.markers, 3);
}

TEST_F(ChartDrawTest, AxisTopsAreRoundNumbersAtOrAboveTheLargestValue)
{
    oneSeries({ 1, 95 });
    EXPECT_DOUBLE_EQ(draw().axisTop, 100);
    oneSeries({ 1, 101 });
    ChartDrawing d = draw();
    EXPECT_DOUBLE_EQ(d.axisTop, 120);
    EXPECT_DOUBLE_EQ(d.unit, 20);
    oneSeries({ 12, 67846 });
    d = draw();
    EXPECT_DOUBLE_EQ(d.axisTop, 70000);
    EXPECT_DOUBLE_EQ(d.unit, 10000);
}

TEST_F(ChartDrawTest, FractionalDataStillDrawsItsLines)
{
    oneSeries({ 0.12, 0.37, 0.2 });
    const ChartDrawing d = draw();
    EXPECT_NEAR(d.axisTop, 0.4, 1e-12);
    EXPECT_EQ(d.segments, 2);
    EXPECT_EQ(d.markers, 3);
}

TEST_F(ChartDrawTest, LegendBoxesLinesAndMarkersShareTheSeriesColour)
{
    // Three series in a grid of five columns (two fixed): each legend box in its colour,
    // the first three of the palette.
    grid::GridModel& g = m_grid;
    grid::setGridColumns(g, { "", "P_Name", "a", "b", "c" }, { "序号", "名称", "甲", "乙", "丙" });
    g.appendRow({ "1", "x", "10", "20", "30" });
    g.appendRow({ "2", "y", "30", "20", "10" });
    ASSERT_EQ(g.fixedCols(), 2);
    const ChartDrawing d = draw();
    EXPECT_EQ(d.series, 3);
    const double slot = std::min(40.0, std::floor(kHeight / 3.0));
    const double inset = std::floor((slot - 200 / 15.0) / 2);
    double y0 = std::max(0.0, (kHeight - slot * 5) / 2);
    const int x1 = int(kWidth - kLegendBand / 15.0 + 200 / 15.0);
    const int x2 = int(kWidth - 300 / 15.0);
    for (int j = 0; j < 3; ++j) {
        const QRect box(
            QPoint(x1 + 2, int(y0 + inset + 200 / 15.0) + 2), QPoint(x2 - 2, int(y0 + slot) - 2));
        EXPECT_EQ(count(box, SeriesColour(j).rgb()), box.width() * box.height()) << j;
        // The line of the series is drawn in the same colour.
        EXPECT_GT(count(d.plot.toRect(), SeriesColour(j).rgb()), 20) << j;
        y0 += slot;
    }
}

TEST_F(ChartDrawTest, TitleIsKeptForRedrawsAndDrawnInBlueAndRed)
{
    oneSeries({ 3, 5 });
    draw("淘宝产品销售情况分析图表\r\n（数据来源：测试）");
    EXPECT_EQ(m_title, "淘宝产品销售情况分析图表\r\n（数据来源：测试）");
    const QRect titleBand(0, 0, kWidth, 60);
    EXPECT_GT(count(titleBand, qRgb(0, 0, 255)), 100);
    EXPECT_GT(count(titleBand, qRgb(255, 0, 0)), 20);

    // A redraw for scrolling passes no title and keeps the stored one.
    draw(QString());
    EXPECT_EQ(m_title, "淘宝产品销售情况分析图表\r\n（数据来源：测试）");
    EXPECT_GT(count(titleBand, qRgb(0, 0, 255)), 100);
}

TEST_F(ChartDrawTest, ChineseLabelsUseACjkFaceAndTurnedLabelsReadDownwards)
{
    const QFontInfo info(ChartFont(12));
    EXPECT_TRUE(info.family().contains("CJK") || info.family().contains("SC"))
        << info.family().toStdString();

    QImage image(200, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        DrawTextAt(painter, 100 * 15, 20 * 15, "诺基亚手机诺基亚手机", -90, true, 12, Qt::black);
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    // Ten characters run down from the anchor, one line wide.
    EXPECT_GT(ink.height(), 100);
    EXPECT_LT(ink.width(), 20);
    EXPECT_GE(ink.top(), 19);
}

TEST_F(ChartDrawTest, APeriodWithoutValueIsAGapNotAZero)
{
    oneSeries({ 980, 990, 975, 1000 });
    m_grid.setText(m_grid.fixedRows() + 1, 3, QString());
    ChartDrawing d = draw();
    EXPECT_EQ(d.segments, 1) << "only the segment between the last two points";
    EXPECT_EQ(d.markers, 3);
    EXPECT_TRUE(std::isnan(d.points.ys[0][1]));
    // The axis is not pulled to 0 by a missing value, and no label reads 0.
    EXPECT_DOUBLE_EQ(d.axisTop, 1000);
    d = draw("t", -1, -1, { ChartMark::Bar, ChartPanels::One });
    EXPECT_EQ(d.bars, 3);
}

TEST_F(ChartDrawTest, LabelsOfADenseChartNeverOverlapNorLeaveTheArea)
{
    // 2,000 points in 7 series, each style.
    manySeries(2000, 7);
    for (const ChartOptions& o : { ChartOptions { ChartMark::Line, ChartPanels::One },
             ChartOptions { ChartMark::Line, ChartPanels::Each },
             ChartOptions { ChartMark::Bar, ChartPanels::One } }) {
        const ChartDrawing d = draw("淘宝产品销售情况分析图表\r\n（数据来源：测试）", -1, -1, o);
        EXPECT_GT(d.labels.size(), 20);
        expectApart(d);
    }
    // Forty points of seven close series: some value labels give way, none overlap.
    manySeries(40, 7);
    const ChartDrawing d = draw("t", 1, 40);
    const int values = 40 * 7;
    EXPECT_LT(d.labels.size(), values);
    expectApart(d);
}

TEST_F(ChartDrawTest, LongLabelsAreShortenedAndTheBottomGrowsForThem)
{
    // Short labels keep the base margin.
    oneSeries({ 3, 5, 4 });
    EXPECT_DOUBLE_EQ(draw().plot.bottom(), kHeight - kChartBottomMargin / 15.0);

    const QString longName
        = QStringLiteral("【正品行货】诺基亚 N97 mini 手机 港版 全新 原封 送 8G 卡");
    test::fillChartGrid(m_grid, { longName, "价格" },
        { { longName + longName, "3", "4" }, { "中等长度的产品名称", "5", "6" } });
    const ChartDrawing d = draw();
    // The bottom margin grows up to a third of the height, no more.
    EXPECT_LT(d.plot.bottom(), kHeight - kChartBottomMargin / 15.0);
    EXPECT_NEAR(d.plot.bottom(), kHeight - kHeight / 3.0, 1);
    QStringList full;
    for (const auto& s : d.shortened)
        full << s.text;
    EXPECT_TRUE(full.contains(longName + longName)) << "the point label";
    EXPECT_TRUE(full.contains(longName)) << "the legend name";
    EXPECT_FALSE(full.contains("中等长度的产品名称"));
    // The legend band grew for the long name, up to a quarter of the width.
    EXPECT_NEAR(d.plot.right(), kWidth - kWidth / 4.0 - 20, 1);
    expectApart(d);
    // The pointer over a shortened label names it whole.
    for (const auto& s : d.shortened)
        EXPECT_EQ(ChartHoverText(d, s.rect.center()), s.text);
}

TEST_F(ChartDrawTest, PanelsGiveEachSeriesItsOwnAxis)
{
    // Price near 1,000 beside sales near 100,000: one axis by hand, panels when asked, and
    // panels chosen by the data.
    test::fillChartGrid(m_grid, { "价格", "本期售出" },
        { { "a", "980", "98000" }, { "b", "1020", "67846" }, { "c", "990", "1885" } });
    ChartDrawing d = draw("t", -1, -1, { ChartMark::Line, ChartPanels::One });
    EXPECT_EQ(d.panels, 1);
    EXPECT_DOUBLE_EQ(d.axisTop, 100000);
    d = draw("t", -1, -1, { ChartMark::Line, ChartPanels::Auto });
    ASSERT_EQ(d.panels, 2);
    EXPECT_DOUBLE_EQ(d.axisTop, 1200) << "the price panel's own axis";
    EXPECT_LT(d.panelRects[0].bottom(), d.panelRects[1].top());
    // Each series lies in its own panel.
    for (size_t s = 0; s < 2; ++s) {
        for (const double y : d.points.ys[s]) {
            EXPECT_GE(y, d.panelRects[s].top());
            EXPECT_LE(y, d.panelRects[s].bottom());
        }
    }
    expectApart(d);

    // One series stays one panel; seven stack with their points in their panels.
    oneSeries({ 1, 2, 3 });
    EXPECT_EQ(draw("t", -1, -1, { ChartMark::Line, ChartPanels::Each }).panels, 1);
    manySeries(30, 7, 3);
    for (const ChartMark mark : { ChartMark::Line, ChartMark::Bar }) {
        d = draw("t", -1, -1, { mark, ChartPanels::Auto });
        ASSERT_EQ(d.panels, 7);
        for (size_t s = 0; s < 7; ++s) {
            EXPECT_GT(d.panelRects[s].height(), 20);
            for (const double y : d.points.ys[s]) {
                if (!std::isnan(y)) {
                    EXPECT_GE(y, d.panelRects[s].top() - 1e-9);
                    EXPECT_LE(y, d.panelRects[s].bottom() + 1e-9);
                }
            }
        }
        expectApart(d);
    }
}

TEST_F(ChartDrawTest, BarsForOneTwoAndSevenSeries)
{
    for (const int n : { 1, 2, 7 }) {
        manySeries(10, n);
        const ChartDrawing d = draw("t", -1, -1, { ChartMark::Bar, ChartPanels::One });
        int positive = 0;
        for (const ChartSeries& s : d.data.series) {
            for (const double v : s.values)
                positive += v > 0;
        }
        EXPECT_EQ(d.bars, positive) << n;
        EXPECT_EQ(d.segments, 0);
        EXPECT_EQ(d.markers, 0);
        // The bars stand in the series' colours inside the plot.
        for (int s = 0; s < n; ++s)
            EXPECT_GT(count(d.plot.toRect(), SeriesColour(s).rgb()), 10) << n << " " << s;
        expectApart(d);
    }
}

TEST_F(ChartDrawTest, DrawnAtTheDevicePixelRatio)
{
    oneSeries({ 3, 5, 4 });
    QImage sharp(kWidth * 2, kHeight * 2, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2);
    sharp.fill(Qt::black);
    ChartDrawing d;
    {
        QPainter painter(&sharp);
        d = DrawChart(painter, QSize(kWidth, kHeight), m_grid, m_title, "t", -1, -1);
    }
    // The whole doubled image is the chart: white to its far corner, the legend box at
    // twice its place.
    EXPECT_EQ(sharp.pixel(kWidth * 2 - 1, kHeight * 2 - 1), qRgb(255, 255, 255));
    const int x = int((kWidth - kLegendBand / 15.0 + 200 / 15.0) * 2) + 4;
    int inColour = 0;
    for (int y = 0; y < kHeight * 2; ++y)
        inColour += sharp.pixel(x, y) == SeriesColour(0).rgb();
    EXPECT_GT(inColour, 20);
    EXPECT_EQ(d.plot.right(), kWidth - kChartRightMargin / 15.0) << "laid out in logical pixels";
}

TEST_F(ChartDrawTest, HoverNamesTheNearestPoint)
{
    test::fillChartGrid(m_grid, { "价格", "销量" },
        { { "一月", "10.00", "300" }, { "二月", "", "310" }, { "三月", "30.00", "320" } });
    const ChartDrawing d = draw();
    const auto& xs = d.points.xs;
    ASSERT_EQ(xs.size(), 3u);
    double guide = -1;
    EXPECT_EQ(
        ChartHoverText(d, QPointF(xs[0] - 2, d.points.ys[0][0]), &guide), "价格\n一月：10.00");
    EXPECT_DOUBLE_EQ(guide, xs[0]);
    EXPECT_EQ(ChartHoverText(d, QPointF(xs[2] + 3, d.points.ys[1][2]), &guide), "销量\n三月：320");
    EXPECT_DOUBLE_EQ(guide, xs[2]);
    // Between the points, at the gap of the price: the sales answer.
    EXPECT_EQ(
        ChartHoverText(d, QPointF((xs[0] + 3 * xs[1]) / 4, d.plot.bottom())), "销量\n二月：310");
    // Far outside the plot: nothing.
    EXPECT_TRUE(ChartHoverText(d, QPointF(xs[2] + 200, d.plot.center().y())).isEmpty());
    EXPECT_TRUE(ChartHoverText(d, QPointF(xs[1], 5)).isEmpty());
}

TEST_F(ChartDrawTest, SmallChartsGiveThePlotMostOfTheArea)
{
    const QSize small(330, 240);
    test::fillChartGrid(m_grid, { "产品占比(%)", "销量占比(%)" },
        { { "400-600", "12.5", "5.97" }, { "600-800", "25", "13.53" },
            { "800-1000", "25", "29.05" }, { "1000-1200", "12.5", "20.69" } });
    const ChartOptions bars { ChartMark::Bar, ChartPanels::One };
    const ChartDrawing d = drawAt(small, "价格区间", bars);
    EXPECT_TRUE(d.compact);
    EXPECT_GT(d.plot.width(), 0.75 * small.width());
    EXPECT_GT(d.plot.height(), 0.5 * small.height());
    // The legend is a row between the title and the plot, not a band beside it.
    ASSERT_EQ(d.legend.size(), 2);
    for (const QRectF& name : d.legend) {
        EXPECT_LE(name.bottom(), d.plot.top());
        EXPECT_GT(name.top(), d.labels.front().bottom() - 1) << "under the title";
    }
    EXPECT_LE(d.labels.front().height(), 16) << "a small title";
    expectApart(d, small);
    EXPECT_EQ(d.bars, 8);

    // The same data at full size keeps the band on the right and the large title.
    const ChartDrawing full = draw("价格区间", -1, -1, bars);
    EXPECT_FALSE(full.compact);
    EXPECT_EQ(full.plot.right(), kWidth - kChartRightMargin / 15.0);
    EXPECT_GT(full.labels.front().height(), 20);

    // One series of counts: no legend, and an axis of whole numbers that fits the panel.
    oneSeries({ 1, 1, 1, 1 });
    const ChartDrawing counts = drawAt(small, "卖家所在省份", bars);
    EXPECT_TRUE(counts.legend.isEmpty());
    EXPECT_DOUBLE_EQ(counts.unit, 1);
    EXPECT_DOUBLE_EQ(counts.axisTop, 1);
    expectApart(counts, small);
}

TEST_F(ChartDrawTest, ShortPanelsKeepRoundStepsAndValueLabelsSpaced)
{
    // Twenty weeks, most without sales, in two panels of a small chart.
    std::vector<QStringList> rows;
    for (int i = 0; i < 20; ++i) {
        const int pieces = i < 12 ? 0 : 100 + i;
        rows.push_back({ QStringLiteral("2026.%1").arg(i + 10), QString::number(pieces),
            QString::number(pieces * 1130.5, 'f', 2) });
    }
    test::fillChartGrid(m_grid, { "成交数量", "成交金额" }, rows);
    const QSize small(330, 240);
    const ChartDrawing d = drawAt(small, "每周销售", { ChartMark::Bar, ChartPanels::Each });
    ASSERT_EQ(d.panels, 2);
    const double divisions = d.axisTop / d.unit;
    EXPECT_NEAR(divisions, std::round(divisions), 1e-9);
    EXPECT_GE(d.panelRects[0].height() / divisions, 18.0);
    EXPECT_TRUE(d.legend.isEmpty()) << "the panels name their series";
    expectApart(d, small);
    // Value labels of one row keep a few pixels apart, so that "0 0 0" does not read as one
    // number.
    QList<QRectF> values;
    for (const QRectF& r : d.labels) {
        if (r.height() == 11)
            values.append(r);
    }
    ASSERT_FALSE(values.isEmpty());
    for (qsizetype i = 0; i < values.size(); ++i) {
        for (qsizetype j = i + 1; j < values.size(); ++j) {
            if (std::abs(values[i].top() - values[j].top()) < 11) {
                EXPECT_FALSE(values[i].adjusted(-2, 0, 2, 0).intersects(values[j]))
                    << i << " " << j;
            }
        }
    }
}

TEST_F(ChartDrawTest, ALineOverBarsReadsItsOwnAxisOnTheRight)
{
    test::fillChartGrid(m_grid, { "占比(%)", "累计占比(%)" },
        { { "星星数码", "43.64", "43.64" }, { "通讯城", "24.32", "67.97" },
            { "数码小铺", "19.59", "87.56" }, { "手机之家", "12.44", "100" } });
    ChartOptions options { ChartMark::Bar, ChartPanels::One };
    options.seriesMarks = { ChartMark::Bar, ChartMark::Line };
    options.lineAxisTop = 100;
    options.lineAxisSuffix = QStringLiteral("%");
    for (const QSize size : { QSize(330, 240), QSize(kWidth, kHeight) }) {
        const ChartDrawing d = drawAt(size, "店铺销售额排名", options);
        EXPECT_EQ(d.panels, 1) << size.width();
        EXPECT_EQ(d.bars, 4);
        EXPECT_EQ(d.segments, 3) << "the running share is a line";
        EXPECT_DOUBLE_EQ(d.lineAxisTop, 100);
        EXPECT_GE(d.axisTop, 43.64);
        EXPECT_LT(d.axisTop, 60) << "the bars keep their own axis";
        // The line's points stand over the bars' slots, on the right axis' scale.
        const auto& xs = d.points.xs;
        ASSERT_EQ(xs.size(), 4u);
        EXPECT_NEAR(xs[0], d.plot.left() + d.plot.width() / 8, 1e-6);
        EXPECT_NEAR(d.points.ys[1][3], d.plot.top(), 1e-6);
        EXPECT_NEAR(d.points.ys[1][1], d.plot.bottom() - 0.6797 * d.plot.height(), 1e-6);
        // Numbers on the right of the plot.
        int onRight = 0;
        for (const QRectF& r : d.labels)
            onRight += r.left() > d.plot.right() && r.bottom() <= d.plot.bottom() + 7;
        EXPECT_GE(onRight, 3) << size.width();
        expectApart(d, size);
        // The hover finds the line's points and the bars.
        EXPECT_EQ(
            ChartHoverText(d, QPointF(xs[3], d.points.ys[1][3])), "累计占比(%)\n手机之家：100");
        EXPECT_EQ(
            ChartHoverText(d, QPointF(xs[1], d.points.ys[0][1] + 2)), "占比(%)\n通讯城：24.32");
    }
}

TEST(ChartRangeTest, ArrowKeysScrollAndZoomWithinTheData)
{
    using K = ChartKey;
    // Left at the start and Ctrl+Left on one point do nothing.
    EXPECT_EQ(ChartRangeAfterKey(K::Left, false, { 1, 5 }, 10), (ChartRange { 1, 5 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Left, true, { 4, 4 }, 10), (ChartRange { 4, 4 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Left, false, { 3, 7 }, 10), (ChartRange { 2, 6 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Left, true, { 3, 7 }, 10), (ChartRange { 3, 6 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Right, false, { 3, 7 }, 10), (ChartRange { 4, 8 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Right, true, { 3, 7 }, 10), (ChartRange { 3, 8 }));
    // At the last row Right neither moves nor shrinks the window.
    EXPECT_EQ(ChartRangeAfterKey(K::Right, false, { 6, 10 }, 10), (ChartRange { 6, 10 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Right, true, { 6, 10 }, 10), (ChartRange { 6, 10 }));
    // The initial 1 to 40 on ten rows is clamped by any key; reversed boxes are ordered.
    EXPECT_EQ(ChartRangeAfterKey(K::Right, false, { 1, 40 }, 10), (ChartRange { 1, 10 }));
    EXPECT_EQ(ChartRangeAfterKey(K::Left, false, { 7, 3 }, 10), (ChartRange { 2, 6 }));
    // No data: the boxes stay as they are.
    EXPECT_EQ(ChartRangeAfterKey(K::Right, false, { 1, 40 }, 0), (ChartRange { 1, 40 }));
}

} // namespace
} // namespace quel::analysis
