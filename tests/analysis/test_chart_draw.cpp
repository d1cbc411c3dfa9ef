#include "analysis/chart_draw.h"
#include "analysis/chart_range.h"
#include "chart_grid.h"
#include "shell/app_fixture.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace quel::analysis {
namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;

class ChartDrawTest : public ::testing::Test
{
protected:
    void SetUp() override { test::app(); }

    ChartDrawing draw(const QString& title = QStringLiteral("标题"), int first = -1, int last = -1)
    {
        m_image = QImage(kWidth, kHeight, QImage::Format_RGB32);
        m_image.fill(Qt::black);
        QPainter painter(&m_image);
        return DrawChart(painter, m_image.size(), m_grid, m_title, title, first, last);
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

    views::GridModel m_grid;
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
    EXPECT_DOUBLE_EQ(d.spacing, kWidth * 15.0 - kChartRightMargin - kChartLeft);
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
    EXPECT_DOUBLE_EQ(d.unit, 1);
    EXPECT_DOUBLE_EQ(d.axisTop, 10);
    EXPECT_EQ(d.segments, 0);
    EXPECT_EQ(d.markers, 3);
}

TEST_F(ChartDrawTest, DivisionUnitCoversTheLargestValue)
{
    EXPECT_DOUBLE_EQ(DivisionUnit(95), 10);
    EXPECT_DOUBLE_EQ(DivisionUnit(100), 10);
    EXPECT_DOUBLE_EQ(DivisionUnit(101), 11);
    EXPECT_DOUBLE_EQ(DivisionUnit(1), 1);
    // A fractional largest value is never above the axis top.
    EXPECT_DOUBLE_EQ(DivisionUnit(100.5), 11);
    // Below 1: a unit of 1, 2 or 5 times a power of ten.
    EXPECT_DOUBLE_EQ(DivisionUnit(0.37), 0.05);
    EXPECT_DOUBLE_EQ(DivisionUnit(0.5), 0.05);
    EXPECT_DOUBLE_EQ(DivisionUnit(0.9), 0.1);
    EXPECT_NEAR(DivisionUnit(0.012), 0.002, 1e-15);
    EXPECT_EQ(AxisNumberText(3 * 0.1), "0.3");
    EXPECT_EQ(AxisNumberText(110), "110");

    oneSeries({ 95, 3 });
    EXPECT_DOUBLE_EQ(draw().axisTop, 100);
    oneSeries({ 101, 3 });
    EXPECT_DOUBLE_EQ(draw().axisTop, 110);
}

TEST_F(ChartDrawTest, FractionalDataStillDrawsItsLines)
{
    oneSeries({ 0.12, 0.37, 0.2 });
    const ChartDrawing d = draw();
    EXPECT_DOUBLE_EQ(d.axisTop, 0.5);
    EXPECT_EQ(d.segments, 2);
    EXPECT_EQ(d.markers, 3);
}

TEST_F(ChartDrawTest, SeriesColoursBlendByColumn)
{
    EXPECT_EQ(SeriesColour(2, 4), QColor(128, 127, 128));
    EXPECT_EQ(SeriesColour(3, 4), QColor(64, 191, 64));
    EXPECT_EQ(SeriesColour(4, 4), QColor(0, 255, 0));
    // n below j is raised to j.
    EXPECT_EQ(SeriesColour(5, 2), QColor(0, 255, 0));
    EXPECT_EQ(SeriesColour(0, 0), QColor(255, 0, 255));

    // Three series in a grid of five columns (two fixed): each legend box in its colour.
    views::GridModel& g = m_grid;
    views::setGridColumns(g, { "", "P_Name", "a", "b", "c" }, { "序号", "名称", "甲", "乙", "丙" });
    g.appendRow({ "1", "x", "1", "2", "3" });
    g.appendRow({ "2", "y", "3", "2", "1" });
    ASSERT_EQ(g.fixedCols(), 2);
    const ChartDrawing d = draw();
    EXPECT_EQ(d.series, 3);
    const double h = kHeight * 15.0;
    const double slot = std::min(600.0, std::floor(h / 3));
    const double inset = std::floor((slot - 200) / 2);
    double y0 = std::max(0.0, (h - slot * 5) / 2);
    const int x1 = (kWidth * 15 - kLegendBand + 200) / 15;
    const int x2 = (kWidth * 15 - 300) / 15;
    for (int j = 2; j <= 4; ++j) {
        const QRect box(QPoint(x1 + 2, int((y0 + inset + 200) / 15) + 2),
            QPoint(x2 - 2, int((y0 + slot) / 15) - 2));
        EXPECT_EQ(count(box, SeriesColour(j, 4).rgb()), box.width() * box.height()) << j;
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
