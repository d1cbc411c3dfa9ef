#pragma once

#include "db/database.h"

#include <functional>
#include <memory>

namespace quel::db_pg {

class PgConnection;

// What an empty server database gets on its first use: when the marker table is missing,
// create makes the tables, under a lock so that two first users do not both make them.
struct PgFirstUse
{
    QString markerTable;
    std::function<bool(db::Database& db, QString* error)> create;
};

// A database on a PostgreSQL server, shared by a team. Text columns are citext, so they
// compare, group and sort without regard to letter case as the embedded engine's do; work
// tables (TEMP_*) are temporary tables, private to this program instance.
class PgDatabase final : public db::Database
{
public:
    // Connects to the address, makes sure the citext type exists, reads the table list and
    // makes the tables of an empty database.
    static std::shared_ptr<db::Database> open(
        const QString& address, QString* error, const PgFirstUse& firstUse = {});
    ~PgDatabase() override;

    bool isServer() const override { return true; }
    // False too once the session is found lost: the pool then opens a new one.
    bool isOpen() const override;
    void close() override;
    bool executeNative(const QString& sql, QString* error = nullptr) override;
    std::optional<std::vector<db::ColumnInfo>> queryColumns(
        const QString& sql, QString* error, bool withTypes = true) override;
    QStringList tableNames() override;
    QStringList indexNames() override;
    std::vector<QStringList> uniqueKeys(const QString& table) override;
    QString lastErrorText() const override { return m_lastError; }
    int lastErrorCode() const override { return m_lastError.isEmpty() ? 0 : 1; }
    // A row's physical place: it moves when the row is written, so writes hand back the new.
    QString rowKeyColumn() const override { return QStringLiteral("ctid"); }
    QString rowKeyReturning() const override { return QStringLiteral(" RETURNING ctid"); }
    QVariant lastInsertRowKey() const override { return {}; }
    QString periodStartSql(const QString& column, db::DatePart part) const override;

    bool beginSavepoint(const QString& name) override;
    bool releaseSavepoint(const QString& name) override;
    void rollbackSavepoint(const QString& name) override;

    PgConnection* connection() const { return m_conn.get(); }

protected:
    std::optional<db::JetTranslation> translate(
        const QString& jetSql, db::JetSchema& schema, QString* error) override;
    db::Statement compile(const QString& sql, QString* error) override;
    std::optional<QString> nativeText(
        const QString& sql, db::JetSchema& schema, QString* error) override;
    std::vector<db::ColumnInfo> readTableColumns(const QString& table) override;

private:
    PgDatabase(std::unique_ptr<PgConnection> conn, const QString& address);
    bool run(const QString& sql, QString* error);
    // The outermost savepoint is over: the transaction ended, writes wait for replies again.
    void leftTransaction();
    // A table's name as it was created, or empty when there is no such table.
    QString createdName(const QString& table);

    std::unique_ptr<PgConnection> m_conn;
    QString m_lastError;
    unsigned m_citextOid = 0;
    // Savepoints open through beginSavepoint; the outermost began the transaction itself.
    int m_depth = 0;
    bool m_ownsTransaction = false;
};

} // namespace quel::db_pg
