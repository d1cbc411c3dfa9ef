#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace quel::bench {

// Raised whenever what the generator writes changes, so that cached files are made anew.
inline constexpr int kScaleGeneratorVersion = 3;

// How large a generated database is.
struct ScaleSize
{
    long long products = 200000;
    long long trades = 10000000;
    long long buyers = 1000000;
    std::uint64_t seed = 1;
    // Weeks of 价格历史 before the last trade day: each product looked at once a week, as a
    // weekly watch run leaves it. None by default.
    int historyWeeks = 0;

    // A year of a busy category: 200,000 products, 10,000,000 trades, 1,000,000 buyers.
    static ScaleSize full();
    // The full size divided by `divisor` (at least one product, trade and buyer).
    static ScaleSize fraction(long long divisor);
};

// The number of trades of each product, in product order. A few best sellers have 20,000
// records each (fewer when the whole database holds fewer), the rest follow a long tail in
// which most products have under 100; one product in twenty was never downloaded and has
// none. The counts add up to size.trades exactly.
std::vector<int> tradeCounts(const ScaleSize& size);

// How many of the first products are the best sellers with the most records.
int bestSellerCount(const ScaleSize& size);

// The records of a best seller.
inline constexpr int kBestSellerTrades = 20000;

// Writes a database with the template's tables and indexes and generated rows to path
// (replacing it): 产品表, 交易表 with dates over 400 days, 客户表 with one row per buyer
// code (seven in ten with a downloaded profile) and, when size.historyWeeks is set, 价格历史
// with a row per product and week. Progress lines go to `progress`.
bool generateScaleDatabase(const QString& path, const ScaleSize& size, QString* error,
    const std::function<void(const QString&)>& progress = {});

// The file name that identifies a generated database by generator version and size.
QString scaleCacheName(const ScaleSize& size);

// The generated database in cacheDir, made first when it is not there yet. Empty and an
// error on failure.
QString cachedScaleDatabase(const QString& cacheDir, const ScaleSize& size, QString* error,
    const std::function<void(const QString&)>& progress = {});

// The last day of the generated dates: trades fall on the 400 days up to it.
inline constexpr int kLastTradeYear = 2026;
inline constexpr int kLastTradeMonth = 3;
inline constexpr int kLastTradeDay = 1;
inline constexpr int kTradeDays = 400;

} // namespace quel::bench
