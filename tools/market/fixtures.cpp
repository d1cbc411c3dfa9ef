#include "market/fixtures.h"

#include "market/word_lists.h"

#include <algorithm>

namespace quel::market {

Fixtures::Fixtures(const Catalogue& catalogue)
    : m_catalogue(catalogue)
{ }

std::string Fixtures::noResultKeyword()
{
    return "月球土壤";
}

std::string Fixtures::threePageKeyword()
{
    const Family& f = threePageFamily();
    return std::string(f.brand) + " " + f.model;
}

std::string Fixtures::everyItemKeyword()
{
    return "正品";
}

std::string Fixtures::onePageKeyword() const
{
    const auto all = families();
    for (std::size_t i = 1; i < all.size(); ++i) {
        const std::string keyword = std::string(all[i].brand) + " " + all[i].model;
        const auto found = m_catalogue.search(keyword, "");
        if (!found.empty() && found.size() <= 40)
            return keyword;
    }
    return {};
}

std::string Fixtures::shopNick() const
{
    const auto& shops = m_catalogue.shops();
    std::vector<int> counts(shops.size(), 0);
    for (const Product& p : m_catalogue.products())
        ++counts[static_cast<std::size_t>(p.shop)];
    for (std::size_t i = 0; i < shops.size(); ++i)
        if (!shops[i].mall && counts[i] >= 2)
            return shops[i].name;
    return {};
}

std::string Fixtures::threePageSalesCode() const
{
    const auto& products = m_catalogue.products();
    const std::size_t limit = std::min<std::size_t>(products.size(), 2000);
    for (std::size_t i = 0; i < limit; ++i) {
        const Product& p = products[i];
        if (!p.viewable || p.mall || p.price <= 0)
            continue;
        const std::size_t rows = m_catalogue.sales(p.index)->size();
        if (rows > 180 && rows <= 270)
            return p.code;
    }
    return {};
}

std::string Fixtures::productCode(int index) const
{
    const auto& products = m_catalogue.products();
    return index < static_cast<int>(products.size())
        ? products[static_cast<std::size_t>(index)].code
        : std::string();
}

std::string Fixtures::buyerCode(int index) const
{
    const auto& buyers = m_catalogue.buyers();
    return index < static_cast<int>(buyers.size()) ? buyers[static_cast<std::size_t>(index)].code
                                                   : std::string();
}

std::string Fixtures::notViewableCode() const
{
    return productCode(1);
}
std::string Fixtures::noSalesCode() const
{
    return productCode(3);
}
std::string Fixtures::zeroPriceCode() const
{
    return productCode(5);
}
std::string Fixtures::noDiscountCode() const
{
    return productCode(7);
}
std::string Fixtures::twoPartCode() const
{
    return productCode(9);
}
std::string Fixtures::mallItemCode() const
{
    return productCode(11);
}
std::string Fixtures::bannedBuyerCode() const
{
    return buyerCode(0);
}
std::string Fixtures::missingFieldsBuyerCode() const
{
    return buyerCode(1);
}

std::string Fixtures::singleQuoteTitleCode() const
{
    for (const Product& p : m_catalogue.products())
        if (p.viewable && p.price > 0 && p.title.find('\'') != std::string::npos)
            return p.code;
    return {};
}

std::string Fixtures::anonymousSaleCode() const
{
    for (const Product& p : m_catalogue.products()) {
        if (!p.viewable || p.mall || p.price <= 0)
            continue;
        const auto sales = m_catalogue.sales(p.index);
        const auto firstPage = sales->begin()
            + static_cast<std::ptrdiff_t>(std::min<std::size_t>(sales->size(), 90));
        if (std::any_of(sales->begin(), firstPage, [](const Sale& s) { return s.buyer < 0; }))
            return p.code;
    }
    return {};
}

std::string Fixtures::plainBuyerCode() const
{
    for (const Buyer& b : m_catalogue.buyers())
        if (!b.banned && !b.location.empty() && b.sellerCredit >= 0 && b.registered != 0)
            return b.code;
    return {};
}

} // namespace quel::market
