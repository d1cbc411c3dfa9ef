// Statements run many times from the cache, and writes sent without waiting for their
// outcome: what is stored, and that a refusal is never lost.
#include "db/connection.h"
#include "store/database_pool.h"
#include "support/store_fixture.h"

using quel::db::StepResult;
using quel::db::Transaction;

namespace quel::test {

class StatementTest : public StoreTest
{
protected:
    qint64 count(const QString& table)
    {
        return scalar("SELECT COUNT(*) FROM " + table).toLongLong();
    }

    // Sends one price-history row; the refusal's message, if it was refused at once.
    QString sendHistoryRow(qint64 pid, const QString& day, double price)
    {
        db::Statement st = m_db->prepareCached(
            QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(?,?,?)"));
        if (!st)
            return QStringLiteral("not prepared");
        st.bindInt64(1, pid);
        st.bindText(2, day + QStringLiteral(" 00:00:00"));
        st.bindDouble(3, price);
        return st.send() ? QString() : st.errorText();
    }
};
QUEL_ON_BOTH_ENGINES(StatementTest);

TEST_P(StatementTest, SentWritesAreStoredAtCommitAndReadBackInOrder)
{
    {
        Transaction tx(m_db);
        // Enough runs of each statement for a server to keep it prepared.
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(
                sendHistoryRow(i % 4,
                    QStringLiteral("2026-12-%1").arg(1 + i / 4, 2, 10, QLatin1Char('0')), i * 0.5),
                QString());
        // A statement that waits sees what was sent before it.
        db::Statement seen
            = m_db->prepare(QStringLiteral("SELECT COUNT(*) FROM 价格历史 WHERE PID=?"));
        seen.bindInt64(1, 3);
        ASSERT_EQ(seen.step(), StepResult::Row);
        EXPECT_EQ(seen.int64(0), 10);
        seen = {};
        ASSERT_TRUE(tx.commit()) << m_db->lastErrorText().toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("价格历史")), 40);
    EXPECT_EQ(scalar(QStringLiteral("SELECT SUM(Price) FROM 价格历史")).toDouble(), 390.0);
    // Outside a transaction a send is a plain run.
    EXPECT_EQ(sendHistoryRow(9, QStringLiteral("2026-12-31"), 1.0), QString());
    EXPECT_EQ(count(QStringLiteral("价格历史")), 41);
}

TEST_P(StatementTest, ARefusedSendFailsWhatWaitsNextAndTheCommitKeepsNothing)
{
    ASSERT_EQ(sendHistoryRow(1, QStringLiteral("2026-12-01"), 1.0), QString());
    // The refusal shows at once (the file) or on the next statement that waits (a server),
    // with the server's own reason.
    {
        Transaction tx(m_db);
        ASSERT_EQ(sendHistoryRow(2, QStringLiteral("2026-12-01"), 2.0), QString());
        QString refusal = sendHistoryRow(1, QStringLiteral("2026-12-01"), 3.0);
        if (refusal.isEmpty()) {
            db::Statement next = m_db->prepare(QStringLiteral("SELECT COUNT(*) FROM 价格历史"));
            EXPECT_EQ(next.step(), StepResult::Error);
            refusal = next.errorText();
        }
        EXPECT_TRUE(refusal.contains(QStringLiteral("价格历史"))) << refusal.toStdString();
        // Dropped uncommitted: rolled back.
    }
    EXPECT_EQ(count(QStringLiteral("价格历史")), 1);

    // Nothing but the commit waits: the commit fails, and keeps none of it.
    {
        Transaction tx(m_db);
        const bool sent = sendHistoryRow(3, QStringLiteral("2026-12-02"), 4.0).isEmpty()
            && sendHistoryRow(1, QStringLiteral("2026-12-01"), 5.0).isEmpty()
            && sendHistoryRow(4, QStringLiteral("2026-12-02"), 6.0).isEmpty();
        EXPECT_FALSE(sent && tx.commit());
        if (sent) {
            EXPECT_TRUE(m_db->lastErrorText().contains(QStringLiteral("价格历史")))
                << m_db->lastErrorText().toStdString();
        }
    }
    EXPECT_EQ(count(QStringLiteral("价格历史")), 1);

    // A server turns the commit of a transaction a statement failed in into a rollback:
    // that commit fails, even when the caller went on past the failure.
    if (onServer()) {
        Transaction tx(m_db);
        EXPECT_EQ(sendHistoryRow(6, QStringLiteral("2026-12-02"), 8.0), QString());
        EXPECT_FALSE(m_db->execute(QStringLiteral("UPDATE 价格历史 SET Nothing=1")));
        EXPECT_FALSE(tx.commit());
        EXPECT_EQ(count(QStringLiteral("价格历史")), 1);
    }

    // The session is usable again, and the kept statement too.
    {
        Transaction tx(m_db);
        EXPECT_EQ(sendHistoryRow(5, QStringLiteral("2026-12-03"), 7.0), QString());
        EXPECT_TRUE(tx.commit());
    }
    EXPECT_EQ(count(QStringLiteral("价格历史")), 2);
}

TEST_P(StatementTest, ALongRunOfSendsKeepsEveryRowOrNoneWithTheRefusalsReason)
{
    const auto day
        = [](int i) { return QDate(2026, 1, 1).addDays(i).toString(QStringLiteral("yyyy-MM-dd")); };
    {
        Transaction tx(m_db);
        for (int i = 0; i < 1500; ++i)
            ASSERT_EQ(sendHistoryRow(1, day(i), i), QString());
        ASSERT_TRUE(tx.commit()) << m_db->lastErrorText().toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("价格历史")), 1500);

    // A refusal early in a long run is collected part way; the rest of the run and the commit
    // fail with its reason.
    QString refusal;
    {
        Transaction tx(m_db);
        for (int i = 0; i < 1500 && refusal.isEmpty(); ++i)
            refusal = sendHistoryRow(2, day(i == 100 ? 1 : i + 1), i);
        if (refusal.isEmpty()) {
            refusal = QStringLiteral("none");
            if (!tx.commit())
                refusal = m_db->lastErrorText();
        }
    }
    EXPECT_TRUE(refusal.contains(QStringLiteral("价格历史"))) << refusal.toStdString();
    EXPECT_EQ(count(QStringLiteral("价格历史")), 1500);
}

TEST_P(StatementTest, ALostSessionFailsTheCommitOfItsUnansweredWrites)
{
    if (!onServer())
        GTEST_SKIP() << "a file has no session to lose";
    db::Statement pid = m_db->prepare(QStringLiteral("SELECT pg_backend_pid()"));
    ASSERT_EQ(pid.step(), StepResult::Row);
    const qint64 backend = pid.int64(0);
    pid = {};
    QString error;
    auto other = store::OpenDatabase(m_path, {}, &error);
    ASSERT_TRUE(other) << error.toStdString();
    {
        Transaction tx(m_db);
        ASSERT_EQ(sendHistoryRow(1, QStringLiteral("2026-12-01"), 1.0), QString());
        ASSERT_TRUE(other->executeNative(
            QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend), &error))
            << error.toStdString();
        // Sent into a session that is gone, or refused on sending: either way not committed.
        const bool sent = sendHistoryRow(2, QStringLiteral("2026-12-01"), 2.0).isEmpty();
        EXPECT_FALSE(sent && tx.commit());
        EXPECT_FALSE(m_db->lastErrorText().isEmpty());
    }
    db::Statement st = other->prepare(QStringLiteral("SELECT COUNT(*) FROM 价格历史"));
    ASSERT_EQ(st.step(), StepResult::Row);
    EXPECT_EQ(st.int64(0), 0);
}

TEST_P(StatementTest, TheNextOpenAfterALostSessionGetsANewOne)
{
    if (!onServer())
        GTEST_SKIP() << "a file has no session to lose";
    QString error;
    auto pooled = store::DatabasePool::shared().acquire(m_path, &error);
    ASSERT_TRUE(pooled) << error.toStdString();
    db::Statement pid = pooled->prepare(QStringLiteral("SELECT pg_backend_pid()"));
    ASSERT_EQ(pid.step(), StepResult::Row);
    const QString kill = QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.int64(0));
    pid = {};
    ASSERT_TRUE(m_db->executeNative(kill, &error)) << error.toStdString();
    // The first statement finds the session gone; the pool's next handle is a new session.
    EXPECT_FALSE(pooled->execute(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('a')")));
    EXPECT_FALSE(pooled->isOpen());
    auto again = store::DatabasePool::shared().acquire(m_path, &error);
    ASSERT_TRUE(again) << error.toStdString();
    EXPECT_NE(again, pooled);
    EXPECT_TRUE(again->execute(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('a')"), &error))
        << error.toStdString();
    EXPECT_EQ(count(QStringLiteral("客户表")), 1);
}

TEST_P(StatementTest, AKeptStatementSurvivesChangingParameterTypesAndARemadeTable)
{
    exec(QStringLiteral("CREATE TABLE TEMP_Kept (A LONG, B STRING)"));
    const QString insert = QStringLiteral("INSERT INTO TEMP_Kept(A,B) VALUES(?,?)");
    const auto add = [&](const QVariant& a, const QVariant& b) {
        db::Statement st = m_db->prepareCached(insert);
        EXPECT_TRUE(st);
        if (!st)
            return;
        st.bind(1, a);
        st.bind(2, b);
        EXPECT_TRUE(st.run()) << st.errorText().toStdString();
    };
    add(qlonglong(1), QStringLiteral("a"));
    add(qlonglong(2), QStringLiteral("b"));
    add(QVariant(), QStringLiteral("c"));
    add(2.75, QVariant());
    add(qlonglong(5), QStringLiteral("2026-12-01 10:00:00"));
    EXPECT_EQ(count(QStringLiteral("TEMP_Kept")), 5);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TEMP_Kept WHERE A IS NULL")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT B FROM TEMP_Kept WHERE A=5")).toString(),
        QStringLiteral("2026-12-01 10:00:00"));

    // Made again with other columns, as a work table is between two runs of a page.
    exec(QStringLiteral("DROP TABLE TEMP_Kept"));
    exec(QStringLiteral("CREATE TABLE TEMP_Kept (B STRING, C DOUBLE, A LONG)"));
    add(qlonglong(7), QStringLiteral("x"));
    add(qlonglong(8), QStringLiteral("y"));
    add(qlonglong(9), QStringLiteral("z"));
    EXPECT_EQ(count(QStringLiteral("TEMP_Kept")), 3);
    EXPECT_EQ(scalar(QStringLiteral("SELECT SUM(A) FROM TEMP_Kept")).toInt(), 24);
}

TEST_P(StatementTest, AComparisonInTheSelectListReadsAsANumber)
{
    exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('c')"));
    db::Statement st = m_db->prepare(QStringLiteral("SELECT ID>0, ID<0, BCode='C' FROM 客户表"));
    ASSERT_EQ(st.step(), StepResult::Row);
    EXPECT_EQ(st.int64(0), 1);
    EXPECT_EQ(st.int64(1), 0);
    EXPECT_EQ(st.real(0), 1.0);
    EXPECT_EQ(st.text(0), QStringLiteral("1"));
    EXPECT_EQ(st.text(1), QStringLiteral("0"));
    EXPECT_EQ(st.value(2), QVariant(qlonglong(1)));
}

TEST_P(StatementTest, ARecordsetReadsItsColumnsEvenWithoutRowsAndStopsAtItsLimit)
{
    for (int i = 0; i < 5; ++i)
        exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('c%1')").arg(i));
    db::Recordset none;
    QString error;
    ASSERT_TRUE(none.open(m_db, QStringLiteral("SELECT BCode, ID FROM 客户表 WHERE ID<0"), &error))
        << error.toStdString();
    EXPECT_EQ(none.fieldCount(), 2);
    EXPECT_EQ(none.recordCount(), 0);
    for (const long limit : { 0L, 3L, 5L, 9L }) {
        db::Recordset some;
        ASSERT_TRUE(some.open(m_db, QStringLiteral("SELECT BCode FROM 客户表"), &error, limit));
        EXPECT_EQ(some.fieldCount(), 1);
        EXPECT_EQ(some.recordCount(), std::min(limit, 5L));
    }
    db::Recordset bad;
    EXPECT_FALSE(bad.open(m_db, QStringLiteral("SELECT Nothing FROM 客户表"), &error));
    EXPECT_FALSE(bad.isOpen());
}

} // namespace quel::test
