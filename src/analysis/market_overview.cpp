// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/market_overview.h"

#include "analysis/period_bounds.h"
#include "core/feedback.h"
#include "core/provinces.h"
#include "db/connection.h"
#include "db/database.h"
#include "store/db_operate.h"
#include "store/overview_summary.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <functional>

namespace quel::analysis {

namespace {

const QString kOtherProvince = QStringLiteral("其他");

// The statements of one overview on one connection, each reading its rows through a
// callback; the first failure is kept.
class OverviewQuery
{
public:
    OverviewQuery(db::Database& db, const QString& category)
        : m_db(db)
        , m_category(category)
        , m_all(category.isEmpty() || category == allCategoriesText())
        , m_summary(store::HasOverviewSummary(db))
    { }

    // " WHERE KWord=?" (or nothing for every product), with `more` joined by AND.
    QString where(const QString& more = {}) const
    {
        QStringList terms;
        if (!m_all)
            terms << QStringLiteral("KWord=?");
        if (!more.isEmpty())
            terms << more;
        return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(" AND ");
    }
    // The category's products as a subquery for a PID or similar column.
    QString productsOf(const QString& column) const
    {
        return m_all ? QString()
                     : column + QStringLiteral(" IN (SELECT ID FROM 产品表 WHERE KWord=?)");
    }
    bool filtered() const { return !m_all; }
    // Whether the weeks and the buyers come from the summary the file keeps.
    bool summarised() const { return m_summary; }

    bool rows(const QString& sql, const std::function<void(const db::Statement&)>& row)
    {
        if (!m_error.isEmpty())
            return false;
        QString error;
        db::Statement stmt = m_db.prepare(sql, &error);
        if (!stmt) {
            m_error = error;
            return false;
        }
        if (!m_all)
            stmt.bindText(1, m_category);
        db::StepResult rc;
        while ((rc = stmt.step()) == db::StepResult::Row)
            row(stmt);
        if (rc == db::StepResult::Error) {
            m_error = stmt.errorText();
            return false;
        }
        return true;
    }
    QString error() const { return m_error; }

private:
    db::Database& m_db;
    QString m_category;
    bool m_all;
    bool m_summary;
    QString m_error;
};

// Counts by province, largest first, equal counts in the table's order and 其他 last among
// them.
std::vector<ProvinceCount> sortedProvinces(const QHash<QString, qint64>& counts)
{
    std::vector<ProvinceCount> list;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        list.push_back({ it.key(), it.value() });
    const QStringList& table = core::ProvinceTable();
    const auto rank = [&table](const QString& p) {
        const qsizetype i = table.indexOf(p);
        return p == kOtherProvince ? table.size() : (i < 0 ? table.size() + 1 : i);
    };
    std::sort(list.begin(), list.end(), [&rank](const ProvinceCount& a, const ProvinceCount& b) {
        if (a.count != b.count)
            return a.count > b.count;
        return rank(a.province) < rank(b.province);
    });
    return list;
}

// The listing figures and price bands from one pass over the category's prices.
void readPrices(OverviewQuery& query, MarketOverview& o)
{
    struct Listing
    {
        double price;
        qint64 sold;
    };
    std::vector<Listing> listings;
    query.rows(QStringLiteral("SELECT Price,Num9 FROM 产品表") + query.where(),
        [&listings](const db::Statement& s) {
            listings.push_back({ s.isNull(0) ? 0.0 : s.real(0), s.isNull(1) ? 0 : s.int64(1) });
        });
    o.products = static_cast<qint64>(listings.size());
    if (listings.empty())
        return;
    std::vector<double> prices;
    prices.reserve(listings.size());
    for (const Listing& l : listings) {
        prices.push_back(l.price);
        o.quantity += l.sold;
        o.amount += l.price * static_cast<double>(l.sold);
    }
    o.weightedAveragePrice = o.quantity > 0 ? o.amount / static_cast<double>(o.quantity) : 0;

    const size_t n = prices.size();
    const auto mid = prices.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(prices.begin(), mid, prices.end());
    const double upper = *mid;
    if (n % 2 == 1) {
        o.medianPrice = upper;
    } else {
        const double lower = *std::max_element(prices.begin(), mid);
        o.medianPrice = (lower + upper) / 2;
    }

    const auto [lowest, highest] = std::minmax_element(prices.begin(), prices.end());
    o.bandLayout = PriceBandLayout(*lowest, *highest);
    o.bands.resize(static_cast<size_t>(o.bandLayout.count));
    for (int i = 0; i < o.bandLayout.count; ++i) {
        PriceBand& band = o.bands[static_cast<size_t>(i)];
        band.low = o.bandLayout.start + i * o.bandLayout.width;
        band.high = band.low + o.bandLayout.width;
    }
    for (const Listing& l : listings) {
        PriceBand& band = o.bands[static_cast<size_t>(PriceBandIndex(o.bandLayout, l.price))];
        ++band.products;
        band.quantity += l.sold;
        band.amount += l.price * static_cast<double>(l.sold);
    }
}

// Shops, their shares, HHI and where they are, from one grouping by shop (a shop listed under
// several addresses counts at one of them, at an empty one only when it has no other).
void readShops(OverviewQuery& query, MarketOverview& o)
{
    std::vector<ShopShare> shops;
    QHash<QString, qint64> provinces;
    query.rows(QStringLiteral("SELECT SName,SUM(Price*Num9),SUM(Num9),MAX(Addr) FROM 产品表")
            + query.where() + QStringLiteral(" GROUP BY SName"),
        [&shops, &provinces](const db::Statement& s) {
            shops.push_back(
                { s.text(0), s.isNull(1) ? 0.0 : s.real(1), s.isNull(2) ? 0 : s.int64(2), 0, 0 });
            provinces[OverviewProvince(s.text(3))] += 1;
        });
    o.shops = static_cast<qint64>(shops.size());
    o.sellerProvinces = sortedProvinces(provinces);
    std::stable_sort(shops.begin(), shops.end(),
        [](const ShopShare& a, const ShopShare& b) { return a.amount > b.amount; });
    double total = 0;
    for (const ShopShare& s : shops)
        total += s.amount;
    if (total <= 0) {
        // Nothing sold: no shares, and the largest shops are merely the first ones listed.
        for (size_t i = 0; i < shops.size() && i < kOverviewTopShops; ++i)
            o.topShops.push_back(shops[i]);
        return;
    }
    double running = 0;
    for (size_t i = 0; i < shops.size(); ++i) {
        ShopShare& s = shops[i];
        s.share = s.amount / total;
        running += s.amount;
        s.cumulative = std::min(1.0, running / total);
        const double percent = 100.0 * s.share;
        o.hhi += percent * percent;
        if (i < 10)
            o.top10Share = s.cumulative;
        if (i < kOverviewTopShops)
            o.topShops.push_back(s);
    }
    o.hhi = std::min(o.hhi, 10000.0);
}

// The Julian day of the Monday that begins the week of a stored date ("2026-12-06 23:00:00");
// 0 for a text that is no date. Julian day 0 was a Monday.
qint64 mondayOf(QByteArrayView text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return 0;
    const auto number = [&text](int from, int count) {
        int n = 0;
        for (int i = from; i < from + count; ++i) {
            const char c = text[i];
            if (c < '0' || c > '9')
                return -1;
            n = n * 10 + (c - '0');
        }
        return n;
    };
    const QDate day(number(0, 4), number(5, 2), number(8, 2));
    if (!day.isValid())
        return 0;
    const qint64 julian = day.toJulianDay();
    return julian - julian % 7;
}

struct WeekSums
{
    qint64 quantity = 0;
    qint64 cents = 0;
};

// Every week's sums from the summary: a few rows per category and week.
void summaryWeeks(OverviewQuery& query, QHash<qint64, WeekSums>& byWeek)
{
    query.rows(QStringLiteral("SELECT Week,SUM(Quantity),SUM(Cents) FROM ")
            + QString::fromUtf8(store::kOverviewWeeksTable) + query.where()
            + QStringLiteral(" GROUP BY Week"),
        [&byWeek](const db::Statement& s) {
            byWeek[s.int64(0)] = { s.int64(1), s.int64(2) };
        });
}

// The same from the trades themselves (a server database). They are summed here rather than
// grouped by the engine, which would sort every one of them (millions, in memory) to find a
// few dozen weeks. Amounts are whole cents per trade, as the summary keeps them.
void tradeWeeks(OverviewQuery& query, QHash<qint64, WeekSums>& byWeek)
{
    const QString filter = query.productsOf(QStringLiteral("PID"));
    query.rows(QStringLiteral("SELECT Dat,Pri,Num FROM 交易表 WHERE ")
            + (filter.isEmpty() ? QString() : filter + QStringLiteral(" AND "))
            + QStringLiteral("Dat IS NOT NULL"),
        [&byWeek](const db::Statement& s) {
            const qint64 monday = mondayOf(s.utf8(0));
            if (monday == 0)
                return;
            WeekSums& sums = byWeek[monday];
            const qint64 quantity = s.int64(2);
            sums.quantity += quantity;
            sums.cents += std::llround(s.real(1) * 100) * quantity;
        });
}

// The 26 weeks up to the newest trade of the category's products.
void readWeeks(OverviewQuery& query, MarketOverview& o)
{
    QHash<qint64, WeekSums> byWeek;
    if (query.summarised())
        summaryWeeks(query, byWeek);
    else
        tradeWeeks(query, byWeek);
    query.rows(QStringLiteral("SELECT COUNT(*) FROM 产品表") + query.where("Style<>''"),
        [&o](const db::Statement& s) { o.productsWithRecords = s.int64(0); });
    qint64 newest = 0;
    for (auto it = byWeek.cbegin(); it != byWeek.cend(); ++it)
        newest = std::max(newest, it.key());
    if (newest == 0)
        return;
    for (int i = kOverviewWeeks - 1; i >= 0; --i) {
        const qint64 monday = newest - 7 * i;
        const WeekSums sums = byWeek.value(monday);
        o.weeks.push_back({ QDate::fromJulianDay(monday), sums.quantity,
            static_cast<double>(sums.cents) / 100.0 });
    }
}

// The category's profiled buyers by province, each buyer once.
void readBuyers(OverviewQuery& query, MarketOverview& o)
{
    QHash<QString, qint64> provinces;
    const auto count = [&provinces](const db::Statement& s) {
        provinces[OverviewProvince(s.text(0))] += s.int64(1);
    };
    if (query.summarised()) {
        query.rows(QStringLiteral("SELECT Prov,Buyers FROM ")
                + QString::fromUtf8(store::kOverviewProvincesTable)
                + (query.filtered() ? QStringLiteral(" WHERE Scope=1 AND KWord=?")
                                    : QStringLiteral(" WHERE Scope=0 AND KWord=''")),
            count);
    } else {
        const QString filter = query.productsOf(QStringLiteral("PID"));
        query.rows(QStringLiteral("SELECT Prov,COUNT(*) FROM 客户表 WHERE BName<>'' AND BCode IN "
                                  "(SELECT BCode FROM 交易表 WHERE BCode<>''")
                + (filter.isEmpty() ? QString() : QStringLiteral(" AND ") + filter)
                + QStringLiteral(") GROUP BY Prov"),
            count);
    }
    o.buyerProvinces = sortedProvinces(provinces);
}

} // namespace

QString allCategoriesText()
{
    return QStringLiteral("全部");
}

BandLayout PriceBandLayout(double lowest, double highest)
{
    BandLayout layout;
    if (!(lowest <= highest) || !std::isfinite(lowest) || !std::isfinite(highest))
        return layout;
    for (double power = 1; power < 1e300; power *= 10) {
        for (const double step : { 1.0, 2.0, 5.0 }) {
            const double w = step * power;
            const double start = std::floor(lowest / w) * w;
            if (highest < start + 10 * w) {
                layout.start = start;
                layout.width = w;
                layout.count = static_cast<int>(std::floor(highest / w) - start / w) + 1;
                layout.count = std::clamp(layout.count, 1, 10);
                return layout;
            }
        }
    }
    return layout;
}

int PriceBandIndex(const BandLayout& layout, double price)
{
    if (layout.count <= 0)
        return 0;
    // Whole-number widths: a price that is a multiple of the width divides exactly, so a
    // price on a band edge opens the upper band.
    const double index = std::floor(price / layout.width) - layout.start / layout.width;
    return static_cast<int>(std::clamp(index, 0.0, static_cast<double>(layout.count - 1)));
}

QString ConcentrationReading(double hhi, bool anySales)
{
    if (!anySales)
        return QStringLiteral("无销售");
    if (hhi < 1500)
        return QStringLiteral("分散");
    if (hhi <= 2500)
        return QStringLiteral("中等");
    return QStringLiteral("集中");
}

QString OverviewProvince(const QString& location)
{
    const QString province = core::ProvinceOf(location);
    return province.isEmpty() ? kOtherProvince : province;
}

bool OverviewCategories(store::DB_Operate& db, QStringList& categories, QString* error)
{
    categories = QStringList { allCategoriesText() };
    db::Connection conn;
    if (!db.TryOpenConnection(conn, error))
        return false;
    OverviewQuery query(*conn.database(), allCategoriesText());
    query.rows(QStringLiteral("SELECT DISTINCT KWord FROM 产品表 WHERE KWord IS NOT NULL AND "
                              "KWord<>'' ORDER BY KWord"),
        [&categories](const db::Statement& s) { categories << s.text(0); });
    if (!query.error().isEmpty()) {
        if (error)
            *error = query.error();
        return false;
    }
    return true;
}

bool BuildMarketOverview(
    store::DB_Operate& db, const QString& category, MarketOverview& overview, QString* error)
{
    overview = MarketOverview();
    overview.category = category.isEmpty() ? allCategoriesText() : category;
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    db::Connection conn;
    if (!db.TryOpenConnection(conn, error))
        return false;
    db::Database& database = *conn.database();
    OverviewQuery query(database, overview.category);
    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计市场概览……"), 4, 0);
    // One snapshot for every figure, so they agree with each other.
    db::Transaction snapshot = conn.transaction();
    const std::function<void(OverviewQuery&, MarketOverview&)> steps[] = {
        readPrices,
        readShops,
        readWeeks,
        readBuyers,
    };
    bool first = true;
    for (const auto& step : steps) {
        step(query, overview);
        if (!query.error().isEmpty())
            break;
        if (first && query.filtered() && overview.products == 0) {
            feedback.indicatorClose();
            return fail(QStringLiteral("没有产品类别“%1”").arg(category));
        }
        first = false;
        feedback.indicatorStep(1, QStringLiteral("pages"));
        // Closing the progress window is the user's cancel.
        if (!feedback.isIndicatorOpen())
            return fail(QStringLiteral("统计已取消"));
    }
    feedback.indicatorClose();
    if (!query.error().isEmpty())
        return fail(query.error());
    return true;
}

} // namespace quel::analysis
