#include "analysis/chart_draw.h"

#include "grid/grid_model.h"
#include "grid/grid_ops.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
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
const QColor kMarkerColour(255, 0, 0);

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
    explicit LabelFace(int pixelHeight, bool bold = false)
        : m_font(ChartFont(pixelHeight, bold))
        , m_raw(QRawFont::fromFont(m_font))
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

QPointF at(double xTwips, double yTwips)
{
    return { xTwips / kPx, yTwips / kPx };
}

void line(QPainter& painter, double x1, double y1, double x2, double y2)
{
    painter.drawLine(at(x1, y1), at(x2, y2));
}

QPen pen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(colour);
    p.setWidth(1);
    p.setStyle(style);
    return p;
}

// The part of the grid one drawing shows.
struct Frame
{
    double w = 0; // chart area, twips
    double h = 0;
    int first = 0; // grid rows
    int last = 0;
    int firstCol = 0; // data columns
    int lastCol = 0;
};

double cellValue(const views::GridModel& grid, int row, int col)
{
    return views::leadingNumber(grid.text(row, col));
}

double drawAxes(QPainter& painter, const views::GridModel& grid, const Frame& f, double largest,
    ChartDrawing& report)
{
    const double left = kChartLeft;
    const double top = kChartTop;
    const double right = f.w - kChartRightMargin;
    const double bottom = f.h - kChartBottomMargin;

    painter.setPen(pen(kAxisColour));
    line(painter, left, bottom, right, bottom);
    line(painter, left, top, left, bottom);

    const double spacing
        = f.last - f.first >= 1 ? (right - left) / (f.last - f.first) : right - left;
    report.spacing = spacing;
    LabelFace face(kAxisLabelPixels);
    if (spacing > 0) {
        const int labelCol = grid.fixedCols() - 1;
        painter.setPen(pen(kPointLineColour, Qt::DotLine));
        QList<QLineF> lines;
        lines.reserve(f.last - f.first + 1);
        for (int i = f.first; i <= f.last; ++i) {
            const double x = left + (i - f.first) * spacing;
            lines.append(QLineF(at(x, top), at(x, bottom)));
        }
        painter.drawLines(lines);
        // The point labels read downwards: all of them are laid out in the turned frame and
        // drawn together.
        painter.save();
        painter.setPen(kLabelColour);
        painter.rotate(90);
        const QTransform toTurned = QTransform().rotate(90).inverted();
        for (int i = f.first; i <= f.last; ++i) {
            const double x = left + (i - f.first) * spacing;
            const QString label = grid.text(i, labelCol);
            const QPointF anchor = toTurned.map(at(x + 180, bottom + 40));
            if (!face.add(anchor, label)) {
                painter.setFont(face.font());
                painter.drawText(anchor + QPointF(0, baseline(face.font())), label);
            }
        }
        face.flush(painter);
        painter.restore();
    }

    const double unit = DivisionUnit(largest);
    report.unit = unit;
    const double division = (bottom - top) / kChartDivisions;
    for (int k = 1; k <= kChartDivisions; ++k) {
        const double y = bottom - k * division;
        painter.setPen(pen(kDivisionLineColour, Qt::DotLine));
        line(painter, left + 20, y, right, y);
        drawLabel(painter, face, left - 20, y, AxisNumberText(k * unit), 0, false, kLabelColour);
    }
    return kChartDivisions * unit;
}

void drawSeriesLines(QPainter& painter, const views::GridModel& grid, const Frame& f,
    double axisTop, ChartDrawing& report)
{
    if (axisTop <= 0)
        return;
    const double left = kChartLeft;
    const double plotWidth = f.w - kChartLeft - kChartRightMargin;
    const double plotHeight = f.h - kChartTop - kChartBottomMargin;
    const double spacing = f.last - f.first >= 1 ? plotWidth / (f.last - f.first) : 0;
    const double floorY = kChartTop + plotHeight - 10;
    const auto yOf = [&](double v) { return kChartTop + plotHeight - v * plotHeight / axisTop; };

    // Each value read once; lines first, so that every marker and value label lies on top
    // of them. Segments with both ends on the floor would only retrace the axis.
    const int points = f.last - f.first + 1;
    std::vector<double> ys(static_cast<size_t>(std::max(0, points)));
    QList<QLineF> segments;
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        for (int i = f.first; i <= f.last; ++i)
            ys[static_cast<size_t>(i - f.first)] = yOf(cellValue(grid, i, j));
        segments.clear();
        double x = left;
        for (int k = 1; k < points; ++k) {
            x += spacing;
            const double y0 = ys[static_cast<size_t>(k - 1)];
            const double y1 = ys[static_cast<size_t>(k)];
            if (!(y0 >= floorY && y1 >= floorY))
                segments.append(QLineF(at(x - spacing, y0), at(x, y1)));
        }
        painter.setPen(pen(SeriesColour(j, grid.cols() - 1)));
        painter.drawLines(segments);
        report.segments += static_cast<int>(segments.size());
    }

    // Markers: filled red circles of radius 20, stamped from one small picture, all points of
    // a series at once. The first point of a series has one only above the floor.
    const double radius = 20 / kPx;
    const int side = static_cast<int>(std::ceil(2 * radius)) + 1;
    QPixmap dot(side, side);
    dot.fill(Qt::transparent);
    {
        QPainter stamp(&dot);
        stamp.setRenderHint(QPainter::Antialiasing);
        stamp.setPen(Qt::NoPen);
        stamp.setBrush(kMarkerColour);
        stamp.drawEllipse(QPointF(side / 2.0, side / 2.0), radius, radius);
    }
    QList<QPainter::PixmapFragment> dots;
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        dots.clear();
        double x = left;
        for (int i = f.first; i <= f.last; ++i, x += spacing) {
            const double y = yOf(cellValue(grid, i, j));
            if (i > f.first || y < floorY) {
                dots.append(QPainter::PixmapFragment::create(at(x, y), QRectF(0, 0, side, side)));
            }
        }
        painter.drawPixmapFragments(dots.constData(), static_cast<int>(dots.size()), dot);
        report.markers += static_cast<int>(dots.size());
    }

    // Value labels beside the markers, on top of every line and marker.
    LabelFace valueFace(pointsToPixels(8));
    painter.setPen(Qt::black);
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        double x = left;
        for (int i = f.first; i <= f.last; ++i, x += spacing) {
            const QString text = grid.text(i, j);
            const double y = yOf(views::leadingNumber(text));
            const QPointF topLeft = at(x + 20, y - 150);
            if (!valueFace.add(topLeft, text)) {
                painter.setFont(valueFace.font());
                painter.drawText(topLeft + QPointF(0, baseline(valueFace.font())), text);
            }
        }
    }
    valueFace.flush(painter);
}

void drawLegend(QPainter& painter, const views::GridModel& grid, const Frame& f)
{
    const int series = grid.cols() - grid.fixedCols();
    if (series <= 0)
        return;
    const double slot = std::min(600.0, std::floor(f.h / series));
    const double inset = std::floor((slot - 200) / 2);
    double y0 = std::max(0.0, (f.h - slot * grid.cols()) / 2);
    const double x1 = f.w - kLegendBand + 200;
    const double x2 = f.w - 300;
    LabelFace face(kLegendPixels);
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        const QColor colour = SeriesColour(j, grid.cols() - 1);
        painter.setPen(pen(colour));
        painter.setBrush(colour);
        painter.drawRect(QRectF(at(x1, y0 + inset + 200), at(x2, y0 + slot)));
        painter.setBrush(Qt::NoBrush);
        drawLabel(painter, face, x1, y0 + inset, grid.title(j), 0, true, Qt::black);
        y0 += slot;
    }
}

void drawTitle(QPainter& painter, const QString& title, double width)
{
    QString text = title;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(u'\n');
    double y = 100;
    for (int n = 0; n < lines.size(); ++n) {
        const bool first = n == 0;
        const QFont font = ChartFont(pointsToPixels(first ? 19 : 9), first);
        const QFontMetricsF metrics(font);
        const double lineWidth = metrics.horizontalAdvance(lines[n]) * kPx;
        painter.setFont(font);
        painter.setPen(first ? kTitleColour : kSubtitleColour);
        painter.drawText(at((width - lineWidth) / 2, y) + QPointF(0, baseline(font)), lines[n]);
        y += font.pixelSize() * kPx + 30;
    }
}

} // namespace

QColor SeriesColour(int j, int n)
{
    if (n < j)
        n = j;
    const int g = n > 0 ? static_cast<int>(255.0 * j / n) : 0;
    const auto cap = [](int v) { return std::clamp(v, 0, 255); };
    return QColor(cap(255 - g), cap(g), cap(255 - g));
}

double DivisionUnit(double largest)
{
    if (!(largest > 0))
        return 1;
    if (largest >= 1)
        return std::ceil(largest / kChartDivisions);
    // Below 1: the smallest 1, 2 or 5 times a power of ten whose ten steps reach the value.
    const double step = largest / kChartDivisions;
    const double base = std::pow(10.0, std::floor(std::log10(step)));
    for (const double m : { 1.0, 2.0, 5.0, 10.0 }) {
        if (m * base >= step * (1 - 1e-12))
            return m * base;
    }
    return 10 * base;
}

QString AxisNumberText(double value)
{
    return QString::number(value, 'g', 15);
}

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
    LabelFace face(pixelHeight);
    drawLabel(painter, face, xTwips, yTwips, text, angle, leftAligned, colour);
}

ChartDrawing DrawChart(QPainter& painter, const QSize& pixels, const views::GridModel& grid,
    QString& storedTitle, const QString& title, int first, int last)
{
    ChartDrawing report;
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), pixels), Qt::white);
    if (!grid.hasDataRows() || grid.cols() < grid.fixedCols()) {
        painter.restore();
        return report;
    }

    Frame f;
    f.w = pixels.width() * kPx;
    f.h = pixels.height() * kPx;
    // Range boxes count data rows from 1; a number beyond the data shows up to the last row,
    // and nothing before the first data row is ever taken for a point.
    const int rows = grid.rows();
    if (first == -1)
        first = 1;
    if (last == -1)
        last = rows - 1;
    f.first = std::clamp(first + grid.fixedRows() - 1, grid.fixedRows(), rows - 1);
    f.last = std::clamp(last + grid.fixedRows() - 1, grid.fixedRows(), rows - 1);
    f.firstCol = grid.fixedCols();
    f.lastCol = grid.cols() - 1;
    report.drawn = true;
    report.firstRow = f.first;
    report.lastRow = f.last;
    report.series = std::max(0, f.lastCol - f.firstCol + 1);

    double largest = 0;
    if (f.first <= f.last && f.firstCol <= f.lastCol)
        largest = views::maxCellValue(grid, f.firstCol, f.lastCol, f.first, f.last);
    if (largest == 0)
        largest = 1;
    report.largest = largest;

    report.axisTop = drawAxes(painter, grid, f, largest, report);
    drawSeriesLines(painter, grid, f, report.axisTop, report);
    drawLegend(painter, grid, f);

    if (!title.isEmpty())
        storedTitle = title;
    drawTitle(painter, storedTitle, f.w);
    painter.restore();
    return report;
}

} // namespace quel::analysis
