#include "grid/ui/grid_view.h"

#include "grid/grid_ops.h"
#include "grid/text_measure.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace quel::grid {

namespace {

int twipsToPixels(int twips)
{
    return std::max(1, (twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// Settings both the main and the frozen view share.
void configureTable(QTableView* view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setWordWrap(false);
    view->setSortingEnabled(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->horizontalHeader()->setMinimumSectionSize(1);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionsClickable(true);
}

} // namespace

GridView::GridView(QWidget* parent)
    : QTableView(parent)
    , m_grid(new GridModel(this))
    , m_frozen(new QTableView(this))
{
    configureTable(this);
    setModel(m_grid);

    configureTable(m_frozen);
    m_frozen->setModel(m_grid);
    m_frozen->setSelectionModel(selectionModel());
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setFrameStyle(QFrame::NoFrame);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    viewport()->stackUnder(m_frozen);

    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
        &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(),
        &QAbstractSlider::setValue);
    connect(
        verticalScrollBar(), &QAbstractSlider::valueChanged, this, &GridView::updateScrollPosition);
    connect(horizontalScrollBar(), &QAbstractSlider::valueChanged, this,
        &GridView::updateScrollPosition);

    connect(horizontalHeader(), &QHeaderView::sectionPressed, this, &GridView::onHeaderPressed);
    connect(m_frozen->horizontalHeader(), &QHeaderView::sectionPressed, this,
        &GridView::onHeaderPressed);
    // A column the user widens keeps its width in the grid (and so in exports).
    connect(
        horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
            if (!m_syncing && size > 0)
                m_grid->setColumnWidth(section, size * kTwipsPerPixel);
            updateFrozenGeometry();
        });

    connect(m_grid, &GridModel::layoutPropertiesChanged, this, &GridView::applyGeometry);
    connect(m_grid, &GridModel::cursorChanged, this, &GridView::applyCursor);
    connect(m_grid, &QAbstractItemModel::modelReset, this, &GridView::applyGeometry);

    m_frozen->viewport()->installEventFilter(this);
    horizontalHeader()->viewport()->installEventFilter(this);
    m_frozen->horizontalHeader()->viewport()->installEventFilter(this);
    applyGeometry();
}

GridView::~GridView() = default;

core::Feedback& GridView::feedback() const
{
    return m_feedback ? *m_feedback : m_silent;
}

const TextMeasure& GridView::textMeasure() const
{
    if (!m_measure) {
        // The delegate draws a margin on each side and the grid a line; the fitting's own
        // padding covers about as much as a classic grid needs, so add what Qt needs more.
        const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
        m_measure = std::make_unique<FontTextMeasure>(font(), 2 * margin + 1);
    }
    return *m_measure;
}

GridCell GridView::cellAt(const QPoint& pos) const
{
    GridCell cell;
    const int row = rowAt(pos.y());
    cell.row = row < 0 ? m_grid->rows() : row + m_grid->fixedRows();
    int col = columnAt(pos.x());
    if (pos.x() < frozenWidth()) {
        const int frozenCol = m_frozen->columnAt(pos.x());
        if (frozenCol >= 0)
            col = frozenCol;
    }
    cell.col = col < 0 ? m_grid->cols() : col;
    return cell;
}

// --- geometry -------------------------------------------------------------------------

void GridView::applyGeometry()
{
    m_syncing = true;
    const int rowPixels = twipsToPixels(m_grid->defaultRowHeight());
    verticalHeader()->setDefaultSectionSize(rowPixels);
    m_frozen->verticalHeader()->setDefaultSectionSize(rowPixels);
    for (int c = 0; c < m_grid->cols(); ++c) {
        const int twips = m_grid->columnWidth(c);
        const bool hidden = twips == 0;
        setColumnHidden(c, hidden);
        m_frozen->setColumnHidden(c, hidden || c >= m_grid->fixedCols());
        if (!hidden) {
            setColumnWidth(c, twipsToPixels(twips));
            m_frozen->setColumnWidth(c, twipsToPixels(twips));
        }
    }
    m_syncing = false;
    updateFrozenGeometry();
}

int GridView::frozenWidth() const
{
    int width = 0;
    for (int c = 0; c < m_grid->fixedCols(); ++c) {
        if (!isColumnHidden(c))
            width += columnWidth(c);
    }
    // Fixed columns that would leave the others hardly any room scroll with them instead,
    // so that every column of a narrow grid can be brought into view.
    if (width > viewport()->width() * 2 / 3)
        return 0;
    return width;
}

void GridView::updateFrozenGeometry()
{
    const int width = frozenWidth();
    if (width == 0) {
        m_frozen->hide();
        return;
    }
    m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    m_frozen->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), width,
        viewport()->height() + horizontalHeader()->height());
    m_frozen->show();
}

void GridView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    m_grid->setViewWidth(viewport()->width() * kTwipsPerPixel);
    updateFrozenGeometry();
}

void GridView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_measure.reset();
    QTableView::changeEvent(event);
}

void GridView::updateScrollPosition()
{
    const int top = rowAt(0);
    const int left = columnAt(frozenWidth());
    m_grid->setScrollPosition(top < 0 ? m_grid->fixedRows() : top + m_grid->fixedRows(),
        left < 0 ? m_grid->fixedCols() : left);
}

// The scrolled columns slide under the frozen ones; keep the current cell out from under.
QModelIndex GridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    const int frozen = frozenWidth();
    if (cursorAction == MoveLeft && current.column() >= m_grid->fixedCols()
        && visualRect(current).topLeft().x() < frozen) {
        const int value
            = horizontalScrollBar()->value() + visualRect(current).topLeft().x() - frozen;
        horizontalScrollBar()->setValue(value);
    }
    return current;
}

void GridView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (index.column() >= m_grid->fixedCols()) {
        QTableView::scrollTo(index, hint);
        return;
    }
    // A frozen column is always in sight; only the row has to be.
    const int fromRight = columnAt(frozenWidth() + 1);
    QTableView::scrollTo(
        m_grid->index(index.row(), fromRight < 0 ? index.column() : fromRight), hint);
}

// --- cursor ---------------------------------------------------------------------------

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    // Shift extends the selection from where it started; anything else starts anew.
    if (!(m_eventModifiers & Qt::ShiftModifier) || m_anchorRow < 0)
        m_anchorRow = current.row() + m_grid->fixedRows();
    syncCursorFromView();
}

void GridView::syncCursorFromView()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    m_syncing = true;
    const int anchor = m_anchorRow >= 0 ? m_anchorRow : current.row() + m_grid->fixedRows();
    m_grid->setCurrentCell(anchor, current.column());
    m_grid->setSelectionEnd(current.row() + m_grid->fixedRows(), current.column());
    m_syncing = false;
}

void GridView::applyCursor()
{
    if (m_syncing)
        return;
    m_syncing = true;
    if (!m_grid->hasDataRows()) {
        selectionModel()->clear();
        m_anchorRow = -1;
    } else {
        const int first = m_grid->fixedRows();
        int top = m_grid->currentRow();
        int bottom = m_grid->selectionRow();
        orderPair(top, bottom);
        const int col = std::clamp(m_grid->selectionCol(), 0, m_grid->cols() - 1);
        const QItemSelection rows(
            m_grid->index(top - first, 0), m_grid->index(bottom - first, m_grid->cols() - 1));
        selectionModel()->setCurrentIndex(
            m_grid->index(m_grid->selectionRow() - first, col), QItemSelectionModel::NoUpdate);
        selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
        m_anchorRow = m_grid->currentRow();
    }
    m_syncing = false;
}

// --- mouse ----------------------------------------------------------------------------

bool GridView::handlePress(
    GridCell cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& globalPos)
{
    if (button != Qt::LeftButton) {
        emit exportRequested(this, globalPos);
        return false;
    }
    // Ticking reads the row the selection started from before the press moves it.
    if (m_checkMarks != CheckMarks::None) {
        const bool shiftAlone = (modifiers & ~Qt::KeypadModifier) == Qt::ShiftModifier;
        clickCheckMark(*m_grid, shiftAlone, cell, m_checkMarks == CheckMarks::Multi);
    }
    if (m_sortOnHeaderPress && cell.row >= 0 && cell.row < m_grid->fixedRows())
        gridHeaderClicked(*m_grid, cell, feedback(), textMeasure());
    return true;
}

void GridView::onHeaderPressed(int section)
{
    const GridCell cell { m_grid->fixedRows() - 1, section };
    const Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    if (handlePress(cell, Qt::LeftButton, modifiers, QCursor::pos()))
        emit gridPressed(cell, Qt::LeftButton, modifiers);
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    const GridCell cell = cellAt(event->position().toPoint());
    if (!handlePress(cell, event->button(), event->modifiers(), event->globalPosition().toPoint()))
        return;
    m_eventModifiers = event->modifiers();
    QTableView::mousePressEvent(event);
    m_eventModifiers = {};
    emit gridPressed(cell, event->button(), event->modifiers());
}

void GridView::keyPressEvent(QKeyEvent* event)
{
    m_eventModifiers = event->modifiers();
    QTableView::keyPressEvent(event);
    m_eventModifiers = {};
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit gridDoubleClicked(cellAt(event->position().toPoint()));
}

bool GridView::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if ((!press && !doubleClick) || m_forwarding)
        return QTableView::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const bool onHeader = watched == horizontalHeader()->viewport()
        || watched == m_frozen->horizontalHeader()->viewport();
    if (onHeader) {
        // Left presses on headings arrive through sectionPressed.
        if (press && mouse->button() != Qt::LeftButton) {
            emit exportRequested(this, mouse->globalPosition().toPoint());
            return true;
        }
        return QTableView::eventFilter(watched, event);
    }
    if (watched == m_frozen->viewport()) {
        const QPoint pos = mouse->position().toPoint();
        const int row = m_frozen->rowAt(pos.y());
        const int col = m_frozen->columnAt(pos.x());
        const GridCell cell { row < 0 ? m_grid->rows() : row + m_grid->fixedRows(),
            col < 0 ? m_grid->cols() : col };
        if (doubleClick) {
            if (mouse->button() == Qt::LeftButton)
                emit gridDoubleClicked(cell);
            return true;
        }
        if (!handlePress(
                cell, mouse->button(), mouse->modifiers(), mouse->globalPosition().toPoint()))
            return true;
        // The frozen view moves the shared selection.
        m_eventModifiers = mouse->modifiers();
        m_forwarding = true;
        QCoreApplication::sendEvent(m_frozen->viewport(), event);
        m_forwarding = false;
        m_eventModifiers = {};
        emit gridPressed(cell, mouse->button(), mouse->modifiers());
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace quel::grid
