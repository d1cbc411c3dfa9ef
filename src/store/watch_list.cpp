// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/watch_list.h"

#include "db/connection.h"
#include "db/database.h"
#include "db/stored_date.h"

namespace quel::store {

using db::canonicalDateText;
using db::Connection;
using db::Database;
using db::parseCanonicalDate;
using db::Statement;
using db::StepResult;

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// One row of a query with text parameters exists.
std::optional<bool> exists(
    Database& db, const QString& sql, const QStringList& parameters, QString* error)
{
    Statement stmt = db.prepare(sql, error);
    if (!stmt)
        return std::nullopt;
    for (qsizetype i = 0; i < parameters.size(); ++i)
        stmt.bindText(int(i + 1), parameters.at(i));
    const StepResult r = stmt.step();
    if (r == StepResult::Error) {
        fail(error, stmt.errorText());
        return std::nullopt;
    }
    return r == StepResult::Row;
}

// The value as it is stored: a product ID in its plain decimal form.
std::optional<QString> storedValue(
    Database& db, WatchKind kind, const QString& value, QString* error, bool* known)
{
    *known = false;
    const QString v = value.trimmed();
    if (v.isEmpty())
        return v;
    std::optional<bool> found;
    switch (kind) {
    case WatchKind::Product: {
        bool ok = false;
        const qint64 id = v.toLongLong(&ok);
        if (!ok)
            return v;
        found = exists(
            db, QStringLiteral("SELECT ID FROM 产品表 WHERE ID=?"), { QString::number(id) }, error);
        if (found && *found) {
            *known = true;
            return QString::number(id);
        }
        break;
    }
    case WatchKind::Shop:
        found = exists(
            db, QStringLiteral("SELECT ID FROM 产品表 WHERE SName=? LIMIT 1"), { v }, error);
        break;
    case WatchKind::Category:
        found
            = exists(db, QStringLiteral("SELECT ID FROM 关键词 WHERE Con=? LIMIT 1"), { v }, error);
        break;
    }
    if (!found)
        return std::nullopt;
    *known = *found;
    return v;
}

} // namespace

bool ForEachRow(Statement& query, QString* error, const std::function<void()>& row)
{
    for (;;) {
        const StepResult r = query.step();
        if (r == StepResult::Error)
            return fail(error, query.errorText());
        if (r != StepResult::Row)
            return true;
        row();
    }
}

QString watchKindName(WatchKind kind)
{
    switch (kind) {
    case WatchKind::Product:
        return QStringLiteral("product");
    case WatchKind::Shop:
        return QStringLiteral("shop");
    case WatchKind::Category:
        return QStringLiteral("category");
    }
    return {};
}

std::optional<WatchKind> watchKindFromName(const QString& name)
{
    for (WatchKind kind : { WatchKind::Product, WatchKind::Shop, WatchKind::Category }) {
        if (watchKindName(kind) == name)
            return kind;
    }
    return std::nullopt;
}

QStringList watchTableStatements()
{
    return {
        // PID repeats a followed product's ID as a number, for joins with 产品表.
        QStringLiteral("CREATE TABLE 关注表 (ID COUNTER, Kind STRING DEFAULT '', "
                       "Val STRING DEFAULT '', PID LONG DEFAULT 0, Since DATE)"),
        // Missed counts the runs in a row (one a day at most) whose search did not list a
        // product; Gone marks one already reported as gone; Seen is the run that last
        // changed the row.
        QStringLiteral("CREATE TABLE 关注快照 (PID LONG, Price DOUBLE, Num9 LONG, "
                       "Missed LONG DEFAULT 0, MissDay DATE, Gone LONG DEFAULT 0, Seen DATE)"),
        QStringLiteral("CREATE TABLE 关注运行 (ID COUNTER, Run DATE, Threshold DOUBLE, "
                       "Changes LONG DEFAULT 0, Failed LONG DEFAULT 0)"),
        // Old and New are a price, 90-day sales, or (for a new shop) its listed products.
        QStringLiteral("CREATE TABLE 变化记录 (ID COUNTER, Run DATE, Kind STRING DEFAULT '', "
                       "PID LONG DEFAULT 0, SName STRING DEFAULT '', PName STRING DEFAULT '', "
                       "Old DOUBLE, New DOUBLE, Pct DOUBLE)"),
    };
}

QStringList watchTables()
{
    return { kWatchTable, kWatchSnapshotTable, kWatchRunTable, kChangeTable };
}

QStringList watchIndexStatements()
{
    return {
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS 关注表_Kind_Val ON 关注表 (Kind, Val)"),
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS 关注快照_PID ON 关注快照 (PID)"),
        // The digest of one run, and the run picker's list.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 变化记录_Run ON 变化记录 (Run)"),
    };
}

FollowOutcome Follow(const Connection& conn, WatchKind kind, const QString& value,
    const QDateTime& since, QString* error)
{
    Database* db = conn.database();
    if (!db) {
        fail(error, QStringLiteral("no database connection"));
        return FollowOutcome::Failed;
    }
    bool known = false;
    const std::optional<QString> v = storedValue(*db, kind, value, error, &known);
    if (!v)
        return FollowOutcome::Failed;
    if (!known)
        return FollowOutcome::UnknownValue;
    const std::optional<bool> followed
        = exists(*db, QStringLiteral("SELECT ID FROM 关注表 WHERE Kind=? AND Val=?"),
            { watchKindName(kind), *v }, error);
    if (!followed)
        return FollowOutcome::Failed;
    if (*followed)
        return FollowOutcome::AlreadyFollowed;
    Statement stmt = db->prepare(
        QStringLiteral("INSERT INTO 关注表(Kind,Val,PID,Since) VALUES(?,?,?,?)"), error);
    if (!stmt)
        return FollowOutcome::Failed;
    stmt.bindText(1, watchKindName(kind));
    stmt.bindText(2, *v);
    stmt.bindInt64(3, kind == WatchKind::Product ? v->toLongLong() : 0);
    stmt.bindText(4, canonicalDateText(since));
    if (!stmt.run()) {
        fail(error, stmt.errorText());
        return FollowOutcome::Failed;
    }
    return FollowOutcome::Added;
}

FollowOutcome Unfollow(const Connection& conn, WatchKind kind, const QString& value, QString* error)
{
    Database* db = conn.database();
    if (!db) {
        fail(error, QStringLiteral("no database connection"));
        return FollowOutcome::Failed;
    }
    QString v = value.trimmed();
    if (kind == WatchKind::Product) {
        bool ok = false;
        const qint64 id = v.toLongLong(&ok);
        if (ok)
            v = QString::number(id);
    }
    Statement stmt
        = db->prepare(QStringLiteral("DELETE FROM 关注表 WHERE Kind=? AND Val=?"), error);
    if (!stmt)
        return FollowOutcome::Failed;
    stmt.bindText(1, watchKindName(kind));
    stmt.bindText(2, v);
    if (!stmt.run()) {
        fail(error, stmt.errorText());
        return FollowOutcome::Failed;
    }
    if (stmt.changes() > 0)
        return FollowOutcome::Removed;
    // Nothing followed under that value: say whether the value is stored at all.
    bool known = false;
    if (!storedValue(*db, kind, v, error, &known))
        return FollowOutcome::Failed;
    return known ? FollowOutcome::NotFollowed : FollowOutcome::UnknownValue;
}

std::optional<QList<WatchItem>> WatchedItems(const Connection& conn, QString* error)
{
    Database* db = conn.database();
    if (!db) {
        fail(error, QStringLiteral("no database connection"));
        return std::nullopt;
    }
    Statement stmt
        = db->prepare(QStringLiteral("SELECT Kind,Val,Since FROM 关注表 ORDER BY Kind,Val"), error);
    if (!stmt)
        return std::nullopt;
    QList<WatchItem> items;
    const bool read = ForEachRow(stmt, error, [&] {
        const std::optional<WatchKind> kind = watchKindFromName(stmt.text(0));
        if (!kind)
            return;
        WatchItem item;
        item.kind = *kind;
        item.value = stmt.text(1);
        if (const auto since = parseCanonicalDate(stmt.text(2)))
            item.since = *since;
        item.label = item.value;
        items << item;
    });
    if (!read)
        return std::nullopt;
    // A product is shown by its name (IDs and texts do not compare alike on every engine).
    Statement name = db->prepare(QStringLiteral("SELECT PName FROM 产品表 WHERE ID=?"), error);
    for (WatchItem& item : items) {
        if (item.kind != WatchKind::Product || !name)
            continue;
        name.reset();
        name.bindInt64(1, item.value.toLongLong());
        if (name.step() == StepResult::Row && !name.text(0).isEmpty())
            item.label = name.text(0);
    }
    return items;
}

QList<qint64> WatchedProductIds(const Connection& conn)
{
    QList<qint64> ids;
    const auto items = WatchedItems(conn);
    if (!items)
        return ids;
    for (const WatchItem& item : *items) {
        if (item.kind == WatchKind::Product)
            ids << item.value.toLongLong();
    }
    return ids;
}

} // namespace quel::store
