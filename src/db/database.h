#pragma once

#include "db/statement.h"
#include "db/translation.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace quel::db {

// The periods a date can be rounded down to: its day, the week from its Monday, its month.
enum class DatePart
{
    Day,
    Week,
    Month
};

// The table a served list of values is read as: one text column, v, a row per value in
// the list's order (see Database::serveValues).
inline constexpr char kValueTable[] = "quel_values";

// One open database: an encrypted file of the embedded engine, or a database on a server.
// Opening costs a key derivation or a connection, so a process keeps one per database
// (the store's DatabasePool) and hands out light Connections onto it. Single-threaded like
// the rest of the program. Callers speak the Jet dialect (execute, translateQuery) or portable SQL
// with
// "?" parameters (prepare); each engine turns them into its own text.
class Database
{
public:
    virtual ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file path or the server address it was opened with.
    QString path() const { return m_path; }
    virtual bool isServer() const { return false; }
    // The embedded engine's handle (benchmarks and tests); null on a server.
    virtual sqlite3* handle() const { return nullptr; }
    virtual bool isOpen() const = 0;
    // Closes the database for every holder (before it is replaced or deleted): later
    // statements on this object fail instead of writing to a file that is gone.
    virtual void close();

    // Runs one Jet statement (translated); false and the engine's message on failure.
    bool execute(const QString& jetSql, QString* error = nullptr);
    // Runs the engine's own text as it stands (several statements allowed).
    virtual bool executeNative(const QString& sql, QString* error = nullptr) = 0;

    // DROP TABLE with the name quoted.
    bool dropTable(const QString& table, QString* error = nullptr);
    // Drops one of the program's work tables. Their rows are copies of stored data, so the
    // embedded engine, which otherwise overwrites every page it frees, leaves these pages as
    // they are for reuse: a large work table's drop wrote as much as the table itself.
    virtual bool dropWorkTable(const QString& table, QString* error = nullptr);

    // Translates a Jet SELECT into the engine's text; nullopt and an error when it cannot.
    std::optional<QString> translateQuery(const QString& jetSql, QString* error);

    // A cached prepared statement for portable SQL text; empty on error.
    Statement prepareCached(const QString& sql, QString* error = nullptr);
    Statement prepare(const QString& sql, QString* error = nullptr);
    // The same for the engine's own text (translations, recordsets' write-backs); "?" still
    // marks a parameter.
    Statement prepareNative(const QString& sql, QString* error = nullptr)
    {
        return compile(sql, error);
    }
    Statement prepareNativeCached(const QString& sql, QString* error = nullptr);

    // Columns of a table (cached until the schema changes); nullopt when it does not exist.
    std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table);
    // Result columns of a SELECT in the engine's text with their declared types (the
    // embedded engine types an expression by its first row's value, which runs the query
    // up to that row). Without withTypes only the names are read and the query never runs.
    virtual std::optional<std::vector<ColumnInfo>> queryColumns(
        const QString& sql, QString* error, bool withTypes = true)
        = 0;
    // Every table name in creation order (the engine's own tables left out).
    virtual QStringList tableNames() = 0;
    // The names of the indexes on the permanent tables.
    virtual QStringList indexNames() = 0;
    // The column lists of a table's unique keys (what an insert that replaces a row
    // matches on); only the server engine needs to be told.
    virtual std::vector<QStringList> uniqueKeys(const QString& table)
    {
        (void)table;
        return {};
    }

    // The table names as tableNames() last gave them, cached until the schema changes:
    // what a translation resolves names against.
    const QStringList& knownTableNames();

    // Forgets cached schema and translations (after DDL).
    void schemaChanged();

    virtual QString lastErrorText() const = 0;
    virtual int lastErrorCode() const = 0;

    // A fresh number for a savepoint name (Transaction, multi-statement execution).
    int nextSavepointId() { return ++m_savepointCounter; }
    // Savepoints nest; outside any transaction the first one begins it and its release
    // commits.
    virtual bool beginSavepoint(const QString& name);
    virtual bool releaseSavepoint(const QString& name);
    // Undoes everything since the savepoint and ends it.
    virtual void rollbackSavepoint(const QString& name);

    // How a recordset names one row of a table for writing it back: the column to select,
    // what an INSERT or UPDATE appends to hand back the row's new name (empty when the
    // name does not change and a new row's is asked for afterwards), and that name.
    virtual QString rowKeyColumn() const = 0;
    virtual QString rowKeyReturning() const { return {}; }
    virtual QVariant lastInsertRowKey() const = 0;

    // The engine's expression for the start of the period a date column's value falls in,
    // in the stored date form.
    virtual QString periodStartSql(const QString& column, DatePart part) const = 0;

    // A list of text values that statements read as the table kValueTable, straight from
    // memory: a long list sorted by the caller and joined this way is neither written to a
    // table nor sorted again by the engine. Only the embedded engine has the table;
    // elsewhere a caller keeps its SQL form. serveValues(nullptr) ends the serving; a
    // statement that reads the table meanwhile finds no rows. ServedValues does both.
    virtual bool canServeValues() const { return false; }
    virtual void serveValues(std::shared_ptr<const std::vector<std::string>> values)
    {
        (void)values;
    }

protected:
    explicit Database(const QString& path)
        : m_path(path)
    { }
    // The engine's translation of one Jet statement.
    virtual std::optional<JetTranslation> translate(
        const QString& jetSql, JetSchema& schema, QString* error)
        = 0;
    // Prepares the engine's own text (one statement).
    virtual Statement compile(const QString& sql, QString* error) = 0;
    // Portable SQL ("?" parameters) in the engine's text.
    virtual std::optional<QString> nativeText(const QString& sql, JetSchema& schema, QString* error)
    {
        (void)schema;
        (void)error;
        return sql;
    }
    // A table's columns read from the engine's catalogue; empty when there is no such table.
    virtual std::vector<ColumnInfo> readTableColumns(const QString& table) = 0;
    // Drops every cached statement (closing, schema changes on engines that need it).
    void clearStatementCache();

private:
    bool runStatements(const QStringList& statements, bool changesSchema, QString* error);
    Statement prepareCachedWith(
        const QString& key, QString* error, const std::function<Statement(QString*)>& make);

    QString m_path;
    QHash<QString, StatementCore*> m_statements;
    QHash<QString, std::vector<ColumnInfo>> m_tables;
    std::optional<QStringList> m_tableNames;
    QHash<QString, QStringList> m_translations;
    int m_savepointCounter = 0;
};

// Serves a list (Database::serveValues) for as long as it lives. A database serves one list
// at a time: holders do not nest.
class ServedValues
{
public:
    ServedValues(Database& db, std::vector<std::string> values)
        : m_db(db)
    {
        m_db.serveValues(std::make_shared<const std::vector<std::string>>(std::move(values)));
    }
    ~ServedValues() { m_db.serveValues(nullptr); }
    ServedValues(const ServedValues&) = delete;
    ServedValues& operator=(const ServedValues&) = delete;

private:
    Database& m_db;
};

} // namespace quel::db
