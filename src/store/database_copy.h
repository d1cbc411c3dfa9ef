#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::store {

// Where a copy stands: rows of one table written so far out of the rows it holds.
struct CopyProgress
{
    QString table;
    qint64 copied = 0;
    qint64 total = 0;
};

// Told at the start of each table, every few thousand rows and at its end. Returning false
// stops the copy (the user's cancel); nothing of it is kept.
using CopyProgressFn = std::function<bool(const CopyProgress& progress)>;

struct CopiedTable
{
    QString table;
    qint64 rows = 0;
};

struct CopyOutcome
{
    bool ok = false;
    bool cancelled = false;
    // Why the copy did not happen or was undone, for the user.
    QString error;
    std::vector<CopiedTable> tables;
};

// Copies every permanent table of one database into another (a file into a server or back,
// either engine on either side), each row with its own ID, so the trades still point at
// their products. The target must hold no rows in any permanent table: two databases are
// never mixed. The whole copy is one transaction on the target, read from one consistent
// snapshot of the source, and every table's row count is checked before it is kept; any
// failure leaves the target as it was. Afterwards a new row on the target gets an ID above
// the largest copied one.
CopyOutcome CopyDatabase(const std::shared_ptr<db::Database>& from,
    const std::shared_ptr<db::Database>& to, const CopyProgressFn& progress = {});

// The permanent tables of db that hold rows, with their row counts (empty when none does).
// A table that cannot be counted sets error.
std::vector<CopiedTable> NonEmptyTables(db::Database& db, QString* error);

} // namespace quel::store
