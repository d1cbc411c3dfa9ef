// Jet SQL as the program's own statements and the user's query text reach the store: one
// statement in, the SQLite and PostgreSQL statements out, against a fixed schema of the sales
// tables; the same text also as directly prepared SQLite text for the server.

#include "db_pg/pg_dialect.h"
#include "db_sqlite/sqlite_dialect.h"
#include "jet/jet_sql.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

using quel::db::ColumnInfo;
using quel::db::ColumnKind;

class FixedSchema : public quel::db::JetSchema
{
public:
    std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table) override
    {
        if (table.compare(QStringLiteral("交易表"), Qt::CaseInsensitive) == 0)
            return std::vector<ColumnInfo> { column("ID", "INTEGER", ColumnKind::Integer),
                column("Code", "TEXT", ColumnKind::Text), column("Dat", "DATE", ColumnKind::Date),
                column("Pri", "DOUBLE", ColumnKind::Real),
                column("Num", "INTEGER", ColumnKind::Integer),
                column("Buyer", "TEXT", ColumnKind::Text) };
        if (table.compare(QStringLiteral("t"), Qt::CaseInsensitive) == 0)
            return std::vector<ColumnInfo> { column("a", "TEXT", ColumnKind::Text),
                column("d", "DATE", ColumnKind::Date) };
        return std::nullopt;
    }

    std::optional<std::vector<ColumnInfo>> queryColumns(const QString& sql, QString* error) override
    {
        if (sql.isEmpty()) {
            if (error)
                *error = QStringLiteral("empty query");
            return std::nullopt;
        }
        return std::vector<ColumnInfo> { column("Dat", "DATE", ColumnKind::Date),
            column("n", "", ColumnKind::Other) };
    }

private:
    static ColumnInfo column(const char* name, const char* type, ColumnKind kind)
    {
        return { QString::fromLatin1(name), QString::fromLatin1(type), kind };
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FixedSchema schema;
    QString error;
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)quel::jet::translateJet(sql, schema, &error, quel::db_sqlite::SqliteDialect());
    (void)quel::jet::translateJet(sql, schema, &error, quel::db_pg::PostgresDialect());
    (void)quel::db_pg::nativeToPostgres(sql, schema, &error);
    return 0;
}
