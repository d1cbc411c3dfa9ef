#pragma once

#include <QString>
#include <QStringList>

namespace quel::core {
class Feedback;
}
namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::store {

// The permanent tables, in Jet DDL.
QStringList schemaStatements();
// The indexes the lookups need, in SQLite text that leaves an existing index alone.
QStringList indexStatements();
// Indexes of older files that another index replaced; the first open drops them.
QStringList obsoleteIndexes();
// The permanent table names: the six of the data, the price history, the watch list and
// the digest of changes.
QStringList permanentTables();
// The price history table, in Jet DDL (also what an older database gets on its first open).
QString priceHistoryStatement();

// Creates the permanent tables, their indexes and the overview's summary in an empty
// database.
bool createSchema(db::Database& db, QString* error);
// Creates whichever of the indexes are missing.
bool createIndexes(db::Database& db, QString* error);
// Gives a database that holds the permanent tables the tables added later (price history,
// watch list, digest), every index it lacks and the overview's summary (an older file);
// cheap when nothing is missing. Making them shows progress through `feedback`, where given,
// and closing its window stops after the index being made or undoes the summary (the rest
// follow on the next open). Failures leave the file as it was.
void ensureSchema(db::Database& db, core::Feedback* feedback = nullptr);
// Writes an encrypted empty database (the template Null_Data.mdb) to path, replacing it.
bool writeTemplate(const QString& path, QString* error);

} // namespace quel::store
