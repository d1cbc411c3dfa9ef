#include "analysis/chart_view.h"

#include "grid/grid_model.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quel::analysis {

ChartView::ChartView(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QStringLiteral("统计图显示区"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

ChartView::~ChartView() = default;

void ChartView::setGrid(const views::GridModel* grid)
{
    disconnect(m_gridGone);
    m_grid = grid;
    if (grid)
        m_gridGone = connect(grid, &QObject::destroyed, this, [this] { m_grid = nullptr; });
}

ChartDrawing ChartView::paint()
{
    const QSize size = contentsRect().size().expandedTo(QSize(1, 1));
    m_picture = QImage(size, QImage::Format_RGB32);
    QPainter painter(&m_picture);
    ChartDrawing report;
    if (m_grid)
        report = DrawChart(painter, size, *m_grid, m_title, QString(), m_first, m_last);
    else
        painter.fillRect(m_picture.rect(), Qt::white);
    update();
    return report;
}

ChartDrawing ChartView::drawChart(const QString& title, int first, int last)
{
    // DrawChart keeps a new title and hands back the stored one for an empty title; an empty
    // grid leaves the stored title as it was.
    if (!title.isEmpty() && m_grid && m_grid->hasDataRows())
        m_title = title;
    m_first = first;
    m_last = last;
    m_drawn = true;
    return paint();
}

void ChartView::clearChart()
{
    m_drawn = false;
    m_title.clear();
    m_picture = QImage();
    update();
}

void ChartView::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_picture);
}

void ChartView::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (m_drawn)
        paint();
}

void ChartView::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    if (event->key() == Qt::Key_Left) {
        emit rangeKeyPressed(ChartKey::Left, ctrl);
        return;
    }
    if (event->key() == Qt::Key_Right) {
        emit rangeKeyPressed(ChartKey::Right, ctrl);
        return;
    }
    QFrame::keyPressEvent(event);
}

void ChartView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::RightButton) {
        emit exportRequested(this, event->globalPosition().toPoint());
        return;
    }
    QFrame::mousePressEvent(event);
}

} // namespace quel::analysis
