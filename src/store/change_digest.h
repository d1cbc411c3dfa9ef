// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace quel::db {
class Connection;
class Database;
} // namespace quel::db

namespace quel::store {

// Held while a watch run searches. On a server the copies that share a run search one after
// the other, so that a later copy finds the products an earlier one stored instead of
// storing them again; a database file is held by one process and needs nothing.
class WatchSearchLock
{
public:
    explicit WatchSearchLock(db::Database* db);
    ~WatchSearchLock();
    WatchSearchLock(const WatchSearchLock&) = delete;
    WatchSearchLock& operator=(const WatchSearchLock&) = delete;

private:
    db::Database* m_db = nullptr;
};

// One change a watch run found. kind is one of "price", "new", "gone", "sales", "new_shop".
struct Change
{
    QString kind;
    qint64 productId = 0;
    QString shop;
    QString name;
    std::optional<double> oldValue;
    std::optional<double> newValue;
    std::optional<double> percent; // of a price or sales change, rounded to cents

    bool operator==(const Change&) const = default;
};

// What a watch run reached, for the digest of its changes.
struct WatchRunScope
{
    // When the run began: a product whose search time (Dat) is not earlier was listed by
    // this run's searches, one whose details were downloaded on day (dDat) was looked at.
    QDateTime started;
    QDate day;
    double threshold = 5; // per cent
    // The categories and shops whose search ran to its end in this run: only their products
    // can be missed by the list.
    QSet<QString> completeCategories;
    QSet<QString> completeShops;
    bool failed = false; // some search or detail job failed
};

struct DigestOutcome
{
    bool ok = false;
    QString error;
    QDateTime run; // the run's time, as stored in 变化记录 and 关注运行
    bool firstRun = false; // no earlier run: only the baseline was taken
    QList<Change> changes;
};

// Compares what the run saw with what the previous runs saw, records the changes in
// 变化记录, the run in 关注运行 and the new baseline in 关注快照, all in one transaction.
// A product the run did not reach keeps its baseline. A change already recorded on the same
// day (the same kind, product and new value) is not recorded again.
DigestOutcome ComputeDigest(const db::Connection& conn, const WatchRunScope& scope);

// The row filter of 产品表 for the details a watch run downloads: the followed products,
// every product of a followed shop, and every product of a followed category that has no
// baseline yet. Empty when nothing is followed.
QString WatchDetailCondition(const db::Connection& conn);

struct WatchRun
{
    qint64 id = 0;
    QDateTime run;
    int changes = 0;
    bool failed = false;
};

// The watch runs, latest first.
std::optional<QList<WatchRun>> WatchRuns(const db::Connection& conn, QString* error = nullptr);
// The changes recorded by the run at this time, in the order they were found.
std::optional<QList<Change>> ChangesOfRun(
    const db::Connection& conn, const QDateTime& run, QString* error = nullptr);

// The per cent of a change from old to new, rounded to cents (so that 100 -> 95 is exactly
// -5); none for an old value of 0.
std::optional<double> ChangePercent(double oldValue, double newValue);

} // namespace quel::store
