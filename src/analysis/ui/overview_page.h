// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/market_overview.h"

#include <QWidget>
#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace quel::grid {
class GridModel;
class GridView;
} // namespace quel::grid

namespace quel::analysis {

class ChartView;

inline constexpr int kOverviewCharts = 5;

// The page "市场概览": a category box with the button that computes the overview and the one
// that writes it up as a report; the headline figures, five small charts and the result
// grid with every figure and table. The page shows what it is given; the shell computes
// and writes.
class OverviewPage : public QWidget
{
    Q_OBJECT

public:
    explicit OverviewPage(QWidget* parent = nullptr);
    ~OverviewPage() override;

    // Fills the category box, keeping the chosen entry when it is still there.
    void setCategories(const QStringList& categories);
    QString category() const;
    QComboBox* categoryBox() const { return m_category; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* reportButton() const { return m_report; }

    void showOverview(const MarketOverview& overview);
    // The overview on show; null before the first one.
    const MarketOverview* overview() const { return m_overview.get(); }

    grid::GridView* gridView() const { return m_gridView; }
    ChartView* chart(int i) const { return m_charts.at(static_cast<size_t>(i)); }
    // The line above a chart that has nothing to draw (hidden otherwise).
    QLabel* chartCaption(int i) const { return m_chartCaptions.at(static_cast<size_t>(i)); }
    // The shown text of a headline figure by its key ("hhi").
    QString figureText(const QString& key) const;

signals:
    void runRequested(const QString& category);
    void reportRequested();
    // Shown again (the categories may have changed meanwhile).
    void shown();
    void gridExportRequested(quel::grid::GridView* grid, const QPoint& globalPos);
    void chartExportRequested(QWidget* chart, const QPoint& globalPos);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_category;
    QPushButton* m_run;
    QPushButton* m_report;
    QWidget* m_figures;
    std::array<ChartView*, kOverviewCharts> m_charts {};
    std::array<QLabel*, kOverviewCharts> m_chartCaptions {};
    std::array<std::unique_ptr<grid::GridModel>, kOverviewCharts> m_chartGrids;
    grid::GridView* m_gridView;
    std::unique_ptr<MarketOverview> m_overview;
};

} // namespace quel::analysis
