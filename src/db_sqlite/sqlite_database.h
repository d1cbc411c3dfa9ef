#pragma once

#include "db/database.h"
#include "db_sqlite/value_table.h"

struct sqlite3;

namespace quel::db_sqlite {

// The page cache of a database file of `fileBytes` on a machine with `physicalBytes` of
// memory: the whole file where it can, at least 32 MB, at most a quarter of the memory and
// kMaxPageCacheBytes (a program with a year's database stays within a few hundred MB).
qint64 pageCacheBytes(qint64 fileBytes, qint64 physicalBytes);
inline constexpr qint64 kMinPageCacheBytes = qint64(32) << 20;
inline constexpr qint64 kMaxPageCacheBytes = qint64(192) << 20;

// The encrypted page of the files the program writes. Files of earlier versions have
// pages of kOlderCipherPageBytes; they open as they are and get the larger page when they
// are compacted.
inline constexpr int kCipherPageBytes = 4096;
inline constexpr int kOlderCipherPageBytes = 1024;

// Pages the write-ahead log grows to before they are copied back into the file.
inline constexpr int kWalCheckpointPages = 10000;

// A keyed SQLCipher file.
class SqliteDatabase final : public db::Database
{
public:
    // Opens the file with the key and reads sqlite_master, so a wrong key or a file that is
    // not a database is reported here. A missing file is an error unless create is set.
    static std::shared_ptr<db::Database> open(
        const QString& path, const QString& key, QString* error, bool create);
    ~SqliteDatabase() override;

    sqlite3* handle() const override { return m_db; }
    bool isOpen() const override { return m_db != nullptr; }
    void close() override;
    bool executeNative(const QString& sql, QString* error = nullptr) override;
    bool dropWorkTable(const QString& table, QString* error = nullptr) override;
    std::optional<std::vector<db::ColumnInfo>> queryColumns(
        const QString& sql, QString* error, bool withTypes = true) override;
    QStringList tableNames() override;
    QStringList indexNames() override;
    QString lastErrorText() const override;
    int lastErrorCode() const override;
    QString rowKeyColumn() const override { return QStringLiteral("_rowid_"); }
    QVariant lastInsertRowKey() const override;
    QString periodStartSql(const QString& column, db::DatePart part) const override;
    bool canServeValues() const override { return m_valuesReadable; }
    void serveValues(std::shared_ptr<const std::vector<std::string>> values) override
    {
        m_values.values = std::move(values);
    }

protected:
    std::optional<db::JetTranslation> translate(
        const QString& jetSql, db::JetSchema& schema, QString* error) override;
    db::Statement compile(const QString& sql, QString* error) override;
    std::vector<db::ColumnInfo> readTableColumns(const QString& table) override;

private:
    SqliteDatabase(sqlite3* db, const QString& path);
    sqlite3* m_db = nullptr;
    // What the connection's value table reads; the destructor closes the connection first.
    ValueTableSource m_values;
    bool m_valuesReadable = false;
};

} // namespace quel::db_sqlite
