#pragma once

#include "analysis/product_stats.h"

#include <QWidget>

class QCheckBox;
class QRadioButton;

namespace quel::store {
class DB_Operate;
}

namespace quel::analysis {

class ChartPage;

// The controls of product statistics on page 0: the measure boxes CK40(0..6) in the frame
// "统计内容" and the grouping options OP40(0..3) in the frame "统计方式". A click on any of
// them asks for the analysis to run again.
class ProductStatsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ProductStatsPanel(QWidget* parent = nullptr);

    ProductStatsOptions options() const;
    // The grouping option that is set (the first in index order; 0 when none is).
    int selectedGrouping() const;

    QCheckBox* measureBox(int i) const;
    QRadioButton* groupingOption(int i) const;

signals:
    // A box or option was clicked.
    void optionsClicked();

private:
    QCheckBox* m_measures[kProductMeasures] = {};
    QRadioButton* m_groupings[kProductGroupings] = {};
};

// The analysis behind Com(40): runs product statistics into the page's grid with the
// panel's choices and shows the result in its chart, with the scrolling hint.
void RunProductStatisticsOnPage(
    ChartPage& page, const ProductStatsPanel& panel, store::DB_Operate& db);

} // namespace quel::analysis
