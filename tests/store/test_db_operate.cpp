// The DB_Operate operations over the current database of a catalogue.
#include "store/catalogue.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/store_fixture.h"

#include <QFile>
#include <QFileInfo>

using namespace quel;
using namespace quel::store;
using namespace quel::db;
using quel::test::FakeFeedback;
using quel::test::StoreTest;

namespace {

class DbOperateTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        // Share the process's handle, as every caller does.
        m_db.reset();
        QString error;
        m_db = DatabasePool::shared().acquire(m_path, &error);
        ASSERT_TRUE(m_db) << error.toStdString();
    }
    Catalogue m_catalogue { m_dir.path() };
    FakeFeedback m_feedback;
    DB_Operate m_ops { m_catalogue, m_feedback };
};

} // namespace

// The operations reach their database through the catalogue's current entry, a file.
INSTANTIATE_TEST_SUITE_P(
    Engines, DbOperateTest, ::testing::Values(quel::test::Engine::File), quel::test::engineName);

// The removal of repeated rows runs on the connection it is given, a file or a server.
using DuplicateRowsTest = StoreTest;
QUEL_ON_BOTH_ENGINES(DuplicateRowsTest);

TEST(QuoteValueList, QuotesEachValueAndDoublesQuotes)
{
    EXPECT_EQ(QuoteValueList({ QStringLiteral("a"), QString(), QStringLiteral("b") }),
        QStringLiteral("'a','','b'"));
    EXPECT_EQ(QuoteValueList(QStringList()), QString());
    EXPECT_EQ(QuoteValueList({ QStringLiteral("Levi's") }), QStringLiteral("'Levi''s'"));
    EXPECT_EQ(Quote(QStringLiteral("'")), QStringLiteral("''''"));
    EXPECT_EQ(EscapeQuotes(QStringLiteral("a'b''c")), QStringLiteral("a''b''''c"));
}

TEST_P(DbOperateTest, ConnectionsAndRecordsetsReportFailuresThroughFeedback)
{
    Connection conn;
    Recordset rs;
    EXPECT_TRUE(m_ops.OpenRecordset(conn, rs, QStringLiteral("SELECT * FROM 产品表")));
    EXPECT_TRUE(conn.isOpen());
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(m_feedback.messages.isEmpty());

    const QString bad = QStringLiteral("SELECT * FROM 产品表 WHERE SName='Levi's'");
    EXPECT_FALSE(m_ops.OpenRecordset(conn, rs, bad));
    EXPECT_FALSE(rs.isOpen());
    EXPECT_EQ(m_feedback.messages.value(0),
        QStringLiteral("数据库打开错误(") + bad + QStringLiteral(")！"));

    EXPECT_TRUE(m_ops.OpenConnection(conn));
    EXPECT_FALSE(m_ops.OpenRecordsetOn(conn, rs, QStringLiteral("SELECT * FROM 没有")));
    EXPECT_EQ(m_feedback.messages.size(), 2);
    m_ops.CloseRecordset(conn, rs);
    m_ops.CloseRecordset(conn, rs); // closing what is closed does nothing visible
    EXPECT_FALSE(conn.isOpen());
    EXPECT_FALSE(m_ops.OpenRecordsetOn(conn, rs, QStringLiteral("SELECT * FROM 产品表")));

    // A missing database file: the connection cannot be made.
    m_catalogue.setCurrentDatabaseFile(QStringLiteral("DATA9.mdb"));
    EXPECT_FALSE(m_ops.OpenConnection(conn));
    EXPECT_FALSE(conn.isOpen());
    EXPECT_EQ(m_feedback.messages.last(),
        QStringLiteral("无法建立数据库连接！\n") + m_ops.currentDatabasePath());
    EXPECT_FALSE(m_ops.ExecuteSql(QStringLiteral("DELETE * FROM 产品表")));
}

TEST_P(DbOperateTest, ExecuteSqlOnOwnOrCallersConnection)
{
    EXPECT_TRUE(m_ops.ExecuteSql(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(0,'手机')")));
    Connection conn;
    ASSERT_TRUE(m_ops.OpenConnection(conn));
    EXPECT_TRUE(
        m_ops.ExecuteSql(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(1,'Levi''s')"), &conn));
    EXPECT_TRUE(conn.isOpen());
    EXPECT_FALSE(
        m_ops.ExecuteSql(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(1,'Levi's')"), &conn));
    EXPECT_TRUE(m_feedback.messages.isEmpty()); // silently
    const Connection never;
    EXPECT_FALSE(m_ops.ExecuteSql(QStringLiteral("DELETE * FROM 关键词"), &never));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 关键词")), QVariant(2LL));
}

TEST_P(DbOperateTest, TableQuestionsAndDrops)
{
    EXPECT_TRUE(m_ops.TableExists(QStringLiteral("产品表")));
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("TEMP_Trade")));
    exec(QStringLiteral("CREATE TABLE TEMP_Trade (A LONG)"));
    exec(QStringLiteral("CREATE TABLE TEMP_Trade3 (A LONG)"));
    exec(QStringLiteral("CREATE TABLE temp_keep (A LONG)"));
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("temp_trade"))); // exact names
    // A work table left from an earlier run is dropped before it is created again.
    EXPECT_TRUE(m_ops.DropTableIfExists(QStringLiteral("TEMP_Trade")));
    EXPECT_TRUE(m_ops.ExecuteSql(QStringLiteral("SELECT PID INTO TEMP_Trade FROM 交易表")));
    EXPECT_TRUE(m_ops.DropTableIfExists(QStringLiteral("TEMP_Missing")));

    m_ops.DropTablesWithPrefix(QStringLiteral("TEMP_"));
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("TEMP_Trade")));
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("TEMP_Trade3")));
    EXPECT_TRUE(m_ops.TableExists(QStringLiteral("temp_keep")));
    // Nothing left to drop: the tables stay as they are.
    const QStringList before = m_db->tableNames();
    m_ops.DropTablesWithPrefix(QStringLiteral("TEMP_"));
    EXPECT_EQ(m_db->tableNames(), before);
}

// Work tables are the connection's own: the file never holds them, every statement of the
// process sees them, and they end with the handle.
TEST_P(DbOperateTest, WorkTablesLiveWithTheConnectionNotInTheFile)
{
    EXPECT_TRUE(m_ops.ExecuteSql(QStringLiteral("SELECT PID,BCode INTO TEMP_Trade FROM 交易表")));
    exec(QStringLiteral("CREATE TABLE TEMP_Trade3 (A LONG)"));
    exec(QStringLiteral("INSERT INTO TEMP_Trade3 (A) VALUES (7)"));
    EXPECT_TRUE(m_ops.TableExists(QStringLiteral("TEMP_Trade")));
    EXPECT_EQ(m_ops.LookupValue(
                  QStringLiteral("TEMP_Trade3"), 7, QStringLiteral("A"), QStringLiteral("A")),
        QVariant(7LL));
    EXPECT_EQ(m_db->tableNames().mid(m_db->tableNames().size() - 2),
        (QStringList { QStringLiteral("TEMP_Trade"), QStringLiteral("TEMP_Trade3") }))
        << "after the stored tables, in the order made";

    QString error;
    auto other = OpenDatabase(m_path, QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(other) << error.toStdString();
    EXPECT_FALSE(other->tableNames().contains(QStringLiteral("TEMP_Trade3")));
    other.reset();

    m_db.reset();
    DatabasePool::shared().close(m_path);
    m_db = DatabasePool::shared().acquire(m_path, &error);
    ASSERT_TRUE(m_db) << error.toStdString();
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("TEMP_Trade3")));
}

// A file of an earlier version may still hold a work table among its stored tables: its
// pages are freed without being overwritten (it holds copies of stored rows), and the
// connection's overwrite of freed pages is back as it was at once, for stored rows deleted
// later.
TEST_P(DbOperateTest, StoredWorkTablesOfOlderFilesDropWithoutOverwriting)
{
    const auto pragma = [&](const char* name) {
        Statement stmt = m_db->prepareNative(QStringLiteral("PRAGMA ") + QLatin1String(name));
        return stmt && stmt.step() == StepResult::Row ? stmt.int64(0) : -1;
    };
    const auto overwrite = [&] { return pragma("secure_delete"); };
    const qint64 before = overwrite();
    ASSERT_GE(before, 0);
    const auto storedTable = [&](const QString& name) {
        ASSERT_TRUE(m_db->executeNative(QStringLiteral("CREATE TABLE %1 (Buyer TEXT)").arg(name)));
        m_db->schemaChanged();
    };
    storedTable(QStringLiteral("TEMP_Customer"));
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(m_db->executeNative(QStringLiteral("INSERT INTO TEMP_Customer VALUES ('%1')")
                                            .arg(QString(300, QChar(u'a' + i % 26)))));
    EXPECT_TRUE(m_ops.DropTableIfExists(QStringLiteral("TEMP_Customer")));
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("TEMP_Customer")));
    EXPECT_GT(pragma("freelist_count"), 10);
    EXPECT_EQ(overwrite(), before);

    // Turned off by someone else, it stays off; other tables drop the usual way.
    ASSERT_TRUE(m_db->executeNative(QStringLiteral("PRAGMA secure_delete=%1").arg(1 - before)));
    storedTable(QStringLiteral("TEMP_PAna"));
    storedTable(QStringLiteral("旧表"));
    EXPECT_TRUE(m_ops.DropTableIfExists(QStringLiteral("TEMP_PAna")));
    EXPECT_TRUE(m_ops.DropTableIfExists(QStringLiteral("旧表")));
    EXPECT_FALSE(m_ops.TableExists(QStringLiteral("旧表")));
    EXPECT_EQ(overwrite(), 1 - before);
    m_db->executeNative(QStringLiteral("PRAGMA secure_delete=%1").arg(before));
}

TEST_P(DbOperateTest, LookupsCountsAndDistinctValues)
{
    for (const char* sql :
        { "INSERT INTO 产品表(KWord,PCode,SName,MFee) VALUES('手机','123','B店','10')",
            "INSERT INTO 产品表(KWord,PCode,SName,MFee) VALUES('手机','124','a店','0')",
            "INSERT INTO 产品表(KWord,PCode,SName,MFee) VALUES('相机','125','B店','10')",
            "INSERT INTO 产品表(KWord,PCode,SName,MFee) VALUES('相机','Levi''s','c店','5')" })
        exec(QString::fromUtf8(sql));
    EXPECT_EQ(m_ops.LookupValue(QStringLiteral("产品表"), QStringLiteral("123"),
                  QStringLiteral("PCode"), QStringLiteral("SName")),
        QVariant(QStringLiteral("B店")));
    EXPECT_EQ(m_ops.LookupValue(
                  QStringLiteral("产品表"), 2, QStringLiteral("ID"), QStringLiteral("PCode")),
        QVariant(QStringLiteral("124")));
    EXPECT_EQ(m_ops.LookupValue(QStringLiteral("产品表"), QStringLiteral("Levi's"),
                  QStringLiteral("PCode"), QStringLiteral("ID")),
        QVariant(4LL));
    EXPECT_EQ(m_ops.LookupValue(
                  QStringLiteral("产品表"), 99, QStringLiteral("ID"), QStringLiteral("PCode")),
        QVariant(QString()));

    EXPECT_EQ(m_ops.CountGroups(QStringLiteral("产品表"), QStringLiteral("KWord")), 2);
    EXPECT_EQ(m_ops.CountGroups(QStringLiteral("产品表"), QStringLiteral("PCode"),
                  QStringLiteral(" PCode='123'")),
        1);
    EXPECT_EQ(m_ops.CountGroups(QStringLiteral("产品表"), QStringLiteral("PCode"),
                  QStringLiteral(" PCode='999'")),
        0);

    EXPECT_EQ(m_ops.ReadDistinctValues(QStringLiteral("产品表"), QStringLiteral("SName"),
                  QStringLiteral("KWord='手机'")),
        (QStringList { QString(), QStringLiteral("a店"), QStringLiteral("B店") }));
    EXPECT_EQ(m_ops.ReadDistinctValues(
                  QStringLiteral("产品表"), QStringLiteral("SName"), QStringLiteral("KWord='无'")),
        QStringList { QString() });
    EXPECT_EQ(m_ops.ReadDistinctValues(QStringLiteral("产品表"), QStringLiteral("Nope")),
        QStringList { QString() });
    EXPECT_EQ(m_ops.DistinctValuesForCombo(QStringLiteral("产品表"), QStringLiteral("MFee")),
        (QStringList { QStringLiteral("全部"), QStringLiteral("0"), QStringLiteral("5"),
            QStringLiteral("10") }));
    EXPECT_EQ(m_ops.DistinctValuesForCombo(QString(), QStringLiteral("MFee")),
        QStringList { QStringLiteral("全部") });
    EXPECT_EQ(m_ops.DistinctValuesForCombo(QStringLiteral("产品表"), QStringLiteral("dDat")),
        (QStringList { QStringLiteral("全部"), QStringLiteral("1900-1-1") }));
}

TEST_P(DbOperateTest, DeleteDuplicateRowsKeepsOnePerValue)
{
    exec(QStringLiteral("CREATE TABLE TEMP_Customer (ID COUNTER,Buyer STRING)"));
    for (const char* buyer : { "B", "A", "b", "B", "A", "b", "B", "Levi's" })
        exec(QStringLiteral("INSERT INTO TEMP_Customer(Buyer) VALUES(%1)")
                 .arg(Quote(QString::fromUtf8(buyer))));
    EXPECT_TRUE(
        m_ops.DeleteDuplicateRows(QStringLiteral("TEMP_Customer"), QStringLiteral("Buyer")));
    // Names differing in case are different buyers; each is listed once.
    const auto left
        = rows(QStringLiteral("SELECT Buyer FROM TEMP_Customer ORDER BY Buyer COLLATE BINARY"));
    ASSERT_EQ(left.size(), 4u);
    EXPECT_EQ(left[0][0].toString(), QStringLiteral("A"));
    EXPECT_EQ(left[1][0].toString(), QStringLiteral("B"));
    EXPECT_EQ(left[2][0].toString(), QStringLiteral("Levi's"));
    EXPECT_EQ(left[3][0].toString(), QStringLiteral("b"));
    EXPECT_FALSE(m_ops.DeleteDuplicateRows(QStringLiteral("TEMP_None"), QStringLiteral("Buyer")));
}

TEST_P(DbOperateTest, CompactCurrentDatabaseKeepsDataAndKey)
{
    exec(QStringLiteral("INSERT INTO 简化表(Con,Sim) VALUES('诺基亚','NK')"));
    // Its own temporary folder, so parallel test runs do not share backup.mdb.
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", m_dir.path().toUtf8());
    Connection held;
    ASSERT_TRUE(m_ops.OpenConnection(held));
    m_db.reset();
    EXPECT_TRUE(m_ops.CompactCurrentDatabase());
    EXPECT_EQ(m_feedback.messages, QStringList());
    EXPECT_EQ(m_feedback.events,
        (QStringList { QStringLiteral("start 开始压缩数据库…… 3 0"), QStringLiteral("step 1 pages"),
            QStringLiteral("step 1 pages"), QStringLiteral("close") }));
    EXPECT_EQ(m_ops.LookupValue(QStringLiteral("简化表"), QStringLiteral("诺基亚"),
                  QStringLiteral("Con"), QStringLiteral("Sim")),
        QVariant(QStringLiteral("NK")));
    // A connection held across the compaction fails cleanly; new ones see the new file.
    EXPECT_FALSE(m_ops.ExecuteSql(QStringLiteral("DELETE * FROM 简化表"), &held));
    Connection fresh;
    ASSERT_TRUE(m_ops.OpenConnection(fresh));
    EXPECT_TRUE(
        m_ops.ExecuteSql(QStringLiteral("INSERT INTO 简化表(Con,Sim) VALUES('a','b')"), &fresh));
    EXPECT_EQ(m_ops.CountGroups(QStringLiteral("简化表"), QStringLiteral("Con")), 2);
    QString error;
    EXPECT_FALSE(OpenDatabase(m_path, QStringLiteral("other"), &error));
    EXPECT_TRUE(QFileInfo::exists(m_dir.file(QStringLiteral("backup.mdb"))));
    EXPECT_FALSE(QFileInfo::exists(m_dir.file(QStringLiteral("temp.mdb"))));
    qputenv("TMPDIR", oldTemp);
}

// Files of earlier versions have smaller pages: they open as they are, and compaction
// gives them the current page. New files have it from the start.
TEST_P(DbOperateTest, OlderPageSizeOpensAndCompactionGivesTheCurrentOne)
{
    const auto pageBytes = [](db::Database& db) {
        db::Statement stmt = db.prepare(QStringLiteral("PRAGMA page_size"));
        return stmt && stmt.step() == db::StepResult::Row ? stmt.int64(0) : 0;
    };
    EXPECT_EQ(pageBytes(*m_db), 4096);
    exec(QStringLiteral("INSERT INTO 简化表(Con,Sim) VALUES('诺基亚','NK')"));
    const QString older = m_dir.file(QStringLiteral("older.mdb"));
    QString error;
    ASSERT_TRUE(m_db->executeNative(QStringLiteral("ATTACH DATABASE '%1' AS older KEY '%2'")
                                        .arg(older, QString::fromLatin1(kDatabasePassword)),
        &error))
        << error.toStdString();
    ASSERT_TRUE(m_db->executeNative(QStringLiteral("PRAGMA older.cipher_page_size = 1024")));
    ASSERT_TRUE(m_db->executeNative(QStringLiteral("SELECT sqlcipher_export('older')"), &error))
        << error.toStdString();
    ASSERT_TRUE(m_db->executeNative(QStringLiteral("DETACH DATABASE older")));
    m_db.reset();
    DatabasePool::shared().releaseAll();
    ASSERT_TRUE(QFile::remove(m_path) && QFile::copy(older, m_path));

    auto reopened = OpenDatabase(m_path, QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(reopened) << error.toStdString();
    EXPECT_EQ(pageBytes(*reopened), 1024);
    reopened.reset();
    EXPECT_FALSE(OpenDatabase(m_path, QStringLiteral("other"), &error));
    EXPECT_EQ(m_ops.LookupValue(QStringLiteral("简化表"), QStringLiteral("诺基亚"),
                  QStringLiteral("Con"), QStringLiteral("Sim")),
        QVariant(QStringLiteral("NK")));

    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", m_dir.path().toUtf8());
    DatabasePool::shared().releaseAll();
    EXPECT_TRUE(m_ops.CompactCurrentDatabase());
    qputenv("TMPDIR", oldTemp);
    auto compacted = OpenDatabase(m_path, QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(compacted) << error.toStdString();
    EXPECT_EQ(pageBytes(*compacted), 4096);
    EXPECT_EQ(m_ops.LookupValue(QStringLiteral("简化表"), QStringLiteral("诺基亚"),
                  QStringLiteral("Con"), QStringLiteral("Sim")),
        QVariant(QStringLiteral("NK")));
}

TEST_P(DuplicateRowsTest, KeepTheFirstWrittenOfEachValue)
{
    exec(QStringLiteral("CREATE TABLE TEMP_Customer (Buyer STRING,Prov STRING)"));
    const char* const rowsWritten[][2] = { { "B", "甲" }, { "A", "乙" }, { "b", "丙" },
        { "B", "丁" }, { "A", "戊" }, { "", "己" }, { "", "庚" }, { "Levi's", "辛" } };
    for (const auto& [buyer, prov] : rowsWritten)
        exec(QStringLiteral("INSERT INTO TEMP_Customer(Buyer,Prov) VALUES(%1,%2)")
                 .arg(store::Quote(QString::fromUtf8(buyer)),
                     store::Quote(QString::fromUtf8(prov))));
    exec(QStringLiteral("INSERT INTO TEMP_Customer(Prov) VALUES('壬')"));
    exec(QStringLiteral("INSERT INTO TEMP_Customer(Prov) VALUES('癸')"));
    const db::Connection conn(m_db);
    ASSERT_TRUE(
        store::DeleteDuplicateRows(conn, QStringLiteral("TEMP_Customer"), QStringLiteral("Buyer")));
    // Letter case counts, an empty name is a name, and rows without one all stay.
    QStringList left;
    for (const auto& row : rows(QStringLiteral("SELECT Prov FROM TEMP_Customer")))
        left << row[0].toString();
    left.sort();
    EXPECT_EQ(left,
        (QStringList { QStringLiteral("丙"), QStringLiteral("乙"), QStringLiteral("壬"),
            QStringLiteral("己"), QStringLiteral("甲"), QStringLiteral("癸"),
            QStringLiteral("辛") }));
    EXPECT_FALSE(
        store::DeleteDuplicateRows(conn, QStringLiteral("TEMP_None"), QStringLiteral("Buyer")));
}
