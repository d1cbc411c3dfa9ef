#include "market/catalogue.h"

#include "market/price_moves.h"
#include "market/rng.h"
#include "market/sales_generator.h"
#include "market/word_lists.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <unordered_set>

namespace quel::market {
namespace {

// Item slots with a fixed role, so that the rare cases exist for every seed (see Fixtures).
constexpr int kMultiPageSalesSlot = 0;
constexpr int kNotViewableSlot = 1;
constexpr int kNoSalesSlot = 3;
constexpr int kZeroPriceSlot = 5;
constexpr int kNoDiscountSlot = 7;
constexpr int kTwoPartCodeSlot = 9;
constexpr int kMallSlot = 11;
constexpr int kThreePageFamilySlots = 200; // every second slot below this is family 0

template <typename T> const T& pick(Rng& rng, std::span<const T> items)
{
    return items[static_cast<std::size_t>(
        rng.between(0, static_cast<long long>(items.size()) - 1))];
}

std::string provinceLocation(Rng& rng)
{
    const auto all = provinces();
    int total = 0;
    for (const Province& p : all)
        total += p.weight;
    long long x = rng.between(0, total - 1);
    for (const Province& p : all) {
        x -= p.weight;
        if (x < 0) {
            const std::string city = pick(rng, p.cities);
            if (city.empty() || city == p.name)
                return p.name;
            return std::string(p.name) + " " + city;
        }
    }
    return "未知";
}

std::string randomCode(Rng& rng, int length)
{
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string code;
    // A letter first keeps codes from looking like (and being read as) numbers.
    code += kChars[rng.between(0, 25)];
    while (static_cast<int>(code.size()) < length)
        code += kChars[rng.between(0, 35)];
    return code;
}

} // namespace

std::string searchForm(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ')
            continue;
        // U+3000 IDEOGRAPHIC SPACE in UTF-8.
        if (text.compare(i, 3, "\xe3\x80\x80") == 0) {
            i += 2;
            continue;
        }
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

Catalogue::Catalogue(const MarketOptions& options)
    : m_options(options)
{
    m_options.products = std::max(1, m_options.products);
    m_options.buyers = std::max(1, m_options.buyers);
    makeShops();
    makeProducts();
    makeBuyers();
    m_sales.resize(m_products.size());
}

void Catalogue::makeShops()
{
    const int count = std::clamp(m_options.products / 6, 4, 20000);
    std::unordered_set<std::string> names;
    const std::uint64_t codeBase
        = 10000000 + hashParts({ m_options.seed, 0x5409ULL }) % 1000 * 10000;
    for (int i = 0; i < count; ++i) {
        Rng rng { m_options.seed, 0x5409ULL, static_cast<std::uint64_t>(i) };
        Shop shop;
        shop.code = std::to_string(codeBase + static_cast<std::uint64_t>(i) * 7 + 3);
        shop.mall = i == 0 || i % 25 == 13;
        std::string name;
        if (shop.mall) {
            name = std::string(families()[static_cast<std::size_t>(i) % families().size()].brand)
                + "官方旗舰店";
        } else {
            name = std::string(pick(rng, shopNameHeads())) + pick(rng, shopNameTails());
            if (rng.chance(0.5))
                name += std::to_string(rng.between(1, 2010));
        }
        // Blanks would vanish from the list page anyway; keep names as they are read back.
        std::erase(name, ' ');
        if (!names.insert(searchForm(name)).second) {
            name += std::to_string(i);
            names.insert(searchForm(name));
        }
        shop.name = name;
        shop.location = provinceLocation(rng);
        m_shopNames.emplace(searchForm(shop.name), i);
        m_shops.push_back(std::move(shop));
    }
}

void Catalogue::makeProducts()
{
    const int count = m_options.products;
    const auto fams = families();
    const std::uint64_t idBase
        = 1000000000ULL + hashParts({ m_options.seed, 0x1d5ULL }) % 900 * 10000000ULL;
    const int shopCount = static_cast<int>(m_shops.size());
    for (int i = 0; i < count; ++i) {
        Rng rng { m_options.seed, 0x9e0dULL, static_cast<std::uint64_t>(i) };
        Product p;
        p.index = i;
        p.numId = std::to_string(idBase + static_cast<std::uint64_t>(i));
        if (i == kTwoPartCodeSlot || i % 50 == kTwoPartCodeSlot + 20) {
            p.xid = std::to_string(500000 + i);
            p.code = p.xid + "-" + p.numId;
        } else {
            p.code = p.numId;
        }

        if (i < kThreePageFamilySlots && i % 2 == 0)
            p.family = 0;
        else
            p.family = static_cast<int>(rng.between(1, static_cast<long long>(fams.size()) - 1));
        const Family& fam = fams[static_cast<std::size_t>(p.family)];

        std::string title;
        const std::string tag = pick(rng, genuineTags());
        const bool tagFirst = rng.chance(0.5);
        if (tagFirst)
            title = tag;
        title += std::string(fam.brand) + " " + fam.model;
        if (rng.chance(0.85))
            title += std::string(" ") + fam.category;
        const int suffixes = static_cast<int>(rng.between(0, 2));
        for (int s = 0; s < suffixes; ++s)
            title += std::string(" ") + pick(rng, titleSuffixes());
        if (!tagFirst)
            title += std::string(" ") + tag;
        p.title = title;
        p.searchText = searchForm(title);

        if (i == kMallSlot) {
            p.shop = 0;
        } else {
            // A few shops carry most items.
            const double u = rng.uniform();
            p.shop = std::min(shopCount - 1, static_cast<int>(shopCount * std::pow(u, 1.6)));
        }
        p.mall = m_shops[static_cast<std::size_t>(p.shop)].mall;

        const double price = fam.basePrice * (0.85 + 0.3 * rng.uniform());
        p.price = fam.basePrice >= 100 ? std::round(price) : std::round(price * 10) / 10;
        if (i == kZeroPriceSlot || (i > kThreePageFamilySlots && rng.chance(0.005)))
            p.price = 0;
        static constexpr double kPostage[] = { 0, 0, 5, 8, 10, 10, 12, 15, 20 };
        p.postage = pick(rng, std::span<const double>(kPostage));
        static constexpr double kDiscounts[] = { 9.8, 9.5, 9.0, 8.8, 8.5, 8.0, 7.5 };
        const bool hasDiscount = i != kNoDiscountSlot && rng.chance(0.7);
        p.discount = hasDiscount ? pick(rng, std::span<const double>(kDiscounts)) : 0;
        p.itemType = pick(rng, itemTypes());
        p.viewable = i != kNotViewableSlot && !(i > kMallSlot && rng.chance(0.01));

        const double u = rng.uniform();
        if (i == kNoSalesSlot || (i > kMallSlot && rng.chance(0.05)))
            p.expectedRecords = 0;
        else if (i == kMultiPageSalesSlot)
            p.expectedRecords = std::clamp(230, m_options.salesMin, m_options.salesMax);
        else
            p.expectedRecords
                = m_options.salesMin + (m_options.salesMax - m_options.salesMin) * u * u;
        p.baseViews = static_cast<int>(rng.between(50, 3000));
        p.baseFavourites = static_cast<int>(rng.between(0, 200));
        p.trendPeriodDays = 40 + 160 * rng.uniform();
        p.trendPhase = 2 * std::numbers::pi * rng.uniform();

        m_productIds.emplace(p.code, i);
        m_productIds.emplace(p.numId, i);
        if (!p.xid.empty())
            m_productIds.emplace(p.xid, i);
        m_products.push_back(std::move(p));
    }
}

void Catalogue::makeBuyers()
{
    const int count = m_options.buyers;
    std::unordered_set<std::string> nicks;
    const Seconds firstRegistration = toSeconds(2003, 5, 10);
    const Seconds lastRegistration = std::max(
        firstRegistration, std::min(toSeconds(2026, 6, 1), m_options.now - 30 * kSecondsPerDay));
    m_buyers.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Rng rng { m_options.seed, 0xb0e5ULL, static_cast<std::uint64_t>(i) };
        Buyer b;
        do {
            b.code = randomCode(rng, 10);
        } while (m_buyerCodes.count(b.code) != 0);

        std::string nick;
        if (rng.chance(0.7)) {
            nick = std::string(pick(rng, nickHeads())) + pick(rng, nickTails());
            if (rng.chance(0.85))
                nick += std::to_string(rng.between(1, 9999));
        } else {
            nick = std::string(pick(rng, latinNicks())) + std::to_string(rng.between(1, 99999));
        }
        if (!nicks.insert(nick).second) {
            nick += '_';
            nick += std::to_string(i);
            nicks.insert(nick);
        }
        b.nick = nick;

        b.banned = i == 0 || (i > 1 && rng.chance(0.01));
        const bool missingAll = i == 1;
        if (!missingAll && !rng.chance(0.03))
            b.location = provinceLocation(rng);
        const double c = rng.uniform();
        b.buyerCredit = static_cast<int>(16 * c * c * c);
        if (!missingAll && !rng.chance(0.05))
            b.sellerCredit = rng.chance(0.85) ? 0 : static_cast<int>(rng.between(1, 10));
        if (!missingAll && !rng.chance(0.02))
            b.registered = toSeconds(2003, 5, 10)
                + rng.between(0, dayOf(lastRegistration) - dayOf(firstRegistration))
                    * kSecondsPerDay;
        b.lastLoginDaysAgo = static_cast<int>(rng.between(0, 90));
        m_buyerCodes.emplace(b.code, i);
        m_buyers.push_back(std::move(b));
    }
}

const Product* Catalogue::findProduct(std::string_view id) const
{
    const auto it = m_productIds.find(std::string(id));
    return it == m_productIds.end() ? nullptr : &m_products[static_cast<std::size_t>(it->second)];
}

const Buyer* Catalogue::findBuyer(std::string_view code) const
{
    const auto it = m_buyerCodes.find(std::string(code));
    return it == m_buyerCodes.end() ? nullptr : &m_buyers[static_cast<std::size_t>(it->second)];
}

std::vector<int> Catalogue::search(std::string_view keyword, std::string_view nick) const
{
    std::vector<std::string> terms;
    std::string current;
    const std::string kw(keyword);
    for (std::size_t i = 0; i <= kw.size(); ++i) {
        const bool ideographicSpace = i < kw.size() && kw.compare(i, 3, "\xe3\x80\x80") == 0;
        if (i == kw.size() || kw[i] == ' ' || kw[i] == '\t' || ideographicSpace) {
            if (!current.empty())
                terms.push_back(searchForm(current));
            current.clear();
            if (ideographicSpace)
                i += 2;
        } else {
            current += kw[i];
        }
    }
    int shop = -1;
    const std::string nickKey = searchForm(nick);
    if (!nickKey.empty()) {
        const auto it = m_shopNames.find(nickKey);
        if (it == m_shopNames.end())
            return {};
        shop = it->second;
    }
    std::vector<int> found;
    for (const Product& p : m_products) {
        if (shop >= 0 && p.shop != shop)
            continue;
        const bool all = std::all_of(terms.begin(), terms.end(),
            [&](const std::string& t) { return p.searchText.find(t) != std::string::npos; });
        if (all)
            found.push_back(p.index);
    }
    return found;
}

std::shared_ptr<const std::vector<Sale>> Catalogue::sales(int product) const
{
    const auto slot = static_cast<std::size_t>(product);
    {
        std::lock_guard lock(m_salesMutex);
        if (m_sales[slot])
            return m_sales[slot];
    }
    SalesShape shape;
    shape.seed = m_options.seed;
    shape.buyerCount = m_options.buyers;
    static constexpr std::uint64_t kStrides[] = { 7919, 104729, 1299709, 15485863 };
    for (std::uint64_t s : kStrides) {
        if (std::gcd(s, static_cast<std::uint64_t>(m_options.buyers)) == 1) {
            shape.buyerStride = s;
            break;
        }
    }
    shape.buyerOffset
        = hashParts({ m_options.seed, 0x0ff5e7ULL }) % static_cast<std::uint64_t>(m_options.buyers);
    auto made = std::make_shared<const std::vector<Sale>>(
        generateSales(m_products[slot], shape, m_options.now, kWindowDays));
    std::lock_guard lock(m_salesMutex);
    if (!m_sales[slot])
        m_sales[slot] = std::move(made);
    return m_sales[slot];
}

ItemFigures Catalogue::figures(int product) const
{
    const Product& p = m_products[static_cast<std::size_t>(product)];
    const auto list = sales(product);
    ItemFigures f;
    f.records = static_cast<int>(list->size());
    const Seconds monthAgo = m_options.now - 30 * kSecondsPerDay;
    for (const Sale& s : *list) {
        f.soldThisPeriod += s.quantity;
        if (s.time > monthAgo)
            f.sold30Days += s.quantity;
    }
    const std::uint64_t h
        = hashParts({ m_options.seed, 0x7e71ULL, static_cast<std::uint64_t>(product) });
    f.reviews = f.records * static_cast<int>(25 + h % 20) / 100;
    f.views = p.baseViews + f.records * 17 + f.soldThisPeriod * 3;
    f.favourites = p.baseFavourites + f.records / 4;
    return f;
}

double Catalogue::priceNow(int product) const
{
    const Product& p = m_products[static_cast<std::size_t>(product)];
    return priceOnDay(m_options.seed, product, p.price, dayOf(m_options.now));
}

} // namespace quel::market
