// The program's statements as the PostgreSQL store will run them, against a described
// schema (the server itself is not needed to check the text).
#include "db_pg/pg_dialect.h"
#include "db_sqlite/sqlite_dialect.h"
#include "jet/jet_sql.h"
#include "store/schema.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace quel::store;
using namespace quel::db;
using namespace quel::db_pg;
using namespace quel::jet;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Columns written "Name:k" with k one of t(ext), i(nteger), r(eal), d(ate).
std::vector<ColumnInfo> columnsOf(const QString& columnList)
{
    std::vector<ColumnInfo> columns;
    for (const QString& c : columnList.split(u' ')) {
        const QStringList parts = c.split(u':');
        ColumnInfo info { parts[0], {}, ColumnKind::Other };
        switch (parts[1].at(0).unicode()) {
        case u't':
            info.kind = ColumnKind::Text;
            break;
        case u'i':
            info.kind = ColumnKind::Integer;
            break;
        case u'r':
            info.kind = ColumnKind::Real;
            break;
        case u'd':
            info.kind = ColumnKind::Date;
            break;
        }
        columns.push_back(info);
    }
    return columns;
}

class FakeSchema : public JetSchema
{
public:
    FakeSchema()
    {
        add(QStringLiteral("产品表"),
            QStringLiteral("ID:i KWord:t PCode:t P_Name:t PName:t SCode:t SName:t Dat:t Addr:t "
                           "Price:r VIP:r MFee:r PMode:t Dis:r Service:t Return:t Num1:i Num9:i "
                           "Style:t VTimes:i CTimes:i SNum:i dDat:d"));
        add(QStringLiteral("交易表"),
            QStringLiteral("ID:i PID:i BCode:t Buyer:t Dat:d Pri:r Num:i"));
        add(QStringLiteral("客户表"),
            QStringLiteral("ID:i BCode:t BName:t SLevel:i BLevel:i Prov:t Regi:t rDat:d lDat:d "
                           "dDat:d"));
        add(QStringLiteral("价格历史"),
            QStringLiteral("PID:i Dat:d Price:r Num1:i Num9:i VTimes:i CTimes:i"));
        add(QStringLiteral("TEMP_PAna"),
            QStringLiteral("KWord:t SName:t Price:r MFee:r Dis:r Num1:i Num9:i SNum:i VTimes:i "
                           "CTimes:i"));
        add(QStringLiteral("TEMP_Trade1"), QStringLiteral("Name:t Dat:d Sm:r Num:i Av:r"));
    }
    void add(const QString& table, const QString& columnList)
    {
        m_tables.insert(table, columnsOf(columnList));
        m_names << table;
    }
    std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table) override
    {
        for (auto t = m_tables.cbegin(); t != m_tables.cend(); ++t) {
            if (t.key().compare(table, Qt::CaseInsensitive) == 0)
                return t.value();
        }
        return std::nullopt;
    }
    std::optional<std::vector<ColumnInfo>> queryColumns(const QString& sql, QString* error) override
    {
        asked << sql;
        if (!result) {
            if (error)
                *error = QStringLiteral("relation does not exist");
            return std::nullopt;
        }
        return result;
    }
    QStringList tableNames() override { return m_names; }
    std::vector<QStringList> uniqueKeys(const QString& table) override
    {
        if (table == QStringLiteral("价格历史"))
            return { { QStringLiteral("PID"), QStringLiteral("Dat") } };
        return {};
    }

    QStringList asked; // the queries described
    std::optional<std::vector<ColumnInfo>> result; // their columns

private:
    QHash<QString, std::vector<ColumnInfo>> m_tables;
    QStringList m_names;
};

class PostgresJet : public ::testing::Test
{
protected:
    // The one statement a Jet statement becomes.
    QString pg(const QString& jet)
    {
        QString error;
        const auto t = translateJet(jet, schema, &error, PostgresDialect());
        EXPECT_TRUE(t) << jet.toStdString() << ": " << error.toStdString();
        if (!t)
            return {};
        EXPECT_EQ(t->statements.size(), 1) << jet.toStdString();
        return t->statements.join(QStringLiteral(" ;; "));
    }
    QString native(const QString& sqlite)
    {
        QString error;
        const auto t = nativeToPostgres(sqlite, schema, &error);
        EXPECT_TRUE(t) << sqlite.toStdString() << ": " << error.toStdString();
        return t.value_or(QString());
    }
    FakeSchema schema;
};

} // namespace

TEST_F(PostgresJet, NamesAreQuotedInTheirCreatedSpelling)
{
    EXPECT_EQ(pg(QStringLiteral("SELECT pname, KWORD AS kw FROM 产品表 WHERE id=1 ORDER BY Kw")),
        QStringLiteral("SELECT \"PName\", \"KWord\" AS \"kw\" FROM \"产品表\" WHERE \"ID\"=1 ORDER "
                       "BY \"kw\" NULLS FIRST"));
    // Qualified names, table aliases, [bracketed] names, functions and keywords.
    EXPECT_EQ(pg(QStringLiteral("select count(*), max(h.price) from [价格历史] as H join 产品表 p "
                                "on p.id=h.pid where P.pcode is not null")),
        QStringLiteral("select count(*), max(\"H\".\"Price\") from \"价格历史\" as \"H\" join "
                       "\"产品表\" \"p\" on \"p\".\"ID\"=\"H\".\"PID\" where \"p\".\"PCode\" is "
                       "not null"));
    EXPECT_EQ(pg(QStringLiteral("SELECT 交易表.*,产品表.PName AS PName FROM 交易表,产品表 WHERE "
                                "交易表.PID=产品表.ID")),
        QStringLiteral("SELECT \"交易表\".*,\"产品表\".\"PName\" AS \"PName\" FROM "
                       "\"交易表\",\"产品表\" WHERE \"交易表\".\"PID\"=\"产品表\".\"ID\""));
    // A table named with a column list is no function call; a subquery's table counts too.
    EXPECT_EQ(pg(QStringLiteral("INSERT INTO 客户表(bcode) VALUES('b1')")),
        QStringLiteral("INSERT INTO \"客户表\"(\"BCode\") VALUES('b1')"));
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM 客户表 WHERE BCode IN (SELECT bcode FROM 交易表 "
                                "WHERE pid=2)")),
        QStringLiteral("SELECT * FROM \"客户表\" WHERE \"BCode\" IN (SELECT \"BCode\" FROM "
                       "\"交易表\" WHERE \"PID\"=2)"));
    // A quote inside a name stays part of it.
    EXPECT_EQ(pg(QStringLiteral("DROP TABLE [a\"b]")), QStringLiteral("DROP TABLE \"a\"\"b\""));
}

TEST_F(PostgresJet, TablesAreCreatedWithServerTypes)
{
    const QStringList statements = schemaStatements();
    QString error;
    const auto products = translateJet(statements.front(), schema, &error, PostgresDialect());
    ASSERT_TRUE(products) << error.toStdString();
    EXPECT_TRUE(products->changesSchema);
    const QString p = products->statements.front();
    EXPECT_TRUE(p.startsWith(QStringLiteral("CREATE TABLE \"产品表\" (\"ID\" bigint GENERATED BY "
                                            "DEFAULT AS IDENTITY PRIMARY KEY, \"KWord\" citext "
                                            "COLLATE \"C\" DEFAULT '', ")))
        << p.toStdString();
    EXPECT_TRUE(p.contains(QStringLiteral("\"Price\" double precision DEFAULT 0")));
    EXPECT_TRUE(p.contains(QStringLiteral("\"Num1\" bigint DEFAULT 0")));
    EXPECT_TRUE(p.endsWith(QStringLiteral("\"dDat\" timestamp(0) DEFAULT '1900-01-01 00:00:00')")));
    // A column named after an SQL word is still a name.
    EXPECT_TRUE(p.contains(QStringLiteral("\"Return\" citext")));
    for (const QString& statement : statements)
        EXPECT_TRUE(translateJet(statement, schema, &error, PostgresDialect()))
            << error.toStdString();

    // Work tables are the session's own; sizes go, an explicit key keeps one key.
    EXPECT_EQ(pg(QStringLiteral("CREATE TABLE TEMP_X (ID COUNTER PRIMARY KEY,Name STRING(50),"
                                "Dat DATE DEFAULT #1/2/2026#,Ok YESNO DEFAULT TRUE)")),
        QStringLiteral("CREATE TEMP TABLE \"TEMP_X\" (\"ID\" bigint GENERATED BY DEFAULT AS "
                       "IDENTITY PRIMARY KEY,\"Name\" citext COLLATE \"C\",\"Dat\" timestamp(0) "
                       "DEFAULT '2026-01-02 00:00:00',\"Ok\" bigint DEFAULT 1)"));
    EXPECT_EQ(pg(QStringLiteral("ALTER TABLE temp_trade1 ADD COLUMN P_Name STRING")),
        QStringLiteral("ALTER TABLE \"TEMP_Trade1\" ADD COLUMN \"P_Name\" citext COLLATE \"C\""));
    EXPECT_EQ(pg(QStringLiteral("CREATE INDEX IF NOT EXISTS 交易表_PID ON 交易表 (PID)")),
        QStringLiteral("CREATE INDEX IF NOT EXISTS \"交易表_PID\" ON \"交易表\" (\"PID\")"));
}

TEST_F(PostgresJet, ValuesDatesAndBooleansKeepSqliteMeaning)
{
    EXPECT_EQ(pg(QStringLiteral("DELETE * FROM 交易表 WHERE Dat<#12/1/2026#")),
        QStringLiteral("DELETE FROM \"交易表\" WHERE \"Dat\"<'2026-12-01 00:00:00'"));
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM TEMP_Trade1 WHERE FALSE")),
        QStringLiteral("SELECT * FROM \"TEMP_Trade1\" WHERE FALSE"));
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM 交易表 WHERE (TRUE) AND NOT FALSE OR Num=TRUE")),
        QStringLiteral("SELECT * FROM \"交易表\" WHERE (TRUE) AND NOT FALSE OR \"Num\"=1"));
    EXPECT_EQ(pg(QStringLiteral("UPDATE 产品表 SET Num1=TRUE, Price='', dDat='12-07-2026', "
                                "Num9='8' WHERE ID=1")),
        QStringLiteral("UPDATE \"产品表\" SET \"Num1\"=1, \"Price\"=NULL, \"dDat\"='2026-12-07 "
                       "00:00:00', \"Num9\"=8 WHERE \"ID\"=1"));
    EXPECT_EQ(pg(QStringLiteral("INSERT INTO TEMP_Trade1(Name,Dat,Sm,Num,Av) "
                                "VALUES('a','2026-1-1','','2',FALSE)")),
        QStringLiteral("INSERT INTO \"TEMP_Trade1\"(\"Name\",\"Dat\",\"Sm\",\"Num\",\"Av\") "
                       "VALUES('a','2026-01-01 00:00:00',NULL,2,0)"));
    // The server compares only like with like: literals of the other kind compare as on SQLite.
    EXPECT_EQ(
        pg(QStringLiteral("SELECT * FROM 产品表 WHERE PCode=1001 AND ID='7' AND dDat>='2026-1-1'")),
        QStringLiteral("SELECT * FROM \"产品表\" WHERE \"PCode\"='1001' AND \"ID\"=7 AND "
                       "\"dDat\">='2026-01-01 00:00:00'"));
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM 客户表 WHERE 客户表.rDat<>'' AND SLevel='x'")),
        QStringLiteral("SELECT * FROM \"客户表\" WHERE to_char(\"客户表\".\"rDat\",'YYYY-MM-DD "
                       "HH24:MI:SS') COLLATE \"C\"<>'' AND CAST(\"SLevel\" AS text) COLLATE "
                       "\"C\"='x'"));
}

TEST_F(PostgresJet, LikeAndOrderByMatchSqlite)
{
    // Jet wildcards; a backslash is an ordinary character in SQLite patterns.
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM 产品表 WHERE PName LIKE '*a\\b?'")),
        QStringLiteral("SELECT * FROM \"产品表\" WHERE \"PName\" LIKE '%a\\b_' ESCAPE ''"));
    // NULLs first ascending, last descending, in every ORDER BY, and where an item says so
    // itself it is kept.
    EXPECT_EQ(
        pg(QStringLiteral("SELECT * FROM 客户表 ORDER BY BLevel DESC,lDat, dDat asc LIMIT 5")),
        QStringLiteral("SELECT * FROM \"客户表\" ORDER BY \"BLevel\" DESC NULLS LAST,\"lDat\" "
                       "NULLS FIRST, \"dDat\" asc NULLS FIRST LIMIT 5"));
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM 交易表 WHERE PID IN (SELECT ID FROM 产品表 ORDER "
                                "BY coalesce(Price,0) DESC LIMIT 1) ORDER BY Dat NULLS LAST")),
        QStringLiteral("SELECT * FROM \"交易表\" WHERE \"PID\" IN (SELECT \"ID\" FROM \"产品表\" "
                       "ORDER BY coalesce(\"Price\",0) DESC NULLS LAST LIMIT 1) ORDER BY \"Dat\" "
                       "NULLS LAST"));
}

TEST_F(PostgresJet, SqliteCollationsBecomeCasts)
{
    // Duplicate search: case-insensitive order, then the bytes within equal values.
    EXPECT_EQ(pg(QStringLiteral("SELECT * FROM 产品表 ORDER BY PName,PName COLLATE BINARY")),
        QStringLiteral("SELECT * FROM \"产品表\" ORDER BY \"PName\" NULLS FIRST,\"PName\"::text "
                       "COLLATE \"C\" NULLS FIRST"));
    EXPECT_EQ(native(QStringLiteral("SELECT 1 FROM 交易表 WHERE Buyer=? COLLATE nocase")),
        QStringLiteral("SELECT 1 FROM \"交易表\" WHERE \"Buyer\"=$1::citext COLLATE \"C\""));
    QString error;
    EXPECT_FALSE(nativeToPostgres(
        QStringLiteral("SELECT * FROM 交易表 ORDER BY Buyer COLLATE RTRIM"), schema, &error));
    // Transaction words are no names.
    EXPECT_EQ(native(QStringLiteral("SAVEPOINT quel_1")), QStringLiteral("SAVEPOINT \"quel_1\""));
    EXPECT_EQ(
        native(QStringLiteral("ROLLBACK TO quel_1")), QStringLiteral("ROLLBACK TO \"quel_1\""));
}

TEST_F(PostgresJet, AggregatesAreTypedAsOnSqlite)
{
    EXPECT_EQ(
        pg(QStringLiteral("SELECT SName,AVG(Price) AS Price,SUM(Num9) AS Num9,"
                          "SUM(产品表.Num1),SUM(Price*Num9) AS Sm FROM 产品表 GROUP BY SName")),
        QStringLiteral("SELECT \"SName\",CAST(AVG(\"Price\") AS double precision) AS \"Price\","
                       "CAST(SUM(\"Num9\") AS bigint) AS \"Num9\",CAST(SUM(\"产品表\".\"Num1\") "
                       "AS bigint),SUM(\"Price\"*\"Num9\") AS \"Sm\" FROM \"产品表\" GROUP BY "
                       "\"SName\""));
}

TEST_F(PostgresJet, SelectIntoMakesATypedTableThenFillsIt)
{
    schema.result = columnsOf(QStringLiteral("PID:i Dat:d Sm:r BCode:t"));
    QString error;
    auto t = translateJet(QStringLiteral("SELECT PID,Dat,(Pri*Num) AS Sm,BCode INTO TEMP_SalesCyc "
                                         "FROM 交易表 WHERE FALSE"),
        schema, &error, PostgresDialect());
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_TRUE(t->changesSchema);
    EXPECT_FALSE(t->isQuery);
    ASSERT_EQ(t->statements.size(), 2);
    const QString select = QStringLiteral("SELECT \"PID\",\"Dat\",(\"Pri\"*\"Num\") AS "
                                          "\"Sm\",\"BCode\"  FROM \"交易表\" WHERE FALSE");
    // The server is asked about its own text.
    EXPECT_EQ(schema.asked, QStringList { select });
    EXPECT_EQ(t->statements[0],
        QStringLiteral("CREATE TEMP TABLE \"TEMP_SalesCyc\" (\"PID\" bigint,\"Dat\" timestamp(0),"
                       "\"Sm\" double precision,\"BCode\" citext COLLATE \"C\")"));
    EXPECT_EQ(t->statements[1],
        QStringLiteral("INSERT INTO \"TEMP_SalesCyc\" (\"PID\",\"Dat\",\"Sm\",\"BCode\") ")
            + select);

    // A table that is not a work table is shared; an aggregate before the INTO is no problem.
    schema.result = columnsOf(QStringLiteral("SName:t Sm:r"));
    t = translateJet(QStringLiteral("SELECT SName,AVG(Price) AS Sm INTO Totals FROM 产品表 GROUP "
                                    "BY SName ORDER BY SName"),
        schema, &error, PostgresDialect());
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_TRUE(t->statements[0].startsWith(QStringLiteral("CREATE TABLE \"Totals\" (")));
    EXPECT_TRUE(t->statements[1].endsWith(QStringLiteral("ORDER BY \"SName\" NULLS FIRST")));

    // A query the server cannot describe is reported.
    schema.result.reset();
    EXPECT_FALSE(translateJet(
        QStringLiteral("SELECT * INTO TEMP_X FROM 没有"), schema, &error, PostgresDialect()));
    EXPECT_EQ(error, QStringLiteral("relation does not exist"));
}

TEST_F(PostgresJet, InsertSelectFillsColumnsByTheirCreatedNames)
{
    schema.result = columnsOf(QStringLiteral("kword:t price:r NUM9:i"));
    QString error;
    const auto t
        = translateJet(QStringLiteral("INSERT INTO temp_pana SELECT kword,AVG(price) AS "
                                      "price,SUM(Num9) AS NUM9 FROM 产品表 GROUP BY kword"),
            schema, &error, PostgresDialect());
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->statements.front(),
        QStringLiteral("INSERT INTO \"TEMP_PAna\" (\"KWord\",\"Price\",\"Num9\") SELECT "
                       "\"KWord\",CAST(AVG(\"Price\") AS double precision) AS \"Price\","
                       "CAST(SUM(\"Num9\") AS bigint) AS \"Num9\" FROM \"产品表\" GROUP BY "
                       "\"KWord\""));
    schema.result = columnsOf(QStringLiteral("Nope:t"));
    EXPECT_FALSE(
        translateJet(QStringLiteral("INSERT INTO TEMP_PAna SELECT PName AS Nope FROM 产品表"),
            schema, &error, PostgresDialect()));
}

TEST_F(PostgresJet, NativeTextTakesNumberedParameters)
{
    EXPECT_EQ(native(QStringLiteral(
                  "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(?,?,?,?,?,?)")),
        QStringLiteral(
            "INSERT INTO \"交易表\"(\"PID\",\"BCode\",\"Buyer\",\"Dat\",\"Pri\",\"Num\") "
            "VALUES($1,$2,$3,$4,$5,$6)"));
    // ?N keeps its number, a bare ? follows the largest so far; a ? in a text is text.
    EXPECT_EQ(native(QStringLiteral("UPDATE 价格历史 SET Price=?3,Num1=coalesce(?,Num1) WHERE "
                                    "Dat=?2 AND PID IN (SELECT ID FROM 产品表 WHERE PCode=?1 AND "
                                    "PName<>'?')")),
        QStringLiteral("UPDATE \"价格历史\" SET \"Price\"=$3,\"Num1\"=coalesce($4,\"Num1\") WHERE "
                       "\"Dat\"=$2 AND \"PID\" IN (SELECT \"ID\" FROM \"产品表\" WHERE "
                       "\"PCode\"=$1 AND \"PName\"<>'?')"));
    EXPECT_EQ(native(QStringLiteral("SELECT 1 FROM 客户表 WHERE BCode==? LIMIT 1;")),
        QStringLiteral("SELECT 1 FROM \"客户表\" WHERE \"BCode\"=$1 LIMIT 1"));
    // Rounding to places: the server rounds only numerics, SQLite answers a double.
    EXPECT_EQ(native(QStringLiteral("SELECT ROUND(Price-1,2) FROM 产品表")),
        QStringLiteral("SELECT CAST(ROUND(CAST(\"Price\"-1 AS numeric),2) AS double precision) "
                       "FROM \"产品表\""));
    QString error;
    EXPECT_FALSE(nativeToPostgres(QStringLiteral("SELECT 'open"), schema, &error));
    EXPECT_FALSE(error.isEmpty());

    // The server's own text gets its parameters numbered and nothing else.
    EXPECT_EQ(postgresParameters(QStringLiteral(
                  "SELECT count(pg_advisory_xact_lock(k)) FROM unnest(?::bigint[]) AS t(k) "
                  "WHERE '?' <> \"a?\" AND x=?3 AND y=?")),
        QStringLiteral("SELECT count(pg_advisory_xact_lock(k)) FROM unnest($1::bigint[]) AS t(k) "
                       "WHERE '?' <> \"a?\" AND x=$3 AND y=$4"));
    EXPECT_EQ(postgresParameters(QStringLiteral("COMMIT")), QStringLiteral("COMMIT"));
    EXPECT_EQ(postgresParameters(QStringLiteral("SELECT '?")), QStringLiteral("SELECT '?"));
}

TEST_F(PostgresJet, NativeInsertOrIgnoreAndReplaceBecomeUpserts)
{
    EXPECT_EQ(native(QStringLiteral("INSERT OR IGNORE INTO 价格历史(PID,Dat,Price,Num1) SELECT "
                                    "P.ID,?1,V.Price,V.Num1 FROM (SELECT ?2 AS Code,?3 AS Price,?4 "
                                    "AS Num1) AS V JOIN 产品表 AS P ON P.PCode=V.Code")),
        QStringLiteral("INSERT INTO \"价格历史\"(\"PID\",\"Dat\",\"Price\",\"Num1\") SELECT "
                       "\"P\".\"ID\",$1,\"V\".\"Price\",\"V\".\"Num1\" FROM (SELECT $2 AS "
                       "\"Code\",$3 AS \"Price\",$4 AS \"Num1\") AS \"V\" JOIN \"产品表\" AS "
                       "\"P\" ON \"P\".\"PCode\"=\"V\".\"Code\" ON CONFLICT DO NOTHING"));
    // The whole row is replaced: columns not written go back to their defaults.
    const QString replaced = native(QStringLiteral(
        "INSERT OR REPLACE INTO 价格历史(PID,Dat,Price,Num1,Num9) SELECT P.ID,?2,coalesce(?3,"
        "H.Price),?4,?5 FROM 产品表 AS P LEFT JOIN 价格历史 AS H ON H.PID=P.ID AND H.Dat=?2 "
        "WHERE P.ID=?1"));
    EXPECT_TRUE(replaced.startsWith(QStringLiteral("INSERT INTO \"价格历史\"(")))
        << replaced.toStdString();
    EXPECT_TRUE(replaced.endsWith(QStringLiteral(
        " WHERE \"P\".\"ID\"=$1 ON CONFLICT (\"PID\",\"Dat\") DO UPDATE SET "
        "\"Price\"=EXCLUDED.\"Price\",\"Num1\"=EXCLUDED.\"Num1\",\"Num9\"=EXCLUDED.\"Num9\","
        "\"VTimes\"=DEFAULT,\"CTimes\"=DEFAULT")))
        << replaced.toStdString();
    // Without a unique key among the written columns there is nothing to replace on.
    QString error;
    EXPECT_FALSE(nativeToPostgres(
        QStringLiteral("INSERT OR REPLACE INTO 价格历史(PID,Price) VALUES(?,?)"), schema, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("unique key")));
}

TEST_F(PostgresJet, NativeDateFunctionsGiveTheSameDays)
{
    EXPECT_EQ(native(QStringLiteral("SELECT PID,date(Dat,'weekday 0','-6 days') AS P,SUM(Pri*Num),"
                                    "SUM(Num) FROM 交易表 WHERE PID IN (1,2) AND Dat IS NOT NULL "
                                    "GROUP BY PID,P")),
        QStringLiteral("SELECT \"PID\",to_char(date_trunc('week',CAST(\"Dat\" AS timestamp)),"
                       "'YYYY-MM-DD') AS \"P\",SUM(\"Pri\"*\"Num\"),CAST(SUM(\"Num\") AS bigint) "
                       "FROM \"交易表\" WHERE \"PID\" IN (1,2) AND \"Dat\" IS NOT NULL GROUP BY "
                       "\"PID\",\"P\""));
    EXPECT_EQ(native(QStringLiteral("SELECT date(Dat), date(Dat,'start of month') FROM 交易表")),
        QStringLiteral("SELECT to_char(CAST(\"Dat\" AS timestamp),'YYYY-MM-DD'), "
                       "to_char(date_trunc('month',CAST(\"Dat\" AS timestamp)),'YYYY-MM-DD') FROM "
                       "\"交易表\""));
    QString error;
    EXPECT_FALSE(nativeToPostgres(
        QStringLiteral("SELECT date(Dat,'+1 month') FROM 交易表"), schema, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("+1 month")));
}

TEST_F(PostgresJet, SqliteTextIsUnchangedByTheServerForms)
{
    QString error;
    const auto t = translateJet(QStringLiteral("SELECT * FROM 交易表 WHERE FALSE ORDER BY Dat"),
        schema, &error, quel::db_sqlite::SqliteDialect());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->statements.front(), QStringLiteral("SELECT * FROM 交易表 WHERE 0 ORDER BY Dat"));
}
