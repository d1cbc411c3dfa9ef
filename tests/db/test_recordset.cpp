// Keyset recordsets: counts, moves, fields by name, writes through to the table.
#include "db/connection.h"
#include "support/store_fixture.h"

using namespace quel;
using namespace quel::store;
using namespace quel::db;
using quel::test::StoreTest;

namespace {

class RecordsetTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        exec(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                            "VALUES(7,'b1','甲','2026-12-1 10:00:00','10','1')"));
        exec(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                            "VALUES(7,'b2','乙','2026-12-2 11:00:00','20','2')"));
        exec(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                            "VALUES(8,'b3','丙','2026-12-3 12:00:00','30','3')"));
    }
    Recordset open(const QString& sql)
    {
        Recordset rs;
        QString error;
        EXPECT_TRUE(rs.open(m_db, sql, &error)) << error.toStdString();
        return rs;
    }
};

} // namespace

QUEL_ON_BOTH_ENGINES(RecordsetTest);

TEST_P(RecordsetTest, WalksRowsAndReadsTypedFieldsByName)
{
    Recordset rs
        = open(QStringLiteral("SELECT * FROM 交易表 WHERE PID=7 ORDER BY Dat DESC,Buyer DESC"));
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_TRUE(rs.isUpdatable());
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(
        rs.field(QStringLiteral("buyer")).toString(), QStringLiteral("乙")); // names ignore case
    EXPECT_EQ(
        rs.field(QStringLiteral("Dat")), QVariant(QDateTime(QDate(2026, 12, 2), QTime(11, 0))));
    EXPECT_EQ(rs.field(QStringLiteral("Pri")).typeId(), QMetaType::Double);
    EXPECT_EQ(rs.field(QStringLiteral("Num")), QVariant(2LL));
    EXPECT_FALSE(rs.field(QStringLiteral("NoSuchField")).isValid());
    rs.moveNext();
    EXPECT_EQ(rs.position(), 1);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_FALSE(rs.field(QStringLiteral("Buyer")).isValid());
    rs.moveNext(); // past the end stays at the end
    EXPECT_TRUE(rs.eof());
    rs.moveFirst();
    EXPECT_EQ(rs.field(QStringLiteral("Buyer")).toString(), QStringLiteral("乙"));

    Recordset empty = open(QStringLiteral("SELECT * FROM 交易表 WHERE PID=99"));
    EXPECT_EQ(empty.recordCount(), 0);
    EXPECT_TRUE(empty.eof());
    empty.moveFirst(); // moving to the first row of nothing is no error
    EXPECT_TRUE(empty.eof());
}

TEST_P(RecordsetTest, AddNewAppendsAtTheEndAndNumbersTheRow)
{
    Recordset rs
        = open(QStringLiteral("SELECT * FROM 交易表 WHERE PID=7 ORDER BY Dat DESC,Buyer DESC"));
    ASSERT_TRUE(rs.addNew());
    EXPECT_TRUE(rs.setField(QStringLiteral("PID"), 7));
    EXPECT_TRUE(rs.setField(QStringLiteral("Buyer"), QStringLiteral("Levi's")));
    EXPECT_TRUE(rs.setField(QStringLiteral("BCode"), QString()));
    EXPECT_TRUE(rs.setField(QStringLiteral("Dat"), QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5))));
    EXPECT_TRUE(
        rs.setField(QStringLiteral("Pri"), QStringLiteral("12.5"))); // text into a number column
    EXPECT_TRUE(rs.setField(QStringLiteral("Num"), QStringLiteral("4")));
    EXPECT_EQ(rs.field(QStringLiteral("Buyer")).toString(),
        QStringLiteral("Levi's")); // pending value visible
    ASSERT_TRUE(rs.update()) << rs.lastError().toStdString();
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(
        rs.position(), 2); // the new row is current, at the end, although its date sorts first
    EXPECT_EQ(rs.field(QStringLiteral("ID")), QVariant(4LL));
    EXPECT_EQ(rs.field(QStringLiteral("Pri")), QVariant(12.5));
    EXPECT_EQ(rs.field(QStringLiteral("Num")), QVariant(4LL));
    rs.moveNext();
    EXPECT_TRUE(rs.eof());

    const auto stored = rows(QStringLiteral("SELECT Buyer,Dat,Pri FROM 交易表 WHERE ID=4")).at(0);
    EXPECT_EQ(stored[0].toString(), QStringLiteral("Levi's"));
    EXPECT_EQ(stored[1], QVariant(QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5))));
    EXPECT_EQ(stored[2], QVariant(12.5));
}

TEST_P(RecordsetTest, AssignmentsAndDeletesWriteThrough)
{
    Recordset rs = open(QStringLiteral("SELECT * FROM 交易表 ORDER BY ID"));
    EXPECT_TRUE(rs.setField(QStringLiteral("Buyer"), QStringLiteral("改")));
    EXPECT_TRUE(rs.setField(QStringLiteral("Dat"), QStringLiteral("2020年1月2日")));
    rs.moveNext(); // a move saves the pending change, as a Jet cursor does
    EXPECT_EQ(scalar(QStringLiteral("SELECT Buyer FROM 交易表 WHERE ID=1")).toString(),
        QStringLiteral("改"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT Dat FROM 交易表 WHERE ID=1")),
        QVariant(QDateTime(QDate(2020, 1, 2), QTime(0, 0))));

    EXPECT_TRUE(rs.deleteCurrent());
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_FALSE(rs.field(QStringLiteral("Buyer")).isValid());
    rs.moveNext();
    EXPECT_EQ(rs.field(QStringLiteral("ID")), QVariant(3LL));
    rs.moveFirst();
    EXPECT_EQ(rs.field(QStringLiteral("ID")), QVariant(1LL));
    rs.moveNext();
    EXPECT_EQ(rs.field(QStringLiteral("ID")), QVariant(3LL)); // the deleted row is skipped
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 交易表")), QVariant(2LL));

    // A pending change is dropped by close, never half written.
    EXPECT_TRUE(rs.setField(QStringLiteral("Buyer"), QStringLiteral("丢弃")));
    rs.close();
    EXPECT_EQ(scalar(QStringLiteral("SELECT Buyer FROM 交易表 WHERE ID=3")).toString(),
        QStringLiteral("丙"));
}

TEST_P(RecordsetTest, JoinsAndGroupsAreReadOnly)
{
    for (const char* sql :
        { "SELECT PID,COUNT(*) AS C FROM 交易表 GROUP BY PID", "SELECT DISTINCT PID FROM 交易表",
            // The search's "is this code stored" question: plain columns, but grouped.
            "SELECT BCode FROM 交易表 WHERE  BCode='b1' GROUP BY BCode",
            "SELECT 交易表.*,客户表.BName FROM 交易表,客户表 WHERE 交易表.BCode=客户表.BCode" }) {
        Recordset rs = open(QString::fromUtf8(sql));
        EXPECT_FALSE(rs.isUpdatable()) << sql;
        EXPECT_FALSE(rs.addNew());
        EXPECT_FALSE(rs.deleteCurrent());
    }
    Recordset grouped = open(QStringLiteral("SELECT PID,COUNT(*) AS C FROM 交易表 GROUP BY PID"));
    EXPECT_EQ(grouped.recordCount(), 2);
    EXPECT_EQ(grouped.fieldName(1), QStringLiteral("C"));
}

TEST_P(RecordsetTest, FailedWritesLeaveTheRecordsetUsable)
{
    exec(QStringLiteral("CREATE UNIQUE INDEX 简化表_Con ON 简化表 (Con)"));
    exec(QStringLiteral("INSERT INTO 简化表(Con,Sim) VALUES('a','b')"));
    Recordset rs = open(QStringLiteral("SELECT * FROM 简化表 WHERE ID<0"));
    ASSERT_TRUE(rs.addNew());
    rs.setField(QStringLiteral("Con"), QStringLiteral("A")); // duplicate, ignoring case
    EXPECT_FALSE(rs.update());
    EXPECT_FALSE(rs.lastError().isEmpty());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_TRUE(rs.eof());
}

TEST_P(RecordsetTest, TransactionGuardRollsBackUnlessCommitted)
{
    const Connection conn(m_db);
    {
        Transaction tx = conn.transaction();
        ASSERT_TRUE(tx.isActive());
        EXPECT_TRUE(conn.execute(QStringLiteral("DELETE * FROM 交易表")));
        Recordset rs = open(QStringLiteral("SELECT * FROM 交易表 WHERE ID<0"));
        rs.addNew();
        rs.setField(QStringLiteral("PID"), 1);
        EXPECT_TRUE(rs.update());
    } // not committed
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 交易表")), QVariant(3LL));
    {
        Transaction outer = conn.transaction();
        {
            Transaction inner = conn.transaction();
            EXPECT_TRUE(conn.execute(QStringLiteral("DELETE * FROM 交易表 WHERE ID=1")));
        }
        EXPECT_TRUE(conn.execute(QStringLiteral("DELETE * FROM 交易表 WHERE ID=2")));
        EXPECT_TRUE(outer.commit());
        EXPECT_FALSE(outer.commit());
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM 交易表")), QVariant(2LL));
    EXPECT_FALSE(Connection().transaction().isActive());
}

TEST_P(RecordsetTest, RolledBackSchemaChangesAreForgotten)
{
    const Connection conn(m_db);
    {
        Transaction tx = conn.transaction();
        EXPECT_TRUE(conn.execute(QStringLiteral("DROP TABLE 交易表")));
        EXPECT_FALSE(
            conn.execute(QStringLiteral("INSERT INTO 交易表(PID,Dat) VALUES(1,'2026-1-2')")));
    }
    // The table is back, and quoted dates are converted for it again.
    EXPECT_TRUE(
        conn.execute(QStringLiteral("INSERT INTO 交易表(PID,Dat) VALUES(1,'2026年1月2日')")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT Dat FROM 交易表 WHERE ID=4")),
        QVariant(QDateTime(QDate(2026, 1, 2), QTime(0, 0))));
}

TEST_P(RecordsetTest, ACachedStatementHeldUnsteppedSurvivesAFullCache)
{
    // An import holds its insert statements while it prepares many others of its own.
    Statement held = m_db->prepareCached(QStringLiteral("SELECT COUNT(*) FROM 交易表 WHERE PID=?"));
    ASSERT_TRUE(held);
    for (int i = 0; i < 300; ++i) {
        Statement other = m_db->prepareCached(QStringLiteral("SELECT %1 FROM 交易表").arg(i));
        ASSERT_TRUE(other);
    }
    // The same text asked for again while held is a statement of its own.
    Statement again
        = m_db->prepareCached(QStringLiteral("SELECT COUNT(*) FROM 交易表 WHERE PID=?"));
    held.bindInt64(1, 7);
    again.bindInt64(1, 8);
    ASSERT_EQ(held.step(), StepResult::Row);
    ASSERT_EQ(again.step(), StepResult::Row);
    EXPECT_EQ(held.int64(0), 2);
    EXPECT_EQ(again.int64(0), 1);
}
