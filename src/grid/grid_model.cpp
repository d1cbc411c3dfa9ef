#include "grid/grid_model.h"

#include <algorithm>

namespace quel::grid {

GridModel::GridModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

GridModel::~GridModel() = default;

// --- bulk updates ---------------------------------------------------------------------

GridModel::BulkUpdate::BulkUpdate(GridModel& model)
    : m_model(model)
{
    m_model.beginBulk();
}

GridModel::BulkUpdate::~BulkUpdate()
{
    m_model.endBulk();
}

void GridModel::beginBulk()
{
    if (m_bulkDepth++ == 0)
        beginResetModel();
}

void GridModel::endBulk()
{
    if (--m_bulkDepth == 0) {
        clampCursor();
        endResetModel();
        emit layoutPropertiesChanged();
        emit cursorChanged();
    }
}

void GridModel::announceRows(int first, int last)
{
    if (inBulk() || m_cols == 0)
        return;
    if (first < m_fixedRows) {
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
        first = m_fixedRows;
    }
    if (last >= first && first < rows())
        emit dataChanged(index(first - m_fixedRows, 0), index(last - m_fixedRows, m_cols - 1));
}

void GridModel::announceGeometry()
{
    if (!inBulk())
        emit layoutPropertiesChanged();
}

// --- shape ----------------------------------------------------------------------------

void GridModel::setRows(int n)
{
    n = std::max(n, 0);
    const int old = rows();
    if (n == old)
        return;
    const bool touchesHeadings = std::min(n, old) < m_fixedRows || n < m_fixedRows;
    if (inBulk() || touchesHeadings) {
        BulkUpdate bulk(*this);
        m_rows.resize(static_cast<size_t>(n));
        m_fixedRows = std::min(m_fixedRows, n);
        return;
    }
    if (n > old) {
        beginInsertRows({}, old - m_fixedRows, n - 1 - m_fixedRows);
        m_rows.resize(static_cast<size_t>(n));
        endInsertRows();
    } else {
        beginRemoveRows({}, n - m_fixedRows, old - 1 - m_fixedRows);
        m_rows.resize(static_cast<size_t>(n));
        endRemoveRows();
    }
    clampCursor();
    emit cursorChanged();
}

void GridModel::setCols(int n)
{
    n = std::max(n, 0);
    if (n == m_cols)
        return;
    BulkUpdate bulk(*this);
    m_cols = n;
    for (Row& row : m_rows) {
        row.cells.truncate(n);
        std::erase_if(row.colours, [n](const CellColour& c) { return c.col >= n; });
    }
    m_codes.resize(static_cast<size_t>(n), 0);
    m_widths.resize(static_cast<size_t>(n), 960);
    m_fixedCols = std::min(m_fixedCols, n);
}

void GridModel::setFixedRows(int n)
{
    n = std::clamp(n, 0, rows());
    if (n == m_fixedRows)
        return;
    BulkUpdate bulk(*this);
    m_fixedRows = n;
}

void GridModel::setFixedCols(int n)
{
    n = std::clamp(n, 0, m_cols);
    if (n == m_fixedCols)
        return;
    m_fixedCols = n;
    announceGeometry();
}

// --- cells ----------------------------------------------------------------------------

QString GridModel::text(int row, int col) const
{
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return {};
    const QStringView cell = textView(row, col);
    return cell.isEmpty() ? QString() : cell.toString();
}

QStringView GridModel::textView(int row, int col) const
{
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return {};
    return m_rows[static_cast<size_t>(row)].cells.at(col);
}

void GridModel::setText(int row, int col, const QString& text)
{
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return;
    RowTexts& cells = m_rows[static_cast<size_t>(row)].cells;
    if (cells.at(col) == text)
        return;
    cells.set(col, text);
    if (inBulk())
        return;
    if (row < m_fixedRows)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else {
        const QModelIndex at = index(row - m_fixedRows, col);
        emit dataChanged(at, at, { Qt::DisplayRole });
    }
}

void GridModel::setTitle(int col, const QString& text)
{
    if (m_fixedRows > 0)
        setText(m_fixedRows - 1, col, text);
}

int GridModel::columnOfField(const QString& field) const
{
    for (int c = 0; c < m_cols; ++c) {
        if (fieldName(c) == field)
            return c;
    }
    return -1;
}

void GridModel::appendRow(const QList<QString>& cells)
{
    appendRow(RowTexts(cells));
}

void GridModel::appendRow(RowTexts cells)
{
    cells.truncate(m_cols);
    const int r = rows();
    const bool signal = !inBulk() && r >= m_fixedRows;
    if (signal)
        beginInsertRows({}, r - m_fixedRows, r - m_fixedRows);
    m_rows.push_back(Row { std::move(cells), {}, -1 });
    if (signal)
        endInsertRows();
}

void GridModel::removeGridRows(int first, int count)
{
    first = std::max(first, 0);
    count = std::min(count, rows() - first);
    if (count <= 0)
        return;
    const auto begin = m_rows.begin() + first;
    if (inBulk() || first < m_fixedRows) {
        BulkUpdate bulk(*this);
        m_rows.erase(begin, begin + count);
        m_fixedRows = std::min(m_fixedRows, rows());
        return;
    }
    beginRemoveRows({}, first - m_fixedRows, first - m_fixedRows + count - 1);
    m_rows.erase(begin, begin + count);
    endRemoveRows();
    clampCursor();
    emit cursorChanged();
}

void GridModel::permuteDataRows(const std::vector<int>& newOrder)
{
    const int n = dataRowCount();
    if (static_cast<int>(newOrder.size()) != n)
        return;
    // Checked whole before anything moves: a bad order must not leave rows half moved.
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int from : newOrder) {
        if (from < 0 || from >= n || seen[static_cast<size_t>(from)])
            return;
        seen[static_cast<size_t>(from)] = true;
    }
    const bool signal = !inBulk();
    if (signal)
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> moved;
    moved.reserve(static_cast<size_t>(n));
    for (int from : newOrder)
        moved.push_back(std::move(m_rows[static_cast<size_t>(m_fixedRows + from)]));
    // Persistent indexes follow their rows.
    QModelIndexList before;
    QModelIndexList after;
    if (signal) {
        std::vector<int> newPos(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            newPos[static_cast<size_t>(newOrder[static_cast<size_t>(i)])] = i;
        for (const QModelIndex& idx : persistentIndexList()) {
            before << idx;
            after << index(newPos[static_cast<size_t>(idx.row())], idx.column());
        }
    }
    std::move(moved.begin(), moved.end(), m_rows.begin() + m_fixedRows);
    if (signal) {
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
}

// --- codes and geometry ---------------------------------------------------------------

int GridModel::columnCode(int col) const
{
    return col >= 0 && col < m_cols ? m_codes[static_cast<size_t>(col)] : 0;
}

void GridModel::setColumnCode(int col, int code)
{
    if (col < 0 || col >= m_cols)
        return;
    m_codes[static_cast<size_t>(col)] = code;
    if (!inBulk() && hasDataRows())
        emit dataChanged(index(0, col), index(dataRowCount() - 1, col), { Qt::TextAlignmentRole });
}

int GridModel::columnWidth(int col) const
{
    return col >= 0 && col < m_cols ? m_widths[static_cast<size_t>(col)] : 0;
}

void GridModel::setColumnWidth(int col, int twips)
{
    if (col < 0 || col >= m_cols)
        return;
    m_widths[static_cast<size_t>(col)] = std::max(twips, 0);
    announceGeometry();
}

int GridModel::rowHeight(int row) const
{
    if (row < 0 || row >= rows())
        return 0;
    const int h = m_rows[static_cast<size_t>(row)].height;
    return h < 0 ? m_defaultRowHeight : h;
}

void GridModel::setRowHeight(int row, int twips)
{
    if (row < 0 || row >= rows())
        return;
    m_rows[static_cast<size_t>(row)].height = std::max(twips, 0);
    announceGeometry();
}

void GridModel::setDefaultRowHeight(int twips)
{
    m_defaultRowHeight = std::max(twips, 0);
    announceGeometry();
}

void GridModel::setScrollPosition(int topRow, int leftCol)
{
    m_topRow = std::max(topRow, 0);
    m_leftCol = std::max(leftCol, 0);
}

// --- colours --------------------------------------------------------------------------

GridModel::CellColour* GridModel::findColour(int row, int col)
{
    if (row < 0 || row >= rows())
        return nullptr;
    for (CellColour& c : m_rows[static_cast<size_t>(row)].colours) {
        if (c.col == col)
            return &c;
    }
    return nullptr;
}

const GridModel::CellColour* GridModel::findColour(int row, int col) const
{
    return const_cast<GridModel*>(this)->findColour(row, col);
}

GridModel::CellColour& GridModel::colourSlot(int row, int col)
{
    if (CellColour* c = findColour(row, col))
        return *c;
    auto& list = m_rows[static_cast<size_t>(row)].colours;
    list.push_back({ col, {}, {} });
    return list.back();
}

QColor GridModel::cellForeground(int row, int col) const
{
    const CellColour* c = findColour(row, col);
    return c ? c->foreground : QColor();
}

QColor GridModel::cellBackground(int row, int col) const
{
    const CellColour* c = findColour(row, col);
    return c ? c->background : QColor();
}

void GridModel::setCellForeground(int row, int col, const QColor& colour)
{
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return;
    colourSlot(row, col).foreground = colour;
    announceRows(row, row);
}

void GridModel::setCellBackground(int row, int col, const QColor& colour)
{
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return;
    colourSlot(row, col).background = colour;
    announceRows(row, row);
}

// --- cursor ---------------------------------------------------------------------------

void GridModel::clampCursor()
{
    const int lastRow = std::max(rows() - 1, 0);
    const int lastCol = std::max(m_cols - 1, 0);
    // A grid with data keeps its cursor on a data row, as the list operations expect.
    const int firstRow = hasDataRows() ? m_fixedRows : 0;
    m_row = std::clamp(m_row, firstRow, lastRow);
    m_rowSel = std::clamp(m_rowSel, firstRow, lastRow);
    m_col = std::clamp(m_col, 0, lastCol);
    m_colSel = std::clamp(m_colSel, 0, lastCol);
}

void GridModel::setCurrentCell(int row, int col)
{
    m_row = row;
    m_col = col;
    m_rowSel = row;
    m_colSel = col;
    clampCursor();
    if (!inBulk())
        emit cursorChanged();
}

void GridModel::setSelectionEnd(int row, int col)
{
    m_rowSel = row;
    m_colSel = col;
    clampCursor();
    if (!inBulk())
        emit cursorChanged();
}

// --- Qt model interface ---------------------------------------------------------------

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : dataRowCount();
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

namespace {

Qt::Alignment alignmentForCode(int code)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (code >= 3 && code <= 5)
        horizontal = Qt::AlignHCenter;
    else if (code >= 6 && code <= 8)
        horizontal = Qt::AlignRight;
    return horizontal | Qt::AlignVCenter;
}

} // namespace

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int row = index.row() + m_fixedRows;
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text(row, col);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentForCode(columnCode(col)));
    case Qt::ForegroundRole: {
        const QColor c = cellForeground(row, col);
        return c.isValid() ? QVariant(c) : QVariant();
    }
    case Qt::BackgroundRole: {
        const QColor c = cellBackground(row, col);
        return c.isValid() ? QVariant(c) : QVariant();
    }
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_cols)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return title(section);
    case FieldNameRole:
        return m_fixedRows > 0 ? fieldName(section) : QString();
    case ColumnCodeRole:
        return columnCode(section);
    case ColumnWidthRole:
        return columnWidth(section);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace quel::grid
