#pragma once

#include <QString>
#include <QStringList>

namespace quel::store {

class Database;

// The permanent tables, in Jet DDL, with the indexes the lookups need.
QStringList schemaStatements();
// The six permanent table names.
QStringList permanentTables();

// Creates the permanent tables in an empty database.
bool createSchema(Database& db, QString* error);
// Writes an encrypted empty database (the template Null_Data.mdb) to path, replacing it.
bool writeTemplate(const QString& path, QString* error);

} // namespace quel::store
