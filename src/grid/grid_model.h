#pragma once

#include "grid/row_texts.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace quel::grid {

// Twips per screen pixel: grid widths and heights are kept in twips, as the lists and
// the export code reason in them, and converted only where the view draws.
inline constexpr int kTwipsPerPixel = 15;

// A row and column in grid coordinates (heading rows included).
struct GridCell
{
    int row = -1;
    int col = -1;
    bool operator==(const GridCell&) const = default;
};

// One flexible grid: every cell holds display text; rows 0 .. fixedRows-1 are headings
// (row 0 the hidden field names, the last fixed row the titles), data follow. Besides
// the texts the grid carries its source table (`tag`), a code per column (4 and above
// sort as numbers; the code also gives the alignment: 0-2 left, 3-5 centred, 6-8 right),
// widths and heights in twips, per-cell colours and a cursor (current cell plus the
// other end of the selected row range).
//
// All operations address cells by grid coordinates. To Qt views the model shows the data
// rows only (Qt row r is grid row fixedRows + r) and the title row as the horizontal
// header, so a view keeps the titles visible by itself.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Extra roles a view or exporter may ask for.
    enum Role
    {
        FieldNameRole = Qt::UserRole + 1, // header: the hidden field name of the column
        ColumnCodeRole, // header: the column code
        ColumnWidthRole, // header: width in twips
    };

    explicit GridModel(QObject* parent = nullptr);
    ~GridModel() override;

    // --- grid shape -------------------------------------------------------------------
    int rows() const { return static_cast<int>(m_rows.size()); }
    int cols() const { return m_cols; }
    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }
    int dataRowCount() const { return rows() > m_fixedRows ? rows() - m_fixedRows : 0; }
    bool hasDataRows() const { return rows() > m_fixedRows; }

    // Growing adds empty rows/columns, shrinking drops them from the end.
    void setRows(int rows);
    void setCols(int cols);
    // Clamped to the grid (at least 0, at most rows resp. cols).
    void setFixedRows(int n);
    void setFixedCols(int n);

    // --- cells ------------------------------------------------------------------------
    // Out-of-range cells read as empty text; writes to them are ignored.
    QString text(int row, int col) const;
    // The same without a copy, valid until the cell changes (for passes over many cells).
    QStringView textView(int row, int col) const;
    // All texts of a row in range, without copying them (for passes over every cell).
    const RowTexts& rowTexts(int row) const { return m_rows[static_cast<size_t>(row)].cells; }
    void setText(int row, int col, const QString& text);
    // Field name (row 0) and title (last fixed row) of a column.
    QString fieldName(int col) const { return text(0, col); }
    QString title(int col) const
    {
        return m_fixedRows > 0 ? text(m_fixedRows - 1, col) : QString();
    }
    void setTitle(int col, const QString& text);
    // Column of the given field name (exact), or -1.
    int columnOfField(const QString& field) const;

    // Appends one row holding the given texts (missing cells stay empty). For fills.
    void appendRow(const QList<QString>& cells);
    void appendRow(RowTexts cells);
    // Removes rows [first, first + count) entirely (texts, colours, heights).
    void removeGridRows(int first, int count);

    // Reorders the data rows: newOrder[i] is the old index (counted from the first data
    // row) of the row that goes to position i. Must be a permutation of the data rows.
    void permuteDataRows(const std::vector<int>& newOrder);

    // --- table, codes, geometry -------------------------------------------------------
    QString tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    int columnCode(int col) const;
    void setColumnCode(int col, int code);

    int columnWidth(int col) const; // twips; 0 hides the column
    void setColumnWidth(int col, int twips);
    int rowHeight(int row) const; // twips; 0 hides the row
    void setRowHeight(int row, int twips);
    int defaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int twips);

    // The grid's own width in twips (the view reports it; column fitting caps at half).
    int viewWidth() const { return m_viewWidth; }
    void setViewWidth(int twips) { m_viewWidth = twips; }
    // First visible non-fixed row and column (scroll position), for point look-ups.
    int topRow() const { return m_topRow; }
    int leftCol() const { return m_leftCol; }
    void setScrollPosition(int topRow, int leftCol);

    // --- colours ----------------------------------------------------------------------
    // An invalid colour means the view's default.
    QColor cellForeground(int row, int col) const;
    QColor cellBackground(int row, int col) const;
    void setCellForeground(int row, int col, const QColor& colour);
    void setCellBackground(int row, int col, const QColor& colour);

    // --- cursor -----------------------------------------------------------------------
    int currentRow() const { return m_row; }
    int currentCol() const { return m_col; }
    int selectionRow() const { return m_rowSel; }
    int selectionCol() const { return m_colSel; }
    // Moves the current cell and collapses the selection onto it.
    void setCurrentCell(int row, int col);
    // Moves the other end of the selection, keeping the current cell.
    void setSelectionEnd(int row, int col);

    // Many changes at once (a fill, a sort): views get one reset instead of a signal per
    // cell. Nests; the reset is announced when the outermost update ends.
    class BulkUpdate
    {
    public:
        explicit BulkUpdate(GridModel& model);
        ~BulkUpdate();
        BulkUpdate(const BulkUpdate&) = delete;
        BulkUpdate& operator=(const BulkUpdate&) = delete;

    private:
        GridModel& m_model;
    };

    // --- QAbstractTableModel ----------------------------------------------------------
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The cursor or selection end moved (views follow it).
    void cursorChanged();
    // Widths, heights, fixed columns or codes changed (views re-apply their geometry).
    void layoutPropertiesChanged();

private:
    struct CellColour
    {
        int col;
        QColor foreground;
        QColor background;
    };
    struct Row
    {
        RowTexts cells;
        std::vector<CellColour> colours; // only cells that were coloured
        int height = -1; // -1: the default height
    };

    bool inBulk() const { return m_bulkDepth > 0; }
    void beginBulk();
    void endBulk();
    // Announces a change of grid rows [first, last] (all columns) to views.
    void announceRows(int first, int last);
    void announceGeometry();
    void clampCursor();
    CellColour* findColour(int row, int col);
    const CellColour* findColour(int row, int col) const;
    CellColour& colourSlot(int row, int col);

    std::vector<Row> m_rows;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    QString m_tag;
    std::vector<int> m_codes;
    std::vector<int> m_widths;
    int m_defaultRowHeight = 300;
    int m_viewWidth = 12000;
    int m_topRow = 0;
    int m_leftCol = 0;
    int m_row = 0;
    int m_col = 0;
    int m_rowSel = 0;
    int m_colSel = 0;
    int m_bulkDepth = 0;
};

} // namespace quel::grid
