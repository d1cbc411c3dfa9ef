#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quel::store {

// The one password of every database the program creates or opens.
inline constexpr char kDatabasePassword[] = "58314620";

// What a column holds, from its declared type.
enum class ColumnKind
{
    Other,
    Text,
    Integer,
    Real,
    Date
};
ColumnKind columnKindOfDeclType(const QString& declType);

struct ColumnInfo
{
    QString name;
    QString declType;
    ColumnKind kind = ColumnKind::Other;
};

// A prepared statement owned by the statement cache of a Database (or by its caller when
// taken uncached). Reset and unbound when the handle is returned.
class Statement
{
public:
    Statement() = default;
    Statement(sqlite3_stmt* stmt, bool owned)
        : m_stmt(stmt)
        , m_owned(owned)
    { }
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }
    // Gives up ownership without finalizing.
    sqlite3_stmt* take() { return std::exchange(m_stmt, nullptr); }

private:
    void release();
    sqlite3_stmt* m_stmt = nullptr;
    bool m_owned = true;
};

// One open, keyed SQLCipher handle onto one database file. Opening costs a key derivation,
// so a process keeps one per file (DatabasePool) and hands out light Connections onto it.
// Single-threaded like the rest of the program.
class Database
{
public:
    // Opens the file with the key and reads sqlite_master, so a wrong key or a file that is
    // not a database is reported here. A missing file is an error unless create is set.
    static std::shared_ptr<Database> open(
        const QString& path, const QString& key, QString* error, bool create = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString path() const { return m_path; }
    sqlite3* handle() const { return m_db; }
    bool isOpen() const { return m_db != nullptr; }
    // Closes the file for every holder (before it is replaced or deleted): later
    // statements on this object fail instead of writing to a file that is gone.
    void close();

    // Runs one Jet statement (translated); false and the engine's message on failure.
    bool execute(const QString& jetSql, QString* error = nullptr);
    // Runs SQLite text as it stands (several statements allowed).
    bool executeNative(const QString& sql, QString* error = nullptr);

    // Translates a Jet SELECT into SQLite text; nullopt and an error when it cannot.
    std::optional<QString> translateQuery(const QString& jetSql, QString* error);

    // A cached prepared statement for SQLite text; empty on error.
    Statement prepareCached(const QString& sql, QString* error = nullptr);
    Statement prepare(const QString& sql, QString* error = nullptr);

    // Columns of a table (cached until the schema changes); nullopt when it does not exist.
    std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table);
    // Result columns of a SQLite SELECT with their declared types (an expression takes the
    // type of its first row's value, which runs the query up to that row). Without
    // withTypes only the names are read and the query is never run.
    std::optional<std::vector<ColumnInfo>> queryColumns(
        const QString& sql, QString* error, bool withTypes = true);
    // Every table name in creation order (internal sqlite_ tables left out).
    QStringList tableNames();

    // Forgets cached schema and translations (after DDL).
    void schemaChanged();

    QString lastErrorText() const;
    int lastErrorCode() const;

    // A fresh number for a savepoint name (Transaction, multi-statement execution).
    int nextSavepointId() { return ++m_savepointCounter; }

private:
    Database(sqlite3* db, const QString& path);
    sqlite3* m_db = nullptr;
    QString m_path;
    QHash<QString, sqlite3_stmt*> m_statements;
    QHash<QString, std::vector<ColumnInfo>> m_tables;
    QHash<QString, QStringList> m_translations;
    int m_savepointCounter = 0;
};

// The process's open handles, one per database file (by absolute path). Handles stay open
// until released, so private connections of single statements do not pay the key
// derivation again. Release a file before replacing or deleting it.
class DatabasePool
{
public:
    static DatabasePool& shared();

    std::shared_ptr<Database> acquire(const QString& path, QString* error);
    void release(const QString& path);
    // Closes the process's handle on the file, if any, and forgets it.
    void close(const QString& path);
    void releaseAll();

private:
    QHash<QString, std::shared_ptr<Database>> m_open;
};

} // namespace quel::store
