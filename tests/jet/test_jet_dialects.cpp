// SPDX-License-Identifier: GPL-3.0-or-later
// The translator reads Jet and leaves every engine's own form to the engine's dialect: a
// dialect of marked forms shows where each one is asked for, and the two engines' dialects
// translate the same statement each in its own way.

#include "db_pg/pg_dialect.h"
#include "db_sqlite/sqlite_dialect.h"
#include "jet/jet_dialect.h"
#include "jet/jet_sql.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace quel::db;
using namespace quel::jet;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class SalesSchema : public JetSchema
{
public:
    std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table) override
    {
        if (table.compare(QStringLiteral("Sales"), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        return std::vector<ColumnInfo> { { QStringLiteral("Name"), {}, ColumnKind::Text },
            { QStringLiteral("Num"), {}, ColumnKind::Integer },
            { QStringLiteral("Dat"), {}, ColumnKind::Date } };
    }
    std::optional<std::vector<ColumnInfo>> queryColumns(const QString&, QString*) override
    {
        return std::vector<ColumnInfo> { { QStringLiteral("Name"), {}, ColumnKind::Text } };
    }
    QStringList tableNames() override { return { QStringLiteral("Sales") }; }
};

// Every form marked, so a test sees which the translator asked for.
class MarkedDialect final : public JetDialect
{
public:
    QString columnType(const QString& jetType, bool keyFollows) const override
    {
        return QStringLiteral("T_") + jetType.toUpper()
            + (keyFollows ? QStringLiteral("_K") : QString());
    }
    QString resultColumnType(const ColumnInfo& column) const override
    {
        return QStringLiteral("R_") + column.name;
    }
    void rewriteBooleans(Tokens& tokens) const override
    {
        for (Token& t : tokens) {
            if (t.kind == Tok::Word && t.upper() == QLatin1String("TRUE"))
                t.text = QStringLiteral("yes");
        }
    }
    bool comparesOneTypeOnly() const override { return true; }
    std::pair<QString, QString> columnAsText(ColumnKind) const override
    {
        return { QStringLiteral("<"), QStringLiteral(">") };
    }
    bool rewriteForms(Tokens& tokens, const ColumnKindOf&, QString* error) const override
    {
        for (const Token& t : tokens) {
            if (t.kind == Tok::Word && t.upper() == QLatin1String("NOPE")) {
                *error = QStringLiteral("no counterpart");
                return false;
            }
        }
        return true;
    }
    std::unique_ptr<TokenWriter> writer(
        JetSchema&, const Tokens&, const QStringList&) const override
    {
        struct Upper final : TokenWriter
        {
            QString text(const Tokens& tokens, size_t from, size_t to) override
            {
                return joinTokens(tokens, from, to);
            }
        };
        return std::make_unique<Upper>();
    }
    bool workTablesAreTemporary() const override { return true; }
    bool namesKeepCreatedSpelling() const override { return true; }
};

QStringList translated(const QString& jet, const JetDialect& dialect)
{
    SalesSchema schema;
    QString error;
    const auto t = translateJet(jet, schema, &error, dialect);
    return t ? t->statements : QStringList { QStringLiteral("error: ") + error };
}

TEST(JetDialects, EveryEngineFormComesFromTheDialect)
{
    const MarkedDialect marked;
    EXPECT_EQ(
        translated("CREATE TABLE TEMP_X (ID COUNTER PRIMARY KEY, N STRING(50), Q FOO)", marked),
        QStringList { "CREATE TEMP TABLE TEMP_X (ID T_COUNTER_K PRIMARY KEY, N T_STRING, Q FOO)" });
    EXPECT_EQ(translated("ALTER TABLE Sales ADD COLUMN Cnt LONG", marked),
        QStringList { "ALTER TABLE Sales ADD COLUMN Cnt T_LONG" });
    EXPECT_EQ(
        translated("SELECT Name INTO TEMP_Y FROM Sales WHERE Num = '7' AND Dat = 'x'", marked),
        (QStringList { "CREATE TEMP TABLE TEMP_Y (\"Name\" R_Name)",
            "INSERT INTO TEMP_Y (\"Name\") SELECT Name  FROM Sales WHERE Num = 7 AND <Dat> = "
            "'x'" }));
    EXPECT_EQ(translated("SELECT * FROM Sales WHERE Name = 5 OR TRUE", marked),
        QStringList { "SELECT * FROM Sales WHERE Name = '5' OR yes" });
    EXPECT_EQ(translated("INSERT INTO sales SELECT name FROM Sales", marked),
        QStringList { "INSERT INTO sales (\"Name\") SELECT name FROM Sales" });
    EXPECT_EQ(
        translated("SELECT NOPE FROM Sales", marked), QStringList { "error: no counterpart" });
}

TEST(JetDialects, EachEngineWritesTheSameStatementItsOwnWay)
{
    const QString jet = QStringLiteral("SELECT Name INTO TEMP_Z FROM Sales WHERE Num = 5 AND TRUE");
    EXPECT_EQ(translated(jet, quel::db_sqlite::SqliteDialect()),
        (QStringList { "CREATE TEMP TABLE TEMP_Z (\"Name\" TEXT COLLATE NOCASE)",
            "INSERT INTO TEMP_Z (\"Name\") SELECT Name  FROM Sales WHERE Num = 5 AND 1" }));
    const QStringList pg = translated(jet, quel::db_pg::PostgresDialect());
    ASSERT_EQ(pg.size(), 2);
    EXPECT_TRUE(pg[0].startsWith("CREATE TEMP TABLE \"TEMP_Z\"")) << pg[0].toStdString();
    EXPECT_TRUE(pg[1].contains("\"Sales\"")) << pg[1].toStdString();
    EXPECT_TRUE(pg[1].contains("TRUE")) << pg[1].toStdString();
}

} // namespace
