#include "analysis/ui/trade_panels.h"

#include "analysis/ui/chart_page.h"
#include "analysis/ui/chart_view.h"
#include "grid/ui/grid_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quel::analysis {

namespace {

struct OptionText
{
    const char* caption;
    const char* tooltip;
};

// Makes the buttons of one exclusive set inside a layout; the first listed is set.
void addOptions(QWidget* owner, QLayout* layout, const QString& prefix, int first,
    std::initializer_list<OptionText> texts, QRadioButton** buttons)
{
    auto* group = new QButtonGroup(owner);
    int i = first;
    for (const OptionText& text : texts) {
        auto* option = new QRadioButton(QString::fromUtf8(text.caption), owner);
        option->setObjectName(prefix + QString::number(i));
        if (text.tooltip)
            option->setToolTip(QString::fromUtf8(text.tooltip));
        group->addButton(option);
        layout->addWidget(option);
        buttons[i] = option;
        ++i;
    }
    buttons[first]->setChecked(true);
}

QGroupBox* frame(QWidget* parent, const QString& caption, const QString& tooltip = {})
{
    auto* box = new QGroupBox(caption, parent);
    if (!tooltip.isEmpty())
        box->setToolTip(tooltip);
    return box;
}

QHBoxLayout* rowOf(QWidget* box)
{
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(4, 2, 4, 2);
    return row;
}

} // namespace

TradePanel::TradePanel(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    QGroupBox* totals = frame(this, QStringLiteral("交易总量比较"),
        QStringLiteral("对不同的产品/店铺按金额/交易数总和进行对比分析。"));
    m_totalsBar = rowOf(totals);
    addOptions(this, m_totalsBar, QStringLiteral("OP41_"), 0,
        { { "产品", "按产品分析（所有同名产品作为看作同一产品）。" },
            { "店铺", "按店铺进行分析。" } },
        m_options);
    layout->addWidget(totals);

    QGroupBox* periods = frame(this, QStringLiteral("产品交易对比"),
        QStringLiteral("对产品的金额、交易量、均价按不同的时间周期进行比较分析。"));
    auto* column = new QVBoxLayout(periods);
    column->setContentsMargins(4, 2, 4, 2);
    m_productBar = new QHBoxLayout;
    column->addLayout(m_productBar);
    auto* choices = new QHBoxLayout;
    column->addLayout(choices);
    addOptions(this, choices, QStringLiteral("OP41_"), 2,
        { { "交易金额", "对选择产品的交易金额进行比较。" },
            { "交易数量", "对选择产品的交易数量进行比较。" },
            { "交易均价", "对选择产品的交易均价进行比较。" } },
        m_options);
    QGroupBox* unit = frame(periods, QStringLiteral("周期"));
    addOptions(this, rowOf(unit), QStringLiteral("OP41_"), 5,
        { { "天", "按天进行统计。" }, { "周", "按周统计。" }, { "月", "按月统计。" } }, m_options);
    choices->addWidget(unit);
    addOptions(this, choices, QStringLiteral("OP41_"), 8,
        { { "产品", nullptr }, { "店铺", nullptr } }, m_options);
    // The period comparison starts by month; the unit is the one set apart from the first.
    m_options[7]->setChecked(true);
    layout->addWidget(periods, 1);

    for (int i = 0; i < 10; ++i) {
        connect(m_options[i], &QRadioButton::clicked, this, [this, i] {
            if (i < 2)
                emit totalsOptionClicked();
            else
                emit periodOptionClicked();
        });
    }
}

QRadioButton* TradePanel::option(int i) const
{
    return i >= 0 && i < 10 ? m_options[i] : nullptr;
}

TotalsGrouping TradePanel::totalsGrouping() const
{
    return m_options[0]->isChecked() ? TotalsGrouping::Product : TotalsGrouping::Shop;
}

PeriodComparison TradePanel::periodOptions() const
{
    PeriodComparison o;
    o.measure = m_options[2]->isChecked() ? TradeMeasure::Amount
        : m_options[3]->isChecked()       ? TradeMeasure::Quantity
                                          : TradeMeasure::Average;
    o.unit = m_options[5]->isChecked() ? PeriodUnit::Day
        : m_options[6]->isChecked()    ? PeriodUnit::Week
                                       : PeriodUnit::Month;
    o.series = m_options[8]->isChecked() ? TradeSeries::Product : TradeSeries::Shop;
    return o;
}

CustomerPanel::CustomerPanel(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QGroupBox* products = frame(this, QStringLiteral("产品选择"));
    m_productBar = rowOf(products);
    layout->addWidget(products, 1);
    QGroupBox* targets = frame(this, QStringLiteral("分析目标"));
    QHBoxLayout* targetRow = rowOf(targets);
    addOptions(this, targetRow, QStringLiteral("Op42_"), 0,
        { { "省份", "分析买家的省份分布情况。" }, { "区域", "分析买家的区域分布情况。" },
            { "信用度", "分析不同信用等级的买家数量比较。" },
            { "活跃度", "分析不同活跃度买家的数量比较。" } },
        m_options);
    m_countOrder = new QCheckBox(QStringLiteral("按数量排序"), this);
    m_countOrder->setObjectName(QStringLiteral("CountOrder"));
    m_countOrder->setToolTip(QStringLiteral("所有分组都按买家数量从多到少排列。"));
    targetRow->addWidget(m_countOrder);
    layout->addWidget(targets);
    for (QRadioButton* option : m_options)
        connect(option, &QRadioButton::clicked, this, &CustomerPanel::optionClicked);
    connect(m_countOrder, &QCheckBox::clicked, this, &CustomerPanel::optionClicked);
}

CustomerOrder CustomerPanel::order() const
{
    return m_countOrder->isChecked() ? CustomerOrder::Count : CustomerOrder::Natural;
}

QRadioButton* CustomerPanel::option(int i) const
{
    return i >= 0 && i < 4 ? m_options[i] : nullptr;
}

CustomerGrouping CustomerPanel::grouping() const
{
    const CustomerGrouping groupings[4] = { CustomerGrouping::Province, CustomerGrouping::Region,
        CustomerGrouping::Credit, CustomerGrouping::Activity };
    for (int i = 0; i < 4; ++i) {
        if (m_options[i]->isChecked())
            return groupings[i];
    }
    return CustomerGrouping::Province;
}

CyclePanel::CyclePanel(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QGroupBox* products = frame(this, QStringLiteral("产品选择"));
    m_productBar = rowOf(products);
    layout->addWidget(products, 1);
    QGroupBox* cycles = frame(this, QStringLiteral("分析周期"));
    addOptions(this, rowOf(cycles), QStringLiteral("Op43_"), 0,
        { { "按月/天", nullptr }, { "按天/时", nullptr }, { "按周/天", nullptr } }, m_options);
    layout->addWidget(cycles);
    QGroupBox* measures = frame(this, QStringLiteral("分析周期"));
    addOptions(this, rowOf(measures), QStringLiteral("Op43_"), 3,
        { { "按数量", nullptr }, { "按金额", nullptr } }, m_options);
    // The amount is what the grid heads first ("售出金额").
    m_options[4]->setChecked(true);
    layout->addWidget(measures);
    for (QRadioButton* option : m_options)
        connect(option, &QRadioButton::clicked, this, &CyclePanel::optionClicked);
}

QRadioButton* CyclePanel::option(int i) const
{
    return i >= 0 && i < 5 ? m_options[i] : nullptr;
}

CycleKind CyclePanel::cycle() const
{
    if (m_options[1]->isChecked())
        return CycleKind::HoursOfDay;
    if (m_options[2]->isChecked())
        return CycleKind::DaysOfWeek;
    return CycleKind::DaysOfMonth;
}

CycleMeasure CyclePanel::measure() const
{
    return m_options[3]->isChecked() ? CycleMeasure::Quantity : CycleMeasure::Amount;
}

bool CompareTradeTotalsOnPage(
    ChartPage& page, TotalsGrouping grouping, TotalsMeasure measure, store::DB_Operate& db)
{
    const AnalysisResult result = CompareTradeTotals(
        *page.gridModel(), db, grouping, measure, page.gridView()->textMeasure());
    if (!result.ready)
        return false;
    page.showResult(result.title, result.showHint, result.mark);
    return true;
}

bool CompareTradesByPeriodOnPage(
    ChartPage& page, const QString& idList, const PeriodComparison& options, store::DB_Operate& db)
{
    const AnalysisResult result = CompareTradesByPeriod(
        *page.gridModel(), db, idList, options, page.gridView()->textMeasure());
    if (!result.ready)
        return false;
    page.showResult(result.title, result.showHint, result.mark);
    return true;
}

bool RunCustomerStatisticsOnPage(
    ChartPage& page, CustomerGrouping grouping, store::DB_Operate& db, CustomerOrder order)
{
    const AnalysisResult result = RunCustomerStatistics(
        *page.gridModel(), db, grouping, page.gridView()->textMeasure(), order);
    if (!result.ready)
        return false;
    page.showResult(result.title, result.showHint, result.mark);
    return true;
}

bool RunSalesCycleAnalysisOnPage(ChartPage& page, const QString& idList, CycleKind kind,
    CycleMeasure measure, store::DB_Operate& db)
{
    const AnalysisResult result = RunSalesCycleAnalysis(
        *page.gridModel(), db, idList, kind, measure, page.gridView()->textMeasure());
    if (!result.ready)
        return false;
    page.setRange({ result.rangeStart.toInt(), result.rangeEnd.toInt() });
    page.showResult(result.title, result.showHint, result.mark);
    return true;
}

} // namespace quel::analysis
