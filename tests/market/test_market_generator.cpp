// The generated marketplace: reproducible for a seed, sales that grow with "now" without
// changing the past, the rhythms and rare cases the analyses and readers need, and options.

#include "market/catalogue.h"
#include "market/fixtures.h"
#include "market/gbk.h"
#include "market/market_options.h"
#include "market/pages.h"
#include "market/price_moves.h"
#include "market/word_lists.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace quel::market;

namespace {

MarketOptions testOptions(std::uint64_t seed = 1)
{
    MarketOptions o = MarketOptions::forTests();
    o.seed = seed;
    return o;
}

TEST(MarketGenerator, SameSeedSamePagesOtherSeedOtherMarket)
{
    const Catalogue a(testOptions(7)), b(testOptions(7)), c(testOptions(8));
    const PageRenderer pa(a, "http://h"), pb(b, "http://h"), pc(c, "http://h");
    for (int i : { 0, 1, 3, 9, 42, 599 }) {
        const Product& p = a.products()[static_cast<std::size_t>(i)];
        ItemAddress address { "/item.htm", "id=" + p.code, 90 };
        EXPECT_EQ(
            pa.item(p, address, 1), pb.item(b.products()[static_cast<std::size_t>(i)], address, 1));
    }
    EXPECT_EQ(pa.searchResults("正品", "", 2), pb.searchResults("正品", "", 2));
    EXPECT_EQ(pa.profile(a.buyers()[17]), pb.profile(b.buyers()[17]));
    EXPECT_NE(pa.searchResults("正品", "", 2), pc.searchResults("正品", "", 2));
    EXPECT_NE(a.buyers()[17].code, c.buyers()[17].code);
}

TEST(MarketGenerator, CodesAndNamesAreUniqueAndSafe)
{
    const Catalogue cat(testOptions());
    std::set<std::string> codes, nicks, buyerCodes;
    for (const Product& p : cat.products()) {
        EXPECT_TRUE(codes.insert(p.code).second);
        EXPECT_EQ(cat.findProduct(p.code), &p);
        EXPECT_EQ(cat.findProduct(p.numId), &p);
    }
    for (const Buyer& b : cat.buyers()) {
        EXPECT_TRUE(buyerCodes.insert(b.code).second);
        EXPECT_TRUE(nicks.insert(b.nick).second) << b.nick;
        // Codes go into addresses and, case-insensitively compared, into the database.
        EXPECT_EQ(
            b.code.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789"), std::string::npos);
        EXPECT_EQ(b.nick.find_first_of(" <>&\""), std::string::npos);
    }
    // A title with a single quote exists: the storage must quote it.
    EXPECT_TRUE(std::any_of(cat.products().begin(), cat.products().end(),
        [](const Product& p) { return p.title.find('\'') != std::string::npos; }));
}

TEST(MarketGenerator, LaterNowKeepsOldRecordsAndAddsNewOnTop)
{
    MarketOptions early = testOptions();
    MarketOptions later = testOptions();
    later.now = early.now + 10 * kSecondsPerDay + 3 * 3600;
    const Catalogue a(early), b(later);
    int grown = 0;
    for (int i = 0; i < 60; ++i) {
        const auto oldList = a.sales(i);
        const auto newList = b.sales(i);
        // Records still inside the later window are the same records, in the same order.
        const Seconds windowStart
            = dayOf(later.now - (Catalogue::kWindowDays - 1) * kSecondsPerDay) * kSecondsPerDay;
        std::vector<Sale> oldKept;
        for (const Sale& s : *oldList)
            if (s.time >= windowStart)
                oldKept.push_back(s);
        std::size_t newer = 0;
        while (newer < newList->size() && (*newList)[newer].time > early.now)
            ++newer;
        ASSERT_EQ(newList->size() - newer, oldKept.size()) << "item " << i;
        for (std::size_t k = 0; k < oldKept.size(); ++k) {
            EXPECT_EQ((*newList)[newer + k].time, oldKept[k].time);
            EXPECT_EQ((*newList)[newer + k].buyer, oldKept[k].buyer);
            EXPECT_DOUBLE_EQ((*newList)[newer + k].price, oldKept[k].price);
        }
        grown += newer > 0 ? 1 : 0;
        for (const Sale& s : *newList)
            EXPECT_LE(s.time, later.now);
    }
    EXPECT_GT(grown, 20);
}

TEST(MarketGenerator, PricesMoveFromDayToDayButStandOnTheFixturesDate)
{
    const Catalogue fixed(testOptions());
    MarketOptions laterOptions = testOptions();
    laterOptions.now += 3 * kSecondsPerDay;
    const Catalogue later(laterOptions), again(laterOptions);
    const std::int64_t anchor = dayOf(fixed.now());
    ASSERT_EQ(anchor, priceAnchorDay());
    int moved = 0;
    int dayChanges = 0;
    int pairs = 0;
    for (const Product& p : fixed.products()) {
        EXPECT_EQ(fixed.priceNow(p.index), p.price) << "fixtures keep their prices";
        EXPECT_EQ(later.priceNow(p.index), again.priceNow(p.index)) << "reproducible";
        if (p.price <= 0) {
            EXPECT_EQ(later.priceNow(p.index), 0.0);
            continue;
        }
        moved += later.priceNow(p.index) != p.price ? 1 : 0;
        // Day by day around the anchor, each change is at most 15% (items from 10 yuan,
        // where rounding to tenths cannot add to it).
        for (std::int64_t day = anchor - 20; day < anchor + 20; ++day) {
            const double a = priceOnDay(1, p.index, p.price, day);
            const double b = priceOnDay(1, p.index, p.price, day + 1);
            ++pairs;
            if (a != b) {
                ++dayChanges;
                if (p.price >= 10) {
                    EXPECT_LE(std::abs(b - a) / std::min(a, b), 0.15 + 1e-9);
                }
            }
        }
    }
    const int priced = int(fixed.products().size()) - 1;
    // About two items in ten change on a given day: after three days around half moved.
    EXPECT_GT(moved, priced / 4);
    EXPECT_LT(moved, priced * 3 / 4);
    EXPECT_GT(dayChanges, pairs / 10);
    EXPECT_LT(dayChanges, pairs * 3 / 10);

    // The item page shows the day's price.
    const PageRenderer page(later, "http://h");
    const auto found = std::find_if(later.products().begin(), later.products().end(),
        [&](const Product& p) { return p.viewable && later.priceNow(p.index) != p.price; });
    ASSERT_NE(found, later.products().end());
    const Product& item = *found;
    char expected[48];
    std::snprintf(expected, sizeof expected, "J_StrPrice\">%.2f", later.priceNow(item.index));
    EXPECT_NE(page.item(item, { "/item.htm", "id=" + item.code, 15 }, 0).find(expected),
        std::string::npos);
}

TEST(MarketGenerator, SalesFollowWeeklyAndDailyRhythmsAndBuyersReturn)
{
    MarketOptions o = testOptions();
    o.products = 300;
    o.salesMin = 200;
    o.salesMax = 300;
    const Catalogue cat(o);
    std::array<long, 7> byWeekday {};
    std::array<long, 24> byHour {};
    std::map<int, int> purchases;
    std::set<int> months;
    long total = 0;
    long expected = 0;
    for (const Product& p : cat.products()) {
        expected += static_cast<long>(p.expectedRecords);
        for (const Sale& s : *cat.sales(p.index)) {
            const CivilTime c = toCivil(s.time);
            ++byWeekday[static_cast<std::size_t>(c.weekday)];
            ++byHour[static_cast<std::size_t>(c.hour)];
            months.insert(c.year * 12 + c.month);
            if (s.buyer >= 0)
                ++purchases[s.buyer];
            ++total;
        }
    }
    ASSERT_GT(total, 10000);
    // The expected counts come out about right.
    EXPECT_NEAR(static_cast<double>(total) / static_cast<double>(expected), 1.0, 0.15);
    // Weekends sell more than midweek, evenings more than the small hours.
    EXPECT_GT(byWeekday[0] + byWeekday[6], (byWeekday[2] + byWeekday[3]) * 115 / 100);
    EXPECT_GT(byHour[21], byHour[4] * 10);
    EXPECT_GE(months.size(), 5u);
    const auto regulars = std::count_if(
        purchases.begin(), purchases.end(), [](const auto& kv) { return kv.second >= 5; });
    EXPECT_GT(regulars, 50);
}

TEST(MarketGenerator, ProfilesCoverTheProvinceTable)
{
    MarketOptions o = testOptions();
    o.buyers = 20000;
    const Catalogue cat(o);
    std::set<std::string> seen;
    int banned = 0;
    for (const Buyer& b : cat.buyers()) {
        banned += b.banned ? 1 : 0;
        for (const Province& p : provinces())
            if (b.location.rfind(p.name, 0) == 0)
                seen.insert(p.name);
        if (b.registered != 0) {
            EXPECT_LT(b.registered, cat.now());
        }
    }
    EXPECT_EQ(seen.size(), 37u);
    EXPECT_GT(banned, 50);
    EXPECT_LT(banned, 600);
}

TEST(MarketGenerator, FixturesHoldForEverySeed)
{
    for (std::uint64_t seed : { 1ULL, 2ULL, 99ULL, 123456789ULL }) {
        SCOPED_TRACE(seed);
        const Catalogue cat(testOptions(seed));
        const Fixtures fx(cat);
        EXPECT_EQ(cat.search(Fixtures::threePageKeyword(), "").size(), 100u);
        EXPECT_TRUE(cat.search(Fixtures::noResultKeyword(), "").empty());
        EXPECT_EQ(cat.search(Fixtures::everyItemKeyword(), "").size(), cat.products().size());
        const auto onePage = cat.search(fx.onePageKeyword(), "");
        EXPECT_TRUE(!onePage.empty() && onePage.size() <= 40);
        EXPECT_GE(cat.search("", fx.shopNick()).size(), 2u);

        const std::string three = fx.threePageSalesCode();
        ASSERT_FALSE(three.empty());
        const std::size_t rows = cat.sales(cat.findProduct(three)->index)->size();
        EXPECT_TRUE(rows > 180 && rows <= 270);
        EXPECT_FALSE(cat.findProduct(fx.notViewableCode())->viewable);
        EXPECT_TRUE(cat.sales(cat.findProduct(fx.noSalesCode())->index)->empty());
        EXPECT_EQ(cat.findProduct(fx.zeroPriceCode())->price, 0.0);
        EXPECT_EQ(cat.findProduct(fx.noDiscountCode())->discount, 0.0);
        EXPECT_TRUE(cat.findProduct(fx.mallItemCode())->mall);
        EXPECT_NE(fx.twoPartCode().find('-'), std::string::npos);
        EXPECT_NE(cat.findProduct(fx.singleQuoteTitleCode())->title.find('\''), std::string::npos);
        const Product& anonymous = *cat.findProduct(fx.anonymousSaleCode());
        EXPECT_TRUE(std::any_of(cat.sales(anonymous.index)->begin(),
            cat.sales(anonymous.index)->end(), [](const Sale& s) { return s.buyer < 0; }));
        EXPECT_TRUE(cat.findBuyer(fx.bannedBuyerCode())->banned);
        EXPECT_TRUE(cat.findBuyer(fx.missingFieldsBuyerCode())->location.empty());
        EXPECT_FALSE(cat.findBuyer(fx.plainBuyerCode())->banned);
    }
}

TEST(MarketGenerator, SearchMatchesWordsIgnoringBlanksAndCase)
{
    const Catalogue cat(testOptions());
    EXPECT_EQ(cat.search("诺基亚5200", ""), cat.search("诺基亚 5200", ""));
    EXPECT_EQ(cat.search("5200\xe3\x80\x80诺基亚", ""), cat.search("诺基亚 5200", ""));
    EXPECT_EQ(cat.search("zippo", ""), cat.search("ZIPPO", ""));
    EXPECT_TRUE(cat.search("", "no such shop").empty());
    const std::string nick = Fixtures(cat).shopNick();
    for (int i : cat.search("正品", nick))
        EXPECT_EQ(
            cat.shops()[static_cast<std::size_t>(cat.products()[static_cast<std::size_t>(i)].shop)]
                .name,
            nick);
}

TEST(MarketEncoding, PagesTextSurvivesGbkAndOutsidersBecomeReferences)
{
    // Every marker text the readers look for must be plain GBK, not a character reference.
    const std::string markers = "通告：該用戶已經被查封！对不起，暂时不提供查看该宝贝的信息"
                                "暂时还没有买家购买此宝贝。买家出价记录“”【】  搜 索  ￥";
    const std::string gbk = utf8ToGbk(markers);
    EXPECT_EQ(gbk.find("&#"), std::string::npos);
    EXPECT_EQ(gbkToUtf8(gbk), markers);
    EXPECT_EQ(utf8ToGbk("a\xf0\x9f\x98\x80"
                        "b"),
        "a&#128512;b");
    EXPECT_EQ(utf8ToGbk("a\xff"
                        "b"),
        "a?b");
    EXPECT_EQ(gbkToUtf8("\xd5\xfd\xc6\xb7\xff"), "正品\xef\xbf\xbd");
    EXPECT_EQ(percentEncode(utf8ToGbk("正品 a&b")), "%D5%FD%C6%B7%20a%26b");
}

TEST(MarketOptionsParsing, ReadsValuesAndRejectsBadOnes)
{
    const ParsedOptions ok = parseMarketArguments({ "--port", "0", "--seed", "5", "--products",
        "50", "--sales-per-product", "10-20", "--buyers", "70", "--now", "2026-12-07 08:30",
        "--delay-ms", "5", "--fail-rate", "0.25", "--quiet" });
    ASSERT_TRUE(ok.error.empty()) << ok.error;
    EXPECT_EQ(ok.options.seed, 5u);
    EXPECT_EQ(ok.options.products, 50);
    EXPECT_EQ(ok.options.salesMin, 10);
    EXPECT_EQ(ok.options.salesMax, 20);
    EXPECT_EQ(ok.options.buyers, 70);
    EXPECT_EQ(ok.options.now, toSeconds(2026, 12, 7, 8, 30, 0));
    EXPECT_EQ(ok.options.delayMs, 5);
    EXPECT_DOUBLE_EQ(ok.options.failRate, 0.25);
    EXPECT_FALSE(ok.options.logRequests);
    // A date alone is the end of that day.
    EXPECT_EQ(parseMarketArguments({ "--now", "2026-12-07" }).options.now,
        toSeconds(2026, 12, 7, 23, 59, 59));

    for (const std::vector<std::string>& bad : { std::vector<std::string> { "--products", "0" },
             { "--products", "12x" }, { "--sales-per-product", "20-10" }, { "--fail-rate", "1.5" },
             { "--now", "2026-13-01" }, { "--now", "yesterday" }, { "--port", "70000" },
             { "--seed" }, { "--colour", "red" }, { "--seed", "-3" } })
        EXPECT_FALSE(parseMarketArguments(bad).error.empty()) << bad[0];
}

} // namespace
