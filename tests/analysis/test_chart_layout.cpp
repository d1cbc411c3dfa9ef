// SPDX-License-Identifier: GPL-3.0-or-later
// The pure parts of the chart: palette, round axes, panel and bar layout, label placing,
// the point under the pointer and the wheel and drag ranges.
#include "analysis/chart_layout.h"
#include "analysis/chart_range.h"
#include "analysis/chart_scale.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace quel::analysis {
namespace {

// CIE L*a*b* of an sRGB colour (D65), for the distance the eye sees.
std::array<double, 3> lab(const QColor& c)
{
    const auto linear
        = [](double u) { return u > 0.04045 ? std::pow((u + 0.055) / 1.055, 2.4) : u / 12.92; };
    const double r = linear(c.redF());
    const double g = linear(c.greenF());
    const double b = linear(c.blueF());
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double v) { return v > 0.008856 ? std::cbrt(v) : 7.787 * v + 16.0 / 116; };
    return { 116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z)) };
}

TEST(ChartPalette, TheFirstTenColoursAreClearlyApart)
{
    for (int i = 0; i < kPaletteSize; ++i) {
        for (int j = i + 1; j < kPaletteSize; ++j) {
            const auto a = lab(SeriesColour(i));
            const auto b = lab(SeriesColour(j));
            const double distance = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
            EXPECT_GT(distance, 25) << i << " " << j;
        }
        // Drawn on white: none is too pale to see.
        EXPECT_LT(lab(SeriesColour(i))[0], 85) << i;
    }
    EXPECT_EQ(SeriesColour(kPaletteSize), SeriesColour(0));
    EXPECT_EQ(SeriesColour(-1), SeriesColour(kPaletteSize - 1));
}

TEST(ChartAxis, TicksAreOneTwoOrFiveTimesAPowerOfTen)
{
    struct Case
    {
        double largest;
        double step;
        int divisions;
        double top;
    };
    for (const Case& c : std::initializer_list<Case> { { 0.3, 0.05, 6, 0.3 }, { 7, 1, 7, 7 },
             { 95, 10, 10, 100 }, { 100, 10, 10, 100 }, { 101, 20, 6, 120 },
             { 1885, 200, 10, 2000 }, { 67846, 10000, 7, 70000 }, { 1, 0.1, 10, 1 } }) {
        const AxisScale a = NiceAxis(c.largest);
        EXPECT_NEAR(a.step, c.step, c.step * 1e-9) << c.largest;
        EXPECT_EQ(a.divisions, c.divisions) << c.largest;
        EXPECT_NEAR(a.top, c.top, c.top * 1e-9) << c.largest;
        EXPECT_GE(a.top * (1 + 1e-12), c.largest);
        EXPECT_EQ(AxisNumberText(a.divisions * a.step), AxisNumberText(c.top));
    }
    // Nothing to show still gives an axis; a panel with room for few numbers gets few.
    EXPECT_DOUBLE_EQ(NiceAxis(0).top, 1);
    EXPECT_DOUBLE_EQ(NiceAxis(std::nan("")).top, 1);
    const AxisScale few = NiceAxis(1885, 3);
    EXPECT_LE(few.divisions, 3);
    EXPECT_DOUBLE_EQ(few.top, 2000);
    EXPECT_EQ(AxisNumberText(3 * 0.1), "0.3");
}

TEST(ChartAxis, ShortPanelsTakeARoundStepThatFitsTheirHeight)
{
    // Every height and size gets a 1-2-5 step whose numbers stay 18 pixels apart; counts
    // step by whole numbers.
    const auto round125 = [](double step) {
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        return std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9
            || std::abs(mantissa - 5) < 1e-9;
    };
    for (const double height : { 20.0, 40.0, 61.0, 100.0, 150.0, 400.0 }) {
        const int most = DivisionsForHeight(height);
        EXPECT_GE(most, 1);
        EXPECT_LE(most, 10);
        EXPECT_GE(height / most, 18.0) << height;
        for (const double largest : { 1.0, 3.0, 7.0, 15.0, 0.37, 1885.0, 134740.0 }) {
            for (const bool whole : { false, true }) {
                const AxisScale a = NiceAxis(largest, most, whole);
                EXPECT_TRUE(round125(a.step)) << height << " " << largest << " " << a.step;
                EXPECT_LE(a.divisions, most) << height << " " << largest;
                EXPECT_GE(a.top * (1 + 1e-12), largest);
                if (whole) {
                    EXPECT_GE(a.step, 1) << height << " " << largest;
                }
            }
        }
    }
    // Counts of 1 in a short panel: 0 and 1, not 0.4 and 0.7; fractions keep fine steps.
    const AxisScale counts = NiceAxis(1, DivisionsForHeight(100), true);
    EXPECT_DOUBLE_EQ(counts.step, 1);
    EXPECT_EQ(counts.divisions, 1);
    EXPECT_DOUBLE_EQ(NiceAxis(1, DivisionsForHeight(100)).step, 0.2);
    EXPECT_DOUBLE_EQ(NiceAxis(15, 5, true).step, 5);

    ChartData data;
    data.series.push_back({ "n", { 1, 2, kNoValue, 15 }, {} });
    data.series.push_back({ "x", { 1, 2.5 }, {} });
    EXPECT_TRUE(WholeValues(data, { 0 }));
    EXPECT_FALSE(WholeValues(data, { 0, 1 }));
}

TEST(ChartLayout, SmallChartsGetTheCompactFrame)
{
    const ChartFrame full = ChartFrameFor(QSizeF(900, 600), 3);
    EXPECT_FALSE(full.compact);
    EXPECT_TRUE(full.legendShown);
    EXPECT_FALSE(full.legendRow);
    const ChartFrame two = ChartFrameFor(QSizeF(330, 240), 2);
    EXPECT_TRUE(two.compact);
    EXPECT_TRUE(two.legendRow);
    EXPECT_LT(two.titlePixels, full.titlePixels);
    // A single series needs no legend in a small chart.
    const ChartFrame one = ChartFrameFor(QSizeF(330, 240), 1);
    EXPECT_TRUE(one.compact);
    EXPECT_FALSE(one.legendShown);
    // Wide but low is small too.
    EXPECT_TRUE(ChartFrameFor(QSizeF(1200, 300), 2).compact);
}

TEST(ChartLayout, PanelsStackWithoutOverlapAndBarsStayInTheirSlot)
{
    const QRectF plot(50, 60, 700, 420);
    for (const int n : { 1, 2, 7 }) {
        const std::vector<QRectF> panels = StackPanels(plot, n, 10);
        ASSERT_EQ(panels.size(), size_t(n));
        EXPECT_DOUBLE_EQ(panels.front().top(), plot.top());
        EXPECT_NEAR(panels.back().bottom(), plot.bottom(), 1e-9);
        for (int k = 1; k < n; ++k)
            EXPECT_NEAR(panels[k].top() - panels[k - 1].bottom(), 10, 1e-9);

        // n series side by side at 5 categories: inside the slot, apart, growing with value.
        const int categories = 5;
        const double slot = CategorySlot(plot, categories, ChartMark::Bar);
        for (int i = 0; i < categories; ++i) {
            QRectF before;
            for (int s = 0; s < n; ++s) {
                const QRectF bar = BarRect(plot, categories, i, n, s, 50, 100);
                EXPECT_GE(bar.left(), plot.left() + i * slot - 1e-9);
                EXPECT_LE(bar.right(), plot.left() + (i + 1) * slot + 1e-9);
                EXPECT_NEAR(bar.height(), plot.height() / 2, 1e-9);
                EXPECT_DOUBLE_EQ(bar.bottom(), plot.bottom());
                if (s > 0) {
                    EXPECT_LE(before.right(), bar.left() + 1e-9);
                }
                before = bar;
            }
        }
    }
    EXPECT_TRUE(BarRect(plot, 5, 0, 1, 0, kNoValue, 100).isEmpty());
    EXPECT_TRUE(BarRect(plot, 5, 0, 1, 0, 0, 100).isEmpty());
    // Lines start on the axis and end at the right edge; bars stand in their slots.
    EXPECT_DOUBLE_EQ(CategoryX(plot, 3, 0, ChartMark::Line), plot.left());
    EXPECT_DOUBLE_EQ(CategoryX(plot, 3, 2, ChartMark::Line), plot.right());
    EXPECT_DOUBLE_EQ(CategoryX(plot, 2, 0, ChartMark::Bar), plot.left() + plot.width() / 4);
}

TEST(ChartLayout, PanelsSuitSeriesMoreThanTenTimesApart)
{
    ChartData data;
    data.labels = { "a", "b" };
    data.series.push_back({ "价格", { 980, 1020 }, {} });
    EXPECT_FALSE(PanelsSuit(data)) << "one series";
    data.series.push_back({ "销量", { 9000, 10200 }, {} });
    EXPECT_FALSE(PanelsSuit(data)) << "exactly ten times";
    data.series.push_back({ "邮费", { 0, 0 }, {} });
    EXPECT_FALSE(PanelsSuit(data)) << "a series of zeros has no size";
    data.series.push_back({ "折扣", { 9.5, kNoValue }, {} });
    EXPECT_TRUE(PanelsSuit(data));
}

TEST(ChartLayout, LabelsArePlacedOnlyWhereTheyMeetNoOther)
{
    LabelPlacer placer(QRectF(0, 0, 300, 200));
    placer.reserve(QRectF(0, 0, 300, 20)); // a title
    EXPECT_FALSE(placer.place(QRectF(10, 10, 30, 12)));
    EXPECT_TRUE(placer.place(QRectF(10, 30, 30, 12)));
    EXPECT_FALSE(placer.place(QRectF(35, 35, 30, 12))) << "overlaps the one before";
    EXPECT_TRUE(placer.place(QRectF(41, 30, 30, 12)));
    EXPECT_FALSE(placer.place(QRectF(290, 100, 30, 12))) << "would be cut at the edge";
    EXPECT_FALSE(placer.place(QRectF(-5, 100, 30, 12)));
    // Across the coarse cells of the placer, also far apart on a wide chart.
    EXPECT_TRUE(placer.place(QRectF(100, 150, 150, 12)));
    EXPECT_FALSE(placer.place(QRectF(240, 155, 20, 12)));
    EXPECT_EQ(placer.placed().size(), 4);
}

TEST(ChartHitTest, TheNearestPointAtTheEndsAndBetween)
{
    ChartPoints points;
    points.xs = { 100, 110, 120, 130 };
    points.ys = { { 50, 60, kNoValue, 80 }, { 200, 210, 220, 230 } };
    EXPECT_FALSE(NearestPoint({}, QPointF(1, 1)).found());

    ChartHit hit = NearestPoint(points, QPointF(0, 40));
    EXPECT_EQ(hit.point, 0);
    EXPECT_EQ(hit.series, 0);
    hit = NearestPoint(points, QPointF(900, 240));
    EXPECT_EQ(hit.point, 3);
    EXPECT_EQ(hit.series, 1);
    // Between two points the nearer one, a tie to the left one.
    EXPECT_EQ(NearestPoint(points, QPointF(114, 0)).point, 1);
    EXPECT_EQ(NearestPoint(points, QPointF(116, 0)).point, 2);
    EXPECT_EQ(NearestPoint(points, QPointF(115, 0)).point, 1);
    // A gap is never hit: the other series answers.
    hit = NearestPoint(points, QPointF(120, 70));
    EXPECT_EQ(hit.point, 2);
    EXPECT_EQ(hit.series, 1);
}

TEST(ChartMouseRange, WheelZoomsAroundThePointerWithinTheData)
{
    // In by a fifth around the middle, the pointer's point staying put.
    EXPECT_EQ(ChartRangeAfterWheel({ 1, 40 }, 100, 0.5, 1), (ChartRange { 5, 36 }));
    // At the left end: the first point stays first; at the right end the last stays last.
    EXPECT_EQ(ChartRangeAfterWheel({ 1, 40 }, 100, 0, 1), (ChartRange { 1, 32 }));
    EXPECT_EQ(ChartRangeAfterWheel({ 61, 100 }, 100, 1, 1), (ChartRange { 69, 100 }));
    // Out: never beyond the data, however far.
    EXPECT_EQ(ChartRangeAfterWheel({ 1, 40 }, 50, 0.5, -10), (ChartRange { 1, 50 }));
    EXPECT_EQ(ChartRangeAfterWheel({ 90, 100 }, 100, 1, -1), (ChartRange { 88, 100 }));
    // In: at least one point stays.
    EXPECT_EQ(ChartRangeAfterWheel({ 3, 4 }, 10, 1, 5), (ChartRange { 4, 4 }));
    EXPECT_EQ(ChartRangeAfterWheel({ 1, 40 }, 0, 0.5, 1), (ChartRange { 1, 40 }));
    // The boxes' range past the data counts as the data.
    EXPECT_EQ(ChartRangeAfterWheel({ 1, 40 }, 10, 0.5, 1), (ChartRange { 2, 9 }));
}

TEST(ChartMouseRange, DragMovesTheRangeAndStopsAtTheEnds)
{
    // Dragging right by 3.7 points shows 3 earlier points.
    EXPECT_EQ(ChartRangeAfterDrag({ 11, 20 }, 100, 3.7), (ChartRange { 8, 17 }));
    EXPECT_EQ(ChartRangeAfterDrag({ 11, 20 }, 100, -5.2), (ChartRange { 16, 25 }));
    // At the ends the window keeps its length.
    EXPECT_EQ(ChartRangeAfterDrag({ 2, 11 }, 100, 50), (ChartRange { 1, 10 }));
    EXPECT_EQ(ChartRangeAfterDrag({ 85, 94 }, 100, -50), (ChartRange { 91, 100 }));
    EXPECT_EQ(ChartRangeAfterDrag({ 1, 40 }, 10, 2), (ChartRange { 1, 10 }));
    EXPECT_EQ(ChartRangeAfterDrag({ 1, 40 }, 0, 2), (ChartRange { 1, 40 }));
}

} // namespace
} // namespace quel::analysis
