#pragma once

#include "analysis/chart_draw.h"
#include "analysis/chart_range.h"

#include <QFrame>
#include <QImage>

namespace quel::views {
class GridModel;
}

namespace quel::analysis {

// A chart area GP(i): a framed picture that DrawChart paints from its page's result grid.
// The picture stays until the next drawing (a resize draws it again at the new size with the
// same range and title). Arrow keys and a right press are reported to the page.
class ChartView : public QFrame
{
    Q_OBJECT

public:
    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    // The grid the chart is drawn from; forgotten when it goes away.
    void setGrid(const views::GridModel* grid);

    // Draws the grid's rows first .. last (data rows from 1, -1 for either end) with the
    // title (empty: the title of the last drawing).
    ChartDrawing drawChart(const QString& title, int first, int last);
    // Empties the area and forgets the title.
    void clearChart();

    QString storedTitle() const { return m_title; }
    // The drawing, without the frame.
    const QImage& picture() const { return m_picture; }

signals:
    // An arrow key on the chart; ctrl when Ctrl alone was held.
    void rangeKeyPressed(quel::analysis::ChartKey key, bool ctrl);
    // A right press: show the picture export menu there.
    void exportRequested(QWidget* chart, const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    ChartDrawing paint();

    const views::GridModel* m_grid = nullptr;
    QMetaObject::Connection m_gridGone;
    QImage m_picture;
    QString m_title;
    int m_first = -1;
    int m_last = -1;
    bool m_drawn = false;
};

} // namespace quel::analysis
