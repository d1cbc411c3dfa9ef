#include "shell/analysis_page.h"

#include "analysis/ui/overview_page.h"
#include "analysis/ui/product_panel.h"
#include "analysis/ui/trade_panels.h"
#include "analysis/ui/trend_panel.h"
#include "grid/ui/grid_view.h"
#include "shell/command_table.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quel::shell {

AnalysisSubPage::AnalysisSubPage(int index, QWidget* parent)
    : analysis::ChartPage(index, parent)
{ }

QWidget* AnalysisSubPage::grid() const
{
    return gridView();
}

QAbstractButton* AnalysisSubPage::addCommand(int index)
{
    QAbstractButton* button = makeCommandButton(index, this);
    addToBar(button);
    connect(button, &QAbstractButton::clicked, this, [this, index] { emit command(index); });
    return button;
}

QLineEdit* AnalysisSubPage::addProductBox(const QString& objectName)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(objectName);
    box->setReadOnly(true);
    box->setMinimumWidth(80);
    addToBar(new QLabel(QStringLiteral("产品："), this));
    addToBar(box, 1);
    return box;
}

QAbstractButton* AnalysisSubPage::addCommand(int index, QBoxLayout* into)
{
    QAbstractButton* button = makeCommandButton(index, this);
    into->addWidget(button);
    connect(button, &QAbstractButton::clicked, this, [this, index] { emit command(index); });
    return button;
}

QLineEdit* AnalysisSubPage::addProductBox(
    const QString& objectName, const QString& tooltip, QBoxLayout* into)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(objectName);
    box->setToolTip(tooltip);
    box->setReadOnly(true);
    box->setMinimumWidth(80);
    into->addWidget(new QLabel(QStringLiteral("产品："), this));
    into->addWidget(box, 1);
    return box;
}

AnalysisPage::AnalysisPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Pic_4"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SST1"));
    const QString captions[kPages] = { QStringLiteral("产品统计"), QStringLiteral("交易对比"),
        QStringLiteral("买家统计"), QStringLiteral("销售周期"), QStringLiteral("价格走势") };
    for (int i = 0; i < kPages; ++i) {
        AnalysisSubPage* page = new AnalysisSubPage(i, m_tabs);
        m_pages[i] = page;
        m_tabs->addTab(page, captions[i]);
        connect(page, &AnalysisSubPage::command, this, &AnalysisPage::command);
        connect(
            page, &AnalysisSubPage::gridExportRequested, this, &AnalysisPage::gridExportRequested);
        connect(page, &AnalysisSubPage::chartExportRequested, this,
            &AnalysisPage::chartExportRequested);
        connect(page, &AnalysisSubPage::hintChanged, this, &AnalysisPage::hintChanged);
    }

    // Product statistics run again at once when a measure or grouping is clicked.
    m_productPanel = new analysis::ProductStatsPanel(m_pages[0]);
    m_pages[0]->addToBar(m_productPanel);
    connect(m_productPanel, &analysis::ProductStatsPanel::optionsClicked, this,
        [this] { emit command(40); });
    m_pages[0]->addCommand(40);
    m_pages[0]->addStretchToBar(1);

    // Trade statistics: the totals beside their grouping options, the period comparison
    // with its product box and picker; the options themselves start the runs (wired with
    // the commands).
    m_tradePanel = new analysis::TradePanel(m_pages[1]);
    m_pages[1]->addToBar(m_tradePanel, 1);
    for (int index : { 41, 42 })
        m_pages[1]->addCommand(index, m_tradePanel->totalsBar());
    m_pages[1]->addProductBox(QStringLiteral("tPName2"),
        QStringLiteral("要进行交易对比的产品名称。"), m_tradePanel->productBar());
    m_pages[1]->addCommand(43, m_tradePanel->productBar());

    m_customerPanel = new analysis::CustomerPanel(m_pages[2]);
    m_pages[2]->addToBar(m_customerPanel, 1);
    m_pages[2]->addProductBox(QStringLiteral("tPName3"),
        QStringLiteral("要进行买家对比的产品名称。"), m_customerPanel->productBar());
    m_pages[2]->addCommand(51, m_customerPanel->productBar());

    m_cyclePanel = new analysis::CyclePanel(m_pages[3]);
    m_pages[3]->addToBar(m_cyclePanel, 1);
    m_pages[3]->addProductBox(QStringLiteral("tPName4"),
        QStringLiteral("要进行买家对比的产品名称。"), m_cyclePanel->productBar());
    m_pages[3]->addCommand(52, m_cyclePanel->productBar());
    m_pages[3]->addCommand(44);

    // The trend page: its products, their picker, the measure (a click draws again) and the
    // command that draws.
    m_trendProducts = m_pages[4]->addProductBox(QStringLiteral("tPName5"));
    m_pages[4]->addCommand(45);
    m_trendPanel = new analysis::TrendPanel(m_pages[4]);
    m_pages[4]->addToBar(m_trendPanel);
    connect(
        m_trendPanel, &analysis::TrendPanel::optionsClicked, this, [this] { emit command(46); });
    m_pages[4]->addCommand(46);

    m_overview = new analysis::OverviewPage(m_tabs);
    m_tabs->addTab(m_overview, QStringLiteral("市场概览"));
    connect(m_overview, &analysis::OverviewPage::gridExportRequested, this,
        &AnalysisPage::gridExportRequested);
    connect(m_overview, &analysis::OverviewPage::chartExportRequested, this,
        &AnalysisPage::chartExportRequested);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}

AnalysisSubPage* AnalysisPage::subPage(int i) const
{
    return (i >= 0 && i < kPages) ? m_pages[i] : nullptr;
}

} // namespace quel::shell
