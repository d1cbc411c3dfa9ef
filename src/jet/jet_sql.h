#pragma once

#include "store/database.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quel::store {

// The engine a translation is written for.
enum class SqlDialect
{
    Sqlite,
    Postgres
};

// What the translation needs to know about the database it translates for.
class JetSchema
{
public:
    virtual ~JetSchema() = default;
    // Columns of a table; nullopt when it does not exist.
    virtual std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table) = 0;
    // Result columns of a SQLite SELECT (declared types, or the first row's value types for
    // expressions); nullopt and the engine's message when it does not prepare.
    virtual std::optional<std::vector<ColumnInfo>> queryColumns(const QString& sql, QString* error)
        = 0;
    // Only the names of the result columns (types may stay unknown). A query whose types
    // need its first row would run in full just to be described; INSERT ... SELECT by name
    // needs no types.
    virtual std::optional<std::vector<ColumnInfo>> queryColumnNames(
        const QString& sql, QString* error)
    {
        return queryColumns(sql, error);
    }
    // The tables of the database with their names as created, for giving a name written in
    // another letter case its own spelling; empty when unknown.
    virtual QStringList tableNames() { return {}; }
    // The column lists of a table's unique indexes, for turning a replacing insert into an
    // upsert on the same key.
    virtual std::vector<QStringList> uniqueKeys(const QString& /*table*/) { return {}; }
};

struct JetTranslation
{
    QStringList statements; // text for the chosen engine, run in order
    bool changesSchema = false; // CREATE, DROP, ALTER, SELECT ... INTO
    bool isQuery = false; // a plain SELECT that returns rows
};

// Turns one Jet statement into SQLite statements with Jet's meaning:
// - "DELETE * FROM t" -> "DELETE FROM t"; TRUE/FALSE -> 1/0;
// - #y-m-d# and #m/d/y# -> 'YYYY-MM-DD HH:MM:SS';
// - COUNTER, LONG, INTEGER, SHORT, BYTE, DOUBLE, SINGLE, CURRENCY, DATE, STRING, TEXT,
//   MEMO in CREATE TABLE / ALTER TABLE ... ADD COLUMN -> SQLite types (text columns
//   compare, group and sort ignoring letter case);
// - "SELECT ... INTO t FROM ..." -> CREATE TABLE t with the declared types of the result
//   columns, then INSERT INTO t SELECT ...;
// - "INSERT INTO t SELECT ..." fills the columns by name, as Jet does;
// - quoted text written into (or compared with) a DATE column -> the stored date form,
//   an empty quoted text written into a DATE or numeric column -> NULL.
// Returns nullopt with a message for statements it cannot read.
//
// For PostgreSQL the statements give the same rows as the SQLite ones: every name is quoted
// in the spelling it was created with (the server would fold it to lower case), text
// columns are citext with the "C" collation (equality, LIKE, grouping and sorting ignore
// ASCII letter case, as NOCASE does), NULLs sort first as in SQLite, and work tables
// (TEMP_*) are temporary tables private to the session. JetSchema::queryColumns is then
// asked about PostgreSQL text.
std::optional<JetTranslation> translateJet(const QString& jetSql, JetSchema& schema, QString* error,
    SqlDialect dialect = SqlDialect::Sqlite);

} // namespace quel::store
