#pragma once

#include "db/translation.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quel::jet {

class JetDialect;

// Turns one Jet statement into statements of the dialect's engine with Jet's meaning:
// - "DELETE * FROM t" -> "DELETE FROM t"; TRUE/FALSE as the engine reads them;
// - #y-m-d# and #m/d/y# -> 'YYYY-MM-DD HH:MM:SS';
// - COUNTER, LONG, INTEGER, SHORT, BYTE, DOUBLE, SINGLE, CURRENCY, DATE, STRING, TEXT,
//   MEMO in CREATE TABLE / ALTER TABLE ... ADD COLUMN -> the engine's types;
// - "SELECT ... INTO t FROM ..." -> CREATE TABLE t with the declared types of the result
//   columns, then INSERT INTO t SELECT ...;
// - "INSERT INTO t SELECT ..." fills the columns by name, as Jet does;
// - quoted text written into (or compared with) a DATE column -> the stored date form,
//   an empty quoted text written into a DATE or numeric column -> NULL.
// Returns nullopt with a message for statements it cannot read. JetSchema::queryColumns is
// asked about the engine's text.
std::optional<db::JetTranslation> translateJet(
    const QString& jetSql, db::JetSchema& schema, QString* error, const JetDialect& dialect);

// Whether a table is one of the program's work tables (TEMP_*, in any letter case).
bool isWorkTable(const QString& name);

} // namespace quel::jet
