// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace quel::store {
class DB_Operate;
}

namespace quel::analysis {

// The category box's entry for every product of the database.
QString allCategoriesText();

// One price band [low, high) of the overview with what its products listed and sold.
struct PriceBand
{
    double low = 0;
    double high = 0;
    qint64 products = 0;
    qint64 quantity = 0; // sum of Num9
    double amount = 0; // sum of Price x Num9
};

// How the price range is cut: bands of `width` from `start`, `count` of them.
struct BandLayout
{
    double start = 0;
    double width = 1;
    int count = 0;
};

// The band width for a price range: the smallest of 1, 2 or 5 times a power of ten (at
// least 1) for which ten bands from the multiple of it at or below the lowest price cover
// the highest; and as many bands as reach the highest price. Empty (count 0) for an empty
// range (lowest above highest).
BandLayout PriceBandLayout(double lowest, double highest);
// The band a price falls in (0-based; prices outside the layout are clamped into it).
int PriceBandIndex(const BandLayout& layout, double price);

// One shop's share of the 90-day amount, with the running total from the largest shop on.
struct ShopShare
{
    QString name;
    double amount = 0;
    qint64 quantity = 0;
    double share = 0; // of the category's 90-day amount, 0 to 1
    double cumulative = 0; // this and every larger shop
};

struct WeekSales
{
    QDate start; // a Monday
    qint64 quantity = 0;
    double amount = 0;
};

struct ProvinceCount
{
    QString province;
    qint64 count = 0;
};

// How concentrated a market is by its HHI: "分散" below 1,500, "中等" to 2,500, "集中" above;
// "无销售" when nothing sold (no shares to square).
QString ConcentrationReading(double hhi, bool anySales);

// Everything the overview shows about one category (or all products).
struct MarketOverview
{
    QString category; // as asked; allCategoriesText() for every product
    qint64 products = 0;
    qint64 shops = 0; // distinct SName
    qint64 quantity = 0; // 90-day quantity
    double amount = 0; // 90-day amount
    double weightedAveragePrice = 0; // amount / quantity, 0 without quantity
    double medianPrice = 0; // of the listed prices
    double top10Share = 0; // the ten largest shops' share of the amount, 0 to 1
    double hhi = 0; // sum of the squared shares in per cent, 0 to 10,000
    BandLayout bandLayout;
    std::vector<PriceBand> bands; // every band from the lowest price to the highest
    std::vector<ShopShare> topShops; // the 20 largest by amount
    std::vector<WeekSales> weeks; // the 26 weeks up to the newest trade; empty without trades
    qint64 productsWithRecords = 0; // products whose item page (and records) were downloaded
    std::vector<ProvinceCount> sellerProvinces; // shops by province, largest first
    std::vector<ProvinceCount> buyerProvinces; // profiled buyers by province, largest first

    bool anySales() const { return amount > 0; }
    QString concentration() const { return ConcentrationReading(hhi, anySales()); }
};

inline constexpr int kOverviewTopShops = 20;
inline constexpr int kOverviewWeeks = 26;

// The stored categories (distinct KWord, in the engine's order) after allCategoriesText().
// False with the reason when the database cannot be read.
bool OverviewCategories(store::DB_Operate& db, QStringList& categories, QString* error);

// Computes the overview of a category (empty or allCategoriesText(): every product), with
// progress through the database's feedback (closing it cancels). False with the reason when
// the database cannot be read, no product has the category (then the reason names it) or
// the user cancelled.
bool BuildMarketOverview(
    store::DB_Operate& db, const QString& category, MarketOverview& overview, QString* error);

// The province a seller address or a buyer's stored province counts under: the table entry
// it starts with, else "其他".
QString OverviewProvince(const QString& location);

} // namespace quel::analysis
