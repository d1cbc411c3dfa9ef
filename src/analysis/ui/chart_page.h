#pragma once

#include "analysis/chart_layout.h"
#include "analysis/chart_range.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QHBoxLayout;
class QPushButton;
class QLineEdit;
class QGroupBox;

namespace quel::grid {
class GridModel;
class GridView;
} // namespace quel::grid

namespace quel::analysis {

class ChartView;

// One page Pic1(i) of the analysis tab strip, the same for every analysis: the chart area
// GP(i) on three quarters of the width, the result grid MSF1(i) on the last quarter, and a
// bar below for the analysis' own controls, ending with the display range SRow(i) / ERow(i).
//
// The page keeps chart and grid together: editing a range box redraws, arrow keys on the
// chart scroll and zoom through the boxes, a left press on the grid (which sorts it by a
// heading) redraws, and right presses on grid or chart are handed on for the export menus.
class ChartPage : public QWidget
{
    Q_OBJECT

public:
    ChartPage(int index, QWidget* parent = nullptr);
    ~ChartPage() override;

    int index() const { return m_index; }
    grid::GridView* gridView() const { return m_gridView; }
    grid::GridModel* gridModel() const;
    ChartView* chart() const { return m_chart; }
    QLineEdit* startBox() const { return m_start; }
    QLineEdit* endBox() const { return m_end; }
    QHBoxLayout* bar() const { return m_bar; }
    // Puts a control into the bar, before the range boxes.
    void addToBar(QWidget* widget, int stretch = 0);
    void addStretchToBar(int stretch = 1);

    // The numbers in the range boxes (text that is no number counts as 0).
    ChartRange range() const;
    // Writes both boxes and draws once.
    void setRange(ChartRange range);

    // DrawChart with the range boxes and the title of the last drawing.
    void redraw();
    // After an analysis: draws with its title in the analysis' own kind of chart (lines
    // over time, bars elsewhere, unless switched by hand), optionally shows the scrolling
    // hint, and gives the chart the focus so that the arrow keys act on it.
    void showResult(const QString& title, bool withHint, ChartMark mark = ChartMark::Line);
    // How the next drawing lays the chart out.
    ChartOptions chartOptions() const;
    // "分图显示" (pages 0 and 1) and "折线/柱状" (pages 0 to 3); null where the page has none.
    QCheckBox* panelsBox() const { return m_panelsBox; }
    QPushButton* markButton() const { return m_markButton; }
    // An arrow key on the chart.
    void applyRangeKey(ChartKey key, bool ctrl);

    // "操作提示：数据量太多，看不清时，…"
    static QString chartHint();

signals:
    void gridExportRequested(quel::grid::GridView* grid, const QPoint& globalPos);
    void chartExportRequested(QWidget* chart, const QPoint& globalPos);
    void hintChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void draw(const QString& title);

    int m_index;
    grid::GridView* m_gridView;
    ChartView* m_chart;
    QHBoxLayout* m_bar;
    QGroupBox* m_rangeFrame;
    QLineEdit* m_start;
    QLineEdit* m_end;
    QCheckBox* m_panelsBox = nullptr;
    QPushButton* m_markButton = nullptr;
    // Panels follow the data until the box is clicked; then the hand's choice stays.
    std::optional<bool> m_panelsByHand;
    // The analysis' own kind of chart, and whether the button switched to the other one.
    ChartMark m_defaultMark = ChartMark::Line;
    bool m_markSwitched = false;
};

} // namespace quel::analysis
