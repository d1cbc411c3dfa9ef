#pragma once

#include "market/market_options.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quel::market {

struct Shop
{
    std::string code; // digits; the shop link is /shop/view_shop-CODE.htm
    std::string name; // the seller's nickname, also what a nickname search matches
    std::string location; // "浙江 杭州"
    bool mall = false; // mall shops list their items under /mall/
};

struct Product
{
    int index = 0;
    std::string code; // what the result list links: "NUM" or, for a few items, "XID-NUM"
    std::string numId;
    std::string xid; // empty unless the code has the two-part form
    std::string title;
    std::string searchText; // title without blanks, ASCII letters in lower case
    int family = 0;
    int shop = 0;
    double price = 0; // yuan; 0 for the rare unpriced item
    double postage = 0;
    double discount = 0; // "9.5" (tenths of the price); 0: no discount block on the list
    std::string itemType; // "全新" or "二手"
    bool viewable = true;
    bool mall = false;
    double expectedRecords = 0; // sales records expected in the record window
    int baseViews = 0;
    int baseFavourites = 0;
    double trendPeriodDays = 90;
    double trendPhase = 0;
};

struct Buyer
{
    std::string code; // rate id: user-rate-CODE.htm, user_profile.php?user_id=CODE
    std::string nick;
    bool banned = false;
    std::string location; // empty: the location line is empty
    int buyerCredit = 0;
    int sellerCredit = -1; // -1: the seller credit line is empty
    Seconds registered = 0; // 0: the registration line is empty
    int lastLoginDaysAgo = 0;
};

struct Sale
{
    Seconds time = 0;
    double price = 0; // unit price paid
    int quantity = 1;
    int buyer = -1; // index into buyers(); -1 for an anonymous purchase
};

struct ItemFigures
{
    int records = 0; // rows of the sales record
    int soldThisPeriod = 0; // quantity over the whole record window
    int sold30Days = 0;
    int reviews = 0;
    int views = 0;
    int favourites = 0;
};

// The generated marketplace: shops, items and buyers are made at construction from the
// options alone; each item's sales are generated on first use, day by day from the seed, so
// a later "now" shows the same older records with new ones on top.
class Catalogue
{
public:
    // Days of sales an item page shows, ending at "now".
    static constexpr int kWindowDays = 150;

    explicit Catalogue(const MarketOptions& options);

    const MarketOptions& options() const { return m_options; }
    Seconds now() const { return m_options.now; }
    const std::vector<Shop>& shops() const { return m_shops; }
    const std::vector<Product>& products() const { return m_products; }
    const std::vector<Buyer>& buyers() const { return m_buyers; }

    // By full code, numeric id or xid; nullptr when unknown.
    const Product* findProduct(std::string_view id) const;
    const Buyer* findBuyer(std::string_view code) const;

    // Items whose title holds every blank-separated word of the keyword (blanks and ASCII
    // case ignored) and, when a nickname is given, whose shop has exactly that nickname.
    std::vector<int> search(std::string_view keyword, std::string_view nick) const;

    // The item's sales record, newest first, every time distinct.
    std::shared_ptr<const std::vector<Sale>> sales(int product) const;
    ItemFigures figures(int product) const;
    // The price the item is offered at on the market's day ("now"); Product::price is the
    // price of the fixtures' date, which the sales records are priced from.
    double priceNow(int product) const;

private:
    void makeShops();
    void makeProducts();
    void makeBuyers();

    MarketOptions m_options;
    std::vector<Shop> m_shops;
    std::vector<Product> m_products;
    std::vector<Buyer> m_buyers;
    std::unordered_map<std::string, int> m_productIds;
    std::unordered_map<std::string, int> m_buyerCodes;
    std::unordered_map<std::string, int> m_shopNames; // lower-cased ASCII
    mutable std::mutex m_salesMutex;
    mutable std::vector<std::shared_ptr<const std::vector<Sale>>> m_sales;
};

// Lower-cases ASCII letters and drops blanks (U+0020 and U+3000), as the search compares.
std::string searchForm(std::string_view text);

} // namespace quel::market
