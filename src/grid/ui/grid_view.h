#pragma once

#include "core/feedback.h"
#include "grid/grid_model.h"

#include <QTableView>
#include <memory>

namespace quel::grid {

class TextMeasure;

// Shows a GridModel: the title row as the column header, the fixed columns frozen at the
// left while the rest scrolls, widths and colours from the model, hidden columns (width 0)
// left out. Keeps the model's cursor in step with the selection (the current row is where
// a selection started, the selection row where it ends; selections are whole, contiguous
// rows).
//
// A left press on a heading sorts by that column (or refits on "序号") unless turned off;
// grids with a selection column tick rows on presses. Any other button hands the grid to
// whoever shows the export menu.
class GridView : public QTableView
{
    Q_OBJECT

public:
    enum class CheckMarks
    {
        None,
        Single,
        Multi
    };

    explicit GridView(QWidget* parent = nullptr);
    ~GridView() override;

    GridModel* grid() const { return m_grid; }

    // Messages and the progress window of the grid's own operations (column fitting).
    // Without one, they go nowhere.
    void setFeedback(core::Feedback* feedback) { m_feedback = feedback; }
    core::Feedback& feedback() const;

    // Text measurement in the view's font, for fitting columns.
    const TextMeasure& textMeasure() const;

    void setSortOnHeaderPress(bool on) { m_sortOnHeaderPress = on; }
    void setCheckMarks(CheckMarks mode) { m_checkMarks = mode; }

    // The grid cell at a point of the viewport (rows() / cols() beyond the last).
    GridCell cellAt(const QPoint& viewportPos) const;
    // The view that shows the frozen columns (for tests and styling).
    QTableView* frozenView() const { return m_frozen; }

signals:
    // A mouse press on a cell or heading, after the view's own handling of it.
    void gridPressed(
        quel::grid::GridCell cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void gridDoubleClicked(quel::grid::GridCell cell);
    // A press with any button but the left one, at a global screen position.
    void exportRequested(quel::grid::GridView* grid, const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    void applyGeometry();
    void applyCursor();
    void syncCursorFromView();
    void updateFrozenGeometry();
    int frozenWidth() const;
    // A left or other press on a cell of this or the frozen view.
    bool handlePress(GridCell cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
        const QPoint& globalPos);
    void onHeaderPressed(int section);
    void updateScrollPosition();

    GridModel* m_grid;
    QTableView* m_frozen;
    core::Feedback* m_feedback = nullptr;
    mutable core::SilentFeedback m_silent;
    mutable std::unique_ptr<TextMeasure> m_measure;
    bool m_sortOnHeaderPress = true;
    CheckMarks m_checkMarks = CheckMarks::None;
    int m_anchorRow = -1;
    bool m_syncing = false;
    bool m_forwarding = false;
    // Modifiers of the press or key being handled (Shift extends the selection).
    Qt::KeyboardModifiers m_eventModifiers;
};

} // namespace quel::grid
