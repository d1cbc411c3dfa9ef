// The Jet statements the program issues, each run on a real encrypted database.
#include "db/connection.h"
#include "jet/jet_sql.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/store_fixture.h"

using namespace quel;
using namespace quel::store;
using namespace quel::db;
using quel::test::StoreTest;

namespace {

QDateTime at(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, mi, s));
}

class JetSql : public StoreTest
{
protected:
    // Products as the search stores them: every value quoted, numbers included.
    void addProduct(const QString& kword, const QString& pcode, const QString& pname,
        const QString& price, const QString& num9)
    {
        exec(QStringLiteral(
                 "INSERT INTO 产品表(KWord,PCode,P_Name,PName,SCode,SName,Dat,Addr,Price,VIP,MFee,"
                 "PMode,Dis,Service,Return,Num1,Num9,Style,VTimes,CTimes,SNum,dDat) VALUES( ")
            + QuoteValueList({ kword, pcode, pname, pname, QStringLiteral("s1"),
                QStringLiteral("店"), QStringLiteral("2026-12-7 10:00:00"), QStringLiteral("上海"),
                price, QStringLiteral("0"), QStringLiteral("10"), QString(), QStringLiteral("9.5"),
                QString(), QString(), QStringLiteral("3"), num9, QString(), QStringLiteral("100"),
                QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("1900-01-01") })
            + u')');
    }
    void addTrade(int pid, const QString& bcode, const QString& buyer, const QString& dat,
        double pri, int num)
    {
        exec(QStringLiteral(
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(%1,%2,%3,%4,'%5','%6')")
                 .arg(pid)
                 .arg(Quote(bcode), Quote(buyer), Quote(dat))
                 .arg(pri)
                 .arg(num));
    }
    void sampleData()
    {
        addProduct(QStringLiteral("手机"), QStringLiteral("1001"), QStringLiteral("诺基亚 5200"),
            QStringLiteral("12.5"), QStringLiteral("7"));
        addProduct(QStringLiteral("手机"), QStringLiteral("1002"), QStringLiteral("Levi's 牛仔"),
            QStringLiteral("100"), QStringLiteral("3"));
        addTrade(1, QStringLiteral("b1"), QStringLiteral("甲"),
            QStringLiteral("2026-11-30 08:00:00"), 12.5, 2);
        addTrade(1, QStringLiteral("b2"), QStringLiteral("乙"),
            QStringLiteral("2026-12-01 09:30:00"), 12.0, 1);
        addTrade(2, QStringLiteral("b1"), QStringLiteral("甲"),
            QStringLiteral("2026-12-02 10:00:00"), 100, 1);
        addTrade(
            2, QString(), QStringLiteral("匿名"), QStringLiteral("2026-12-03 11:00:00"), 99, 1);
        exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('b1')"));
        exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('b2')"));
    }
    QString declType(const QString& table, const QString& column)
    {
        const auto columns = m_db->tableColumns(table);
        if (!columns)
            return QStringLiteral("<no table>");
        for (const auto& c : *columns) {
            // The server names its own types; what matters is that the column holds dates.
            if (c.name == column)
                return onServer() && c.kind == ColumnKind::Date ? QStringLiteral("DATE")
                                                                : c.declType;
        }
        return QStringLiteral("<no column>");
    }
};

} // namespace

QUEL_ON_BOTH_ENGINES(JetSql);

TEST_P(JetSql, ProductInsertConvertsQuotedNumbersAndDatesAndCountsItsRows)
{
    sampleData();
    const auto products
        = rows(QStringLiteral("SELECT ID,Price,Num9,dDat,PName,PMode FROM 产品表 ORDER BY ID"));
    ASSERT_EQ(products.size(), 2u);
    EXPECT_EQ(products[0][0], QVariant(1LL));
    EXPECT_EQ(products[1][0], QVariant(2LL));
    EXPECT_EQ(products[0][1].typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(products[0][1].toDouble(), 12.5);
    EXPECT_EQ(products[0][2], QVariant(7LL));
    EXPECT_EQ(products[0][3], QVariant(at(1900, 1, 1)));
    EXPECT_EQ(products[1][4].toString(), QStringLiteral("Levi's 牛仔"));
    EXPECT_EQ(products[1][5].toString(), QString());
    // Numbers are stored as numbers, so sums and comparisons work.
    EXPECT_DOUBLE_EQ(
        scalar(QStringLiteral("SELECT SUM(Price*Num9) FROM 产品表")).toDouble(), 12.5 * 7 + 300);
    EXPECT_EQ(rows(QStringLiteral("SELECT ID FROM 产品表 WHERE Price>20")).size(), 1u);
}

TEST_P(JetSql, UpdatesWithQuotedValuesKeepTypesAndEmptyNumbersBecomeNull)
{
    sampleData();
    exec(QStringLiteral(
        "UPDATE 产品表 SET Num1='15',Num9='8',Style='1',VTimes='200',CTimes='6',SNum='4',"
        "dDat='2026-12-7',Price='' WHERE ID=1"));
    const auto row
        = rows(QStringLiteral("SELECT Num1,dDat,Price,Style FROM 产品表 WHERE ID=1")).at(0);
    EXPECT_EQ(row[0], QVariant(15LL));
    EXPECT_EQ(row[1], QVariant(at(2026, 12, 7)));
    EXPECT_TRUE(row[2].isNull());
    EXPECT_EQ(row[3].toString(), QStringLiteral("1"));

    exec(QStringLiteral("UPDATE 产品表 SET KWord=") + Quote(QStringLiteral("Levi's"))
        + QStringLiteral(" WHERE PCode='1002'"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT KWord FROM 产品表 WHERE ID=2")).toString(),
        QStringLiteral("Levi's"));
}

TEST_P(JetSql, BuyerRowsStartUndownloadedAndTakeTheProfileUpdate)
{
    sampleData();
    // A new buyer code: rDat 1900-1-1 and Prov '' mark a profile never downloaded.
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM 客户表 WHERE rDat=#1900-1-1#")).size(), 2u);
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM 客户表 WHERE Prov=''")).size(), 2u);
    exec(QStringLiteral(
        "UPDATE 客户表 SET BName='甲',SLevel='3',BLevel='12',Prov='浙江',Regi='杭州',"
        "rDat='2010-5-6',lDat='2026-12-1 8:00:00',dDat='12-07-2026' WHERE ID=1"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM 客户表 WHERE rDat=#1900-1-1#")).size(), 1u);
    const auto row
        = rows(QStringLiteral("SELECT BLevel,rDat,lDat,dDat FROM 客户表 WHERE ID=1")).at(0);
    EXPECT_EQ(row[0], QVariant(12LL));
    EXPECT_EQ(row[1], QVariant(at(2010, 5, 6)));
    EXPECT_EQ(row[2], QVariant(at(2026, 12, 1, 8)));
    EXPECT_EQ(row[3], QVariant(at(2026, 12, 7)));
    // Higher credit first, numerically (12 before 3 before 0).
    exec(QStringLiteral("UPDATE 客户表 SET BLevel='3' WHERE ID=2"));
    exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('b3')"));
    const auto order = rows(QStringLiteral("SELECT BCode FROM 客户表 ORDER BY BLevel DESC"));
    EXPECT_EQ(order[0][0].toString(), QStringLiteral("b1"));
    EXPECT_EQ(order[1][0].toString(), QStringLiteral("b2"));
}

TEST_P(JetSql, DeleteStarAndDateLiteralsInConditions)
{
    sampleData();
    exec(QStringLiteral("DELETE * FROM 交易表 WHERE Dat<#12/1/2026#"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 交易表")), QVariant(3LL));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM 交易表 WHERE Dat>='2026-12-2'")).size(), 2u);
    EXPECT_EQ(
        rows(QStringLiteral("SELECT * FROM 交易表 WHERE Dat>=#2026-12-2# AND Dat<#2026-12-3#"))
            .size(),
        1u);
    exec(QStringLiteral("DELETE * FROM 产品表 WHERE ID=1"));
    exec(QStringLiteral("DELETE * FROM 关键词"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 产品表")), QVariant(1LL));
}

TEST_P(JetSql, TextComparesGroupsAndSortsIgnoringCase)
{
    addProduct(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("b"), QStringLiteral("1"),
        QStringLiteral("1"));
    addProduct(QStringLiteral("ABC"), QStringLiteral("2"), QStringLiteral("A"), QStringLiteral("1"),
        QStringLiteral("1"));
    addProduct(QStringLiteral("x"), QStringLiteral("3"), QStringLiteral("c"), QStringLiteral("1"),
        QStringLiteral("1"));
    EXPECT_EQ(rows(QStringLiteral("SELECT KWord FROM 产品表 GROUP BY KWord")).size(), 2u);
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM 产品表 WHERE KWord='Abc'")).size(), 2u);
    const auto sorted = rows(QStringLiteral("SELECT PName FROM 产品表 ORDER BY PName"));
    EXPECT_EQ(sorted[0][0].toString(), QStringLiteral("A"));
    EXPECT_EQ(sorted[1][0].toString(), QStringLiteral("b"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM 产品表 WHERE PName LIKE '*B*'")).size(), 1u);
}

TEST_P(JetSql, TradeListWorkTableFillsColumnsByName)
{
    sampleData();
    exec(QStringLiteral(
        "CREATE TABLE TEMP_Customer (ID COUNTER,PID LONG,BCode STRING,P_Name STRING,PName STRING,"
        "Buyer STRING,Dat DATE,Pri DOUBLE,Num LONG)"));
    for (int id : { 1, 2 })
        exec(QStringLiteral("INSERT INTO TEMP_Customer SELECT 交易表.*,产品表.PName AS PName,"
                            "产品表.P_Name AS P_Name FROM 交易表,产品表 WHERE 交易表.PID=产品表.ID "
                            "AND 产品表.ID=")
            + QString::number(id));
    const auto all = rows(
        QStringLiteral("SELECT Buyer,P_Name,Dat,Num FROM TEMP_Customer ORDER BY Num DESC,ID"));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0][0].toString(), QStringLiteral("甲"));
    EXPECT_EQ(all[0][1].toString(), QStringLiteral("诺基亚 5200"));
    EXPECT_EQ(all[0][2], QVariant(at(2026, 11, 30, 8)));
    EXPECT_EQ(all[0][3], QVariant(2LL));
}

TEST_P(JetSql, SelectIntoKeepsDeclaredTypesAndInsertSelectAppends)
{
    sampleData();
    exec(QStringLiteral(
        "SELECT 客户表.*,交易表.Buyer AS Buyer INTO TEMP_Customer FROM 客户表,交易表 "
        "WHERE 客户表.BCode=交易表.BCode AND 交易表.PID=1"));
    exec(QStringLiteral(
        "INSERT INTO TEMP_Customer SELECT 客户表.*,交易表.Buyer AS Buyer FROM 客户表,交易表 "
        "WHERE 客户表.BCode=交易表.BCode AND 交易表.PID=2"));
    EXPECT_EQ(
        declType(QStringLiteral("TEMP_Customer"), QStringLiteral("rDat")), QStringLiteral("DATE"));
    const auto all = rows(QStringLiteral("SELECT Buyer,rDat FROM TEMP_Customer ORDER BY Buyer"));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0][1], QVariant(at(1900, 1, 1)));
    // Text columns of the new table still ignore case.
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM TEMP_Customer WHERE BCode='B1'")).size(), 2u);

    // Trade comparison: copy, add a column, name the rows.
    exec(QStringLiteral("SELECT * INTO TEMP_Trade FROM 交易表 WHERE PID=1"));
    exec(QStringLiteral("INSERT INTO TEMP_Trade SELECT * FROM 交易表 WHERE PID=2"));
    exec(QStringLiteral("ALTER TABLE TEMP_Trade ADD COLUMN P_Name STRING"));
    exec(QStringLiteral("UPDATE TEMP_Trade SET P_Name='") + EscapeQuotes(QStringLiteral("Levi's"))
        + QStringLiteral("' WHERE PID=2"));
    const auto trades = rows(QStringLiteral("SELECT Dat,P_Name FROM TEMP_Trade ORDER BY Dat ASC"));
    ASSERT_EQ(trades.size(), 4u);
    EXPECT_EQ(trades[0][0].typeId(), QMetaType::QDateTime);
    EXPECT_EQ(trades[3][1].toString(), QStringLiteral("Levi's"));
    EXPECT_EQ(
        rows(QStringLiteral("SELECT * FROM TEMP_Trade WHERE P_Name='levi''s' ORDER BY Dat")).size(),
        2u);
}

TEST_P(JetSql, StatisticsWorkTables)
{
    sampleData();
    // Product statistics.
    exec(QStringLiteral(
        "CREATE TABLE TEMP_PAna (KWord STRING,SName STRING,Price DOUBLE,MFee DOUBLE,Dis DOUBLE,"
        "Num1 LONG,Num9 LONG,SNum LONG,VTimes LONG,CTimes LONG)"));
    exec(QStringLiteral(
        "INSERT INTO TEMP_PAna SELECT KWord,SName,AVG(Price) AS Price,AVG(MFee) AS MFee,"
        "AVG(Dis) AS Dis,SUM(Num1) AS Num1,SUM(Num9) AS Num9,SUM(SNum) AS SNum,"
        "SUM(VTimes) AS VTimes,SUM(CTimes) AS CTimes FROM 产品表 GROUP BY KWord,SName"));
    const auto pana = rows(QStringLiteral("SELECT Price,Num9 FROM TEMP_PAna")).at(0);
    EXPECT_DOUBLE_EQ(pana[0].toDouble(), 56.25);
    EXPECT_EQ(pana[1], QVariant(10LL));

    // Trade comparison periods and totals.
    exec(QStringLiteral(
        "CREATE TABLE TEMP_Trade1 (Name STRING,Dat DATE,Sm DOUBLE,Num LONG,Av DOUBLE)"));
    exec(QStringLiteral("INSERT INTO TEMP_Trade1(Name,Dat,Sm,Num,Av) "
                        "VALUES('诺基亚','2026-11-1','37','3','12.3333333333333')"));
    const auto period
        = rows(QStringLiteral("SELECT * FROM TEMP_Trade1 WHERE Name='诺基亚' ORDER BY Dat")).at(0);
    EXPECT_EQ(period[1], QVariant(at(2026, 11, 1)));
    EXPECT_EQ(period[2].typeId(), QMetaType::Double);
    EXPECT_EQ(period[3], QVariant(3LL));
    exec(QStringLiteral("SELECT SName,SUM(Price*Num9) AS Sm,SUM(Num9) AS Num INTO TEMP_Total FROM "
                        "产品表 GROUP BY SName"));
    EXPECT_DOUBLE_EQ(scalar(QStringLiteral("SELECT Sm FROM TEMP_Total")).toDouble(), 387.5);

    // Customer statistics.
    exec(QStringLiteral(
        "UPDATE 客户表 SET BName='甲',Prov='浙江',lDat='2026-12-1' WHERE BCode='b1'"));
    exec(QStringLiteral("SELECT PID,BCode INTO TEMP_Trade FROM 交易表 WHERE BCode<>''"));
    exec(QStringLiteral("DROP TABLE TEMP_Trade1"));
    exec(QStringLiteral("SELECT BCode INTO TEMP_Trade1 FROM TEMP_Trade GROUP BY BCode"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM TEMP_Trade1")).size(), 2u);
    exec(QStringLiteral("SELECT 客户表.* INTO TEMP_Trade2 FROM TEMP_Trade1,客户表 WHERE "
                        "客户表.BCode=TEMP_Trade1.BCode AND 客户表.BName<>''"));
    exec(QStringLiteral(
        "SELECT lDat,COUNT(lDat) AS Cou INTO TEMP_Trade3 FROM TEMP_Trade2 GROUP BY lDat"));
    const auto cou = rows(QStringLiteral("SELECT lDat,Cou FROM TEMP_Trade3")).at(0);
    EXPECT_EQ(cou[0], QVariant(at(2026, 12, 1)));
    EXPECT_EQ(cou[1], QVariant(1LL));
}

TEST_P(JetSql, SalesCycleWorkTablesWithWhereFalse)
{
    sampleData();
    exec(QStringLiteral("SELECT PID,Dat,(Pri*Num) AS Sm INTO TEMP_SalesChange FROM 交易表"));
    exec(QStringLiteral("SELECT * INTO TEMP_SalesCyc FROM TEMP_SalesChange WHERE FALSE"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM TEMP_SalesCyc")).size(), 0u);
    EXPECT_EQ(
        declType(QStringLiteral("TEMP_SalesCyc"), QStringLiteral("Dat")), QStringLiteral("DATE"));
    exec(QStringLiteral("INSERT INTO TEMP_SalesCyc SELECT * FROM TEMP_SalesChange WHERE PID=1"));
    const auto cyc = rows(QStringLiteral("SELECT Dat,Sm FROM TEMP_SalesCyc ORDER BY Dat"));
    ASSERT_EQ(cyc.size(), 2u);
    EXPECT_EQ(cyc[0][0], QVariant(at(2026, 11, 30, 8)));
    EXPECT_DOUBLE_EQ(cyc[0][1].toDouble(), 25.0);
}

TEST_P(JetSql, BadStatementsFailWithoutHarm)
{
    sampleData();
    const qsizetype tables = m_db->tableNames().size();
    EXPECT_GE(tables, permanentTables().size());
    QString error;
    for (const char* bad : { "SELECT * FROM 产品表 WHERE PName='Levi's'", "SELECT * FROM 没有",
             "DELETE * FROM 交易表; DROP TABLE 产品表", "", "   ",
             "SELECT * FROM 产品表 WHERE dDat=#2026-13-45#", "SELECT x INTO FROM 产品表",
             "INSERT INTO TEMP_None SELECT * FROM 交易表",
             "INSERT INTO 关键词 SELECT PName FROM 产品表", "UPDATE 产品表 SET Price='1 WHERE ID=1",
             "SELECT * INTO 产品表 FROM 交易表", "[", "#" }) {
        error.clear();
        EXPECT_FALSE(m_db->execute(QString::fromUtf8(bad), &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 交易表")), QVariant(4LL));
    EXPECT_EQ(m_db->tableNames().size(), tables);
    // A SELECT ... INTO whose fill fails leaves no half-made table behind.
    EXPECT_FALSE(m_db->execute(QStringLiteral("SELECT PID, PID INTO TEMP_Dup FROM 交易表")));
    EXPECT_FALSE(m_db->tableColumns(QStringLiteral("TEMP_Dup")));
}

TEST_P(JetSql, WrongKeyIsReportedNotCrashed)
{
    if (onServer())
        GTEST_SKIP() << "a server database has no key";
    m_db.reset();
    QString error;
    EXPECT_FALSE(OpenDatabase(m_path, QStringLiteral("wrong"), &error));
    EXPECT_FALSE(error.isEmpty());
    const QString notADatabase = m_dir.write(QStringLiteral("junk.mdb"), QByteArray(4096, 'x'));
    EXPECT_FALSE(OpenDatabase(notADatabase, QString::fromLatin1(kDatabasePassword), &error));
    EXPECT_FALSE(OpenDatabase(
        m_dir.file(QStringLiteral("missing.mdb")), QString::fromLatin1(kDatabasePassword), &error));
    EXPECT_TRUE(OpenDatabase(m_path, QString::fromLatin1(kDatabasePassword), &error));
}

TEST_P(JetSql, EveryTruncationOfTheProgramsStatementsIsHandled)
{
    // Statements are built by concatenation, so a cut-off or mangled one must fail cleanly.
    sampleData();
    const qsizetype tables = m_db->tableNames().size();
    const QStringList statements {
        QStringLiteral(
            "SELECT 客户表.*,交易表.Buyer AS Buyer INTO TEMP_Customer FROM 客户表,交易表 WHERE "
            "客户表.BCode=交易表.BCode AND 客户表.Prov=''"),
        QStringLiteral(
            "INSERT INTO TEMP_Trade1(Name,Dat,Sm,Num,Av) VALUES('a','2026-1-1','1','2','0.5')"),
        QStringLiteral("UPDATE 客户表 SET BName='x',rDat='2010-5-6',dDat='12-07-2026' WHERE ID=1"),
        QStringLiteral(
            "CREATE TABLE TEMP_X (ID COUNTER,Name STRING(50),Dat DATE DEFAULT #1/2/2026#)"),
        QStringLiteral("ALTER TABLE TEMP_Trade ADD COLUMN P_Name STRING"),
        QStringLiteral("SELECT * FROM [交易表] WHERE Dat>=#2026-12-1 8:00# AND Buyer LIKE '*甲?' "
                       "ORDER BY Dat"),
    };
    for (const QString& statement : statements) {
        for (qsizetype cut = 0; cut <= statement.size(); ++cut) {
            const auto tx = Connection(m_db).transaction();
            QString error;
            m_db->execute(statement.left(cut), &error);
            Recordset rs;
            rs.open(m_db, statement.left(cut), &error);
            m_db->execute(statement.mid(cut), &error);
        } // each attempt rolled back
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 交易表")), QVariant(4LL));
    EXPECT_EQ(m_db->tableNames().size(), tables);
}
