#include "scale_generator.h"

#include "db/database.h"
#include "market/civil_time.h"
#include "market/rng.h"
#include "market/word_lists.h"
#include "store/customer_lookup.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/overview_summary.h"
#include "store/schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <sqlite3.h>
#include <string>

namespace quel::bench {

using market::Rng;

ScaleSize ScaleSize::full()
{
    return {};
}

ScaleSize ScaleSize::fraction(long long divisor)
{
    const ScaleSize f = full();
    divisor = std::max(1LL, divisor);
    return { std::max(1LL, f.products / divisor), std::max(1LL, f.trades / divisor),
        std::max(1LL, f.buyers / divisor), f.seed, f.historyWeeks };
}

int bestSellerCount(const ScaleSize& size)
{
    return static_cast<int>(std::min(size.products, std::max(3LL, size.products / 20000)));
}

namespace {

// The records of one best seller: 20,000 unless that would leave too little for the rest.
int bestSellerTrades(const ScaleSize& size)
{
    const long long best = bestSellerCount(size);
    return static_cast<int>(std::min<long long>(kBestSellerTrades, size.trades / (best * 5)));
}

bool neverDownloaded(long long product, int best)
{
    return product >= best && product % 20 == 19;
}

double normal(Rng& rng)
{
    // Box-Muller; one value per call is plenty here.
    const double u1 = std::max(rng.uniform(), 1e-12);
    const double u2 = rng.uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

template <typename T> const T& pick(Rng& rng, std::span<const T> list)
{
    return list[static_cast<size_t>(rng.between(0, static_cast<long long>(list.size()) - 1))];
}

const market::Province& pickProvince(Rng& rng)
{
    const auto provinces = market::provinces();
    int total = 0;
    for (const auto& p : provinces)
        total += p.weight;
    long long r = rng.between(0, total - 1);
    for (const auto& p : provinces) {
        if (r < p.weight)
            return p;
        r -= p.weight;
    }
    return provinces.front();
}

// Buyer codes are letters and digits like the marketplace's rate ids; the mixing is a
// bijection, so every buyer number gives a different code.
std::string buyerCode(const ScaleSize& size, long long buyer)
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint64_t v = market::mix64((size.seed << 40) ^ static_cast<std::uint64_t>(buyer));
    std::string code = "b";
    do {
        code += kDigits[v % 36];
        v /= 36;
    } while (v != 0);
    return code;
}

std::string buyerNick(const ScaleSize& size, long long buyer)
{
    Rng rng { size.seed, 0x6e69636bULL, static_cast<std::uint64_t>(buyer) };
    if (rng.chance(0.2))
        return std::string(pick(rng, market::latinNicks())) + std::to_string(buyer);
    return std::string(pick(rng, market::nickHeads())) + pick(rng, market::nickTails())
        + std::to_string(buyer);
}

// "2026-03-01 " for each day number up to the last trade day.
std::vector<std::string> dayTexts()
{
    const market::Seconds last = market::toSeconds(kLastTradeYear, kLastTradeMonth, kLastTradeDay);
    std::vector<std::string> days;
    days.reserve(kTradeDays);
    for (int d = kTradeDays - 1; d >= 0; --d)
        days.push_back(market::formatDate(last - d * market::kSecondsPerDay) + ' ');
    return days;
}

std::string timeOfDay(Rng& rng)
{
    // Most shopping happens in the day and evening.
    const int hour = rng.chance(0.85) ? static_cast<int>(rng.between(9, 23))
                                      : static_cast<int>(rng.between(0, 8));
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour,
        static_cast<int>(rng.between(0, 59)), static_cast<int>(rng.between(0, 59)));
    return buffer;
}

// One prepared insert, bound by position and stepped row by row.
class Insert
{
public:
    Insert(sqlite3* db, const char* sql)
        : m_db(db)
    {
        sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Insert() { sqlite3_finalize(m_stmt); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Insert& text(int index, const std::string& value)
    {
        sqlite3_bind_text(
            m_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Insert& integer(int index, long long value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Insert& real(int index, double value)
    {
        sqlite3_bind_double(m_stmt, index, value);
        return *this;
    }
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        return rc == SQLITE_DONE;
    }
    bool fail(QString* error) const
    {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

class Generator
{
public:
    Generator(db::Database& db, const ScaleSize& size,
        const std::function<void(const QString&)>& progress)
        : m_db(db)
        , m_size(size)
        , m_progress(progress)
        , m_days(dayTexts())
    { }

    bool run(QString* error);

private:
    bool exec(const char* sql, QString* error)
    {
        return m_db.executeNative(QString::fromUtf8(sql), error);
    }
    void say(const QString& text)
    {
        if (m_progress)
            m_progress(text + QStringLiteral(" (%1 s)").arg(m_clock.elapsed() / 1000.0, 0, 'f', 1));
    }
    bool products(const std::vector<int>& counts, QString* error);
    bool trades(const std::vector<int>& counts, QString* error);
    bool buyers(QString* error);
    bool priceHistory(QString* error);

    db::Database& m_db;
    ScaleSize m_size;
    std::function<void(const QString&)> m_progress;
    std::vector<std::string> m_days;
    QElapsedTimer m_clock;
};

// Rows go in in large transactions; a commit every so many rows keeps the page cache from
// holding one enormous transaction.
constexpr long long kRowsPerCommit = 500000;

bool Generator::run(QString* error)
{
    m_clock.start();
    // Nothing is worth protecting while the file is being made: it is renamed into place
    // only when complete.
    if (!exec("PRAGMA journal_mode=OFF", error) || !exec("PRAGMA synchronous=OFF", error)
        || !exec("PRAGMA cache_size=-524288", error) || !exec("PRAGMA temp_store=MEMORY", error)
        || !exec("PRAGMA threads=2", error))
        return false;
    for (const QString& statement : store::schemaStatements()) {
        if (!m_db.execute(statement, error))
            return false;
    }
    const std::vector<int> counts = tradeCounts(m_size);
    if (!products(counts, error) || !buyers(error) || !priceHistory(error))
        return false;
    // Trades go in product by product, so their product index only ever grows at its end
    // and costs less made now than sorted afterwards.
    for (const QString& statement : store::indexStatements()) {
        if (statement.contains(QStringLiteral("交易表 (PID)"))
            && !m_db.executeNative(statement, error))
            return false;
    }
    if (!trades(counts, error))
        return false;
    // The other indexes after the rows: one sort each instead of millions of scattered
    // inserts.
    say(QStringLiteral("indexing"));
    if (!store::createIndexes(m_db, error))
        return false;
    say(QStringLiteral("overview summary"));
    if (!store::RebuildOverviewSummary(m_db, error) || !store::RebuildCustomerLookup(m_db, error))
        return false;
    if (!exec("PRAGMA journal_mode=DELETE", error))
        return false;
    say(QStringLiteral("done"));
    return true;
}

bool Generator::products(const std::vector<int>& counts, QString* error)
{
    Insert insert(m_db.handle(),
        "INSERT INTO 产品表(ID,KWord,PCode,P_Name,PName,SCode,SName,Dat,Addr,Price,VIP,MFee,"
        "PMode,Dis,Service,Return,Num1,Num9,Style,VTimes,CTimes,SNum,dDat) "
        "VALUES(?,?,?,?,?,?,?,?,?,?,0,?,'',?,'','',?,?,?,?,?,?,?)");
    if (!insert.ok())
        return insert.fail(error);
    const long long shops = std::max(1LL, m_size.products / 20);
    const int best = bestSellerCount(m_size);
    const std::string searched = m_days.back() + "10:00:00";
    exec("BEGIN", error);
    for (long long p = 0; p < m_size.products; ++p) {
        Rng rng { m_size.seed, 0x70726f64ULL, static_cast<std::uint64_t>(p) };
        const market::Family& family = pick(rng, market::families());
        const long long shop = rng.between(0, shops - 1);
        Rng shopRng { m_size.seed, 0x73686f70ULL, static_cast<std::uint64_t>(shop) };
        const std::string shopName = std::string(pick(shopRng, market::shopNameHeads()))
            + pick(shopRng, market::shopNameTails()) + std::to_string(shop);
        const market::Province& province = pickProvince(shopRng);
        const std::string city = province.cities.empty() ? "" : pick(shopRng, province.cities);
        const std::string shortName = std::string(family.brand) + ' ' + family.model;
        const std::string title = shortName + ' ' + pick(rng, market::genuineTags()) + ' '
            + pick(rng, market::titleSuffixes());
        const double price = std::round(family.basePrice * (0.8 + 0.5 * rng.uniform()) * 100) / 100;
        const int records = counts[static_cast<size_t>(p)];
        const bool downloaded = !neverDownloaded(p, best);
        const std::string style = downloaded ? pick(rng, market::itemTypes()) : "";
        const std::string dDat = downloaded
            ? m_days[static_cast<size_t>(rng.between(kTradeDays - 30, kTradeDays - 1))] + "12:00:00"
            : "1900-01-01 00:00:00";
        const long long sold = downloaded ? records + rng.between(0, records / 4 + 1) : 0;
        insert.integer(1, p + 1)
            .text(2, family.category)
            .text(3, std::to_string(10000000000LL + p * 13 + 7))
            .text(4, shortName)
            .text(5, title)
            .text(6, std::to_string(2000000 + shop * 7 + 3))
            .text(7, shopName)
            .text(8, searched)
            .text(9, std::string(province.name) + ' ' + city)
            .real(10, price)
            .real(11, static_cast<double>(rng.between(0, 3) * 5))
            .real(12, rng.chance(0.3) ? 9.5 : 0.0)
            .integer(13, sold)
            .integer(14, records)
            .text(15, style)
            .integer(16, downloaded ? rng.between(records, records * 20 + 50) : 0)
            .integer(17, downloaded ? rng.between(0, records + 10) : 0)
            .integer(18, downloaded ? rng.between(0, records) : 0)
            .text(19, dDat);
        if (!insert.step())
            return insert.fail(error);
    }
    if (!exec("COMMIT", error))
        return false;
    say(QStringLiteral("%1 products").arg(m_size.products));
    return true;
}

bool Generator::buyers(QString* error)
{
    Insert profiled(m_db.handle(),
        "INSERT INTO 客户表(ID,BCode,BName,SLevel,BLevel,Prov,Regi,rDat,lDat,dDat) "
        "VALUES(?,?,?,?,?,?,?,?,?,?)");
    Insert bare(m_db.handle(), "INSERT INTO 客户表(ID,BCode) VALUES(?,?)");
    if (!profiled.ok() || !bare.ok())
        return profiled.fail(error);
    const market::Seconds last = market::toSeconds(kLastTradeYear, kLastTradeMonth, kLastTradeDay);
    exec("BEGIN", error);
    for (long long b = 0; b < m_size.buyers; ++b) {
        Rng rng { m_size.seed, 0x62757972ULL, static_cast<std::uint64_t>(b) };
        bool ok;
        // Seven in ten profiles were downloaded; the rest are a code only.
        if (rng.chance(0.7)) {
            const market::Province& province = pickProvince(rng);
            const std::string city = province.cities.empty() ? "" : pick(rng, province.cities);
            const market::Seconds registered
                = last - rng.between(400, 4000) * market::kSecondsPerDay;
            const market::Seconds login = last - rng.between(0, 60) * market::kSecondsPerDay;
            profiled.integer(1, b + 1)
                .text(2, buyerCode(m_size, b))
                .text(3, buyerNick(m_size, b))
                .integer(4, rng.between(0, 8))
                .integer(5, rng.between(0, 15))
                .text(6, province.name)
                .text(7, city)
                .text(8, market::formatDate(registered) + " 00:00:00")
                .text(9, market::formatDate(login) + " 00:00:00")
                .text(10, m_days.back() + "00:00:00");
            ok = profiled.step();
        } else {
            bare.integer(1, b + 1).text(2, buyerCode(m_size, b));
            ok = bare.step();
        }
        if (!ok)
            return profiled.fail(error);
        if ((b + 1) % kRowsPerCommit == 0 && !(exec("COMMIT", error) && exec("BEGIN", error)))
            return false;
    }
    if (!exec("COMMIT", error))
        return false;
    say(QStringLiteral("%1 buyers").arg(m_size.buyers));
    return true;
}

bool Generator::priceHistory(QString* error)
{
    if (m_size.historyWeeks <= 0)
        return true;
    Insert insert(m_db.handle(), "INSERT INTO 价格历史(PID,Dat,Price,Num1) VALUES(?,?,?,?)");
    if (!insert.ok())
        return insert.fail(error);
    const market::Seconds last = market::toSeconds(kLastTradeYear, kLastTradeMonth, kLastTradeDay);
    std::vector<std::string> weeks;
    for (int w = m_size.historyWeeks - 1; w >= 0; --w)
        weeks.push_back(market::formatDate(last - w * 7 * market::kSecondsPerDay) + " 00:00:00");
    long long rows = 0;
    exec("BEGIN", error);
    for (long long p = 0; p < m_size.products; ++p) {
        // The price walks from the family's base: four weeks in ten it moves by up to 15 %,
        // as the demo marketplace's prices do; the sales grow week by week.
        Rng rng { m_size.seed, 0x68697374ULL, static_cast<std::uint64_t>(p) };
        Rng priceRng { m_size.seed, 0x70726f64ULL, static_cast<std::uint64_t>(p) };
        double price = pick(priceRng, market::families()).basePrice;
        long long sold = rng.between(0, 50);
        for (const std::string& week : weeks) {
            if (rng.chance(0.4))
                price = std::round(price * (0.85 + 0.3 * rng.uniform()) * 100) / 100;
            sold += rng.between(0, 20);
            insert.integer(1, p + 1).text(2, week).real(3, price).integer(4, sold);
            if (!insert.step())
                return insert.fail(error);
            if (++rows % kRowsPerCommit == 0 && !(exec("COMMIT", error) && exec("BEGIN", error)))
                return false;
        }
    }
    if (!exec("COMMIT", error))
        return false;
    say(QStringLiteral("%1 price history rows").arg(rows));
    return true;
}

bool Generator::trades(const std::vector<int>& counts, QString* error)
{
    Insert insert(
        m_db.handle(), "INSERT INTO 交易表(ID,PID,BCode,Buyer,Dat,Pri,Num) VALUES(?,?,?,?,?,?,?)");
    if (!insert.ok())
        return insert.fail(error);
    const int best = bestSellerCount(m_size);
    long long id = 0;
    exec("BEGIN", error);
    for (long long p = 0; p < m_size.products; ++p) {
        const int records = counts[static_cast<size_t>(p)];
        if (records == 0)
            continue;
        Rng rng { m_size.seed, 0x74726164ULL, static_cast<std::uint64_t>(p) };
        Rng priceRng { m_size.seed, 0x70726f64ULL, static_cast<std::uint64_t>(p) };
        const double price = pick(priceRng, market::families()).basePrice;
        // A best seller sells all year; others over a stretch of a month to the whole span.
        const int span = p < best ? kTradeDays : static_cast<int>(rng.between(30, kTradeDays));
        const int firstDay = static_cast<int>(rng.between(0, kTradeDays - span));
        for (int r = 0; r < records; ++r) {
            const int day = firstDay + static_cast<int>(rng.between(0, span - 1));
            const std::string when = m_days[static_cast<size_t>(day)] + timeOfDay(rng);
            // Regulars buy again: low buyer numbers are drawn far more often.
            const double u = rng.uniform();
            const auto buyer = static_cast<long long>(u * u * static_cast<double>(m_size.buyers));
            const bool anonymous = rng.chance(0.01);
            insert.integer(1, ++id)
                .integer(2, p + 1)
                .text(3, anonymous ? std::string() : buyerCode(m_size, buyer))
                .text(4, anonymous ? std::string("匿名买家") : buyerNick(m_size, buyer))
                .text(5, when)
                .real(6, std::round(price * (0.85 + 0.2 * rng.uniform()) * 100) / 100)
                .integer(7, rng.chance(0.8) ? 1 : rng.between(2, 5));
            if (!insert.step())
                return insert.fail(error);
            if (id % kRowsPerCommit == 0) {
                if (!(exec("COMMIT", error) && exec("BEGIN", error)))
                    return false;
                if (id % (kRowsPerCommit * 4) == 0)
                    say(QStringLiteral("%1 trades").arg(id));
            }
        }
    }
    if (!exec("COMMIT", error))
        return false;
    say(QStringLiteral("%1 trades").arg(id));
    return true;
}

} // namespace

std::vector<int> tradeCounts(const ScaleSize& size)
{
    const auto n = static_cast<size_t>(size.products);
    std::vector<int> counts(n, 0);
    const int best = bestSellerCount(size);
    const int bestTrades = bestSellerTrades(size);
    long long rest = size.trades;
    for (int p = 0; p < best; ++p) {
        counts[static_cast<size_t>(p)] = bestTrades;
        rest -= bestTrades;
    }
    // The long tail: log-normal with a median of 25 and a mean of about 50 records, scaled
    // so that the total comes out exactly.
    Rng rng { size.seed, 0x636f756eULL };
    std::vector<double> weights(n, 0.0);
    double total = 0;
    for (size_t p = static_cast<size_t>(best); p < n; ++p) {
        if (neverDownloaded(static_cast<long long>(p), best))
            continue;
        weights[p] = std::exp(std::log(25.0) + 1.16 * normal(rng));
        total += weights[p];
    }
    if (total <= 0)
        return counts;
    const int cap = std::max(1, bestTrades - 1);
    long long placed = 0;
    for (size_t p = static_cast<size_t>(best); p < n; ++p) {
        const auto c = static_cast<long long>(weights[p] * static_cast<double>(rest) / total);
        counts[p] = static_cast<int>(std::min<long long>(c, cap));
        placed += counts[p];
    }
    // What rounding and the cap left over goes one record at a time round the tail.
    for (size_t p = static_cast<size_t>(best); placed < rest; p = p + 1 < n ? p + 1 : best) {
        if (weights[p] > 0 && counts[p] < cap) {
            ++counts[p];
            ++placed;
        }
    }
    return counts;
}

bool generateScaleDatabase(const QString& path, const ScaleSize& size, QString* error,
    const std::function<void(const QString&)>& progress)
{
    // Made beside the target and renamed, so a cached file is always complete.
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    bool ok;
    {
        auto db
            = store::OpenDatabase(temp, QString::fromLatin1(store::kDatabasePassword), error, true);
        ok = db && Generator(*db, size, progress).run(error);
    }
    QFile::remove(path);
    if (!ok || !QFile::rename(temp, path)) {
        if (ok && error)
            *error = QStringLiteral("cannot rename ") + temp;
        QFile::remove(temp);
        return false;
    }
    return true;
}

QString scaleCacheName(const ScaleSize& size)
{
    const QString history
        = size.historyWeeks > 0 ? QStringLiteral("-h%1").arg(size.historyWeeks) : QString();
    return QStringLiteral("scale-v%1-p%2-t%3-b%4-s%5%6.mdb")
        .arg(kScaleGeneratorVersion)
        .arg(size.products)
        .arg(size.trades)
        .arg(size.buyers)
        .arg(size.seed)
        .arg(history);
}

QString cachedScaleDatabase(const QString& cacheDir, const ScaleSize& size, QString* error,
    const std::function<void(const QString&)>& progress)
{
    QDir().mkpath(cacheDir);
    const QString path = QDir(cacheDir).filePath(scaleCacheName(size));
    if (QFileInfo(path).isFile())
        return path;
    if (!generateScaleDatabase(path, size, error, progress))
        return {};
    return path;
}

} // namespace quel::bench
