#pragma once

#include "market/catalogue.h"

#include <string>

namespace quel::market {

// Named cases of the generated marketplace that other tests can rely on. They hold for every
// seed as long as --products is at least 200 (the default is 600); with fewer items a
// function whose case does not exist returns "".
//
//   noResultKeyword()      "月球土壤": a keyword no title holds; the list page has no items
//   threePageKeyword()     "诺基亚 5200": exactly 100 items (every second of items 0-199),
//                          so 3 result pages of 40, 40 and 20
//   everyItemKeyword()     "正品": every title holds it; ceil(products / 40) pages
//   onePageKeyword()       a family with 1 to 40 items: one result page
//   shopNick()             nickname of an ordinary shop with at least two items
//   threePageSalesCode()   a viewable, priced, non-mall item whose sales record has 181 to 270
//                          rows: 3 record pages at page_size=90 (normally item 0)
//   notViewableCode()      item 1: its page says "对不起，暂时不提供查看该宝贝的信息"
//   noSalesCode()          item 3: "暂时还没有买家购买此宝贝。" on the sales tab
//   zeroPriceCode()        item 5: price 0 on the list and on its page
//   noDiscountCode()       item 7: no discount ("class=extend") block on the list
//   twoPartCode()          item 9: code "XID-NUM"; /auction/item_detail.htm?xid=XID&
//                          item_num_id=NUM and /item.htm?id=XID both show it
//   mallItemCode()         item 11: sold by a mall shop, listed under BASE/mall/
//   singleQuoteTitleCode() a viewable, priced item whose title holds a single quote (Levi's)
//   anonymousSaleCode()    a viewable, priced, non-mall item whose first record page (90 rows)
//                          has a purchase without rating link (empty buyer code)
//   bannedBuyerCode()      buyer 0: profile says "通告：該用戶已經被查封！"
//   missingFieldsBuyerCode() buyer 1: seller credit, location and registration lines empty
//   plainBuyerCode()       a buyer with every profile line, not banned
// Other rare cases also occur at random: ~1% items not viewable, ~5% without sales, ~30%
// without discount block, ~1% banned buyers, ~3% buyers with an empty location, ~2% anonymous
// purchases (no rating link in the sales record).
class Fixtures
{
public:
    explicit Fixtures(const Catalogue& catalogue);

    static std::string noResultKeyword();
    static std::string threePageKeyword();
    static std::string everyItemKeyword();
    std::string onePageKeyword() const;
    std::string shopNick() const;
    std::string threePageSalesCode() const;
    std::string notViewableCode() const;
    std::string noSalesCode() const;
    std::string zeroPriceCode() const;
    std::string noDiscountCode() const;
    std::string twoPartCode() const;
    std::string mallItemCode() const;
    std::string singleQuoteTitleCode() const;
    std::string anonymousSaleCode() const;
    std::string bannedBuyerCode() const;
    std::string missingFieldsBuyerCode() const;
    std::string plainBuyerCode() const;

private:
    std::string productCode(int index) const;
    std::string buyerCode(int index) const;

    const Catalogue& m_catalogue;
};

} // namespace quel::market
