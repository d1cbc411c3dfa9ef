#include "search/product_search.h"

#include "core/feedback.h"
#include "core/text_files.h"
#include "search/product_store.h"
#include "search/result_page.h"
#include "search/search_browser.h"
#include "simplify/rule_store.h"
#include "store/db_operate.h"

#include <QElapsedTimer>
#include <QSet>
#include <algorithm>

namespace quel::search {

namespace {

const QString kStarting = QStringLiteral("正在搜索下载相关产品资讯……");
const QString kSearching = QStringLiteral("正在搜索下载相关产品资讯(关闭进度条需中止搜索)……");
const QString kPageFailed = QStringLiteral("下载网页失败！");
const QString kStoreFailed = QStringLiteral("保存搜索结果失败！");
const QString kSearchForm = QStringLiteral("mainform");
const QString kResultMarker = QStringLiteral(">页<");

} // namespace

ProductSearch::ProductSearch(store::DB_Operate& db, SearchBrowser& browser, SearchOptions options)
    : m_db(db)
    , m_browser(browser)
    , m_options(std::move(options))
{ }

QString ProductSearch::noItemsMessage(const QString& keyword)
{
    return QStringLiteral("没找到含有关键词“") + keyword + QStringLiteral("”的产品！");
}

QString PageFailedMessage(const QString& url, const QString& reason)
{
    return kPageFailed + QStringLiteral("\n地址：") + url + QStringLiteral("\n原因：") + reason;
}

SearchReport ProductSearch::run(const QString& keyword, const QString& nick)
{
    m_rules = simplify::LoadNameRuleSet(m_db);
    core::Feedback& feedback = m_db.feedback();
    feedback.indicatorStart(kStarting, 100, 0);
    m_browser.place();
    const SearchReport report = runPages(keyword, nick);
    // The progress window and the page view go before anything is said, so that no message
    // ever waits behind them.
    feedback.indicatorClose();
    m_browser.hide();
    if (!report.message.isEmpty())
        feedback.message(report.message);
    return report;
}

bool ProductSearch::pageFailed(SearchReport& report, const QString& url)
{
    const QString failure = m_browser.loadFailure();
    if (failure.isEmpty())
        return false;
    report.end = SearchEnd::PageFailed;
    report.failedUrl = url.isEmpty() ? m_browser.location() : url;
    report.failure = failure;
    report.message = PageFailedMessage(report.failedUrl, failure);
    return true;
}

std::optional<QString> ProductSearch::submitSearch(
    const QString& keyword, const QString& nick, SearchReport& report)
{
    m_browser.navigateTo(m_options.searchPageUrl);
    if (!m_db.feedback().isIndicatorOpen()
        || !m_browser.waitForPage(
            m_options.searchPageBudget, true, QStringLiteral("name=Submit>"))) {
        report.end = SearchEnd::Cancelled;
        return std::nullopt;
    }
    if (pageFailed(report, m_options.searchPageUrl))
        return std::nullopt;

    if (!m_browser.setFormField(kSearchForm, QStringLiteral("q"), keyword)
        || !m_browser.setFormField(kSearchForm, QStringLiteral("nick"), nick)) {
        report.message = kPageFailed;
        report.end = SearchEnd::FormFailed;
        return std::nullopt;
    }
    m_browser.clearTag();
    if (!m_browser.clickFormButton(
            kSearchForm, QStringLiteral("  搜 索  "), QStringLiteral("submit"))) {
        report.message = kPageFailed;
        report.end = SearchEnd::FormFailed;
        return std::nullopt;
    }
    m_browser.pauseUntilChange(m_options.submitPauseMs);
    // A closed progress window must not be opened again by the next start.
    if (!m_browser.waitForPage(m_options.resultPageBudget, true, kResultMarker)) {
        report.end = SearchEnd::Cancelled;
        return std::nullopt;
    }
    if (pageFailed(report, QString()))
        return std::nullopt;
    return m_browser.bodyHtml();
}

std::optional<QString> ProductSearch::nextPage(PageWalk& walk, SearchReport& report)
{
    const QString next
        = m_browser.findElementAndClick(QStringLiteral("下一页"), false, QStringLiteral("A"));
    // The pager promised more pages than there are links to: the list has ended.
    if (next.isEmpty()) {
        report.end = SearchEnd::Finished;
        return std::nullopt;
    }
    if (walk.followed.contains(next)) {
        report.end = SearchEnd::Looped;
        return std::nullopt;
    }
    walk.followed.insert(next);
    m_browser.navigateTo(QStringLiteral("about:blank"));
    m_browser.navigateTo(next);
    m_browser.clearTag();
    if (!m_browser.waitForPage(m_options.resultPageBudget, true, kResultMarker)) {
        report.end = SearchEnd::Cancelled;
        return std::nullopt;
    }
    if (pageFailed(report, next))
        return std::nullopt;
    return m_browser.bodyHtml();
}

bool ProductSearch::storePage(const QString& markup, int page, const ItemContext& context,
    db::Connection& conn, PageWalk& walk, SearchReport& report)
{
    core::Feedback& feedback = m_db.feedback();
    const PreparedResultPage prepared = PrepareResultPage(markup);
    if (prepared.items.isEmpty()) {
        report.message = noItemsMessage(context.keyword);
        core::SaveTextFile(prepared.errorCopy, m_options.errorFile);
        report.end = SearchEnd::NoItems;
        return false;
    }

    QList<SearchedProduct> products;
    bool cancelled = false;
    for (const QString& item : prepared.items) {
        if (std::optional<SearchedProduct> product = ParseSearchItem(item, context))
            products.append(*product);
        if (!feedback.isIndicatorOpen()) {
            cancelled = true;
            break;
        }
    }
    // A pager that leads back to a page read before lists items stored already.
    const bool seenBefore = !products.isEmpty()
        && std::all_of(products.cbegin(), products.cend(),
            [&walk](const SearchedProduct& p) { return walk.codes.contains(p.pCode); });
    if (seenBefore) {
        report.end = SearchEnd::Looped;
        return false;
    }
    for (const SearchedProduct& p : std::as_const(products))
        walk.codes.insert(p.pCode);
    QElapsedTimer storeTime;
    storeTime.start();
    const int inserted = SaveSearchedPage(m_db, conn, products, m_rules, &report.historyNs);
    report.storeNs += storeTime.nsecsElapsed();
    if (inserted < 0) {
        report.message = kStoreFailed;
        report.end = SearchEnd::StoreFailed;
        return false;
    }
    report.inserted += inserted;
    report.updated += int(products.size()) - inserted;
    walk.stored += int(products.size());
    ++report.pagesStored;
    if (m_observer)
        m_observer({ page, report.pageCount, int(products.size()), report.inserted, walk.stored });
    if (cancelled || !feedback.isIndicatorOpen()) {
        report.end = SearchEnd::Cancelled;
        return false;
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));
    return true;
}

SearchReport ProductSearch::runPages(const QString& keyword, const QString& nick)
{
    SearchReport report;
    std::optional<QString> markup = submitSearch(keyword, nick, report);
    if (!markup)
        return report;

    report.pageCount = ReadPageCount(*markup);
    // The count goes by pages, so that it moves also when a search finds only known products.
    m_db.feedback().indicatorStart(kSearching, report.pageCount, 0);

    db::Connection conn;
    if (!m_db.OpenConnection(conn)) {
        report.end = SearchEnd::StoreFailed;
        return report;
    }
    const ItemContext context { keyword, nick, m_options.mallPrefix,
        m_options.now.isEmpty() ? SearchTimeText() : m_options.now };
    PageWalk walk;
    for (int page = 1; page <= report.pageCount; ++page) {
        if (page > 1 && !(markup = nextPage(walk, report)))
            return report;
        if (!storePage(*markup, page, context, conn, walk, report))
            return report;
    }
    report.end = SearchEnd::Finished;
    return report;
}

QString SearchSummary(const SearchReport& report)
{
    const QString counts
        = QStringLiteral("新增产品 %1 个，更新产品 %2 个").arg(report.inserted).arg(report.updated);
    switch (report.end) {
    case SearchEnd::Finished:
        return QStringLiteral("产品搜索完成：") + counts + QStringLiteral("。");
    case SearchEnd::NoItems:
        return QStringLiteral("产品搜索结束：") + counts + QStringLiteral("（结果页上没有产品）。");
    case SearchEnd::Cancelled:
        return QStringLiteral("产品搜索已中止：") + counts + QStringLiteral("，已保存的产品保留。");
    case SearchEnd::FormFailed:
        return QStringLiteral("产品搜索未能开始：无法打开搜索页。");
    case SearchEnd::StoreFailed:
        return QStringLiteral("产品搜索中断：搜索结果无法保存；") + counts + QStringLiteral("。");
    case SearchEnd::Looped:
        return QStringLiteral("产品搜索中断：") + counts
            + QStringLiteral("（“下一页”回到了已读过的结果页，搜索结果可能不全）。");
    case SearchEnd::PageFailed:
        return QStringLiteral("产品搜索失败：下载网页失败（") + report.failedUrl
            + QStringLiteral("，") + report.failure + QStringLiteral("）；") + counts
            + QStringLiteral("。");
    }
    return counts;
}

} // namespace quel::search
