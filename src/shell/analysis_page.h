#pragma once

#include "analysis/chart_page.h"

#include <QWidget>

class QAbstractButton;
class QLineEdit;
class QTabWidget;

namespace quel::analysis {
class ProductStatsPanel;
}

namespace quel::shell {

// One page of the analysis tab strip: the chart page of its analysis with the main
// window's command buttons and product boxes in its bar.
class AnalysisSubPage : public analysis::ChartPage
{
    Q_OBJECT

public:
    AnalysisSubPage(int index, QWidget* parent);

    QWidget* grid() const;

    QAbstractButton* addCommand(int index);
    QLineEdit* addProductBox(const QString& objectName);

signals:
    void command(int index);
};

// Page 4 of the main tab strip: the analysis tab strip SST1 with its four pages. The pages'
// export requests and hints are passed on for the main window to wire.
class AnalysisPage : public QWidget
{
    Q_OBJECT

public:
    explicit AnalysisPage(QWidget* parent);

    QTabWidget* tabs() const { return m_tabs; }
    // The tab strip's stack shows only the selected page's container.
    AnalysisSubPage* subPage(int i) const;
    // The measure boxes and grouping options of page 0.
    analysis::ProductStatsPanel* productPanel() const { return m_productPanel; }

signals:
    void command(int index);
    void gridExportRequested(quel::views::GridView* grid, const QPoint& globalPos);
    void chartExportRequested(QWidget* chart, const QPoint& globalPos);
    void hintChanged(const QString& text);

private:
    QTabWidget* m_tabs;
    AnalysisSubPage* m_pages[4];
    analysis::ProductStatsPanel* m_productPanel;
};

} // namespace quel::shell
