// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quel::db {
class Connection;
class Statement;
} // namespace quel::db

namespace quel::store {

// Steps a query of the watch tables to its end, calling row for each row; false with the
// engine's message in error.
bool ForEachRow(db::Statement& query, QString* error, const std::function<void()>& row);

// The watch list: products, shops and search keywords the user follows.
inline const QString kWatchTable = QStringLiteral("关注表");
// What each followed product looked like at the last watch run that reached it.
inline const QString kWatchSnapshotTable = QStringLiteral("关注快照");
// One row per watch run: when it ran and whether it reached everything.
inline const QString kWatchRunTable = QStringLiteral("关注运行");
// The digest: every change a watch run found.
inline const QString kChangeTable = QStringLiteral("变化记录");

enum class WatchKind
{
    Product, // Val: a 产品表 ID
    Shop, // Val: a shop's SName
    Category, // Val: a search keyword of 关键词
};

// "product", "shop", "category": the stored Kind and the command line's word.
QString watchKindName(WatchKind kind);
std::optional<WatchKind> watchKindFromName(const QString& name);

struct WatchItem
{
    WatchKind kind = WatchKind::Product;
    QString value;
    QDateTime since;
    QString label; // a product's name, else the value itself
};

// The tables of the watch list and the digest, in Jet DDL, in the order they are made.
QStringList watchTableStatements();
// Their names, in the same order.
QStringList watchTables();
// Their indexes (SQLite text that leaves an existing index alone).
QStringList watchIndexStatements();

enum class FollowOutcome
{
    Added,
    AlreadyFollowed,
    Removed,
    NotFollowed,
    UnknownValue, // not a stored product ID, shop or keyword
    Failed,
};

// Follows value (trimmed) as of since. The value must be stored: a product ID of 产品表,
// an SName of 产品表, a Con of 关键词.
FollowOutcome Follow(const db::Connection& conn, WatchKind kind, const QString& value,
    const QDateTime& since, QString* error = nullptr);
FollowOutcome Unfollow(
    const db::Connection& conn, WatchKind kind, const QString& value, QString* error = nullptr);
// Every followed item, by kind and then by value, with product names.
std::optional<QList<WatchItem>> WatchedItems(const db::Connection& conn, QString* error = nullptr);
// The IDs of the followed products.
QList<qint64> WatchedProductIds(const db::Connection& conn);

} // namespace quel::store
