// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/print_qstring.h"
#include "web/market.h"

#include <gtest/gtest.h>

using namespace quel::web;

TEST(MarketAddresses, ItemAndBuyerPages)
{
    const MarketAddresses saved = Market();
    SetMarket(MarketAt(QStringLiteral("http://127.0.0.1:8080/anything?x=1")));
    EXPECT_EQ(Market().searchPage(), QStringLiteral("http://127.0.0.1:8080/browse/ad_search.htm"));
    EXPECT_EQ(Market().mallPrefix, QStringLiteral("http://127.0.0.1:8080/mall/"));
    EXPECT_EQ(ItemPageUrl(QStringLiteral("987")),
        QStringLiteral("http://127.0.0.1:8080/item.htm?id=987"));
    EXPECT_EQ(ItemPageUrl(QStringLiteral("123-456")),
        QStringLiteral("http://127.0.0.1:8080/item.htm?id=123"));
    EXPECT_EQ(ItemPageUrl(QString()), QString());
    EXPECT_EQ(BuyerPageUrl(QStringLiteral("abc")),
        QStringLiteral("http://127.0.0.1:8080/member/user_profile.php?user_id=abc"));

    QString error;
    EXPECT_FALSE(ConfigureMarket(
        { QStringLiteral("quelmar"), QStringLiteral("--market"), QStringLiteral("ftp://x") },
        &error));
    EXPECT_EQ(error, QStringLiteral("市场网址无效：ftp://x"));
    EXPECT_EQ(Market().itemBase, QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_TRUE(ConfigureMarket(
        { QStringLiteral("quelfetch"), QStringLiteral("--market=https://demo.test:9443/") }));
    EXPECT_EQ(
        ItemPageUrl(QStringLiteral("5")), QStringLiteral("https://demo.test:9443/item.htm?id=5"));

    // Callers that pass only the options, without the program name, are read the same way.
    EXPECT_TRUE(
        ConfigureMarket({ QStringLiteral("--market"), QStringLiteral("http://127.0.0.1:8181") }));
    EXPECT_EQ(Market().itemBase, QStringLiteral("http://127.0.0.1:8181"));

    qputenv("QUELMAR_MARKET", "http://localhost:8123");
    EXPECT_TRUE(ConfigureMarket({ QStringLiteral("quelmar") }));
    EXPECT_EQ(Market().memberBase, QStringLiteral("http://localhost:8123"));
    qunsetenv("QUELMAR_MARKET");

    EXPECT_TRUE(PublicMarket().itemPagePrefix().endsWith(QStringLiteral("/item.htm?id=")));
    SetMarket(saved);
}
