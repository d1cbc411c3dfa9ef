#pragma once

#include <QString>
#include <memory>

namespace quel::db {

class Database;

// Keeps work that must not be left half done together: begun on construction, kept by
// commit(), undone when the guard goes out of scope uncommitted. Nests (savepoints), and
// covers every statement of the process on that database file, since all connections share
// the one handle.
class Transaction
{
public:
    Transaction() = default;
    explicit Transaction(std::shared_ptr<Database> db);
    Transaction(Transaction&& other) noexcept;
    Transaction& operator=(Transaction&& other) noexcept;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    // False when the begin failed (then commit() does nothing and returns false).
    bool isActive() const { return m_db != nullptr; }
    // A refused commit rolls back; error, when given, gets the engine's reason first (the
    // rollback would replace it).
    bool commit(QString* error = nullptr);
    void rollback();

private:
    std::shared_ptr<Database> m_db;
    QString m_name;
};

// A caller's connection: a light handle onto the process's open database file. Copying is
// cheap; closing one connection never closes the file for the others.
class Connection
{
public:
    Connection() = default;
    explicit Connection(std::shared_ptr<Database> db)
        : m_db(std::move(db))
    { }

    bool isOpen() const { return m_db != nullptr; }
    void close() { m_db.reset(); }
    Database* database() const { return m_db.get(); }
    const std::shared_ptr<Database>& shared() const { return m_db; }

    // Runs one Jet statement on this connection.
    bool execute(const QString& jetSql, QString* error = nullptr) const;
    // Begins a transaction guard (inactive when the connection is closed).
    Transaction transaction() const;

private:
    std::shared_ptr<Database> m_db;
};

} // namespace quel::db
