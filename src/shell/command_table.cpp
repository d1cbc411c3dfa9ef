#include "shell/command_table.h"

#include "analysis/customer_stats.h"
#include "analysis/ui/chart_view.h"
#include "analysis/ui/product_panel.h"
#include "analysis/ui/trade_panels.h"
#include "analysis/ui/trend_panel.h"
#include "download/download_summary.h"
#include "download/ui/download_commands.h"
#include "download/ui/download_window.h"
#include "search/ui/search_commands.h"
#include "shell/analysis_page.h"
#include "shell/list_pages.h"
#include "shell/main_window.h"
#include "shell/overview_commands.h"
#include "views/ui/product_chooser.h"
#include "widgets/window_helpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <memory>

namespace quel::shell {

namespace {

// clang-format off
using views::Action;
const std::vector<CommandEntry> kCommands = {
    { 0, 0, -1, "按用户输入的关键词搜索产品，并下载基本资讯。", Action::Search },
    { 1, 0, -1, "刷新显示产品列表。", Action::Refresh },
    { 2, 0, -1, "修改产品所属类别(选中多行后，按此键可批量修改)。", Action::ChangeCategory },
    { 3, 0, -1, "删除产品资讯(选中多行后可批量删除)。", Action::Delete },
    { 10, 1, -1, "重新下载所有产品详细资讯（按最后下载时间顺序进行，先更新数据最老的产品）。", Action::DownloadAll },
    { 11, 1, -1, "刷新显示产品详细资讯列表。", Action::Refresh },
    { 12, 1, -1, "删除产品资讯（选中多行后可批量删除）。", Action::Delete },
    { 13, 1, -1, "下载未下载过详情的产品详细资讯。", Action::DownloadMissing },
    { 21, 2, -1, "选择要显示交易记录的产品名称。", Action::PickProducts },
    { 30, 3, -1, "选择要显示买家记录的产品名称。", Action::PickProducts },
    { 31, 3, -1, "补充下载未下载过的买家资讯信息。", Action::DownloadMissing },
    { 32, 3, -1, "更新下载所有买家的资讯信息。", Action::DownloadAll },
    { 40, 5, 0, "按照统计内容和统计方式设置开始进行分析。", Action::RunAnalysis },
    { 41, 5, 1, "对产品或店铺按销售金额进行比较分析。", Action::RunAnalysis },
    { 42, 5, 1, "对产品或店铺按销售数量进行比较分析。", Action::RunAnalysis },
    { 43, 5, 1, "选择要进行交易对比的产品名称。", Action::PickProducts },
    { 44, 5, 3, "按照统计内容和统计方式设置开始进行分析。", Action::RunAnalysis },
    { 45, 5, 4, "选择要查看价格走势的产品名称。", Action::PickProducts },
    { 46, 5, 4, "按照走势内容显示所选产品每天的价格或销量。", Action::RunAnalysis },
    { 51, 5, 2, "选择要进行买家对比的产品名称。", Action::PickProducts },
    { 52, 5, 3, "选择要进行买家对比的产品名称。", Action::PickProducts },
};
// clang-format on

} // namespace

const std::vector<CommandEntry>& commandEntries()
{
    return kCommands;
}

const CommandEntry* findCommandEntry(int index)
{
    for (const CommandEntry& entry : kCommands) {
        if (entry.index == index)
            return &entry;
    }
    return nullptr;
}

QAbstractButton* makeCommandButton(int index, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("Com_%1").arg(index));
    button->setAutoRaise(false);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(36, 36);
    if (const CommandEntry* entry = findCommandEntry(index)) {
        button->setToolTip(QString::fromUtf8(entry->tooltip));
        button->setIcon(views::actionIcon(entry->action));
    }
    return button;
}

void CommandTable::set(int index, Action action)
{
    m_byIndex[index] = std::move(action);
}

void CommandTable::setMenuAction(const QString& itemName, Action action)
{
    m_byName.insert(itemName, std::move(action));
}

bool CommandTable::run(int index) const
{
    const auto it = m_byIndex.find(index);
    if (it == m_byIndex.end() || !it->second)
        return false;
    it->second();
    return true;
}

bool CommandTable::runMenuAction(const QString& itemName) const
{
    const auto it = m_byName.constFind(itemName);
    if (it == m_byName.constEnd() || !*it)
        return false;
    (*it)();
    return true;
}

namespace {

const QString kChooseProductsFirst = QStringLiteral("请先选择产品");

// Trade statistics (page 1), customer statistics (page 2) and the sales cycle (page 3):
// their buttons, and the option clicks that run an analysis again at once. After each the
// page's chart has the focus, so that the arrow keys act on it.
void installAnalysisCommands(MainWindow* mf, CommandTable& table)
{
    AnalysisPage* analysis = mf->analysisPage();
    const auto focusChart = [analysis](int page) {
        analysis->subPage(page)->chart()->setFocus(Qt::OtherFocusReason);
    };
    const auto ids = [mf](const char* box) {
        return views::productBoxTag(mf->textBox(QString::fromLatin1(box)));
    };
    // Products chosen on one analysis page are offered on the next one that has none yet.
    auto lastChosen = std::make_shared<QString>();
    const auto pick = [mf, lastChosen](QLineEdit* box) {
        const bool picked = views::pickProducts(box, mf->db(), mf, *lastChosen);
        if (picked && !views::productBoxTag(box).isEmpty())
            *lastChosen = views::productBoxTag(box);
        return picked;
    };
    // An analysis of chosen products without any says so instead of drawing nothing: a
    // button in a message, an option click (which may come first) in the hint label.
    const auto haveProducts = [mf](const QString& chosenIds, bool asked = true) {
        if (!views::productIds(chosenIds).isEmpty())
            return true;
        if (asked)
            mf->feedback().message(kChooseProductsFirst);
        else
            mf->hintLabel()->setText(kChooseProductsFirst);
        return false;
    };

    const auto totals = [mf, analysis, focusChart](analysis::TotalsMeasure measure) {
        analysis::CompareTradeTotalsOnPage(
            *analysis->subPage(1), analysis->tradePanel()->totalsGrouping(), measure, mf->db());
        focusChart(1);
    };
    table.set(41, [totals] { totals(analysis::TotalsMeasure::Amount); });
    table.set(42, [totals] { totals(analysis::TotalsMeasure::Quantity); });
    table.set(43, [mf, pick, focusChart] {
        pick(mf->textBox(QStringLiteral("tPName2")));
        focusChart(1);
    });
    QObject::connect(analysis->tradePanel(), &analysis::TradePanel::totalsOptionClicked, mf,
        [mf] { mf->runCommand(41); });
    QObject::connect(analysis->tradePanel(), &analysis::TradePanel::periodOptionClicked, mf,
        [mf, analysis, ids, haveProducts, focusChart] {
            if (!haveProducts(ids("tPName2"), false))
                return;
            analysis::CompareTradesByPeriodOnPage(*analysis->subPage(1), ids("tPName2"),
                analysis->tradePanel()->periodOptions(), mf->db());
            focusChart(1);
        });

    const auto recount = [mf, analysis, focusChart] {
        analysis::RunCustomerStatisticsOnPage(*analysis->subPage(2),
            analysis->customerPanel()->grouping(), mf->db(), analysis->customerPanel()->order());
        focusChart(2);
    };
    table.set(51, [mf, ids, pick, recount] {
        if (pick(mf->textBox(QStringLiteral("tPName3")))
            && analysis::PrepareCustomerSet(mf->db(), ids("tPName3")))
            recount();
    });
    QObject::connect(
        analysis->customerPanel(), &analysis::CustomerPanel::optionClicked, mf, recount);

    table.set(52, [mf, pick, focusChart] {
        pick(mf->textBox(QStringLiteral("tPName4")));
        focusChart(3);
    });
    table.set(44, [mf, analysis, ids, haveProducts, focusChart] {
        if (!haveProducts(ids("tPName4")))
            return;
        const analysis::CyclePanel* panel = analysis->cyclePanel();
        analysis::RunSalesCycleAnalysisOnPage(
            *analysis->subPage(3), ids("tPName4"), panel->cycle(), panel->measure(), mf->db());
        focusChart(3);
    });
    QObject::connect(analysis->cyclePanel(), &analysis::CyclePanel::optionClicked, mf,
        [focusChart] { focusChart(3); });

    // The price trend on analysis page 4: picking products draws their trend at once.
    const auto drawTrend = [mf, analysis] {
        analysis::RunPriceTrendOnPage(
            *analysis->subPage(4), *analysis->trendPanel(), analysis->trendProducts(), mf->db());
    };
    table.set(45, [analysis, pick, drawTrend] {
        if (pick(analysis->trendProducts()))
            drawTrend();
    });
    table.set(46, [analysis, haveProducts, drawTrend] {
        if (haveProducts(views::productBoxTag(analysis->trendProducts())))
            drawTrend();
    });
}

} // namespace

void installCommands(MainWindow& window, CommandTable& table)
{
    MainWindow* mf = &window;

    // Lists: refills of the grids.
    table.set(1, [mf] { mf->fillList(0); });
    table.set(11, [mf] { mf->fillList(1); });

    // Download windows: the row filter travels in FormParameter. A window opens centred;
    // when it ends, the list in view shows what it brought and the hint label what it did.
    const auto openDownload = [mf](download::DownloadKind kind, bool all) {
        const QString condition = download::DownloadSession::conditionFor(kind, all);
        mf->formParameter() = condition;
        const bool opening = download::DownloadWindow::current() == nullptr;
        download::DownloadWindow* window
            = download::ShowDownloadWindow(kind, mf->formParameter(), mf->db(), mf->feedback(), mf);
        if (!window || !opening)
            return;
        QObject::connect(window, &download::DownloadWindow::ended, mf,
            [mf, kind, all](const download::DownloadTotals& totals) {
                mf->reportJobEnded(download::DownloadSummary(kind, all, totals));
            });
    };
    table.set(10, [openDownload] { openDownload(download::DownloadKind::Details, true); });
    table.set(13, [openDownload] { openDownload(download::DownloadKind::Details, false); });
    table.set(31, [openDownload] { openDownload(download::DownloadKind::Buyers, false); });
    table.set(32, [openDownload] { openDownload(download::DownloadKind::Buyers, true); });

    // Product search, category change and the rule editor (FormParameter "替换表").
    auto* finder = new search::SearchCommands(mf, mf->db(), &mf->formParameter());
    QObject::connect(finder, &search::SearchCommands::searchFinished, mf,
        [mf](const search::SearchReport& report) {
            mf->reportJobEnded(search::SearchSummary(report));
        });
    table.set(0, [finder] { finder->searchProducts(); });
    table.setMenuAction(QStringLiteral("M_DownByKey"), [finder] { finder->searchProducts(); });
    table.set(2, [mf, finder] {
        if (grid::GridModel* grid = search::SearchCommands::gridModelOf(mf->listPage(0)->grid()))
            finder->replaceCategory(*grid);
    });
    table.setMenuAction(QStringLiteral("m_Replace"), [finder] { finder->openNameRules(); });

    // Product statistics on analysis page 0.
    table.set(40, [mf] {
        AnalysisPage* analysis = mf->analysisPage();
        analysis::RunProductStatisticsOnPage(
            *analysis->subPage(0), *analysis->productPanel(), mf->db());
    });
    installAnalysisCommands(mf, table);

    installOverviewCommands(mf);
}

} // namespace quel::shell
