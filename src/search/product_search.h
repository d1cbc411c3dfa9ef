#pragma once

#include "simplify/name_rules.h"

#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace quel::db {
class Connection;
}

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

class SearchBrowser;
struct ItemContext;

struct SearchOptions
{
    QString searchPageUrl; // the marketplace's advanced-search page
    QString mallPrefix; // items linking under it are skipped
    QString errorFile = QStringLiteral("Error.ASP"); // where a page without items is kept
    int searchPageBudget = 2000;
    int resultPageBudget = 10000;
    // How long to wait at most for the submitted form's page to start loading.
    int submitPauseMs = 5000;
    // The Dat text of the search (and so the day its observations are recorded under);
    // empty: the time the search stores its first page.
    QString now;
};

// How a search ended.
enum class SearchEnd
{
    Finished, // every page was read
    NoItems, // a page listed nothing; its markup went to the error file
    Cancelled, // the progress window was closed
    FormFailed, // the search page had no usable form
    StoreFailed, // a page's products could not be stored
    // The pager led back: a next link already followed, or a page whose every item this
    // search had stored already. What was stored stays; the list may be incomplete.
    Looped,
    PageFailed, // a page did not load (no connection, timed out, an HTTP error status)
};

struct SearchReport
{
    SearchEnd end = SearchEnd::Finished;
    int pageCount = 0; // from the first result page
    int pagesStored = 0;
    int inserted = 0;
    int updated = 0;
    qint64 storeNs = 0; // time spent storing result pages
    qint64 historyNs = 0; // of which recording the price history
    // With PageFailed: the page's address and why it did not load.
    QString failedUrl;
    QString failure;
    // What the search told the user at its end (after its progress window had closed).
    QString message;
};

// "下载网页失败！" with the page's address and the reason on lines of their own.
QString PageFailedMessage(const QString& url, const QString& reason);

// The one line the main window shows after a search: how it ended, products added and
// updated.
QString SearchSummary(const SearchReport& report);

// Progress of a running search, after each stored page.
struct SearchProgress
{
    int page = 0;
    int pageCount = 0;
    int pageItems = 0; // products stored from this page
    int inserted = 0; // new products so far
    int stored = 0; // products stored so far (new and updated)
};

// The keyword search: fills the marketplace's search form, walks the result pages and
// stores every listed product with its short name. Runs on the calling thread; every wait
// lets events run, and closing the progress window stops it within one page load, keeping
// the pages stored so far.
class ProductSearch
{
public:
    ProductSearch(store::DB_Operate& db, SearchBrowser& browser, SearchOptions options);

    void setProgressObserver(std::function<void(const SearchProgress&)> observer)
    {
        m_observer = std::move(observer);
    }

    // Searches by keyword and/or nickname with the rule lists loaded now.
    SearchReport run(const QString& keyword, const QString& nick);

    // The message for a result page without items.
    static QString noItemsMessage(const QString& keyword);

private:
    // What one search walks past: the next links followed and the items stored.
    struct PageWalk
    {
        QSet<QString> followed;
        QSet<QString> codes;
        int stored = 0;
    };

    SearchReport runPages(const QString& keyword, const QString& nick);
    // Fills and sends the search form: the first result page, or none with the report's end.
    std::optional<QString> submitSearch(
        const QString& keyword, const QString& nick, SearchReport& report);
    // Follows the pager to the next result page, or none with the report's end.
    std::optional<QString> nextPage(PageWalk& walk, SearchReport& report);
    // Reads a result page's items and stores them; false with the report's end.
    bool storePage(const QString& markup, int page, const ItemContext& context,
        db::Connection& conn, PageWalk& walk, SearchReport& report);
    // True, with the report filled, when the page just waited for did not load.
    bool pageFailed(SearchReport& report, const QString& url);

    store::DB_Operate& m_db;
    SearchBrowser& m_browser;
    SearchOptions m_options;
    simplify::NameRuleSet m_rules;
    std::function<void(const SearchProgress&)> m_observer;
};

} // namespace quel::search
