#pragma once

#include "jet/jet_dialect.h"
#include "jet/jet_tokens.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quel::db_pg {

// Rewrites the SQLite text that the program prepares directly (with ? and ?N parameters)
// into PostgreSQL text with the same results: parameters become $1..$n, names are quoted in
// their created spelling, INSERT OR IGNORE / OR REPLACE become ON CONFLICT clauses, date()
// becomes to_char, and NULLs sort first. nullopt with a message for text it cannot carry
// over (an unterminated literal, a replacing insert into a table without a fitting unique
// key, a date() form the server has no counterpart for).
std::optional<QString> nativeToPostgres(
    const QString& sqliteText, db::JetSchema& schema, QString* error);

// The server's own text with "?" and "?N" parameters (outside quotes) as its "$N".
QString postgresParameters(const QString& sql);

// The catalogue questions on a server. The tables the program sees are those of the public
// schema and this session's temporary tables (its work tables), in creation order.
// One column: the table name.
QString postgresTableListSql();
// $1 the table name, matched ignoring ASCII letter case as SQLite matches names; one row
// (the name as created) when the table exists, the session's own work table first.
QString postgresTableLookupSql();
// $1 the table name as created: the column name and its type as format_type writes it,
// in column order.
QString postgresColumnListSql();
// What a column of the given format_type text holds.
db::ColumnKind postgresColumnKind(const QString& formatType);
// After rows were written with their own ID values (a copy), the next generated ID of the
// table's COUNTER column follows the largest one, as on SQLite.
QString postgresIdentityResyncSql(const QString& table, const QString& column);

// The PostgreSQL column type for a Jet type word; empty when the word is not a Jet type.
// keyFollows: the definition names its own PRIMARY KEY.
QString postgresType(const QString& jetType, bool keyFollows);
// The PostgreSQL type for a result column of the given kind, as a SELECT ... INTO declares
// its columns.
QString postgresTypeForKind(const db::ColumnInfo& column);

// TRUE and FALSE stay booleans where a condition is expected and become 1 and 0 where a
// value is written (the columns hold integers, as on SQLite).
void rewriteBooleansForPostgres(jet::Tokens& tokens);

// Function and clause forms that differ between the engines: averages and integer sums
// typed as SQLite types them, date() forms, LIKE without an escape character, NULLs
// sorting first. columnKind tells what a (maybe qualified) column holds. False with a
// message for a form with no counterpart.
bool rewriteForPostgres(jet::Tokens& tokens,
    const std::function<db::ColumnKind(const QString& column, const QString& table)>& columnKind,
    QString* error);

// Writes tokens as PostgreSQL text: every name double-quoted in its created spelling,
// resolved ignoring case against the columns of the tables the statement names, the table
// names, and the aliases it defines; other names keep the spelling written.
class PostgresNames final : public jet::TokenWriter
{
public:
    PostgresNames(db::JetSchema& schema, const jet::Tokens& tokens, const QStringList& tables);
    QString text(const jet::Tokens& tokens, size_t from = 0, size_t to = SIZE_MAX) override;
    // The created spelling of a name, or the name as written.
    QString canonical(const QString& name);

private:
    bool isFunctionName(const jet::Tokens& tokens, size_t i);
    QString wordText(const jet::Tokens& tokens, size_t i);

    db::JetSchema& m_schema;
    QHash<QString, QString> m_columns; // lower-case -> created spelling
    QHash<QString, QString> m_aliases;
    std::optional<QHash<QString, QString>> m_tables; // asked for when first needed
};

// Jet statements as PostgreSQL text that gives the same rows as the SQLite text: every name
// is quoted in the spelling it was created with (the server would fold it to lower case),
// text columns are citext with the "C" collation (equality, LIKE, grouping and sorting
// ignore ASCII letter case, as NOCASE does), NULLs sort first as in SQLite, and work tables
// (TEMP_*) are temporary tables private to the session.
class PostgresDialect final : public jet::JetDialect
{
public:
    QString columnType(const QString& jetType, bool keyFollows) const override
    {
        return postgresType(jetType, keyFollows);
    }
    QString resultColumnType(const db::ColumnInfo& column) const override
    {
        return postgresTypeForKind(column);
    }
    void rewriteBooleans(jet::Tokens& tokens) const override { rewriteBooleansForPostgres(tokens); }
    bool comparesOneTypeOnly() const override { return true; }
    std::pair<QString, QString> columnAsText(db::ColumnKind kind) const override;
    bool rewriteForms(
        jet::Tokens& tokens, const jet::ColumnKindOf& kindOf, QString* error) const override
    {
        return rewriteForPostgres(tokens, kindOf, error);
    }
    std::unique_ptr<jet::TokenWriter> writer(
        db::JetSchema& schema, const jet::Tokens& tokens, const QStringList& tables) const override
    {
        return std::make_unique<PostgresNames>(schema, tokens, tables);
    }
    bool workTablesAreTemporary() const override { return true; }
    bool namesKeepCreatedSpelling() const override { return true; }
};

} // namespace quel::db_pg
