// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/change_digest.h"

#include "db/connection.h"
#include "db/database.h"
#include "db/stored_date.h"
#include "store/watch_list.h"

#include <QHash>
#include <QMap>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <vector>

namespace quel::store {

using db::canonicalDateText;
using db::Connection;
using db::Database;
using db::parseCanonicalDate;
using db::parseDateText;
using db::Statement;
using db::StepResult;
using db::Transaction;

namespace {

// 90-day sales count as changed at half as much again (or half as little) and 5 pieces.
constexpr double kSalesShare = 0.5;
constexpr qint64 kSalesPieces = 5;
// A product missed by this many runs in a row (on different days) is gone.
constexpr int kMissesForGone = 2;
// Followed categories and shops looked up one by one; more are read in one table pass.
constexpr qsizetype kLookupsBeforeScan = 4;

// Rows per multi-row INSERT and IDs per DELETE, within the engine's 999 parameters.
constexpr qsizetype kRowsPerInsert = 100;
constexpr qsizetype kDeletesPerStatement = 500;

// Rows written by multi-row INSERTs of up to kRowsPerInsert rows: one statement per hundred
// rows instead of one per row.
class RowBatch
{
public:
    RowBatch(Database& db, QString head, int columns)
        : m_db(db)
        , m_head(std::move(head))
        , m_columns(columns)
    { }

    bool add(std::vector<QVariant> row)
    {
        m_rows.push_back(std::move(row));
        return qsizetype(m_rows.size()) < kRowsPerInsert || flush();
    }

    bool flush()
    {
        if (m_rows.empty())
            return true;
        QString sql = m_head;
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            sql += r == 0 ? QLatin1String("(") : QLatin1String(",(");
            for (int c = 0; c < m_columns; ++c)
                sql += c == 0 ? QLatin1String("?") : QLatin1String(",?");
            sql += u')';
        }
        Statement st = m_db.prepareCached(sql, &m_error);
        if (!st)
            return false;
        int index = 1;
        for (const std::vector<QVariant>& row : m_rows) {
            for (const QVariant& value : row)
                st.bind(index++, value);
        }
        m_rows.clear();
        if (!st.run()) {
            m_error = st.errorText();
            return false;
        }
        return true;
    }

    QString error() const { return m_error; }

private:
    Database& m_db;
    QString m_head;
    int m_columns;
    std::vector<std::vector<QVariant>> m_rows;
    QString m_error;
};

struct ScopedProduct
{
    qint64 id = 0;
    QString kWord;
    QString shop;
    QString name;
    double price = 0;
    qint64 num9 = 0;
    bool listed = false; // by this run's searches
    bool detailed = false; // details downloaded today
    bool followed = false; // followed on its own
    bool inCategory = false; // its KWord is a followed category
    bool inShop = false; // its SName is a followed shop
};

struct Snapshot
{
    double price = 0;
    std::optional<qint64> num9;
    int missed = 0;
    QDate missDay;
    bool gone = false;
};

QString quotedText(const QString& text)
{
    QString q = text;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

bool failWith(DigestOutcome& out, const QString& what, const QString& why)
{
    out.ok = false;
    out.error = what + QStringLiteral(": ") + why;
    return false;
}

struct Followed
{
    QSet<qint64> products;
    QMap<QString, QDateTime> categories; // value -> since
    QMap<QString, QDateTime> shops;
};

std::optional<Followed> readFollowed(const Connection& conn, QString* error)
{
    const auto items = WatchedItems(conn, error);
    if (!items)
        return std::nullopt;
    Followed f;
    for (const WatchItem& item : *items) {
        switch (item.kind) {
        case WatchKind::Product:
            f.products.insert(item.value.toLongLong());
            break;
        case WatchKind::Shop:
            f.shops.insert(item.value, item.since);
            break;
        case WatchKind::Category:
            f.categories.insert(item.value, item.since);
            break;
        }
    }
    return f;
}

class DigestRun
{
public:
    DigestRun(Database& db, const WatchRunScope& scope, const Followed& followed)
        : m_db(db)
        , m_scope(scope)
        , m_followed(followed)
    { }

    bool run(DigestOutcome& out)
    {
        if (!readPreviousRun(out) || !readScope(out) || !readSnapshots(out)
            || !readTodaysChanges(out))
            return false;
        out.firstRun = !m_previousRun.isValid();
        findChanges(out);
        return write(out);
    }

private:
    bool readPreviousRun(DigestOutcome& out)
    {
        QString error;
        Statement st = m_db.prepare(QStringLiteral("SELECT MAX(Run) FROM 关注运行"), &error);
        if (!st)
            return failWith(out, QStringLiteral("关注运行"), error);
        if (st.step() == StepResult::Row && !st.isNull(0)) {
            if (const auto when = parseCanonicalDate(st.text(0)))
                m_previousRun = *when;
        }
        return true;
    }

    // Reads the products a query finds; mark tells what they are followed as, and false
    // for a product that is not in scope after all.
    bool readRows(DigestOutcome& out, const QString& where, const QString& value,
        const std::function<bool(ScopedProduct&)>& mark)
    {
        QString error;
        Statement st = m_db.prepareCached(
            QStringLiteral("SELECT ID,KWord,SName,PName,Price,Num9,Dat,dDat FROM 产品表 WHERE ")
                + where + QStringLiteral(" ORDER BY ID"),
            &error);
        if (!st)
            return failWith(out, QStringLiteral("产品表"), error);
        st.bindText(1, value);
        const bool read = ForEachRow(st, &error, [&] {
            const qint64 id = st.int64(0);
            auto found = m_products.find(id);
            if (found != m_products.end()) {
                mark(*found);
                return;
            }
            ScopedProduct p;
            p.id = id;
            p.kWord = st.text(1);
            p.shop = st.text(2);
            if (!mark(p))
                return;
            p.name = st.text(3);
            p.price = st.real(4);
            p.num9 = st.int64(5);
            p.listed = listedSince(st.text(6));
            p.detailed = detailedSince(st.text(7));
            m_products.insert(id, p);
            m_order << id;
        });
        return read || failWith(out, QStringLiteral("产品表"), error);
    }

    // A search writes one time into every product it lists, and a day's downloads one day:
    // each distinct text is read once.
    bool listedSince(const QString& dat)
    {
        const auto known = m_listedTexts.constFind(dat);
        if (known != m_listedTexts.cend())
            return *known;
        const auto at = parseDateText(dat);
        const bool listed = at && *at >= m_scope.started;
        m_listedTexts.insert(dat, listed);
        return listed;
    }
    bool detailedSince(const QString& dDat)
    {
        const auto known = m_detailedTexts.constFind(dDat);
        if (known != m_detailedTexts.cend())
            return *known;
        const auto at = parseCanonicalDate(dDat);
        const bool detailed = at && at->date() >= m_scope.day;
        m_detailedTexts.insert(dDat, detailed);
        return detailed;
    }

    bool readScope(DigestOutcome& out)
    {
        // Each category's or shop's rows lie all over a large product table: past a few of
        // them one pass over the table reads fewer pages than a look-up per value.
        if (m_followed.categories.size() + m_followed.shops.size() > kLookupsBeforeScan) {
            return readRows(
                out, QStringLiteral("ID>?"), QStringLiteral("0"), [this](ScopedProduct& p) {
                    p.inCategory = m_followed.categories.contains(p.kWord);
                    p.inShop = m_followed.shops.contains(p.shop);
                    p.followed = m_followed.products.contains(p.id);
                    return p.inCategory || p.inShop || p.followed;
                });
        }
        for (auto it = m_followed.categories.cbegin(); it != m_followed.categories.cend(); ++it) {
            if (!readRows(out, QStringLiteral("KWord=?"), it.key(), [](ScopedProduct& p) {
                    p.inCategory = true;
                    return true;
                }))
                return false;
        }
        for (auto it = m_followed.shops.cbegin(); it != m_followed.shops.cend(); ++it) {
            if (!readRows(out, QStringLiteral("SName=?"), it.key(), [](ScopedProduct& p) {
                    p.inShop = true;
                    return true;
                }))
                return false;
        }
        for (qint64 id : m_followed.products) {
            if (!readRows(out, QStringLiteral("ID=?"), QString::number(id), [](ScopedProduct& p) {
                    p.followed = true;
                    return true;
                }))
                return false;
        }
        return true;
    }

    bool readSnapshots(DigestOutcome& out)
    {
        QString error;
        Statement st = m_db.prepare(
            QStringLiteral("SELECT PID,Price,Num9,Missed,MissDay,Gone FROM 关注快照"), &error);
        if (!st)
            return failWith(out, QStringLiteral("关注快照"), error);
        const bool read = ForEachRow(st, &error, [&] {
            Snapshot s;
            s.price = st.real(1);
            if (!st.isNull(2))
                s.num9 = st.int64(2);
            s.missed = int(st.int64(3));
            if (const auto day = parseCanonicalDate(st.text(4)))
                s.missDay = day->date();
            s.gone = st.int64(5) != 0;
            m_snapshots.insert(st.int64(0), s);
        });
        return read || failWith(out, QStringLiteral("关注快照"), error);
    }

    // Kind, product and new value of the changes recorded earlier today.
    static QString changeKey(const Change& c)
    {
        return c.kind + u'|' + QString::number(c.productId) + u'|'
            + (c.newValue ? QString::number(*c.newValue, 'g', 15) : QString());
    }

    bool readTodaysChanges(DigestOutcome& out)
    {
        QString error;
        Statement st = m_db.prepare(
            QStringLiteral("SELECT Kind,PID,New FROM 变化记录 WHERE Run>=?"), &error);
        if (!st)
            return failWith(out, QStringLiteral("变化记录"), error);
        st.bindText(1, canonicalDateText(m_scope.day));
        const bool read = ForEachRow(st, &error, [&] {
            Change c;
            c.kind = st.text(0);
            c.productId = st.int64(1);
            if (!st.isNull(2))
                c.newValue = st.real(2);
            m_today.insert(changeKey(c));
        });
        return read || failWith(out, QStringLiteral("变化记录"), error);
    }

    // Whether a followed category or shop of the product was followed before the previous
    // run, so that its products were looked for then.
    bool coveredBefore(const ScopedProduct& p) const
    {
        if (!m_previousRun.isValid())
            return false;
        const auto before = [this](const QMap<QString, QDateTime>& map, const QString& key) {
            const auto it = map.constFind(key);
            return it != map.cend() && (!it->isValid() || *it < m_previousRun);
        };
        return (p.inCategory && before(m_followed.categories, p.kWord))
            || (p.inShop && before(m_followed.shops, p.shop));
    }

    bool searchedWhole(const ScopedProduct& p) const
    {
        return (p.inCategory && m_scope.completeCategories.contains(p.kWord))
            || (p.inShop && m_scope.completeShops.contains(p.shop));
    }

    void add(DigestOutcome& out, Change c, const ScopedProduct& p)
    {
        c.productId = p.id;
        c.shop = p.shop;
        c.name = p.name;
        if (m_today.contains(changeKey(c)))
            return;
        m_today.insert(changeKey(c));
        out.changes << c;
    }

    void findChanges(DigestOutcome& out)
    {
        // The shops each followed category listed before this run, and the shops it lists
        // now with their first new product and their count.
        QHash<QString, QSet<QString>> knownShops;
        for (const ScopedProduct& p : std::as_const(m_products)) {
            if (p.inCategory && m_snapshots.contains(p.id))
                knownShops[p.kWord].insert(p.shop);
        }
        struct NewShop
        {
            qint64 first = 0;
            int listed = 0;
        };
        QMap<std::pair<QString, QString>, NewShop> newShops;

        for (qint64 id : std::as_const(m_order)) {
            const ScopedProduct& p = m_products[id];
            const bool reached = p.listed || p.detailed;
            auto snap = m_snapshots.find(id);
            if (snap == m_snapshots.end()) {
                if (!reached)
                    continue;
                Snapshot s;
                s.price = p.price;
                if (p.detailed)
                    s.num9 = p.num9;
                m_snapshots.insert(id, s);
                m_changed.insert(id);
                if (p.listed && coveredBefore(p)) {
                    Change c;
                    c.kind = QStringLiteral("new");
                    c.newValue = p.price;
                    add(out, c, p);
                    if (p.inCategory && !knownShops.value(p.kWord).contains(p.shop)) {
                        NewShop& shop = newShops[{ p.kWord, p.shop }];
                        if (shop.first == 0)
                            shop.first = id;
                        ++shop.listed;
                    }
                }
                continue;
            }
            if (reached) {
                if (const auto pct = ChangePercent(snap->price, p.price);
                    pct && snap->price != p.price && std::abs(*pct) >= m_scope.threshold) {
                    Change c;
                    c.kind = QStringLiteral("price");
                    c.oldValue = snap->price;
                    c.newValue = p.price;
                    c.percent = pct;
                    add(out, c, p);
                }
                if (snap->price != p.price) {
                    snap->price = p.price;
                    m_changed.insert(id);
                }
                if (p.detailed) {
                    if (snap->num9) {
                        const qint64 diff = p.num9 - *snap->num9;
                        if (std::abs(diff) >= kSalesPieces
                            && std::abs(double(diff)) >= kSalesShare * double(*snap->num9)) {
                            Change c;
                            c.kind = QStringLiteral("sales");
                            c.oldValue = double(*snap->num9);
                            c.newValue = double(p.num9);
                            c.percent = ChangePercent(double(*snap->num9), double(p.num9));
                            add(out, c, p);
                        }
                    }
                    if (snap->num9 != p.num9) {
                        snap->num9 = p.num9;
                        m_changed.insert(id);
                    }
                }
            }
            if (!searchedWhole(p))
                continue;
            if (p.listed) {
                if (snap->missed != 0 || snap->gone) {
                    snap->missed = 0;
                    snap->gone = false;
                    m_changed.insert(id);
                }
                continue;
            }
            // A run missing it on a day already counted (a second run of the day) counts once.
            if (snap->missDay != m_scope.day) {
                ++snap->missed;
                snap->missDay = m_scope.day;
                m_changed.insert(id);
            }
            if (snap->missed >= kMissesForGone && !snap->gone) {
                snap->gone = true;
                Change c;
                c.kind = QStringLiteral("gone");
                c.oldValue = snap->price;
                add(out, c, p);
            }
        }
        for (auto it = newShops.cbegin(); it != newShops.cend(); ++it) {
            Change c;
            c.kind = QStringLiteral("new_shop");
            c.newValue = it->listed;
            add(out, c, m_products[it->first]);
        }
    }

    bool write(DigestOutcome& out)
    {
        QString error;
        const QString runText = canonicalDateText(out.run);
        Statement runRow = m_db.prepare(
            QStringLiteral("INSERT INTO 关注运行(Run,Threshold,Changes,Failed) VALUES(?,?,?,?)"),
            &error);
        if (!runRow)
            return failWith(out, QStringLiteral("关注运行"), error);
        runRow.bindText(1, runText);
        runRow.bindDouble(2, m_scope.threshold);
        runRow.bindInt64(3, out.changes.size());
        runRow.bindInt64(4, m_scope.failed ? 1 : 0);
        if (!runRow.run())
            return failWith(out, QStringLiteral("关注运行"), runRow.errorText());

        RowBatch changes(m_db,
            QStringLiteral("INSERT INTO 变化记录(Run,Kind,PID,SName,PName,Old,New,Pct) VALUES"), 8);
        const auto optional
            = [](const std::optional<double>& v) { return v ? QVariant(*v) : QVariant(); };
        for (const Change& c : std::as_const(out.changes)) {
            if (!changes.add({ runText, c.kind, c.productId, c.shop, c.name, optional(c.oldValue),
                    optional(c.newValue), optional(c.percent) }))
                return failWith(out, QStringLiteral("变化记录"), changes.error());
        }
        if (!changes.flush())
            return failWith(out, QStringLiteral("变化记录"), changes.error());

        // The changed baselines are written anew: the old rows go first, a few hundred at a
        // time, then the new ones in batches.
        const QList<qint64> ids(m_changed.cbegin(), m_changed.cend());
        for (qsizetype from = 0; from < ids.size(); from += kDeletesPerStatement) {
            const qsizetype count = std::min(kDeletesPerStatement, ids.size() - from);
            QString sql = QStringLiteral("DELETE FROM 关注快照 WHERE PID IN (");
            for (qsizetype i = 0; i < count; ++i)
                sql += i == 0 ? QLatin1String("?") : QLatin1String(",?");
            Statement drop = m_db.prepareCached(sql + u')', &error);
            if (!drop)
                return failWith(out, QStringLiteral("关注快照"), error);
            for (qsizetype i = 0; i < count; ++i)
                drop.bindInt64(int(i + 1), ids.at(from + i));
            if (!drop.run())
                return failWith(out, QStringLiteral("关注快照"), drop.errorText());
        }
        RowBatch put(m_db,
            QStringLiteral("INSERT INTO 关注快照(PID,Price,Num9,Missed,MissDay,Gone,Seen) VALUES"),
            7);
        for (qint64 id : ids) {
            const Snapshot& s = m_snapshots[id];
            if (!put.add({ id, s.price, s.num9 ? QVariant(*s.num9) : QVariant(), s.missed,
                    s.missDay.isValid() ? QVariant(canonicalDateText(s.missDay)) : QVariant(),
                    s.gone ? 1 : 0, runText }))
                return failWith(out, QStringLiteral("关注快照"), put.error());
        }
        if (!put.flush())
            return failWith(out, QStringLiteral("关注快照"), put.error());
        return true;
    }

    Database& m_db;
    const WatchRunScope& m_scope;
    const Followed& m_followed;
    QDateTime m_previousRun;
    QHash<qint64, ScopedProduct> m_products;
    QList<qint64> m_order;
    QHash<qint64, Snapshot> m_snapshots;
    QSet<qint64> m_changed;
    QSet<QString> m_today;
    QHash<QString, bool> m_listedTexts;
    QHash<QString, bool> m_detailedTexts;
};

} // namespace

WatchSearchLock::WatchSearchLock(Database* db)
{
    // Session locks in the digest's key space (-1): 1 the digest, 2 the searches.
    if (db && db->isServer() && db->executeNative(QStringLiteral("SELECT pg_advisory_lock(-1, 2)")))
        m_db = db;
}

WatchSearchLock::~WatchSearchLock()
{
    if (m_db)
        m_db->executeNative(QStringLiteral("SELECT pg_advisory_unlock(-1, 2)"));
}

std::optional<double> ChangePercent(double oldValue, double newValue)
{
    if (oldValue == 0 || !std::isfinite(oldValue) || !std::isfinite(newValue))
        return std::nullopt;
    return std::round((newValue - oldValue) / oldValue * 10000.0) / 100.0;
}

DigestOutcome ComputeDigest(const Connection& conn, const WatchRunScope& scope)
{
    DigestOutcome out;
    Database* db = conn.database();
    if (!db) {
        out.error = QStringLiteral("no database connection");
        return out;
    }
    // The run's time to the second; a run in the same second as the last one follows it.
    out.run = scope.started.isValid() ? scope.started : QDateTime::currentDateTime();
    out.run.setTime(QTime(out.run.time().hour(), out.run.time().minute(), out.run.time().second()));
    QString error;
    const std::optional<Followed> followed = readFollowed(conn, &error);
    if (!followed) {
        failWith(out, QStringLiteral("关注表"), error);
        return out;
    }
    Transaction tx = conn.transaction();
    if (!tx.isActive()) {
        out.error = QStringLiteral("cannot begin a transaction");
        return out;
    }
    // Copies on several machines that share a run compute their digests one after the
    // other, each reading the baselines the one before wrote (a server's transaction lock
    // in a key space of its own; the product imports lock on (high, low) product IDs).
    if (db->isServer()) {
        Statement lock
            = db->prepareNative(QStringLiteral("SELECT pg_advisory_xact_lock(-1, 1)"), &error);
        if (!lock || lock.step() == StepResult::Error) {
            failWith(out, QStringLiteral("lock"), lock ? lock.errorText() : error);
            return out;
        }
    }
    DigestRun run(*db, scope, *followed);
    if (!run.run(out))
        return out;
    if (!tx.commit()) {
        out.error = QStringLiteral("the digest could not be saved: ") + db->lastErrorText();
        return out;
    }
    out.ok = true;
    return out;
}

QString WatchDetailCondition(const Connection& conn)
{
    const std::optional<Followed> f = readFollowed(conn, nullptr);
    if (!f)
        return {};
    QStringList parts;
    if (!f->products.isEmpty())
        parts << QStringLiteral("ID IN (SELECT PID FROM 关注表 WHERE Kind='product')");
    const auto textList = [](const QMap<QString, QDateTime>& map) {
        QStringList quoted;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            quoted << quotedText(it.key());
        return quoted.join(u',');
    };
    if (!f->shops.isEmpty())
        parts << QStringLiteral("SName IN (") + textList(f->shops) + u')';
    if (!f->categories.isEmpty())
        parts << QStringLiteral("(KWord IN (") + textList(f->categories)
                + QStringLiteral(") AND ID NOT IN (SELECT PID FROM 关注快照))");
    return parts.join(QStringLiteral(" OR "));
}

std::optional<QList<WatchRun>> WatchRuns(const Connection& conn, QString* error)
{
    Database* db = conn.database();
    if (!db)
        return std::nullopt;
    Statement st = db->prepare(
        QStringLiteral("SELECT ID,Run,Changes,Failed FROM 关注运行 ORDER BY Run DESC,ID DESC"),
        error);
    if (!st)
        return std::nullopt;
    QList<WatchRun> runs;
    const bool read = ForEachRow(st, error, [&] {
        WatchRun run;
        run.id = st.int64(0);
        if (const auto when = parseCanonicalDate(st.text(1)))
            run.run = *when;
        run.changes = int(st.int64(2));
        run.failed = st.int64(3) != 0;
        runs << run;
    });
    if (!read)
        return std::nullopt;
    return runs;
}

std::optional<QList<Change>> ChangesOfRun(
    const Connection& conn, const QDateTime& run, QString* error)
{
    Database* db = conn.database();
    if (!db)
        return std::nullopt;
    Statement st = db->prepare(
        QStringLiteral(
            "SELECT Kind,PID,SName,PName,Old,New,Pct FROM 变化记录 WHERE Run=? ORDER BY ID"),
        error);
    if (!st)
        return std::nullopt;
    st.bindText(1, canonicalDateText(run));
    QList<Change> changes;
    const bool read = ForEachRow(st, error, [&] {
        Change c;
        c.kind = st.text(0);
        c.productId = st.int64(1);
        c.shop = st.text(2);
        c.name = st.text(3);
        if (!st.isNull(4))
            c.oldValue = st.real(4);
        if (!st.isNull(5))
            c.newValue = st.real(5);
        if (!st.isNull(6))
            c.percent = st.real(6);
        changes << c;
    });
    if (!read)
        return std::nullopt;
    return changes;
}

} // namespace quel::store
