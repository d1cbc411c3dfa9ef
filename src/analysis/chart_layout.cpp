// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/chart_layout.h"

#include <algorithm>
#include <cmath>

namespace quel::analysis {

namespace {

// Bars fill this share of their category's slot; the rest keeps groups apart.
constexpr double kBarGroupShare = 0.8;

} // namespace

bool PanelsSuit(const ChartData& data)
{
    double low = 0;
    double high = 0;
    for (size_t s = 0; s < data.series.size(); ++s) {
        const double top = data.largest(s);
        if (top <= 0)
            continue;
        low = low > 0 ? std::min(low, top) : top;
        high = std::max(high, top);
    }
    return low > 0 && high > 10 * low;
}

int DivisionsForHeight(double pixels, int most)
{
    // An axis number is 12 pixels high; 18 pixels a division leave air between them.
    const double perDivision = 18;
    return std::clamp(static_cast<int>(pixels / perDivision), 1, std::max(1, most));
}

bool WholeValues(const ChartData& data, const std::vector<size_t>& series)
{
    for (const size_t s : series) {
        if (s >= data.series.size())
            continue;
        for (const double v : data.series[s].values) {
            if (!isNoValue(v) && v != std::floor(v))
                return false;
        }
    }
    return true;
}

ChartFrame ChartFrameFor(const QSizeF& size, int seriesCount)
{
    ChartFrame frame;
    // Below this the large title and the legend band leave the plot a small corner.
    frame.compact = size.width() < 560 || size.height() < 360;
    if (!frame.compact)
        return frame;
    frame.titlePixels = 15;
    frame.subtitlePixels = 11;
    frame.legendRow = seriesCount > 1;
    frame.legendShown = seriesCount > 1;
    return frame;
}

std::vector<QRectF> StackPanels(const QRectF& plot, int count, double gap)
{
    std::vector<QRectF> panels;
    if (count <= 0)
        return panels;
    const double height = std::max(0.0, (plot.height() - gap * (count - 1)) / count);
    for (int k = 0; k < count; ++k)
        panels.emplace_back(plot.left(), plot.top() + k * (height + gap), plot.width(), height);
    return panels;
}

double CategorySlot(const QRectF& plot, int count, ChartMark mark)
{
    if (count <= 0)
        return 0;
    if (mark == ChartMark::Bar)
        return plot.width() / count;
    return count > 1 ? plot.width() / (count - 1) : plot.width();
}

double CategoryX(const QRectF& plot, int count, int i, ChartMark mark)
{
    const double slot = CategorySlot(plot, count, mark);
    if (mark == ChartMark::Bar)
        return plot.left() + (i + 0.5) * slot;
    return plot.left() + i * slot;
}

QRectF BarRect(
    const QRectF& panel, int count, int i, int seriesCount, int s, double value, double axisTop)
{
    if (isNoValue(value) || value <= 0 || axisTop <= 0 || seriesCount <= 0 || count <= 0)
        return {};
    const double slot = CategorySlot(panel, count, ChartMark::Bar);
    const double group = slot * kBarGroupShare;
    const double width = group / seriesCount;
    const double left = panel.left() + i * slot + (slot - group) / 2 + s * width;
    const double height = std::min(value, axisTop) / axisTop * panel.height();
    return { left, panel.bottom() - height, width, height };
}

ChartHit NearestPoint(const ChartPoints& points, const QPointF& pos)
{
    ChartHit hit;
    const auto& xs = points.xs;
    if (xs.empty() || points.ys.empty())
        return hit;
    // Categories are in x order: the nearest is beside the first one not left of pos.
    const auto after = std::lower_bound(xs.begin(), xs.end(), pos.x());
    size_t i = static_cast<size_t>(after - xs.begin());
    if (i == xs.size() || (i > 0 && pos.x() - xs[i - 1] <= xs[i] - pos.x()))
        i = i == 0 ? 0 : i - 1;
    double best = 0;
    for (size_t s = 0; s < points.ys.size(); ++s) {
        if (i >= points.ys[s].size() || isNoValue(points.ys[s][i]))
            continue;
        const double d = std::abs(points.ys[s][i] - pos.y());
        if (hit.series < 0 || d < best) {
            best = d;
            hit.series = static_cast<int>(s);
        }
    }
    if (hit.series >= 0)
        hit.point = static_cast<int>(i);
    return hit;
}

LabelPlacer::LabelPlacer(const QRectF& bounds)
    : m_bounds(bounds)
{ }

template <typename F> void LabelPlacer::forCells(const QRectF& rect, F f) const
{
    const qint64 x0 = static_cast<qint64>(std::floor(rect.left() / kCell));
    const qint64 x1 = static_cast<qint64>(std::floor(rect.right() / kCell));
    const qint64 y0 = static_cast<qint64>(std::floor(rect.top() / kCell));
    const qint64 y1 = static_cast<qint64>(std::floor(rect.bottom() / kCell));
    for (qint64 y = y0; y <= y1; ++y) {
        for (qint64 x = x0; x <= x1; ++x) {
            if (!f((y << 32) ^ (x & 0xffffffff)))
                return;
        }
    }
}

bool LabelPlacer::overlaps(const QRectF& rect) const
{
    bool met = false;
    forCells(rect, [&](qint64 key) {
        const auto it = m_cells.constFind(key);
        if (it != m_cells.constEnd()) {
            for (const int n : *it) {
                if (m_rects[n].intersects(rect)) {
                    met = true;
                    return false;
                }
            }
        }
        return true;
    });
    return met;
}

void LabelPlacer::add(const QRectF& rect)
{
    const int n = static_cast<int>(m_rects.size());
    m_rects.append(rect);
    forCells(rect, [&](qint64 key) {
        m_cells[key].append(n);
        return true;
    });
}

bool LabelPlacer::place(const QRectF& rect)
{
    if (!m_bounds.isNull() && !m_bounds.contains(rect))
        return false;
    if (overlaps(rect))
        return false;
    add(rect);
    return true;
}

void LabelPlacer::reserve(const QRectF& rect)
{
    add(rect);
}

} // namespace quel::analysis
