#include "analysis/ui/chart_view.h"

#include "grid/grid_model.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

namespace quel::analysis {

ChartView::ChartView(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QStringLiteral("统计图显示区"));
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

ChartView::~ChartView() = default;

void ChartView::setGrid(const grid::GridModel* grid)
{
    disconnect(m_gridGone);
    m_grid = grid;
    if (grid)
        m_gridGone = connect(grid, &QObject::destroyed, this, [this] { m_grid = nullptr; });
}

ChartDrawing ChartView::render(QPainter& painter, const QSize& size) const
{
    if (!m_grid || !m_drawn) {
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        return {};
    }
    QString title = m_title;
    return DrawChart(painter, size, *m_grid, title, QString(), m_first, m_last, m_options);
}

ChartDrawing ChartView::paint()
{
    // Drawn at the screen's density, so that lines and text stay sharp at 150 % or 200 %.
    const QSize size = contentsRect().size().expandedTo(QSize(1, 1));
    const qreal ratio = devicePixelRatioF();
    m_picture = QImage(size * ratio, QImage::Format_RGB32);
    m_picture.setDevicePixelRatio(ratio);
    QPainter painter(&m_picture);
    m_drawing = ChartDrawing();
    if (m_grid)
        m_drawing
            = DrawChart(painter, size, *m_grid, m_title, QString(), m_first, m_last, m_options);
    else
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    m_guideX = -1;
    update();
    return m_drawing;
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
    m_drawing = ChartDrawing();
    update();
}

ChartRange ChartView::shownRange() const
{
    const int fixed = m_grid ? m_grid->fixedRows() : 0;
    return { m_drawing.firstRow - fixed + 1, m_drawing.lastRow - fixed + 1 };
}

int ChartView::dataRows() const
{
    return m_grid ? m_grid->dataRowCount() : 0;
}

QPointF ChartView::toPicture(const QPointF& widgetPos) const
{
    return widgetPos - QPointF(contentsRect().topLeft());
}

bool ChartView::event(QEvent* event)
{
    // Over a point the tooltip names it; elsewhere the area's own tooltip stands.
    if (event->type() == QEvent::ToolTip && !m_hoverText.isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), m_hoverText, this);
        return true;
    }
    return QFrame::event(event);
}

void ChartView::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_picture);
    if (m_guideX >= 0 && m_drawing.drawn) {
        // A thin guide through the point under the pointer.
        const QPointF origin = contentsRect().topLeft();
        painter.setPen(QPen(QColor(96, 96, 96, 160), 1));
        painter.drawLine(origin + QPointF(m_guideX, m_drawing.plot.top()),
            origin + QPointF(m_guideX, m_drawing.plot.bottom()));
    }
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
    if (event->button() == Qt::LeftButton && m_drawing.drawn && dataRows() > 0) {
        m_dragging = true;
        m_pressX = event->position().x();
        m_pressRange = shownRange();
        return;
    }
    QFrame::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        const double slot = m_drawing.spacing / kChartTwipsPerPixel;
        if (slot > 0) {
            const double points = (event->position().x() - m_pressX) / slot;
            const ChartRange next = ChartRangeAfterDrag(m_pressRange, dataRows(), points);
            if (!(next == shownRange()))
                emit rangeRequested(next);
        }
        return;
    }
    hover(event->position(), event->globalPosition().toPoint());
}

void ChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}

void ChartView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0 || !m_drawing.drawn || dataRows() <= 0) {
        event->ignore();
        return;
    }
    const std::vector<double>& xs = m_drawing.points.xs;
    double anchor = 0.5;
    if (xs.size() > 1) {
        const double x = toPicture(event->position()).x();
        anchor = (x - xs.front()) / (xs.back() - xs.front());
    }
    const ChartRange next = ChartRangeAfterWheel(shownRange(), dataRows(), anchor, steps);
    if (!(next == shownRange()))
        emit rangeRequested(next);
    event->accept();
}

void ChartView::hover(const QPointF& widgetPos, const QPoint& globalPos)
{
    double guide = -1;
    const QString text = ChartHoverText(m_drawing, toPicture(widgetPos), &guide);
    if (text != m_hoverText || guide != m_guideX) {
        m_hoverText = text;
        m_guideX = guide;
        update();
    }
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(globalPos, text, this);
}

void ChartView::leaveEvent(QEvent* event)
{
    m_hoverText.clear();
    m_guideX = -1;
    update();
    QFrame::leaveEvent(event);
}

} // namespace quel::analysis
