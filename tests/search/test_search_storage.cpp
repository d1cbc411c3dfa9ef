#include "search/category.h"
#include "search/fixture_db.h"
#include "search/product_store.h"
#include "search/search_condition.h"

#include <gtest/gtest.h>

using namespace quel::search;
using quel::test::FixtureDb;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

SearchedProduct product(const QString& code, const QString& title)
{
    SearchedProduct p;
    p.kWord = q("手机");
    p.pCode = code;
    p.title = title;
    p.sCode = q("77");
    p.sName = q("数码小铺");
    p.dat = q("2026-12-7 6:00:00");
    p.addr = q("上海");
    p.price = 1200.5;
    p.mFee = 10;
    p.dis = 9.5;
    p.num1 = 12;
    return p;
}

} // namespace

TEST(KeywordLists, MostRecentFirstWithoutRepeats)
{
    const KeywordLists lists = KeywordListsFromRows({ { 0, q("手机") }, { 1, q("小铺") },
        { 0, q("相机") }, { 0, q("耳机") }, { 1, QString() } });
    EXPECT_EQ(lists.keywords, (QStringList { q("手机"), q("相机"), q("耳机") }));
    EXPECT_EQ(lists.nicks, (QStringList { q("小铺"), QString() }));

    // The first entry again: the order stays.
    EXPECT_EQ(RememberedRows(lists, q("手机"), q("小铺")),
        (QList<KeywordRow> { { 0, q("手机") }, { 0, q("相机") }, { 0, q("耳机") }, { 1, q("小铺") },
            { 1, QString() } }));
    // An older entry moves to the front; a new one is added in front.
    EXPECT_EQ(RememberedRows(lists, q("耳机"), q("新店")),
        (QList<KeywordRow> { { 0, q("耳机") }, { 0, q("手机") }, { 0, q("相机") }, { 1, q("新店") },
            { 1, q("小铺") }, { 1, QString() } }));
    // First use: only the condition, the empty nickname remembered like any other text.
    EXPECT_EQ(RememberedRows({}, q("手机"), QString()),
        (QList<KeywordRow> { { 0, q("手机") }, { 1, QString() } }));
}

TEST(KeywordLists, ConditionResultRoundTrip)
{
    EXPECT_EQ(ConditionResult(q(" 手机 "), q("小铺 ")), q("手机〗★〖小铺"));
    EXPECT_EQ(ConditionResult(QString(), QString()), q("〗★〖"));
    QString keyword, nick;
    EXPECT_FALSE(SplitConditionResult(QString(), &keyword, &nick));
    ASSERT_TRUE(SplitConditionResult(q("〗★〖"), &keyword, &nick));
    EXPECT_TRUE(keyword.isEmpty());
    EXPECT_TRUE(nick.isEmpty());
    ASSERT_TRUE(SplitConditionResult(q("〗★〖小铺"), &keyword, &nick));
    EXPECT_EQ(nick, q("小铺"));
}

TEST(Category, RangeIsTheSameWhicheverWayItWasSelected)
{
    // Two heading rows, data rows 2..9.
    EXPECT_EQ(CategoryRowRange(7, 3, 10, 2), std::make_pair(3, 7));
    EXPECT_EQ(CategoryRowRange(3, 7, 10, 2), std::make_pair(3, 7));
    EXPECT_EQ(CategoryRowRange(4, 4, 10, 2), std::make_pair(4, 4));
    EXPECT_FALSE(CategoryRowRange(1, 5, 10, 2)) << "cursor on the title row";
    EXPECT_FALSE(CategoryRowRange(2, 2, 2, 2)) << "no data rows";
    EXPECT_EQ(CategoryRowRange(5, 0, 10, 2), std::make_pair(2, 5)) << "dragged onto the titles";
}

TEST(ProductStore, InsertThenUpdateKeepsSellerAndDownloadDate)
{
    FixtureDb f;
    quel::simplify::NameRuleSet rules;
    rules.simplification = { { q("黑色"), q("") } };
    quel::db::Connection conn;
    ASSERT_TRUE(f.db().OpenConnection(conn));

    EXPECT_EQ(
        SaveSearchedProduct(f.db(), conn, product(q("1001"), q("Levi's 牛仔裤黑色")), rules), 1);
    EXPECT_EQ(f.rows(q("SELECT KWord,PCode,P_Name,PName,SCode,SName,Addr,Price,MFee,Dis,Num1,Style "
                       "FROM 产品表")),
        QStringList {
            q("手机|1001|Levi's 牛仔裤|Levi's 牛仔裤黑色|77|数码小铺|上海|1200.5|10|9.5|12|") });
    EXPECT_EQ(
        f.rows(q("SELECT COUNT(*) FROM 产品表 WHERE dDat=#1900-1-1#")), QStringList { q("1") });

    // The detail download has been there meanwhile.
    ASSERT_TRUE(
        f.exec(q("UPDATE 产品表 SET Style='1',Num9=5,dDat=#2026-12-1# WHERE PCode='1001'")));
    SearchedProduct again = product(q("1001"), q("新标题"));
    again.sName = q("别的卖家");
    again.price = 99;
    EXPECT_EQ(SaveSearchedProduct(f.db(), conn, again, rules), 0);
    EXPECT_EQ(f.rows(q("SELECT PName,SName,Price,Num9,Style FROM 产品表")),
        QStringList { q("新标题|数码小铺|99|0|") });
    EXPECT_EQ(
        f.rows(q("SELECT COUNT(*) FROM 产品表 WHERE dDat=#2026-12-1#")), QStringList { q("1") });
}

TEST(ProductStore, OnePageIsStoredTogether)
{
    FixtureDb f;
    quel::db::Connection conn;
    ASSERT_TRUE(f.db().OpenConnection(conn));
    // The same item twice on a page: one row, the second sighting updates it.
    const QList<SearchedProduct> page { product(q("1"), q("一")), product(q("2"), q("二")),
        product(q("1"), q("一改")) };
    EXPECT_EQ(SaveSearchedPage(f.db(), conn, page, {}), 2);
    EXPECT_EQ(f.rows(q("SELECT PCode,PName FROM 产品表 ORDER BY PCode")),
        (QStringList { q("1|一改"), q("2|二") }));
    EXPECT_EQ(NumberText(0), q("0"));
    EXPECT_EQ(NumberText(12.5), q("12.5"));
    EXPECT_EQ(NumberText(2195), q("2195"));
}

TEST(ProductStore, EachSearchDayLeavesOneHistoryRowPerListedProduct)
{
    FixtureDb f;
    quel::db::Connection conn;
    ASSERT_TRUE(f.db().OpenConnection(conn));
    SearchedProduct shown = product(q("1"), q("一"));
    shown.num1Shown = true;
    SearchedProduct quiet = product(q("2"), q("二")); // the list showed no sales figure
    ASSERT_EQ(SaveSearchedPage(f.db(), conn, { shown, quiet }, {}), 2);

    // The same day later, at a new price: still one row per product, with the new price.
    shown.dat = quiet.dat = q("2026-12-7 18:30:00");
    shown.price = quiet.price = 1100;
    ASSERT_EQ(SaveSearchedPage(f.db(), conn, { shown, quiet }, {}), 0);
    EXPECT_EQ(f.rows(q("SELECT PID,Price,Num1 FROM 价格历史 WHERE Dat=#2026-12-7# ORDER BY PID")),
        (QStringList { q("1|1100|12"), q("2|1100|") }));

    // Another day: a second row each.
    shown.dat = quiet.dat = q("2026-12-9 8:00:00");
    shown.price = 999;
    qint64 historyNs = 0;
    ASSERT_EQ(SaveSearchedPage(f.db(), conn, { shown, quiet }, {}, &historyNs), 0);
    EXPECT_GT(historyNs, 0);
    EXPECT_EQ(f.rows(q("SELECT PID,COUNT(*) FROM 价格历史 GROUP BY PID")),
        (QStringList { q("1|2"), q("2|2") }));
    EXPECT_EQ(f.rows(q("SELECT Price FROM 价格历史 WHERE PID=1 AND Dat=#2026-12-9#")),
        QStringList { q("999") });
}
