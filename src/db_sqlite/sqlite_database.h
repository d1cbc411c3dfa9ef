#pragma once

#include "store/database.h"

struct sqlite3;

namespace quel::store {

// A keyed SQLCipher file.
class SqliteDatabase final : public Database
{
public:
    // Opens the file with the key and reads sqlite_master, so a wrong key or a file that is
    // not a database is reported here. A missing file is an error unless create is set.
    static std::shared_ptr<Database> open(
        const QString& path, const QString& key, QString* error, bool create);
    ~SqliteDatabase() override;

    sqlite3* handle() const override { return m_db; }
    bool isOpen() const override { return m_db != nullptr; }
    void close() override;
    bool executeNative(const QString& sql, QString* error = nullptr) override;
    std::optional<std::vector<ColumnInfo>> queryColumns(
        const QString& sql, QString* error, bool withTypes = true) override;
    QStringList tableNames() override;
    QStringList indexNames() override;
    QString lastErrorText() const override;
    int lastErrorCode() const override;
    QString rowKeyColumn() const override { return QStringLiteral("_rowid_"); }
    QVariant lastInsertRowKey() const override;
    QString periodStartSql(const QString& column, DatePart part) const override;

protected:
    std::optional<JetTranslation> translate(
        const QString& jetSql, JetSchema& schema, QString* error) override;
    Statement compile(const QString& sql, QString* error) override;
    std::vector<ColumnInfo> readTableColumns(const QString& table) override;

private:
    SqliteDatabase(sqlite3* db, const QString& path);
    sqlite3* m_db = nullptr;
};

} // namespace quel::store
