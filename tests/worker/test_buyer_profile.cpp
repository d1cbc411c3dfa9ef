#include "page_fixtures.h"
#include "worker/buyer_profile.h"

#include <gtest/gtest.h>

using namespace quel::worker;
using namespace quel::worker::test;

TEST(ParseBuyerProfile, WritesTheExpectedLines)
{
    for (const char* name : { "profile_ok", "profile_banned", "profile_exact", "profile_overseas",
             "profile_foreign", "profile_noloc", "profile_noseller" }) {
        SCOPED_TRACE(name);
        const QString page = pageMarkup(QString::fromLatin1(name) + ".html");
        EXPECT_EQ(
            ParseBuyerProfile(page).toUtf8(), expectedResult(QString::fromLatin1(name) + ".t"));
    }
}

TEST(ParseBuyerProfile, PageWithoutMarkersGivesEmptyFieldsAndUnknownPlace)
{
    EXPECT_EQ(ParseBuyerProfile(""), "〗★〖〗★〖〗★〖未知〗★〖未知〗★〖〗★〖");
    EXPECT_EQ(ParseBuyerProfile("<DIV>服务器忙</DIV>"), "〗★〖〗★〖〗★〖未知〗★〖未知〗★〖〗★〖");
}

TEST(ParseBuyerProfile, AMissingLabelNeverTakesTheNextFieldsValue)
{
    QString page = pageMarkup("profile_exact.html");
    page.remove("<LI>注册时间：2009-1-2</LI>");
    EXPECT_EQ(
        ParseBuyerProfile(page), "beijing_user〗★〖0〗★〖7〗★〖北京〗★〖北京〗★〖〗★〖2010-4-5");
}

TEST(SplitLocation, FirstTableEntryTheLocationStartsWith)
{
    struct Case
    {
        const char16_t* location;
        const char16_t* province;
        const char16_t* region;
    };
    const Case cases[] = {
        { u"浙江杭州", u"浙江", u"杭州" },
        { u"北京", u"北京", u"北京" },
        { u"美国", u"美国", u"美国" },
        { u"", u"", u"" },
        { u"海外美国", u"海外", u"美国" },
        { u"黑龙江哈尔滨", u"黑龙江", u"哈尔滨" },
        { u"内蒙古包头", u"内蒙古", u"包头" },
        { u"浙江 杭州", u"浙江", u" 杭州" },
        { u"杭州浙江", u"杭州浙江", u"杭州浙江" },
    };
    for (const Case& c : cases) {
        QString province = "x";
        QString region = "x";
        SplitLocation(QString::fromUtf16(c.location), province, region);
        EXPECT_EQ(province, QString::fromUtf16(c.province));
        EXPECT_EQ(region, QString::fromUtf16(c.region));
    }
}

TEST(ProvinceTable, ThirtySevenEntriesNoneAPrefixOfAnother)
{
    const QStringList& table = ProvinceTable();
    ASSERT_EQ(table.size(), 37);
    EXPECT_EQ(table.first(), "北京");
    EXPECT_EQ(table.last(), "海外");
    for (const QString& a : table)
        for (const QString& b : table)
            EXPECT_TRUE(a == b || !b.startsWith(a)) << a.toStdString() << " " << b.toStdString();
}
