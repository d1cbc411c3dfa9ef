#pragma once

#include "db/translation.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quel::jet {

// The engine a translation is written for.
enum class SqlDialect
{
    Sqlite,
    Postgres
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
std::optional<db::JetTranslation> translateJet(const QString& jetSql, db::JetSchema& schema, QString* error,
    SqlDialect dialect = SqlDialect::Sqlite);

} // namespace quel::jet
