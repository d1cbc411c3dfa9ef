#include "analysis/chart_draw.h"

#include "grid/grid_model.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>
#include <QRawFont>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace quel::analysis {

namespace {

constexpr double kPx = kChartTwipsPerPixel;

// Label sizes: device fonts are given in pixels, the title and value labels in points of a
// 96-dpi screen.
constexpr int kAxisLabelPixels = 12;
constexpr int kLegendPixels = 13;
int pointsToPixels(double points)
{
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

const QColor kAxisColour(0, 0, 0);
const QColor kPointLineColour(208, 208, 208);
const QColor kDivisionLineColour(160, 160, 160);
const QColor kLabelColour(0, 0, 255);
const QColor kTitleColour(0, 0, 255);
const QColor kSubtitleColour(255, 0, 0);

// Where a label's baseline lies below its top. Positions name the top of the character
// cell, whose height is the font's pixel height, as with the device fonts the chart was
// laid out for; the face's own ascent is taller and would push labels into what lies below
// them (the legend boxes under their names).
double baseline(const QFont& font)
{
    return font.pixelSize() * 0.88;
}

// One label face of a drawing. A chart writes thousands of short labels; laying each out
// through the text engine costs more than everything else together, so the face looks each
// character's glyph up once and draws labels as glyph runs. Texts with a character the face
// lacks go through the text engine, which falls back to other faces.
class LabelFace
{
public:
    // plain: draw through the text engine only (vector devices such as SVG, which keep
    // text as text).
    explicit LabelFace(int pixelHeight, bool bold = false, bool plain = false)
        : m_font(ChartFont(pixelHeight, bold))
        , m_raw(plain ? QRawFont() : QRawFont::fromFont(m_font))
        , m_metrics(m_font)
    { }

    const QFont& font() const { return m_font; }
    double pixelHeight() const { return m_font.pixelSize(); }

    double width(const QString& text)
    {
        if (!layout(text))
            return m_metrics.horizontalAdvance(text);
        return m_width;
    }

    // The text shortened with "…" to fit the width.
    QString fitted(const QString& text, double room)
    {
        if (width(text) <= room)
            return text;
        return m_metrics.elidedText(text, Qt::ElideRight, std::max(0.0, room));
    }

    // Draws the text with the top of its character cell at topLeft (pixels, in the
    // painter's current coordinates).
    void draw(QPainter& painter, const QPointF& topLeft, const QString& text)
    {
        if (!add(topLeft, text)) {
            painter.setFont(m_font);
            painter.drawText(topLeft + QPointF(0, baseline(m_font)), text);
        }
        flush(painter);
    }

    // Adds a label to the batch that flush() draws in one go; false (nothing added) when
    // the face cannot draw it alone.
    bool add(const QPointF& topLeft, const QString& text)
    {
        if (text.isEmpty())
            return true;
        if (!layout(text))
            return false;
        const QPointF origin = topLeft + QPointF(0, baseline(m_font));
        for (qsizetype i = 0; i < m_indexes.size(); ++i) {
            m_batchIndexes.append(m_indexes[i]);
            m_batchPositions.append(origin + m_positions[i]);
        }
        return true;
    }

    void flush(QPainter& painter)
    {
        if (m_batchIndexes.isEmpty())
            return;
        QGlyphRun run;
        run.setRawFont(m_raw);
        run.setGlyphIndexes(m_batchIndexes);
        run.setPositions(m_batchPositions);
        painter.drawGlyphRun(QPointF(0, 0), run);
        m_batchIndexes.clear();
        m_batchPositions.clear();
    }

private:
    struct Glyph
    {
        quint32 index = 0;
        double advance = 0;
    };

    // Glyphs and pen positions of a text; false when the face cannot draw it alone.
    bool layout(const QString& text)
    {
        if (!m_raw.isValid())
            return false;
        m_indexes.resize(text.size());
        m_positions.resize(text.size());
        double x = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text[i];
            if (ch.isSurrogate())
                return false;
            auto it = m_glyphs.find(ch.unicode());
            if (it == m_glyphs.end()) {
                Glyph g;
                int count = 1;
                if (!m_raw.glyphIndexesForChars(&ch, 1, &g.index, &count) || count != 1)
                    g.index = 0;
                if (g.index != 0) {
                    QPointF advance;
                    m_raw.advancesForGlyphIndexes(&g.index, &advance, 1);
                    g.advance = advance.x();
                }
                it = m_glyphs.insert(ch.unicode(), g);
            }
            if (it->index == 0)
                return false;
            m_indexes[i] = it->index;
            m_positions[i] = QPointF(x, 0);
            x += it->advance;
        }
        m_width = x;
        return true;
    }

    QFont m_font;
    QRawFont m_raw;
    QFontMetricsF m_metrics;
    QHash<char16_t, Glyph> m_glyphs;
    QList<quint32> m_indexes;
    QList<QPointF> m_positions;
    double m_width = 0;
    QList<quint32> m_batchIndexes;
    QList<QPointF> m_batchPositions;
};

// Draws with a prepared face; see DrawTextAt.
void drawLabel(QPainter& painter, LabelFace& face, double xTwips, double yTwips,
    const QString& text, int angle, bool leftAligned, const QColor& colour)
{
    if (!leftAligned)
        xTwips -= (angle == 0 ? face.width(text) : face.pixelHeight()) * kChartTwipsPerPixel;
    painter.setPen(colour);
    if (angle == 0) {
        face.draw(painter, QPointF(xTwips, yTwips) / kChartTwipsPerPixel, text);
        return;
    }
    painter.save();
    painter.translate(QPointF(xTwips, yTwips) / kChartTwipsPerPixel);
    painter.rotate(-angle);
    face.draw(painter, QPointF(0, 0), text);
    painter.restore();
}

// Draws an upright label at topLeft (pixels), batched with the face's other labels.
void addLabel(QPainter& painter, LabelFace& face, const QPointF& topLeft, const QString& text)
{
    if (!face.add(topLeft, text)) {
        painter.setFont(face.font());
        painter.drawText(topLeft + QPointF(0, baseline(face.font())), text);
    }
}

QPen pen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(colour);
    p.setWidth(1);
    p.setStyle(style);
    return p;
}

bool plainText(const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    return engine && engine->type() != QPaintEngine::Raster;
}

// One panel: the series it shows, how they are drawn and their axis. The lines over a bar
// chart form a panel of their own over the whole plot, with its axis on the right.
struct Panel
{
    QRectF rect;
    std::vector<size_t> series;
    AxisScale axis;
    double largest = 0;
    ChartMark mark = ChartMark::Line;
    bool right = false;
};

double largestOf(const ChartData& data, const std::vector<size_t>& series)
{
    double top = 0;
    for (const size_t s : series)
        top = std::max(top, data.largest(s));
    return top;
}

// The title lines, centred from the top: the first blue and large, the others red. Returns
// the y under the last line.
double drawTitle(QPainter& painter, const QString& title, double width, const ChartFrame& frame,
    LabelPlacer& placer, ChartDrawing& report)
{
    QString text = title;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(u'\n');
    double y = frame.compact ? 3 : 100 / kPx;
    const double lineGap = frame.compact ? 1 : 30 / kPx;
    for (int n = 0; n < lines.size(); ++n) {
        const bool first = n == 0;
        const QFont font = ChartFont(first ? frame.titlePixels : frame.subtitlePixels, first);
        const QFontMetricsF metrics(font);
        QString line = lines[n];
        double lineWidth = metrics.horizontalAdvance(line);
        if (lineWidth > width - 8) {
            line = metrics.elidedText(line, Qt::ElideRight, width - 8);
            lineWidth = metrics.horizontalAdvance(line);
        }
        if (!line.isEmpty()) {
            painter.setFont(font);
            painter.setPen(first ? kTitleColour : kSubtitleColour);
            const QRectF rect((width - lineWidth) / 2, y, lineWidth, font.pixelSize());
            painter.drawText(rect.topLeft() + QPointF(0, baseline(font)), line);
            placer.reserve(rect);
            report.labels.append(rect);
            if (line != lines[n])
                report.shortened.append({ rect, lines[n] });
        }
        y += font.pixelSize() + lineGap;
    }
    return y;
}

// The legend swatch of a series: a box for bars, a thick stroke for lines.
void drawSwatch(QPainter& painter, const QRectF& box, const QColor& colour, ChartMark mark)
{
    painter.setPen(pen(colour));
    painter.setBrush(colour);
    if (mark == ChartMark::Line) {
        const double mid = box.center().y();
        painter.drawRect(QRectF(box.left(), mid - 1.5, box.width(), 3));
    } else {
        painter.drawRect(box);
    }
    painter.setBrush(Qt::NoBrush);
}

} // namespace

QFont ChartFont(int pixelHeight, bool bold)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans") });
    font.setPixelSize(std::max(1, pixelHeight));
    font.setBold(bold);
    return font;
}

void DrawTextAt(QPainter& painter, int xTwips, int yTwips, const QString& text, int angle,
    bool leftAligned, int pixelHeight, const QColor& colour)
{
    LabelFace face(pixelHeight, false, plainText(painter));
    drawLabel(painter, face, xTwips, yTwips, text, angle, leftAligned, colour);
}

ChartDrawing DrawChartData(QPainter& painter, const QSize& size, const ChartData& data,
    const QString& title, const ChartOptions& options)
{
    ChartDrawing report;
    painter.save();
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), Qt::white);
    const double w = size.width();
    const double h = size.height();
    const int count = data.categories();
    const int seriesCount = static_cast<int>(data.series.size());
    const bool plain = plainText(painter);
    const ChartFrame frame = ChartFrameFor(QSizeF(size), seriesCount);
    report.drawn = true;
    report.series = seriesCount;
    report.mark = options.mark;
    report.compact = frame.compact;
    LabelPlacer placer(QRectF(0, 0, w, h));

    const double titleBottom = drawTitle(painter, title, w, frame, placer, report);

    // Lines over bars take the right axis, unless no bars would be left.
    std::vector<size_t> onRight;
    std::vector<size_t> onLeft;
    for (int s = 0; s < seriesCount; ++s)
        (options.onLineAxis(static_cast<size_t>(s)) ? onRight : onLeft)
            .push_back(static_cast<size_t>(s));
    if (onLeft.empty()) {
        onLeft = onRight;
        onRight.clear();
    }

    // Panels: one axis for all, or one per series.
    const bool each = onLeft.size() > 1
        && (options.panels == ChartPanels::Each
            || (options.panels == ChartPanels::Auto && PanelsSuit(data)));
    std::vector<Panel> panels;
    if (each) {
        for (const size_t s : onLeft)
            panels.push_back({ {}, { s }, {}, 0, options.mark, false });
    } else {
        panels.push_back({ {}, onLeft, {}, 0, options.mark, false });
    }
    if (!onRight.empty())
        panels.push_back({ {}, onRight, {}, 0, ChartMark::Line, true });
    const int stacked = static_cast<int>(panels.size()) - (onRight.empty() ? 0 : 1);
    double largest = 0;
    for (Panel& p : panels) {
        p.largest = largestOf(data, p.series);
        if (p.right && options.lineAxisTop > 0)
            p.largest = options.lineAxisTop;
        if (p.largest == 0)
            p.largest = 1;
        largest = std::max(largest, p.largest);
    }
    report.largest = largest;
    report.panels = stacked;

    LabelFace axisFace(kAxisLabelPixels, false, plain);
    LabelFace legendFace(kLegendPixels, false, plain);
    LabelFace valueFace(pointsToPixels(8), false, plain);
    const auto axisText = [&](const Panel& p, double value) {
        return p.right ? AxisNumberText(value) + options.lineAxisSuffix : AxisNumberText(value);
    };

    // Legend swatches are boxes; only a line over bars shows as a stroke.
    const auto swatchMark = [&](int s) {
        return !onRight.empty() && options.onLineAxis(static_cast<size_t>(s)) ? ChartMark::Line
                                                                              : ChartMark::Bar;
    };

    // The legend band on the right grows with the longest name, up to a quarter of the area;
    // a compact chart has none.
    double longestName = 0;
    for (const ChartSeries& s : data.series)
        longestName = std::max(longestName, legendFace.width(s.name));
    const double baseBand = kLegendBand / kPx;
    const double boxInset = 200 / kPx;
    const double legendBand = frame.compact
        ? 0
        : std::clamp(longestName + boxInset + 8, baseBand, std::max(baseBand, w / 4));
    const double nameRoom = legendBand - boxInset - 4;

    // Left margin: room for the widest axis number; the right one for the line axis' numbers.
    double widestNumber = 0;
    double widestRight = 0;
    for (const Panel& p : panels) {
        const double top = p.right && options.lineAxisTop > 0 ? p.largest : NiceAxis(p.largest).top;
        (p.right ? widestRight : widestNumber)
            = std::max(p.right ? widestRight : widestNumber, axisFace.width(axisText(p, top)));
    }
    // A compact chart with panels names each series in its panel: no legend row then.
    const bool legendRow = frame.legendRow && !each;
    const double numberGap = 20 / kPx + 6;
    const double rightAxisRoom = onRight.empty() ? 0 : widestRight + numberGap;
    double left = 0;
    double top = 0;
    double right = 0;
    const double legendRowY = titleBottom + 2;
    if (frame.compact) {
        left = std::max(16.0, widestNumber + numberGap);
        // Room above the plot for the value label of the tallest bar or point.
        top = (legendRow ? legendRowY + kLegendPixels : titleBottom) + pointsToPixels(8) + 4;
        right = w - std::max(8.0, rightAxisRoom);
    } else {
        left = std::max(kChartLeft / kPx, widestNumber + numberGap);
        top = kChartTop / kPx;
        right = w - legendBand - (kChartRightMargin - kLegendBand) / kPx - rightAxisRoom;
    }
    const QRectF across(left, top, std::max(0.0, right - left), 0);

    // Point labels read downwards under their category; one whose line would touch the one
    // before it is left out, the others are shortened to the bottom margin, which grows to
    // the longest of them up to a third of the height.
    const double labelThickness = kAxisLabelPixels + 1;
    std::vector<int> shownLabels;
    double lastX = -1e9;
    double longestLabel = 0;
    for (int i = 0; i < count; ++i) {
        const double x = CategoryX(across, count, i, options.mark);
        if (x - lastX < labelThickness)
            continue;
        shownLabels.push_back(i);
        lastX = x;
        longestLabel = std::max(longestLabel, axisFace.width(data.labels[i]));
    }
    const double labelGap = 40 / kPx;
    const double leastBottom
        = frame.compact ? kAxisLabelPixels + labelGap + 4 : kChartBottomMargin / kPx;
    const double bottomMargin = std::max(leastBottom, std::min(h / 3, longestLabel + labelGap + 4));
    const double labelRoom = bottomMargin - labelGap - 4;
    const double bottom = h - bottomMargin;
    const QRectF plot(QPointF(left, top), QPointF(std::max(left, right), std::max(top, bottom)));
    report.plot = plot;

    const double gap = stacked > 1 ? 10 : 0;
    const std::vector<QRectF> rects = StackPanels(plot, stacked, gap);
    for (size_t k = 0; k < panels.size(); ++k) {
        Panel& p = panels[k];
        p.rect = p.right ? plot : rects[k];
        // The line axis keeps its given top; the others take the finest round step whose
        // numbers fit the panel's height, whole steps for counts.
        const int most = DivisionsForHeight(p.rect.height(), kChartDivisions);
        if (p.right && options.lineAxisTop > 0) {
            p.axis = NiceAxis(options.lineAxisTop, most);
            p.axis.top = std::max(p.axis.top, options.lineAxisTop);
        } else {
            p.axis = NiceAxis(p.largest, most, WholeValues(data, p.series));
        }
        if (!p.right)
            report.panelRects.push_back(p.rect);
    }
    report.unit = panels.front().axis.step;
    report.axisTop = panels.front().axis.top;
    if (!onRight.empty())
        report.lineAxisTop = panels.back().axis.top;
    report.spacing = CategorySlot(plot, count, options.mark) * kPx;

    // Legend: in the band on the right a swatch in each series' colour with its name above,
    // the names shortened to the band; in a compact chart a row of swatches and names
    // under the title.
    if (legendRow) {
        const double swatch = 10;
        const double itemRoom = std::max(0.0, (w - 16) / seriesCount);
        double x = 8;
        for (int s = 0; s < seriesCount; ++s) {
            const QColor colour = SeriesColour(s);
            const QString& name = data.series[static_cast<size_t>(s)].name;
            const QString shown = legendFace.fitted(name, itemRoom - swatch - 14);
            const double nameWidth = legendFace.width(shown);
            drawSwatch(painter, QRectF(x, legendRowY + 3, swatch, kLegendPixels - 5), colour,
                swatchMark(s));
            painter.setPen(Qt::black);
            const QRectF rect(x + swatch + 3, legendRowY, nameWidth, kLegendPixels);
            addLabel(painter, legendFace, rect.topLeft(), shown);
            placer.reserve(QRectF(x, legendRowY, swatch + 3 + nameWidth, kLegendPixels));
            report.labels.append(rect);
            report.legend.append(rect);
            if (shown != name)
                report.shortened.append({ rect, name });
            x += swatch + 3 + nameWidth + 11;
        }
        legendFace.flush(painter);
    } else if (frame.legendShown && !frame.compact) {
        const double slot = std::min(600.0 / kPx, std::floor(h / std::max(1, seriesCount)));
        const double inset = std::floor((slot - 200 / kPx) / 2);
        double y0 = std::max(0.0, (h - slot * (seriesCount + 2)) / 2);
        const double x1 = w - legendBand + boxInset;
        const double x2 = w - 300 / kPx;
        for (int s = 0; s < seriesCount; ++s) {
            const QColor colour = SeriesColour(s);
            drawSwatch(painter, QRectF(QPointF(x1, y0 + inset + 200 / kPx), QPointF(x2, y0 + slot)),
                colour, swatchMark(s));
            const QString& name = data.series[static_cast<size_t>(s)].name;
            const QString shown = legendFace.fitted(name, nameRoom);
            painter.setPen(Qt::black);
            const QRectF rect(x1, y0 + inset, legendFace.width(shown), kLegendPixels);
            addLabel(painter, legendFace, rect.topLeft(), shown);
            placer.reserve(rect);
            report.labels.append(rect);
            report.legend.append(rect);
            if (shown != name)
                report.shortened.append({ rect, name });
            y0 += slot;
        }
        legendFace.flush(painter);
    }

    // Axes, division lines and numbers of every panel; the line axis stands on the right,
    // without division lines of its own.
    for (const Panel& p : panels) {
        painter.setPen(pen(kAxisColour));
        const double division = p.rect.height() / p.axis.divisions;
        if (p.right) {
            painter.drawLine(p.rect.topRight(), p.rect.bottomRight());
        } else {
            painter.drawLine(p.rect.bottomLeft(), p.rect.bottomRight());
            painter.drawLine(p.rect.topLeft(), p.rect.bottomLeft());
            QList<QLineF> lines;
            for (int k = 1; k <= p.axis.divisions; ++k)
                lines.append(QLineF(p.rect.left() + 20 / kPx, p.rect.bottom() - k * division,
                    p.rect.right(), p.rect.bottom() - k * division));
            painter.setPen(pen(kDivisionLineColour, Qt::DotLine));
            painter.drawLines(lines);
        }
        painter.setPen(kLabelColour);
        for (int k = 0; k <= p.axis.divisions; ++k) {
            // 0 only where it cannot meet the panel below.
            if (k == 0 && stacked > 1 && !p.right)
                continue;
            const QString text = axisText(p, k * p.axis.step);
            const double tw = axisFace.width(text);
            const double y = p.rect.bottom() - k * division - (k == 0 ? kAxisLabelPixels / 2.0 : 0);
            const QRectF rect(p.right ? p.rect.right() + 20 / kPx : p.rect.left() - 20 / kPx - tw,
                y, tw, kAxisLabelPixels);
            if (!placer.place(rect))
                continue;
            addLabel(painter, axisFace, rect.topLeft(), text);
            report.labels.append(rect);
        }
        axisFace.flush(painter);
    }

    // Category lines and labels along the bottom.
    if (count > 0 && plot.width() > 0) {
        if (options.mark == ChartMark::Line) {
            QList<QLineF> lines;
            lines.reserve(count);
            for (int i = 0; i < count; ++i) {
                const double x = CategoryX(plot, count, i, options.mark);
                lines.append(QLineF(x, plot.top(), x, plot.bottom()));
            }
            painter.setPen(pen(kPointLineColour, Qt::DotLine));
            painter.drawLines(lines);
        }
        painter.save();
        painter.setPen(kLabelColour);
        painter.rotate(90);
        const QTransform toTurned = QTransform().rotate(90).inverted();
        for (const int i : shownLabels) {
            const double x = CategoryX(plot, count, i, options.mark)
                - (options.mark == ChartMark::Bar ? kAxisLabelPixels / 2.0 : 0);
            const QString& full = data.labels[i];
            const QString shown = axisFace.fitted(full, labelRoom);
            const QRectF rect(x, bottom + labelGap, kAxisLabelPixels, axisFace.width(shown));
            if (!placer.place(rect))
                continue;
            const QPointF anchor = toTurned.map(QPointF(x + kAxisLabelPixels, bottom + labelGap));
            if (!axisFace.add(anchor, shown)) {
                painter.setFont(axisFace.font());
                painter.drawText(anchor + QPointF(0, baseline(axisFace.font())), shown);
            }
            report.labels.append(rect);
            if (shown != full)
                report.shortened.append({ rect, full });
        }
        axisFace.flush(painter);
        painter.restore();
    }

    // Where each value lies.
    report.points.xs.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        report.points.xs[static_cast<size_t>(i)] = CategoryX(plot, count, i, options.mark);
    report.points.ys.assign(static_cast<size_t>(seriesCount), {});

    for (const Panel& p : panels) {
        const double axisTop = p.axis.top;
        const auto yOf = [&](double v) { return p.rect.bottom() - v * p.rect.height() / axisTop; };
        const int inPanel = static_cast<int>(p.series.size());
        for (int n = 0; n < inPanel; ++n) {
            const size_t s = p.series[static_cast<size_t>(n)];
            const std::vector<double>& values = data.series[s].values;
            std::vector<double>& ys = report.points.ys[s];
            ys.resize(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                const double v = i < static_cast<int>(values.size())
                    ? values[static_cast<size_t>(i)]
                    : kNoValue;
                ys[static_cast<size_t>(i)] = isNoValue(v) ? kNoValue : yOf(std::min(v, axisTop));
            }
        }
        if (p.mark == ChartMark::Bar) {
            for (int n = 0; n < inPanel; ++n) {
                const size_t s = p.series[static_cast<size_t>(n)];
                const QColor colour = SeriesColour(static_cast<int>(s));
                painter.setPen(Qt::NoPen);
                painter.setBrush(colour);
                for (int i = 0; i < count; ++i) {
                    const QRectF bar = BarRect(p.rect, count, i, inPanel, n,
                        data.series[s].values[static_cast<size_t>(i)], axisTop);
                    if (bar.isEmpty())
                        continue;
                    painter.drawRect(bar);
                    ++report.bars;
                    // The hover finds a bar by its top and its own x.
                    report.points.ys[s][static_cast<size_t>(i)] = bar.top();
                }
                painter.setBrush(Qt::NoBrush);
            }
            continue;
        }
        // Lines first, so that every marker and value label lies on top of them. A gap (no
        // value) breaks the line; segments with both ends on the floor would only retrace the
        // axis.
        const double floorY = p.rect.bottom() - 10 / kPx;
        for (const size_t s : p.series) {
            const std::vector<double>& ys = report.points.ys[s];
            QList<QLineF> segments;
            for (int k = 1; k < count; ++k) {
                const double y0 = ys[static_cast<size_t>(k - 1)];
                const double y1 = ys[static_cast<size_t>(k)];
                if (isNoValue(y0) || isNoValue(y1) || (y0 >= floorY && y1 >= floorY))
                    continue;
                segments.append(QLineF(report.points.xs[static_cast<size_t>(k - 1)], y0,
                    report.points.xs[static_cast<size_t>(k)], y1));
            }
            QPen linePen = pen(SeriesColour(static_cast<int>(s)));
            linePen.setWidthF(1.5);
            painter.setPen(linePen);
            painter.drawLines(segments);
            report.segments += static_cast<int>(segments.size());
        }
        // Markers in the series' colour, stamped from one small picture per series. The
        // first point of a series has one only above the floor.
        const double radius = 2.5;
        const int side = static_cast<int>(std::ceil(2 * radius)) + 1;
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1;
        for (const size_t s : p.series) {
            QPixmap dot(QSize(side, side) * ratio);
            dot.setDevicePixelRatio(ratio);
            dot.fill(Qt::transparent);
            {
                QPainter stamp(&dot);
                stamp.setRenderHint(QPainter::Antialiasing);
                stamp.setPen(Qt::NoPen);
                stamp.setBrush(SeriesColour(static_cast<int>(s)));
                stamp.drawEllipse(QPointF(side / 2.0, side / 2.0), radius, radius);
            }
            QList<QPainter::PixmapFragment> dots;
            const std::vector<double>& ys = report.points.ys[s];
            for (int i = 0; i < count; ++i) {
                const double y = ys[static_cast<size_t>(i)];
                if (isNoValue(y) || (i == 0 && y >= floorY))
                    continue;
                dots.append(QPainter::PixmapFragment::create(
                    QPointF(report.points.xs[static_cast<size_t>(i)], y),
                    QRectF(0, 0, side * ratio, side * ratio), 1 / ratio, 1 / ratio));
            }
            if (plain) {
                for (const auto& d : dots)
                    painter.drawPixmap(QPointF(d.x - side / 2.0, d.y - side / 2.0), dot);
            } else {
                painter.drawPixmapFragments(dots.constData(), static_cast<int>(dots.size()), dot);
            }
            report.markers += static_cast<int>(dots.size());
        }
    }

    // In panels each names its series at its top left.
    if (stacked > 1) {
        for (const Panel& p : panels) {
            if (p.right)
                continue;
            const size_t s = p.series.front();
            const QString& name = data.series[s].name;
            const QString shown = legendFace.fitted(name, p.rect.width() / 2);
            const QRectF rect(
                p.rect.left() + 4, p.rect.top(), legendFace.width(shown), kLegendPixels);
            if (!placer.place(rect))
                continue;
            painter.setPen(SeriesColour(static_cast<int>(s)).darker(130));
            addLabel(painter, legendFace, rect.topLeft(), shown);
            legendFace.flush(painter);
            report.labels.append(rect);
            if (shown != name)
                report.shortened.append({ rect, name });
        }
    }

    // Value labels beside the points or above the bars, where they meet no other label.
    painter.setPen(Qt::black);
    const double valueHeight = valueFace.pixelHeight();
    // Small charts keep more air between value labels: their bars are narrow.
    const double valueAir = frame.compact ? std::round(valueHeight / 4) : 1;
    for (const Panel& p : panels) {
        const int inPanel = static_cast<int>(p.series.size());
        for (int n = 0; n < inPanel; ++n) {
            const size_t s = p.series[static_cast<size_t>(n)];
            const ChartSeries& series = data.series[s];
            for (int i = 0; i < count; ++i) {
                const double y = report.points.ys[s][static_cast<size_t>(i)];
                if (isNoValue(y))
                    continue;
                const QString& text = series.texts[i];
                const double tw = valueFace.width(text);
                QRectF rect;
                if (p.mark == ChartMark::Bar) {
                    const QRectF bar = BarRect(p.rect, count, i, inPanel, n,
                        series.values[static_cast<size_t>(i)], p.axis.top);
                    const double cx = bar.isEmpty() ? report.points.xs[static_cast<size_t>(i)]
                                                    : bar.center().x();
                    rect = QRectF(cx - tw / 2, y - valueHeight - 1, tw, valueHeight);
                } else {
                    rect = QRectF(report.points.xs[static_cast<size_t>(i)] + 20 / kPx,
                        y - 150 / kPx, tw, valueHeight);
                }
                // Air on each side, so that neighbours never run into one another nor
                // read as one number.
                if (!placer.place(rect.adjusted(-valueAir, 0, valueAir, 0)))
                    continue;
                addLabel(painter, valueFace, rect.topLeft(), text);
                report.labels.append(rect);
            }
        }
    }
    valueFace.flush(painter);

    report.data = data;
    painter.restore();
    return report;
}

QString ChartHoverText(const ChartDrawing& drawing, const QPointF& pos, double* guideX)
{
    for (const ChartDrawing::Shortened& label : drawing.shortened) {
        if (label.rect.adjusted(-1, -1, 1, 1).contains(pos))
            return label.text;
    }
    const QRectF& plot = drawing.plot;
    const double reach = std::max(4.0, drawing.spacing / kPx / 2);
    if (!drawing.drawn || pos.y() < plot.top() - 8 || pos.y() > plot.bottom() + 4
        || pos.x() < plot.left() - reach || pos.x() > plot.right() + reach)
        return {};
    const ChartHit hit = NearestPoint(drawing.points, pos);
    if (!hit.found())
        return {};
    const size_t s = static_cast<size_t>(hit.series);
    const ChartSeries& series = drawing.data.series[s];
    if (guideX)
        *guideX = drawing.points.xs[static_cast<size_t>(hit.point)];
    return series.name + u'\n' + drawing.data.labels[hit.point] + QStringLiteral("：")
        + series.texts[hit.point];
}

ChartDrawing DrawChart(QPainter& painter, const QSize& pixels, const grid::GridModel& grid,
    QString& storedTitle, const QString& title, int first, int last, const ChartOptions& options)
{
    if (!grid.hasDataRows() || grid.cols() < grid.fixedCols()) {
        painter.fillRect(QRectF(QPointF(0, 0), QSizeF(pixels)), Qt::white);
        return {};
    }
    // Range boxes count data rows from 1; a number beyond the data shows up to the last row,
    // and nothing before the first data row is ever taken for a point.
    const int rows = grid.rows();
    if (first == -1)
        first = 1;
    if (last == -1)
        last = rows - 1;
    const int firstRow = std::clamp(first + grid.fixedRows() - 1, grid.fixedRows(), rows - 1);
    const int lastRow = std::clamp(last + grid.fixedRows() - 1, grid.fixedRows(), rows - 1);
    if (!title.isEmpty())
        storedTitle = title;
    ChartDrawing report = DrawChartData(
        painter, pixels, ChartDataFromGrid(grid, firstRow, lastRow), storedTitle, options);
    report.firstRow = firstRow;
    report.lastRow = lastRow;
    return report;
}

} // namespace quel::analysis
