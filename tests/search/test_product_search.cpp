#include "market/test_server.h"
#include "search/batch_search.h"
#include "search/fixture_db.h"
#include "search/product_search.h"
#include "search/web_search_browser.h"
#include "simplify/rule_store.h"
#include "web/browser.h"
#include "web/market.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <gtest/gtest.h>

using namespace quel::search;
using quel::test::FixtureDb;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString q(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

class ProductSearchTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_product_search";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            s_app = new QCoreApplication(argc, argv);
        s_market = new quel::market::TestServer();
    }
    static void TearDownTestSuite()
    {
        delete s_market;
        s_market = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_market->isRunning());
        quel::web::SetMarket(quel::web::MarketAt(q(s_market->baseUrl())));
    }

    SearchOptions options() const
    {
        SearchOptions o;
        o.searchPageUrl = quel::web::Market().searchPage();
        o.mallPrefix = quel::web::Market().mallPrefix;
        o.errorFile = m_db.folder() + q("/Error.ASP");
        return o;
    }

    SearchReport search(const QString& keyword, const QString& nick, const QString& now = {})
    {
        quel::web::Browser browser;
        WebSearchBrowser searchBrowser(browser, m_db.feedback, 100);
        SearchOptions o = options();
        o.now = now;
        ProductSearch productSearch(m_db.db(), searchBrowser, o);
        return productSearch.run(keyword, nick);
    }

    int productCount() { return m_db.rows(q("SELECT COUNT(*) FROM 产品表")).value(0).toInt(); }

    static QCoreApplication* s_app;
    static quel::market::TestServer* s_market;
    FixtureDb m_db;
};

QCoreApplication* ProductSearchTest::s_app = nullptr;
quel::market::TestServer* ProductSearchTest::s_market = nullptr;

} // namespace

TEST_F(ProductSearchTest, ThreePageKeywordStoresEveryPageWithShortNames)
{
    ASSERT_EQ(quel::simplify::SaveNameRule(m_db.db(), quel::simplify::kReplacementTable,
                  q("诺基亚 5200"), q("诺基亚5200手机"), std::nullopt),
        quel::simplify::SaveRuleResult::Saved);
    const QString keyword = q(quel::market::Fixtures::threePageKeyword());
    const SearchReport report = search(keyword, QString());

    EXPECT_EQ(report.end, SearchEnd::Finished);
    EXPECT_EQ(report.pageCount, 3);
    EXPECT_EQ(report.pagesStored, 3);
    EXPECT_EQ(report.updated, 0);
    // The progress counts pages (one step each), whether or not they brought new products.
    EXPECT_EQ(m_db.feedback.lastTotal, 3);
    EXPECT_EQ(m_db.feedback.stepped, 3);

    // Every listed item but the mall's and the unpriced ones, with the fields the list shows.
    const quel::market::Catalogue& catalogue = s_market->catalogue();
    int expected = 0;
    for (const int index : catalogue.search(keyword.toStdString(), "")) {
        const quel::market::Product& p = catalogue.products()[std::size_t(index)];
        if (p.mall || !(p.price > 0))
            continue;
        ++expected;
        const quel::market::Shop& shop = catalogue.shops()[std::size_t(p.shop)];
        QString title = q(p.title);
        title.remove(QLatin1Char(' '));
        const QString row
            = m_db.rows(q("SELECT PName,SCode,SName,Addr,Price,MFee,Dis FROM 产品表 WHERE PCode=")
                      + quel::store::Quote(q(p.code)))
                  .value(0);
        EXPECT_EQ(row,
            QStringList(
                { title, q(shop.code), q(shop.name).remove(QLatin1Char(' ')),
                    q(shop.location).remove(QLatin1Char(' ')), QString::number(p.price, 'g', 15),
                    QString::number(p.postage, 'g', 15), QString::number(p.discount, 'g', 15) })
                .join(QLatin1Char('|')));
    }
    EXPECT_EQ(report.inserted, expected);
    EXPECT_EQ(productCount(), report.inserted);
    EXPECT_EQ(
        m_db.rows(q("SELECT COUNT(*) FROM 产品表 WHERE KWord=") + quel::store::Quote(keyword)),
        QStringList { QString::number(report.inserted) });
    EXPECT_EQ(
        m_db.rows(q("SELECT DISTINCT P_Name FROM 产品表")), QStringList { q("诺基亚5200手机") });
    // Nothing was left without a title, a seller or a price.
    EXPECT_EQ(
        m_db.rows(
            q("SELECT COUNT(*) FROM 产品表 WHERE PName='' OR SName='' OR Price<=0 OR Style<>''")),
        QStringList { q("0") });

    EXPECT_EQ(m_db.feedback.titles,
        (QStringList { q("正在搜索下载相关产品资讯……"),
            q("正在搜索下载相关产品资讯(关闭进度条需中止搜索)……") }));
    EXPECT_FALSE(m_db.feedback.open);
    EXPECT_TRUE(m_db.feedback.messages.isEmpty());
}

TEST_F(ProductSearchTest, SameItemsFoundAgainAreUpdatedNotRepeated)
{
    const QString keyword = q(quel::market::Fixtures::threePageKeyword());
    const SearchReport first = search(keyword, QString());
    ASSERT_EQ(first.end, SearchEnd::Finished);
    ASSERT_TRUE(m_db.exec(q("UPDATE 产品表 SET Style='1',KWord='别的'")));
    const SearchReport second = search(keyword, QString());
    EXPECT_EQ(second.end, SearchEnd::Finished);
    EXPECT_EQ(second.inserted, 0);
    EXPECT_EQ(second.updated, first.inserted);
    EXPECT_EQ(productCount(), first.inserted);
    EXPECT_EQ(m_db.rows(q("SELECT COUNT(*) FROM 产品表 WHERE Style='' AND KWord=")
                  + quel::store::Quote(keyword)),
        QStringList { QString::number(first.inserted) });
}

TEST_F(ProductSearchTest, SearchesOnTwoMarketDaysLeaveTwoHistoryRowsPerProduct)
{
    // The fixtures' day, then the market three days on, searched on those days.
    const QString keyword = q(quel::market::Fixtures::threePageKeyword());
    const SearchReport first = search(keyword, QString(), q("2026-12-7 9:00:00"));
    ASSERT_EQ(first.end, SearchEnd::Finished);
    quel::market::MarketOptions later = quel::market::MarketOptions::forTests();
    later.now += 3 * quel::market::kSecondsPerDay;
    quel::market::TestServer laterMarket(later);
    ASSERT_TRUE(laterMarket.isRunning());
    quel::web::SetMarket(quel::web::MarketAt(q(laterMarket.baseUrl())));
    const SearchReport second = search(keyword, QString(), q("2026-12-10 9:00:00"));
    ASSERT_EQ(second.end, SearchEnd::Finished);
    EXPECT_GT(second.historyNs, 0);
    EXPECT_LE(second.historyNs, second.storeNs);

    EXPECT_EQ(m_db.rows(q("SELECT COUNT(*) FROM 价格历史")),
        QStringList { QString::number(2 * first.inserted) });
    EXPECT_EQ(m_db.rows(q("SELECT COUNT(*) FROM 产品表 WHERE ID NOT IN (SELECT PID FROM 价格历史 "
                          "WHERE Dat=#2026-12-10#)")),
        QStringList { q("0") });
    // The later rows hold the later prices, and the market moved some of them.
    EXPECT_EQ(m_db.rows(q("SELECT COUNT(*) FROM 产品表,价格历史 WHERE 价格历史.PID=产品表.ID AND "
                          "价格历史.Dat=#2026-12-10# AND 价格历史.Price<>产品表.Price")),
        QStringList { q("0") });
    const int moved = m_db.rows(q("SELECT COUNT(*) FROM 价格历史 AS A,价格历史 AS B WHERE "
                                  "A.PID=B.PID AND A.Dat=#2026-12-7# AND B.Dat=#2026-12-10# AND "
                                  "A.Price<>B.Price"))
                          .value(0)
                          .toInt();
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, first.inserted);
}

TEST_F(ProductSearchTest, NicknameOnlySearchFilesProductsUnderTheNickname)
{
    const QString nick = q(s_market->fixtures().shopNick());
    ASSERT_FALSE(nick.isEmpty());
    const SearchReport report = search(QString(), nick);
    EXPECT_EQ(report.end, SearchEnd::Finished);
    EXPECT_GE(report.inserted, 1);
    EXPECT_EQ(m_db.rows(q("SELECT DISTINCT KWord FROM 产品表")), QStringList { nick });
}

TEST_F(ProductSearchTest, KeywordWithoutResultsKeepsThePageInErrorAsp)
{
    const QString keyword = q(quel::market::Fixtures::noResultKeyword());
    const SearchReport report = search(keyword, QString());
    EXPECT_EQ(report.end, SearchEnd::NoItems);
    EXPECT_EQ(
        m_db.feedback.messages, QStringList { q("没找到含有关键词“") + keyword + q("”的产品！") });
    EXPECT_EQ(productCount(), 0);
    QFile error(m_db.folder() + q("/Error.ASP"));
    ASSERT_TRUE(error.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(error.readAll());
    EXPECT_TRUE(text.contains(q("没有找到与“") + keyword)) << text.toStdString();
    EXPECT_TRUE(text.contains(q("<SPAN class=page-info>1/1</SPAN>")));
    EXPECT_FALSE(text.contains(q("page-bottom")));
    EXPECT_FALSE(m_db.feedback.open);
    EXPECT_TRUE(m_db.feedback.behindProgress.isEmpty()) << "told after the progress closed";

    // By nickname alone the message still names the (empty) keyword.
    m_db.feedback.messages.clear();
    EXPECT_EQ(search(QString(), q("没有这个会员")).end, SearchEnd::NoItems);
    EXPECT_EQ(m_db.feedback.messages, QStringList { q("没找到含有关键词“”的产品！") });
}

TEST_F(ProductSearchTest, ClosingTheProgressWindowStopsAfterThePageInHand)
{
    m_db.feedback.onStep = [](quel::test::FakeFeedback& f) { f.cancelled = true; };
    const SearchReport report = search(q(quel::market::Fixtures::threePageKeyword()), QString());
    EXPECT_EQ(report.end, SearchEnd::Cancelled);
    EXPECT_EQ(report.pagesStored, 1);
    EXPECT_GT(report.inserted, 30);
    EXPECT_LE(report.inserted, 40);
    EXPECT_EQ(productCount(), report.inserted);
    EXPECT_TRUE(m_db.feedback.messages.isEmpty());
    EXPECT_FALSE(m_db.feedback.open);
}

TEST_F(ProductSearchTest, UnreachableSearchPageIsReported)
{
    std::string deadBase;
    {
        quel::market::TestServer gone;
        deadBase = gone.baseUrl();
    }
    quel::web::SetMarket(quel::web::MarketAt(q(deadBase)));
    const SearchReport report = search(q("手机"), QString());
    // The page did not load: the message says which page and why, once, after the progress
    // window has gone.
    EXPECT_EQ(report.end, SearchEnd::PageFailed);
    EXPECT_EQ(report.failedUrl, quel::web::Market().searchPage());
    EXPECT_EQ(report.failure, q("无法连接（连接被拒绝）"));
    EXPECT_EQ(m_db.feedback.messages,
        QStringList { q("下载网页失败！\n地址：") + quel::web::Market().searchPage()
            + q("\n原因：无法连接（连接被拒绝）") });
    EXPECT_FALSE(m_db.feedback.open);
    EXPECT_TRUE(SearchSummary(report).startsWith(q("产品搜索失败：下载网页失败（")));
    EXPECT_EQ(productCount(), 0);
}

TEST_F(ProductSearchTest, BatchSearchReportsWhetherItRan)
{
    const auto batch = [this](const QStringList& arguments, QString* out) {
        QTextStream err(out);
        return RunSearchBatch(m_db.db(), m_db.folder(), arguments, err);
    };
    QString out;
    EXPECT_EQ(batch({}, &out), 2);
    EXPECT_EQ(batch({ q("--nick") }, &out), 2);
    EXPECT_EQ(batch({ q("a"), q("b") }, &out), 2);
    EXPECT_EQ(productCount(), 0);

    out.clear();
    EXPECT_EQ(batch({ q(quel::market::Fixtures::threePageKeyword()) }, &out), 0);
    EXPECT_TRUE(out.contains(q("第 3/3 页"))) << out.toStdString();
    EXPECT_GT(productCount(), 80);

    // Finding nothing is a search that ran; a market that does not answer is not.
    EXPECT_EQ(batch({ q(quel::market::Fixtures::noResultKeyword()) }, &out), 0);
    EXPECT_TRUE(QFile::exists(m_db.folder() + q("/Error.ASP")));
    const QString nick = q(s_market->fixtures().shopNick());
    EXPECT_EQ(batch({ QString(), q("--nick"), nick }, &out), 0);
    EXPECT_GT(m_db.rows(q("SELECT COUNT(*) FROM 产品表 WHERE KWord=") + quel::store::Quote(nick))
                  .value(0)
                  .toInt(),
        0);

    std::string deadBase;
    {
        quel::market::TestServer gone;
        deadBase = gone.baseUrl();
    }
    quel::web::SetMarket(quel::web::MarketAt(q(deadBase)));
    out.clear();
    EXPECT_EQ(batch({ q("手机") }, &out), 1);
    EXPECT_TRUE(out.contains(q("无法打开搜索页"))) << out.toStdString();
}

TEST_F(ProductSearchTest, APagerThatLeadsBackStopsTheSearchWithAWarning)
{
    // From page 2 on, "下一页" leads back to page 1: pages 1 and 2 are stored, then the walk
    // meets page 1 again and stops instead of storing it as page 3.
    quel::market::MarketOptions o = quel::market::MarketOptions::forTests();
    o.scriptedFaults = { { "page=2", -1, quel::market::Fault::SearchLoop } };
    quel::market::TestServer looping(o);
    ASSERT_TRUE(looping.isRunning());
    quel::web::SetMarket(quel::web::MarketAt(q(looping.baseUrl())));
    const QString keyword = q(quel::market::Fixtures::threePageKeyword());
    const SearchReport report = search(keyword, QString());
    EXPECT_EQ(report.end, SearchEnd::Looped);
    EXPECT_EQ(report.pagesStored, 2);
    EXPECT_TRUE(SearchSummary(report).contains(q("可能不全")));

    QString out;
    QTextStream err(&out);
    EXPECT_EQ(RunSearchBatch(m_db.db(), m_db.folder(), { keyword }, err), 3);
    EXPECT_TRUE(out.contains(q("警告"))) << out.toStdString();
}
