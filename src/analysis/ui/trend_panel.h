#pragma once

#include "analysis/price_trend.h"

#include <QWidget>

class QLineEdit;
class QRadioButton;

namespace quel::store {
class DB_Operate;
}

namespace quel::analysis {

class ChartPage;

// The measure options of the trend page in the frame "走势内容" (价格, 本期售出, 90天售出,
// 浏览数, 收藏数). A click on one asks for the trend to be drawn again.
class TrendPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TrendPanel(QWidget* parent = nullptr);

    // The option that is set (0 when none is).
    int measure() const;
    QRadioButton* measureOption(int i) const;

signals:
    void optionsClicked();

private:
    QRadioButton* m_options[kTrendMeasures] = {};
};

// The trend page's analysis: the products of the box (its tag holds their IDs) with the
// panel's measure, into the page's grid and chart.
void RunPriceTrendOnPage(
    ChartPage& page, const TrendPanel& panel, const QLineEdit* box, store::DB_Operate& db);

} // namespace quel::analysis
