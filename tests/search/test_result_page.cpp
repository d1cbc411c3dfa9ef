#include "search/result_page.h"
#include "support/temp_dir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace quel::search;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString readPage(const QString& name)
{
    QFile f(quel::test::testDataDir() + QStringLiteral("/search/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

ItemContext context()
{
    return { q("手机"), QString(), q("http://mall.example/mall/"), q("2026-12-7 6:00:00") };
}

} // namespace

TEST(LeadingNumber, ReadsLikeTheListShowsFigures)
{
    EXPECT_DOUBLE_EQ(LeadingNumber(q("12笔")), 12);
    EXPECT_DOUBLE_EQ(LeadingNumber(q(" 1 0.50元")), 10.5);
    EXPECT_DOUBLE_EQ(LeadingNumber(q("-3.5")), -3.5);
    EXPECT_DOUBLE_EQ(LeadingNumber(q("元12")), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber(q("")), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber(q("1.2.3")), 1.2);
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(1e12), 2147483647);
}

TEST(ReadPageCount, PagerTextOrOne)
{
    EXPECT_EQ(ReadPageCount(q("<DIV><SPAN class=page-info>1/37</SPAN></DIV>")), 37);
    EXPECT_EQ(ReadPageCount(q("<SPAN class=page-info>2/37页</SPAN>")), 37);
    EXPECT_EQ(ReadPageCount(q("<A href=\"http://h/37\">x</A>")), 1);
    EXPECT_EQ(ReadPageCount(q("<SPAN class=page-info>1/0</SPAN>")), 1);
    EXPECT_EQ(ReadPageCount(QString()), 1);
    EXPECT_EQ(ReadPageCount(readPage(q("results_page1.html"))), 3);
}

TEST(PrepareResultPage, CutsAtPagerAndDropsHeaderAndScripts)
{
    const QString body = q("<DIV>head <SPAN class=page-info>1/3</SPAN></DIV>\r\n"
                           "<SCRIPT>var a = '<LI class=list-item>';</SCRIPT>"
                           "<UL><LI>所在地</LI><LI>对比</LI>"
                           "<LI class=list-item>one</LI>"
                           "<LI class=list-item>two <SPAN>x</SPAN></LI></UL>"
                           "<DIV class=page-bottom><LI class=list-item>after</LI></DIV>");
    const PreparedResultPage page = PrepareResultPage(body);
    ASSERT_EQ(page.items.size(), 2);
    EXPECT_EQ(page.items[0], q("one</LI>"));
    EXPECT_EQ(page.items[1], q("two<SPAN>x</LI></UL><DIV"));
    EXPECT_TRUE(page.errorCopy.endsWith(q("<DIV ")));
    EXPECT_FALSE(page.errorCopy.contains(q("after")));

    // Without the pager anchor nothing is listed, and nothing is kept for Error.ASP.
    const PreparedResultPage none = PrepareResultPage(q("<LI class=list-item>x</LI>"));
    EXPECT_TRUE(none.items.isEmpty());
    EXPECT_TRUE(none.errorCopy.isEmpty());
}

TEST(ParseSearchItem, FixedResultPage)
{
    const PreparedResultPage page = PrepareResultPage(readPage(q("results_page1.html")));
    ASSERT_EQ(page.items.size(), 7);
    std::vector<std::optional<SearchedProduct>> parsed;
    for (const QString& item : page.items)
        parsed.push_back(ParseSearchItem(item, context()));

    // A plain item with every field.
    ASSERT_TRUE(parsed[0]);
    const SearchedProduct& a = *parsed[0];
    EXPECT_EQ(a.kWord, q("手机"));
    EXPECT_EQ(a.pCode, q("1001"));
    EXPECT_EQ(a.title, q("诺基亚5200黑色"));
    EXPECT_EQ(a.sCode, q("77"));
    EXPECT_EQ(a.sName, q("数码小铺"));
    EXPECT_EQ(a.addr, q("上海"));
    EXPECT_DOUBLE_EQ(a.price, 1200.5);
    EXPECT_DOUBLE_EQ(a.mFee, 10);
    EXPECT_DOUBLE_EQ(a.dis, 9.5);
    EXPECT_EQ(a.num1, 12);
    EXPECT_EQ(a.dat, q("2026-12-7 6:00:00"));
    EXPECT_EQ(a.vip, 0);
    EXPECT_TRUE(a.style.isEmpty());

    // Highlight spans in the title, escaped brackets and quotes, no discount block after
    // an item that had one, a seller without a shop link.
    ASSERT_TRUE(parsed[1]);
    EXPECT_EQ(parsed[1]->title, q("<新款>Levi's&牛仔裤"));
    EXPECT_DOUBLE_EQ(parsed[1]->dis, 0);
    EXPECT_TRUE(parsed[1]->sCode.isEmpty());
    EXPECT_EQ(parsed[1]->sName, q("李四"));
    EXPECT_EQ(parsed[1]->num1, 0);

    EXPECT_FALSE(parsed[2]) << "mall item";
    EXPECT_FALSE(parsed[3]) << "price 0";
    EXPECT_FALSE(parsed[4]) << "no price";
    EXPECT_FALSE(parsed[5]) << "no seller";
    EXPECT_FALSE(parsed[6]) << "no title";
}

TEST(ParseSearchItem, NicknameSearchTakesNicknameAsCategory)
{
    const PreparedResultPage page = PrepareResultPage(readPage(q("results_page1.html")));
    ASSERT_FALSE(page.items.isEmpty());
    const auto product
        = ParseSearchItem(page.items[0], { QString(), q("数码小铺"), QString(), QString() });
    ASSERT_TRUE(product);
    EXPECT_EQ(product->kWord, q("数码小铺"));
}

TEST(PrepareResultPage, EmptyResultPageKeepsItsMarkupForTheErrorFile)
{
    const QString body = readPage(q("results_none.html"));
    const PreparedResultPage page = PrepareResultPage(body);
    EXPECT_TRUE(page.items.isEmpty());
    EXPECT_TRUE(page.errorCopy.contains(q("没有找到")));
    EXPECT_EQ(ReadPageCount(body), 1);
}
