// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/statement.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What an engine and the Jet translation say to each other: the translation asks about the
// database through a JetSchema and answers with a JetTranslation.
namespace quel::db {

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

} // namespace quel::db
