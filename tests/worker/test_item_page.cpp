#include "page_fixtures.h"
#include "worker/item_page.h"
#include "worker/item_walk.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace quel::worker;
using namespace quel::worker::test;

// Whole result files from the fixed pages, in the order the worker's clicks load them.
TEST(ItemWalk, WritesTheExpectedResultFiles)
{
    struct Case
    {
        QStringList pages;
        QString expected;
    };
    const Case cases[] = {
        // item page, sales record opened by its link, three pages; page 3 still shows an
        // active next link, the pager (3/3) ends the walk.
        { { "item_a.html", "item_a_s1.html", "item_a_s2.html", "item_a_s3.html" }, "item_a.t" },
        // one page: no-link buyer, dates with Chinese units, a row of one cell, rounded figures
        { { "item_b.html" }, "item_b.t" },
        // the second page shows no rows: the file ends with CR LF
        { { "item_c.html", "item_c_s2.html" }, "item_c.t" },
        { { "item_nosales.html" }, "item_nosales.t" },
        { { "item_early.html" }, "item_early.t" },
        { { "item_bare.html" }, "item_bare.t" },
        { { "auction_ab_987.html" }, "auction_ab_987.t" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        EXPECT_EQ(walkPages(c.pages), expectedResult(c.expected));
    }
}

TEST(ItemWalk, NotViewableDiscardsWhatWasGathered)
{
    EXPECT_EQ(walkPages({ "item_hidden.html" }), QByteArray());

    ItemWalk walk;
    ASSERT_EQ(walk.step(pageMarkup("item_a_s1.html"), false), ItemWalk::Action::NextPage);
    EXPECT_FALSE(walk.result().isEmpty());
    EXPECT_EQ(walk.step(pageMarkup("item_hidden.html"), false), ItemWalk::Action::WriteEmpty);
    EXPECT_TRUE(walk.result().isEmpty());
}

TEST(ItemWalk, ClicksForTheSalesRecordAndFailsWhenItNeverShows)
{
    // A sales tab that shows neither its table nor the "no sales yet" notice (a login page
    // in its place) would be stored as an item that never sold: the job fails instead.
    ItemWalk walk;
    const QString page = pageMarkup("item_a.html");
    EXPECT_EQ(walk.step(page, false), ItemWalk::Action::OpenSalesRecord);
    EXPECT_EQ(walk.step(page, false), ItemWalk::Action::OpenSalesRecord);
    EXPECT_EQ(walk.step(page, true), ItemWalk::Action::Fail);
    EXPECT_TRUE(walk.failure().contains(QStringLiteral("成交记录没有显示")));
    EXPECT_TRUE(walk.result().isEmpty());

    ItemWalk failed;
    EXPECT_EQ(failed.step(QString(), true), ItemWalk::Action::Fail);
}

TEST(ItemWalk, FewerRecordsThanAnnouncedFailTheJobMoreDoNot)
{
    // Four records over two pages whose pager announces five.
    QString first = pageMarkup("item_a_s1.html");
    QString second = pageMarkup("item_a_s2.html");
    second.replace("共5条 2/3", "共5条 2/2");
    ItemWalk shortWalk;
    ASSERT_EQ(shortWalk.step(first, false), ItemWalk::Action::NextPage);
    EXPECT_EQ(shortWalk.step(second, false), ItemWalk::Action::Fail);
    EXPECT_EQ(shortWalk.failure(), QStringLiteral("成交记录不全（读到 4 条，网页上共 5 条）"));
    EXPECT_TRUE(shortWalk.result().isEmpty());

    // The smallest count counts: a sale arriving during the walk raises the later pages'
    // count, and more records than the first page announced is fine.
    first.replace("共5条 1/3", "共3条 1/3");
    ItemWalk grown;
    ASSERT_EQ(grown.step(first, false), ItemWalk::Action::NextPage);
    EXPECT_EQ(grown.step(second, false), ItemWalk::Action::Finish);

    // A record shown on two pages counts once: the pages hold three distinct records.
    QString repeated = pageMarkup("item_a_s1.html");
    repeated.replace("共5条 1/3", "共4条 1/3");
    ItemWalk twice;
    ASSERT_EQ(twice.step(repeated, false), ItemWalk::Action::NextPage);
    QString again = repeated;
    again.replace("共4条 1/3", "共4条 2/2");
    EXPECT_EQ(twice.step(again, false), ItemWalk::Action::Fail);
    EXPECT_EQ(twice.distinctRecords(), 2);

    // end(): a walk whose next link leads nowhere is judged the same way.
    ItemWalk ended;
    ASSERT_EQ(ended.step(pageMarkup("item_a_s1.html"), false), ItemWalk::Action::NextPage);
    EXPECT_EQ(ended.end(), ItemWalk::Action::Fail);
}

TEST(ItemWalk, AFigureThatIsNoNumberFailsTheJobWithItsName)
{
    const QString page = pageMarkup("item_a_s1.html");
    QString price = page;
    price.replace(QRegularExpression("id=J_StrPrice>[^<]*<"), "id=J_StrPrice>NaN<");
    ItemWalk nan;
    EXPECT_EQ(nan.step(price, false), ItemWalk::Action::Fail);
    EXPECT_TRUE(nan.failure().contains(QStringLiteral("“价格”"))) << nan.failure().toStdString();

    QString quantity = page;
    quantity.replace(
        QRegularExpression("<TD class=quantity>[0-9]+"), "<TD class=quantity>99999999999999999999");
    ItemWalk huge;
    EXPECT_EQ(huge.step(quantity, false), ItemWalk::Action::Fail);
    EXPECT_TRUE(huge.failure().contains(QStringLiteral("“数量”"))) << huge.failure().toStdString();
}

TEST(ItemWalk, FirstPageAlwaysClicksOnThenThePagerDecides)
{
    // A pager that claims one page still gets the click from page 1.
    QString page = pageMarkup("item_a_s1.html");
    page.replace("共5条 1/3", "共4条 1/1");
    ItemWalk walk;
    EXPECT_EQ(walk.step(page, false), ItemWalk::Action::NextPage);
    // From page 2 on, the pager's current page reaching its count ends the walk.
    QString second = pageMarkup("item_a_s2.html");
    second.replace("共5条 2/3", "共4条 2/2");
    EXPECT_EQ(walk.step(second, false), ItemWalk::Action::Finish);
    EXPECT_EQ(walk.pagesDone(), 2);
}

TEST(ItemWalk, APageWithoutPagerTextNeverRestartsTheCount)
{
    // An active next link but no pager text: the page count cannot be read, and the walk
    // must not take other numbers for it and write the item line a second time.
    QString second = pageMarkup("item_a_s2.html");
    second.replace("<SPAN class=page-info>共5条 2/3</SPAN>", "");
    QString first = pageMarkup("item_a_s1.html");
    first.replace("共5条 1/3", "共4条 1/3");
    ItemWalk walk;
    ASSERT_EQ(walk.step(first, false), ItemWalk::Action::NextPage);
    EXPECT_EQ(walk.step(second, false), ItemWalk::Action::Finish);
    EXPECT_EQ(walk.result().count("〗★〖全新〗★〖"), 1);
    EXPECT_EQ(walk.pagesDone(), 2);
}

TEST(ParseItemFields, AMarkerAtTheVeryStartCountsAsMissing)
{
    const ItemDetail item = ParseItemFields("<SPAN>本期售出：</SPAN>5 <SPAN>30天售出：</SPAN>6");
    EXPECT_EQ(item.soldThisPeriod, 0);
    EXPECT_EQ(item.sold30Days, 6);
}

TEST(ParseSalesTable, TextAfterTheGuestBookIsNotPartOfTheTable)
{
    QString page = pageMarkup("item_a_s1.html");
    page.replace("<P><A href=\"#guestbook\">留言簿</A></P>",
        "<P><A href=\"#guestbook\">留言簿</A></P><TABLE><TBODY><TR><TD>x</TD><TD>x</TD>"
        "<TD><EM>1</EM></TD><TD>1</TD><TD>1</TD></TR></TBODY></TABLE>");
    EXPECT_EQ(ParseSalesTable(page).split("\r\n").size(), 2);
}

TEST(ReplaceDateUnits, ChineseUnitsBecomeSeparators)
{
    EXPECT_EQ(ReplaceDateUnits("2010年4月2日 9点05分07秒"), "2010-4-2 9:05:07");
    EXPECT_EQ(ReplaceDateUnits("2010年4月2日  9点"), "2010-4-2 9:");
    EXPECT_EQ(ReplaceDateUnits("2010-04-12 10:20:30"), "2010-04-12 10:20:30");
}

TEST(ReadPageInfo, ReadsCurrentPageAndCount)
{
    qint32 current = -1;
    qint32 count = -1;
    EXPECT_TRUE(ReadPageInfo(
        "<SPAN class=page-info>共190条 2/3</SPAN><A><SPAN>下一页</SPAN></A>", current, count));
    EXPECT_EQ(current, 2);
    EXPECT_EQ(count, 3);

    current = count = -1;
    EXPECT_FALSE(ReadPageInfo("<SPAN class=page-info>共190条 2/3</SPAN>", current, count));
    EXPECT_FALSE(ReadPageInfo("<A><SPAN>下一页</SPAN></A> 共 5 条 7/9", current, count));
    EXPECT_EQ(current, -1);
    EXPECT_EQ(count, -1);
}
