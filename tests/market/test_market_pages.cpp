// The demo marketplace's pages loaded through the browser engine and read with the readers'
// recipes: every marker they cut at must be there in the serialised form, and the values cut
// out must be the generated ones.

#include "market/pages.h"
#include "market/test_server.h"
#include "page_recipes.h"
#include "web/browser.h"
#include "web/document.h"
#include "web/dom.h"
#include "web/page_loader.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace quel::market;
using namespace quel::market::test;
using quel::web::Browser;

namespace {

class QtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test_market_pages";
        static char* argv[] = { name, nullptr };
        m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QCoreApplication> m_app;
};
[[maybe_unused]] ::testing::Environment* const kQt
    = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}
std::string noBlanks(std::string s)
{
    std::erase(s, ' ');
    return s;
}

class MarketPages : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_market = new TestServer(); }
    static void TearDownTestSuite()
    {
        delete s_market;
        s_market = nullptr;
    }

    // Navigates and waits as the search does; returns the body markup.
    QString load(const std::string& url, const QString& marker = {})
    {
        quel::web::NavigateTo(m_browser, q(url));
        m_browser.setTag(QString());
        quel::web::WaitForPage(200, m_browser, marker, 50);
        return quel::web::GetBodyHtml(m_browser);
    }
    QString clickAndWait(const QString& text, const QString& tag, quel::web::MatchMode mode)
    {
        const QString href = quel::web::FindElementAndClick(m_browser, text, true, tag, mode);
        EXPECT_FALSE(href.isEmpty()) << "no element for " << text.toStdString();
        quel::web::WaitForPage(200, m_browser, QString(), 50);
        return quel::web::GetBodyHtml(m_browser);
    }
    const Catalogue& catalogue() const { return s_market->catalogue(); }
    QString mallPrefix() const { return q(s_market->baseUrl() + "/mall/"); }

    // Every list item as the search reads it, against the generated item.
    void expectListed(const QString& markup, const std::vector<int>& expected, std::size_t first)
    {
        const QStringList parts = listItemParts(markup);
        ASSERT_EQ(static_cast<std::size_t>(parts.size()),
            std::min<std::size_t>(40, expected.size() - first));
        for (int i = 0; i < parts.size(); ++i) {
            const Product& p = catalogue().products()[static_cast<std::size_t>(
                expected[first + static_cast<std::size_t>(i)])];
            const Shop& shop = catalogue().shops()[static_cast<std::size_t>(p.shop)];
            const ListItem it = parseListItem(parts[i], mallPrefix());
            SCOPED_TRACE(p.code);
            EXPECT_EQ(it.mall, p.mall);
            EXPECT_EQ(it.code, q(p.code));
            EXPECT_EQ(it.name, q(noBlanks(p.title)));
            EXPECT_DOUBLE_EQ(it.price, p.price);
            EXPECT_DOUBLE_EQ(it.postage, p.postage);
            EXPECT_DOUBLE_EQ(it.discount, p.discount);
            EXPECT_EQ(it.recentlySold, catalogue().figures(p.index).sold30Days);
            EXPECT_EQ(it.place, q(noBlanks(shop.location)));
            EXPECT_EQ(it.shopCode, q(shop.code));
            EXPECT_EQ(it.shopName, q(shop.name));
        }
    }

    Browser m_browser;
    static TestServer* s_market;
};

TestServer* MarketPages::s_market = nullptr;

TEST_F(MarketPages, SearchFormSubmitsAndResultPagesWalkWithNextLinks)
{
    ASSERT_TRUE(s_market->isRunning());
    const QString form = load(s_market->searchFormUrl(), QStringLiteral("name=Submit>"));
    ASSERT_TRUE(form.contains(QStringLiteral("name=Submit>")));
    quel::web::Node* mainform = m_browser.document()->form(QStringLiteral("mainform"));
    ASSERT_NE(mainform, nullptr);
    ASSERT_NE(mainform->field(QStringLiteral("q")), nullptr);
    ASSERT_NE(mainform->field(QStringLiteral("nick")), nullptr);
    mainform->field(QStringLiteral("q"))->setValue(q(Fixtures::threePageKeyword()));
    mainform->field(QStringLiteral("nick"))->setValue(QString());
    m_browser.setTag(QString());
    quel::web::FindFormButton(
        mainform, QStringLiteral("  搜 索  "), true, QStringLiteral("submit"));
    quel::web::WaitForPage(200, m_browser, QStringLiteral(">页<"), 50);
    QString markup = quel::web::GetBodyHtml(m_browser);

    // The keyword travelled GBK-encoded and came back as the same Chinese words.
    const std::vector<int> expected = catalogue().search(Fixtures::threePageKeyword(), "");
    ASSERT_EQ(expected.size(), 100u);
    EXPECT_TRUE(markup.contains(QStringLiteral(">页<")));
    EXPECT_TRUE(markup.contains(QStringLiteral("class=page-bottom>")));
    EXPECT_EQ(readPageCount(markup), 3);
    expectListed(markup, expected, 0);

    for (int page = 2; page <= 3; ++page) {
        markup = clickAndWait(
            QStringLiteral("下一页"), QStringLiteral("A"), quel::web::MatchMode::Exact);
        EXPECT_EQ(readPageCount(markup), 3);
        expectListed(markup, expected, static_cast<std::size_t>(page - 1) * 40);
    }
    // The last page has no next-page link.
    EXPECT_TRUE(quel::web::FindElementAndClick(
        m_browser, QStringLiteral("下一页"), false, QStringLiteral("A"))
                    .isEmpty());
}

TEST_F(MarketPages, NoResultKeywordAndNicknameSearch)
{
    const std::string empty = s_market->baseUrl() + "/search?"
        + PageRenderer::searchQuery(Fixtures::noResultKeyword(), "", 1);
    const QString none = load(empty);
    EXPECT_TRUE(none.contains(QStringLiteral("class=page-bottom>")));
    EXPECT_TRUE(listItemParts(none).isEmpty());
    EXPECT_EQ(readPageCount(none), 1);

    const std::string nick = s_market->fixtures().shopNick();
    ASSERT_FALSE(nick.empty());
    const QString byNick
        = load(s_market->baseUrl() + "/search?" + PageRenderer::searchQuery("", nick, 1));
    const std::vector<int> expected = catalogue().search("", nick);
    ASSERT_GE(expected.size(), 2u);
    expectListed(byNick, expected, 0);
}

TEST_F(MarketPages, ItemPageOpensItsSalesRecordAndWalksEveryPage)
{
    const std::string code = s_market->fixtures().threePageSalesCode();
    ASSERT_FALSE(code.empty());
    const Product& p = *catalogue().findProduct(code);
    const ItemFigures figures = catalogue().figures(p.index);

    QString markup = load(s_market->itemUrl(code));
    EXPECT_FALSE(markup.contains(QStringLiteral("summary=买家出价记录")));
    const ItemFields fields = parseItemFields(markup);
    EXPECT_DOUBLE_EQ(fields.price, p.price);
    EXPECT_EQ(fields.soldThisPeriod, figures.soldThisPeriod);
    EXPECT_EQ(fields.sold30Days, figures.sold30Days);
    EXPECT_EQ(fields.reviews, figures.reviews);
    EXPECT_EQ(fields.itemType, q(p.itemType));
    EXPECT_EQ(fields.views, figures.views);
    EXPECT_EQ(fields.favourites, figures.favourites);

    markup = clickAndWait(
        QStringLiteral("成交记录"), QStringLiteral("A"), quel::web::MatchMode::Contains);
    ASSERT_TRUE(markup.contains(QStringLiteral("summary=买家出价记录")));
    EXPECT_EQ(parseItemFields(markup).soldThisPeriod, figures.soldThisPeriod);

    // The worker's walk: click "下一页" (any tag, exact text) while an active link is there.
    QList<SalesRow> rows = parseSalesTable(markup);
    int pagesSeen = 1;
    while (markup.contains(QStringLiteral("<SPAN>下一页</SPAN></A>")) && pagesSeen < 10) {
        markup = clickAndWait(QStringLiteral("下一页"), QString(), quel::web::MatchMode::Exact);
        ++pagesSeen;
        int current = 0, count = 0;
        ASSERT_TRUE(readPageInfo(markup, current, count));
        EXPECT_EQ(current, pagesSeen);
        EXPECT_EQ(count, 3);
        rows += parseSalesTable(markup);
    }
    EXPECT_EQ(pagesSeen, 3);
    EXPECT_TRUE(markup.contains(QStringLiteral(">下一页</")));

    const auto sales = catalogue().sales(p.index);
    ASSERT_EQ(static_cast<std::size_t>(rows.size()), sales->size());
    for (int i = 0; i < rows.size(); ++i) {
        const Sale& s = (*sales)[static_cast<std::size_t>(i)];
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(rows[i].price, s.price);
        EXPECT_DOUBLE_EQ(rows[i].quantity, s.quantity);
        EXPECT_EQ(rows[i].time, q(formatDateTime(s.time)));
        if (s.buyer < 0) {
            EXPECT_TRUE(rows[i].rateId.isEmpty());
            EXPECT_FALSE(rows[i].buyer.isEmpty());
        } else {
            const Buyer& b = catalogue().buyers()[static_cast<std::size_t>(s.buyer)];
            EXPECT_EQ(rows[i].rateId, q(b.code));
            EXPECT_EQ(rows[i].buyer, q(b.nick));
        }
    }
    // Newest first, every time distinct (the importer stops at the first repeat).
    for (int i = 1; i < rows.size(); ++i)
        EXPECT_GT((*sales)[static_cast<std::size_t>(i - 1)].time,
            (*sales)[static_cast<std::size_t>(i)].time);
}

TEST_F(MarketPages, RareItems)
{
    const Fixtures fx = s_market->fixtures();
    EXPECT_TRUE(
        load(s_market->itemUrl(fx.notViewableCode()))
            .contains(QStringLiteral("class=ErrorMsg>对不起，暂时不提供查看该宝贝的信息<")));
    EXPECT_TRUE(
        load(s_market->baseUrl() + "/item.htm?id=999&page_size=90")
            .contains(QStringLiteral("class=ErrorMsg>对不起，暂时不提供查看该宝贝的信息<")));

    load(s_market->itemUrl(fx.noSalesCode()));
    const QString noSales = clickAndWait(
        QStringLiteral("成交记录"), QStringLiteral("A"), quel::web::MatchMode::Contains);
    EXPECT_TRUE(noSales.contains(QStringLiteral(">暂时还没有买家购买此宝贝。</")));
    EXPECT_FALSE(noSales.contains(QStringLiteral("summary=买家出价记录")));
    EXPECT_FALSE(parseItemFields(noSales).itemType.isEmpty());

    EXPECT_DOUBLE_EQ(parseItemFields(load(s_market->itemUrl(fx.zeroPriceCode()))).price, 0.0);

    // The two-part code: the worker's auction address and the main program's short one.
    const std::string twoPart = fx.twoPartCode();
    ASSERT_NE(twoPart.find('-'), std::string::npos);
    const Product& tp = *catalogue().findProduct(twoPart);
    const QString auction = load(s_market->itemUrl(twoPart));
    EXPECT_NE(s_market->itemUrl(twoPart).find("/auction/item_detail.htm?xid="), std::string::npos);
    EXPECT_DOUBLE_EQ(parseItemFields(auction).price, tp.price);
    const QString shortForm = load(s_market->baseUrl() + "/item.htm?id=" + tp.xid);
    EXPECT_DOUBLE_EQ(parseItemFields(shortForm).price, tp.price);

    // A mall item's own address, as its list link gives it.
    const Product& mall = *catalogue().findProduct(fx.mallItemCode());
    const QString mallPage
        = load(s_market->baseUrl() + "/mall/item.htm?id=" + mall.code + "&page_size=90");
    EXPECT_DOUBLE_EQ(parseItemFields(mallPage).price, mall.price);

    // Mall item, unpriced item and the item without discount block as the list shows them.
    const std::vector<int> all = catalogue().search(Fixtures::everyItemKeyword(), "");
    ASSERT_EQ(all.size(), catalogue().products().size());
    const QString firstPage = load(s_market->baseUrl() + "/search?"
        + PageRenderer::searchQuery(Fixtures::everyItemKeyword(), "", 1));
    EXPECT_EQ(readPageCount(firstPage), 15);
    const QStringList parts = listItemParts(firstPage);
    ASSERT_GT(parts.size(), 11);
    EXPECT_TRUE(parseListItem(parts[11], mallPrefix()).mall);
    EXPECT_DOUBLE_EQ(parseListItem(parts[5], mallPrefix()).price, 0.0);
    EXPECT_FALSE(parts[7].contains(QStringLiteral("class=extend>")));
    EXPECT_DOUBLE_EQ(parseListItem(parts[7], mallPrefix()).discount, 0.0);
}

TEST_F(MarketPages, BuyerProfiles)
{
    const Fixtures fx = s_market->fixtures();
    const Buyer& plain = *catalogue().findBuyer(fx.plainBuyerCode());
    const Profile p = parseProfile(load(s_market->profileUrl(plain.code)));
    EXPECT_EQ(p.name, q(plain.nick));
    EXPECT_EQ(p.sellerCredit, QString::number(plain.sellerCredit));
    EXPECT_EQ(p.buyerCredit, QString::number(plain.buyerCredit));
    EXPECT_EQ(p.location, q(noBlanks(plain.location)));
    EXPECT_EQ(p.registered, q(formatDate(plain.registered)));
    EXPECT_EQ(
        p.lastLogin, q(formatDate(catalogue().now() - plain.lastLoginDaysAgo * kSecondsPerDay)));

    EXPECT_TRUE(load(s_market->profileUrl(fx.bannedBuyerCode()))
                    .contains(QStringLiteral("ErrorMsg>通告：該用戶已經被查封！</")));

    const Buyer& sparse = *catalogue().findBuyer(fx.missingFieldsBuyerCode());
    const Profile m = parseProfile(load(s_market->profileUrl(sparse.code)));
    EXPECT_EQ(m.name, q(sparse.nick));
    EXPECT_TRUE(m.sellerCredit.isEmpty());
    EXPECT_EQ(m.buyerCredit, QString::number(sparse.buyerCredit));
    EXPECT_TRUE(m.location.isEmpty());
    EXPECT_TRUE(m.registered.isEmpty());
    EXPECT_FALSE(m.lastLogin.isEmpty());
}

} // namespace
