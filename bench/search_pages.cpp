// A keyword search over 25 result pages of 40 items from the demo marketplace on loopback,
// answering at once: how long it takes, how many products it stores per second, and how the
// time divides between waiting for pages and parsing and storing them.
#include "core/feedback.h"
#include "db/database.h"
#include "market/test_server.h"
#include "search/product_search.h"
#include "search/web_search_browser.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "web/browser.h"
#include "web/market.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using namespace quel::search;

// Counts the time spent in the browser's operations: loading, waiting and serialising.
class TimedBrowser : public SearchBrowser
{
public:
    explicit TimedBrowser(SearchBrowser& inner)
        : m_inner(inner)
    { }

    void navigateTo(const QString& address) override
    {
        m_navigate += timed([&] { m_inner.navigateTo(address); });
    }
    bool waitForPage(int budget, bool checkCancel, const QString& marker) override
    {
        bool result = false;
        m_wait += timed([&] { result = m_inner.waitForPage(budget, checkCancel, marker); });
        return result;
    }
    QString bodyHtml() override
    {
        QString html;
        m_body += timed([&] { html = m_inner.bodyHtml(); });
        return html;
    }
    void clearTag() override { m_inner.clearTag(); }
    bool setFormField(const QString& form, const QString& field, const QString& value) override
    {
        return m_inner.setFormField(form, field, value);
    }
    bool clickFormButton(const QString& form, const QString& caption, const QString& type) override
    {
        return m_inner.clickFormButton(form, caption, type);
    }
    QString findElementAndClick(const QString& text, bool click, const QString& tag) override
    {
        QString href;
        timed([&] { href = m_inner.findElementAndClick(text, click, tag); });
        return href;
    }
    void pauseUntilChange(int ms) override
    {
        timed([&] { m_inner.pauseUntilChange(ms); });
    }

    qint64 browserNanoseconds() const { return m_nanoseconds; }
    qint64 navigateNanoseconds() const { return m_navigate; }
    qint64 waitNanoseconds() const { return m_wait; }
    qint64 bodyNanoseconds() const { return m_body; }

private:
    template <typename F> qint64 timed(F&& f)
    {
        QElapsedTimer timer;
        timer.start();
        f();
        const qint64 spent = timer.nsecsElapsed();
        m_nanoseconds += spent;
        return spent;
    }

    SearchBrowser& m_inner;
    qint64 m_nanoseconds = 0;
    qint64 m_navigate = 0;
    qint64 m_wait = 0;
    qint64 m_body = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quel::market::MarketOptions marketOptions = quel::market::MarketOptions::forTests();
    marketOptions.products = 1000; // the keyword below lists every item: 25 pages of 40
    quel::market::TestServer market(marketOptions);
    if (!market.isRunning()) {
        std::fprintf(stderr, "the demo marketplace did not start\n");
        return 1;
    }
    quel::web::SetMarket(quel::web::MarketAt(QString::fromStdString(market.baseUrl())));

    QTemporaryDir folder;
    QString error;
    if (!quel::store::writeTemplate(folder.filePath(QStringLiteral("DATA.mdb")), &error)) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(error));
        return 1;
    }
    quel::store::Catalogue catalogue(folder.path());
    catalogue.LoadCurrentDatabase();
    quel::core::SilentFeedback feedback;
    quel::store::DB_Operate db(catalogue, feedback);

    quel::web::Browser browser;
    WebSearchBrowser engine(browser, feedback);
    TimedBrowser timed(engine);
    SearchOptions options;
    options.searchPageUrl = quel::web::Market().searchPage();
    options.mallPrefix = quel::web::Market().mallPrefix;
    options.errorFile = folder.filePath(QStringLiteral("Error.ASP"));
    ProductSearch search(db, timed, options);

    QElapsedTimer total;
    total.start();
    const SearchReport report
        = search.run(QString::fromStdString(quel::market::Fixtures::everyItemKeyword()), QString());
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    const double waitShare
        = 100.0 * double(timed.browserNanoseconds()) / double(total.nsecsElapsed());
    const int stored = report.inserted + report.updated;

    std::printf("pages: %d pages\n", report.pagesStored);
    std::printf("items_stored: %d items\n", stored);
    std::printf("total: %.3f s\n", seconds);
    std::printf("items_per_s: %.1f items/s\n", seconds > 0 ? stored / seconds : 0.0);
    std::printf("wait_share: %.1f %%\n", waitShare);
    std::printf("parse_store_share: %.1f %%\n", 100.0 - waitShare);
    const double pages = report.pagesStored > 0 ? report.pagesStored : 1;
    std::printf("navigate_per_page: %.1f ms\n", double(timed.navigateNanoseconds()) / 1e6 / pages);
    std::printf("wait_per_page: %.1f ms\n", double(timed.waitNanoseconds()) / 1e6 / pages);
    std::printf("serialise_per_page: %.1f ms\n", double(timed.bodyNanoseconds()) / 1e6 / pages);
    // Of the time spent storing the result pages, the part that recorded the price history.
    std::printf("store_per_page: %.2f ms\n", double(report.storeNs) / 1e6 / pages);
    std::printf("history_share: %.1f %%\n",
        report.storeNs > 0 ? 100.0 * double(report.historyNs) / double(report.storeNs) : 0.0);
    quel::store::DatabasePool::shared().releaseAll();
    return report.end == SearchEnd::Finished ? 0 : 1;
}
