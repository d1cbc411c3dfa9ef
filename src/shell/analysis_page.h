#pragma once

#include "analysis/ui/chart_page.h"

#include <QWidget>

class QAbstractButton;
class QBoxLayout;
class QLineEdit;
class QTabWidget;

namespace quel::analysis {
class CustomerPanel;
class CyclePanel;
class OverviewPage;
class ProductStatsPanel;
class TradePanel;
class TrendPanel;
} // namespace quel::analysis

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
    // The same inside a frame of the page's controls.
    QAbstractButton* addCommand(int index, QBoxLayout* into);
    QLineEdit* addProductBox(const QString& objectName, const QString& tooltip, QBoxLayout* into);

signals:
    void command(int index);
};

// Page 5 of the main tab strip: the analysis tab strip SST1 with its five chart pages and
// the market overview. The pages'
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
    // The option buttons of pages 1 to 3.
    analysis::TradePanel* tradePanel() const { return m_tradePanel; }
    analysis::CustomerPanel* customerPanel() const { return m_customerPanel; }
    analysis::CyclePanel* cyclePanel() const { return m_cyclePanel; }
    // The measure options and the product box of the trend page (page 4).
    analysis::TrendPanel* trendPanel() const { return m_trendPanel; }
    QLineEdit* trendProducts() const { return m_trendProducts; }
    // The market overview, after the chart pages.
    analysis::OverviewPage* overviewPage() const { return m_overview; }

    static constexpr int kPages = 5;

signals:
    void command(int index);
    void gridExportRequested(quel::grid::GridView* grid, const QPoint& globalPos);
    void chartExportRequested(QWidget* chart, const QPoint& globalPos);
    void hintChanged(const QString& text);

private:
    QTabWidget* m_tabs;
    AnalysisSubPage* m_pages[kPages];
    analysis::ProductStatsPanel* m_productPanel;
    analysis::TradePanel* m_tradePanel;
    analysis::CustomerPanel* m_customerPanel;
    analysis::CyclePanel* m_cyclePanel;
    analysis::TrendPanel* m_trendPanel;
    QLineEdit* m_trendProducts;
    analysis::OverviewPage* m_overview;
};

} // namespace quel::shell
