#pragma once

#include "analysis/customer_stats.h"
#include "analysis/sales_cycle.h"
#include "analysis/trade_stats.h"

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;

namespace quel::store {
class DB_Operate;
}

namespace quel::analysis {

class ChartPage;

// The option buttons of the trade statistics on page 1: OP41(0..1) in the frame
// "交易总量比较" (grouping of the totals), OP41(2..4) the measure, OP41(5..7) in "周期"
// and OP41(8..9) the series of the period comparison, which sit in the frame
// "产品交易对比" beside the product box. The shell puts its buttons into the two frames.
class TradePanel : public QWidget
{
    Q_OBJECT

public:
    explicit TradePanel(QWidget* parent = nullptr);

    QRadioButton* option(int i) const;
    TotalsGrouping totalsGrouping() const;
    PeriodComparison periodOptions() const;
    // Where the shell adds Com(41)/Com(42) and the product box with Com(43).
    QHBoxLayout* totalsBar() const { return m_totalsBar; }
    QHBoxLayout* productBar() const { return m_productBar; }

signals:
    // OP41(0) or OP41(1) was clicked: the totals run again, by amount.
    void totalsOptionClicked();
    // One of OP41(2..9) was clicked: the period comparison runs again.
    void periodOptionClicked();

private:
    QRadioButton* m_options[10] = {};
    QHBoxLayout* m_totalsBar;
    QHBoxLayout* m_productBar;
};

// The target buttons Op42(0..3) of the customer statistics on page 2, in the frame
// "分析目标"; the frame "产品选择" takes the shell's product box and Com(51).
class CustomerPanel : public QWidget
{
    Q_OBJECT

public:
    explicit CustomerPanel(QWidget* parent = nullptr);

    QRadioButton* option(int i) const;
    CustomerGrouping grouping() const;
    // "按数量排序": every group by its count, as counted, instead of in its own order.
    CustomerOrder order() const;
    QCheckBox* countOrderBox() const { return m_countOrder; }
    QHBoxLayout* productBar() const { return m_productBar; }

signals:
    // A target was clicked: the prepared buyers are counted again.
    void optionClicked();

private:
    QRadioButton* m_options[4] = {};
    QCheckBox* m_countOrder;
    QHBoxLayout* m_productBar;
};

// The buttons Op43(0..4) of the sales-cycle analysis on page 3, in two frames "分析周期":
// the cycle (按月/天, 按天/时, 按周/天) and the measure (按数量, 按金额). The frame
// "产品选择" takes the shell's product box and Com(52).
class CyclePanel : public QWidget
{
    Q_OBJECT

public:
    explicit CyclePanel(QWidget* parent = nullptr);

    QRadioButton* option(int i) const;
    CycleKind cycle() const;
    CycleMeasure measure() const;
    QHBoxLayout* productBar() const { return m_productBar; }

signals:
    // A cycle or measure was clicked (the analysis waits for Com(44)).
    void optionClicked();

private:
    QRadioButton* m_options[5] = {};
    QHBoxLayout* m_productBar;
};

// The analyses behind the page buttons: each runs into the page's grid and shows the
// result in its chart; a run that has nothing to show leaves grid and chart as they were.
// False when nothing new is shown.
bool CompareTradeTotalsOnPage(
    ChartPage& page, TotalsGrouping grouping, TotalsMeasure measure, store::DB_Operate& db);
bool CompareTradesByPeriodOnPage(
    ChartPage& page, const QString& idList, const PeriodComparison& options, store::DB_Operate& db);
bool RunCustomerStatisticsOnPage(ChartPage& page, CustomerGrouping grouping, store::DB_Operate& db,
    CustomerOrder order = CustomerOrder::Natural);
// Sets the range boxes to the whole cycle before drawing.
bool RunSalesCycleAnalysisOnPage(ChartPage& page, const QString& idList, CycleKind kind,
    CycleMeasure measure, store::DB_Operate& db);

} // namespace quel::analysis
