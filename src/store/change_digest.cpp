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

// What a date text says, worked out once per distinct text: a search writes one time into
// every product it lists and a day's downloads one day, so most rows repeat the row before.
class DateVerdicts
{
public:
    bool since(QByteArrayView text, const std::function<bool(const QString&)>& decide)
    {
        if (m_hasLast && text == QByteArrayView(m_last))
            return m_lastVerdict;
        m_last = text.toByteArray();
        m_hasLast = true;
        const auto known = m_known.constFind(m_last);
        m_lastVerdict = known != m_known.cend() ? *known : decide(QString::fromUtf8(m_last));
        if (known == m_known.cend())
            m_known.insert(m_last, m_lastVerdict);
        return m_lastVerdict;
    }

private:
    QHash<QByteArray, bool> m_known;
    QByteArray m_last;
    bool m_hasLast = false;
    bool m_lastVerdict = false;
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

// Binds a baseline's figures to 1-6 of an update (run: the run that changed it).
void bindSnapshot(Statement& st, const Snapshot& s, const QString& run)
{
    st.bindDouble(1, s.price);
    if (s.num9)
        st.bindInt64(2, *s.num9);
    else
        st.bindNull(2);
    st.bindInt64(3, s.missed);
    if (s.missDay.isValid())
        st.bindText(4, canonicalDateText(s.missDay));
    else
        st.bindNull(4);
    st.bindInt64(5, s.gone ? 1 : 0);
    st.bindText(6, run);
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
            // One pass over the table meets each product once; look-ups by category, shop
            // and ID may meet it again.
            if (!m_scanning) {
                const auto found = m_position.constFind(id);
                if (found != m_position.cend()) {
                    mark(m_products[std::size_t(*found)]);
                    return;
                }
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
            p.listed = listedSince(st.utf8(6));
            p.detailed = detailedSince(st.utf8(7));
            if (!m_scanning)
                m_position.insert(id, qsizetype(m_products.size()));
            m_products.push_back(std::move(p));
        });
        return read || failWith(out, QStringLiteral("产品表"), error);
    }

    bool listedSince(QByteArrayView dat)
    {
        return m_listedTexts.since(dat, [this](const QString& text) {
            const auto at = parseDateText(text);
            return at && *at >= m_scope.started;
        });
    }
    bool detailedSince(QByteArrayView dDat)
    {
        return m_detailedTexts.since(dDat, [this](const QString& text) {
            const auto at = parseCanonicalDate(text);
            return at && at->date() >= m_scope.day;
        });
    }

    bool readScope(DigestOutcome& out)
    {
        // Each category's or shop's rows lie all over a large product table: past a few of
        // them one pass over the table reads fewer pages than a look-up per value.
        if (m_followed.categories.size() + m_followed.shops.size() > kLookupsBeforeScan) {
            m_scanning = true;
            if (const auto rows = countRows(QStringLiteral("产品表")))
                m_products.reserve(std::size_t(*rows));
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

    // The rows of a table, to size what holds them; none when it cannot be counted.
    std::optional<qint64> countRows(const QString& table)
    {
        Statement st = m_db.prepare(QStringLiteral("SELECT COUNT(*) FROM ") + table);
        if (!st || st.step() != StepResult::Row)
            return std::nullopt;
        return st.int64(0);
    }

    bool readSnapshots(DigestOutcome& out)
    {
        if (const auto rows = countRows(QStringLiteral("关注快照")))
            m_snapshots.reserve(*rows);
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
        // A run meets each product once, so only the changes recorded by earlier runs of the
        // day can repeat one.
        if (!m_today.isEmpty() && m_today.contains(changeKey(c)))
            return;
        out.changes << c;
    }

    void findChanges(DigestOutcome& out)
    {
        // The shops each followed category listed before this run (gathered when the first
        // new product needs them), and the shops it lists now with their first new product
        // and their count.
        std::optional<QHash<QString, QSet<QString>>> knownShops;
        const auto shopsBefore = [&]() -> const QHash<QString, QSet<QString>>& {
            if (!knownShops) {
                knownShops.emplace();
                for (const ScopedProduct& p : std::as_const(m_products)) {
                    if (p.inCategory && m_snapshots.contains(p.id) && !m_added.contains(p.id))
                        (*knownShops)[p.kWord].insert(p.shop);
                }
            }
            return *knownShops;
        };
        struct NewShop
        {
            std::size_t first = 0;
            int listed = 0;
        };
        QMap<std::pair<QString, QString>, NewShop> newShops;

        for (std::size_t at = 0; at < m_products.size(); ++at) {
            const ScopedProduct& p = m_products[at];
            const qint64 id = p.id;
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
                m_added.insert(id);
                if (p.listed && coveredBefore(p)) {
                    Change c;
                    c.kind = QStringLiteral("new");
                    c.newValue = p.price;
                    add(out, c, p);
                    if (p.inCategory && !shopsBefore().value(p.kWord).contains(p.shop)) {
                        NewShop& shop = newShops[{ p.kWord, p.shop }];
                        if (shop.listed == 0)
                            shop.first = at;
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

    // Runs sql, bound by bindSnapshot and the product ID as the 7th value, for each of ids.
    bool writeSnapshots(
        DigestOutcome& out, const QSet<qint64>& ids, const QString& sql, const QString& runText)
    {
        QString error;
        Statement st = m_db.prepare(sql, &error);
        if (!st)
            return failWith(out, QStringLiteral("关注快照"), error);
        for (const qint64 id : ids) {
            bindSnapshot(st, m_snapshots[id], runText);
            st.bindInt64(7, id);
            if (!st.send())
                return failWith(out, QStringLiteral("关注快照"), st.errorText());
            st.reset();
        }
        return true;
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

        // One prepared statement per table, run row by row: a server takes the rows without
        // an answer each (a refusal fails the commit), a file needs no statement text per row.
        Statement change = m_db.prepare(
            QStringLiteral("INSERT INTO 变化记录(Run,Kind,PID,SName,PName,Old,New,Pct) "
                           "VALUES(?,?,?,?,?,?,?,?)"),
            &error);
        if (!change)
            return failWith(out, QStringLiteral("变化记录"), error);
        const auto bindOptional = [](Statement& st, int index, const std::optional<double>& v) {
            if (v)
                st.bindDouble(index, *v);
            else
                st.bindNull(index);
        };
        for (const Change& c : std::as_const(out.changes)) {
            change.bindText(1, runText);
            change.bindText(2, c.kind);
            change.bindInt64(3, c.productId);
            change.bindText(4, c.shop);
            change.bindText(5, c.name);
            bindOptional(change, 6, c.oldValue);
            bindOptional(change, 7, c.newValue);
            bindOptional(change, 8, c.percent);
            if (!change.send())
                return failWith(out, QStringLiteral("变化记录"), change.errorText());
            change.reset();
        }

        // A changed baseline is updated in place; a product seen for the first time gets one.
        if (!writeSnapshots(out, m_changed,
                QStringLiteral("UPDATE 关注快照 SET Price=?,Num9=?,Missed=?,MissDay=?,Gone=?,"
                               "Seen=? WHERE PID=?"),
                runText)
            || !writeSnapshots(out, m_added,
                QStringLiteral("INSERT INTO 关注快照(Price,Num9,Missed,MissDay,Gone,Seen,PID) "
                               "VALUES(?,?,?,?,?,?,?)"),
                runText))
            return false;
        return true;
    }

    Database& m_db;
    const WatchRunScope& m_scope;
    const Followed& m_followed;
    QDateTime m_previousRun;
    std::vector<ScopedProduct> m_products; // in the order they were read
    QHash<qint64, qsizetype> m_position; // of a product in m_products, when read by look-ups
    bool m_scanning = false; // read in one pass over the table
    QHash<qint64, Snapshot> m_snapshots;
    QSet<qint64> m_changed; // baselines that changed
    QSet<qint64> m_added; // and those taken for the first time
    QSet<QString> m_today;
    DateVerdicts m_listedTexts;
    DateVerdicts m_detailedTexts;
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
