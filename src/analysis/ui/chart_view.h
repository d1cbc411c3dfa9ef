#pragma once

#include "analysis/chart_draw.h"
#include "analysis/chart_range.h"

#include <QFrame>
#include <QImage>

namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::analysis {

// A chart area GP(i): a framed picture that DrawChart paints from its page's result grid,
// at the screen's pixel density. The picture stays until the next drawing (a resize draws it
// again at the new size with the same range and title). Arrow keys, the wheel, a drag and a
// right press are reported to the page; the pointer's point is named in a tooltip.
class ChartView : public QFrame
{
    Q_OBJECT

public:
    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    // The grid the chart is drawn from; forgotten when it goes away.
    void setGrid(const grid::GridModel* grid);
    // Lines or bars, one axis or panels, from the next drawing on.
    void setOptions(const ChartOptions& options) { m_options = options; }
    const ChartOptions& options() const { return m_options; }

    // Draws the grid's rows first .. last (data rows from 1, -1 for either end) with the
    // title (empty: the title of the last drawing).
    ChartDrawing drawChart(const QString& title, int first, int last);
    // Empties the area and forgets the title.
    void clearChart();

    QString storedTitle() const { return m_title; }
    // The drawing, without the frame (device pixels, with the screen's pixel ratio).
    const QImage& picture() const { return m_picture; }
    const ChartDrawing& lastDrawing() const { return m_drawing; }
    // Draws what the area shows onto another device (an image file, a vector picture) at
    // its logical size.
    ChartDrawing render(QPainter& painter, const QSize& size) const;
    // The tooltip text shown for the pointer's last position (empty: none).
    QString hoverText() const { return m_hoverText; }

signals:
    // An arrow key on the chart; ctrl when Ctrl alone was held.
    void rangeKeyPressed(quel::analysis::ChartKey key, bool ctrl);
    // The wheel or a drag asks for these points to be shown.
    void rangeRequested(quel::analysis::ChartRange range);
    // A right press: show the picture export menu there.
    void exportRequested(QWidget* chart, const QPoint& globalPos);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    ChartDrawing paint();
    // The data rows shown, from 1.
    ChartRange shownRange() const;
    int dataRows() const;
    QPointF toPicture(const QPointF& widgetPos) const;
    void hover(const QPointF& widgetPos, const QPoint& globalPos);

    const grid::GridModel* m_grid = nullptr;
    QMetaObject::Connection m_gridGone;
    QImage m_picture;
    QString m_title;
    ChartOptions m_options;
    ChartDrawing m_drawing;
    int m_first = -1;
    int m_last = -1;
    bool m_drawn = false;
    // Hover: the guide line's x in the picture (below 0: none) and the tooltip text.
    double m_guideX = -1;
    QString m_hoverText;
    // Drag: where the left press began and the range then.
    bool m_dragging = false;
    double m_pressX = 0;
    ChartRange m_pressRange;
};

} // namespace quel::analysis
