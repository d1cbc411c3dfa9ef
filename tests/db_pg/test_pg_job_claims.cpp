// SPDX-License-Identifier: GPL-3.0-or-later
// Jobs shared by several copies of the program through one server database: disjoint claims,
// expired claims taken over, failed jobs handed on, collections joined and closed.
#include "db/connection.h"
#include "db/database.h"
#include "db/statement.h"
#include "db_pg/pg_job_claims.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/job_claims.h"
#include "store/schema.h"
#include "support/pg_server.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QSysInfo>
#include <QThread>
#include <thread>

using namespace quel::db_pg;
using namespace quel::store;
using quel::db::Database;

namespace {

using Ids = std::vector<qint64>;

Ids range(qint64 from, qint64 to)
{
    Ids ids;
    for (qint64 i = from; i <= to; ++i)
        ids.push_back(i);
    return ids;
}

class PgJobClaimsTest : public quel::test::PgServerTest
{
protected:
    static Ids claim(PgJobClaims& claims, int wanted)
    {
        QString error;
        const auto ids = claims.claim(wanted, &error);
        EXPECT_TRUE(ids) << error.toStdString();
        return ids.value_or(Ids { -1 });
    }

    static void begin(PgJobClaims& claims, const Ids& ids)
    {
        QString error;
        ASSERT_TRUE(claims.begin(ids, &error)) << error.toStdString();
    }

    static bool busy(PgJobClaims& claims)
    {
        QString error;
        const auto b = claims.othersBusy(&error);
        EXPECT_TRUE(b) << error.toStdString();
        return b.value_or(false);
    }
};

} // namespace

TEST_F(PgJobClaimsTest, TwoCopiesClaimDisjointBatchesAndFinishedJobsStayDone)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    auto dbA = session();
    auto dbB = session();
    ASSERT_TRUE(dbA && dbB);
    PgJobClaims a(dbA, QStringLiteral("details"), 600, QStringLiteral("a"));
    PgJobClaims b(dbB, QStringLiteral("details"), 600, QStringLiteral("b"));
    begin(a, range(1, 10));
    // The second copy lists the same products in another order and one more.
    Ids more = range(1, 11);
    std::reverse(more.begin(), more.end());
    begin(b, more);
    EXPECT_EQ(a.collection(), b.collection());

    // While a's claim is not yet committed its rows are locked: b passes them by instead
    // of waiting for them or taking them too.
    {
        quel::db::Transaction open(dbA);
        ASSERT_TRUE(open.isActive());
        EXPECT_EQ(claim(a, 3), (Ids { 1, 2, 3 }));
        EXPECT_EQ(claim(b, 3), (Ids { 4, 5, 6 }));
        ASSERT_TRUE(open.commit());
    }
    EXPECT_EQ(claim(b, 2), (Ids { 7, 8 }));
    for (qint64 id : { 1, 2, 3 })
        EXPECT_TRUE(a.finish(id, true));
    EXPECT_EQ(claim(a, 10), (Ids { 9, 10, 11 }));
    for (qint64 id : { 9, 10, 11 })
        EXPECT_TRUE(a.finish(id, true));
    // Nothing left to claim, but b still works on five: a waits for them.
    EXPECT_EQ(claim(a, 10), Ids {});
    EXPECT_TRUE(busy(a));
    EXPECT_TRUE(a.end()); // does not close while b works
    for (qint64 id : { 4, 5, 6, 7, 8 })
        EXPECT_TRUE(b.finish(id, true));
    EXPECT_FALSE(busy(a));
    EXPECT_FALSE(busy(b));
    EXPECT_EQ(claim(b, 10), Ids {});

    // A copy that starts while the collection is open joins it and finds it done.
    PgJobClaims late(session(), QStringLiteral("details"), 600, QStringLiteral("late"));
    begin(late, range(1, 11));
    EXPECT_EQ(late.collection(), a.collection());
    EXPECT_EQ(claim(late, 10), Ids {});

    // Once closed by the last copy, the next run is a new collection over the whole list.
    EXPECT_TRUE(b.end());
    PgJobClaims next(session(), QStringLiteral("details"), 600, QStringLiteral("next"));
    begin(next, range(1, 3));
    EXPECT_NE(next.collection(), a.collection());
    EXPECT_EQ(claim(next, 10), (Ids { 1, 2, 3 }));
    // Another command is another collection: "--all" does not join the plain one.
    PgJobClaims all(session(), QStringLiteral("details --all"), 600, QStringLiteral("all"));
    begin(all, range(1, 3));
    EXPECT_NE(all.collection(), next.collection());
    EXPECT_EQ(claim(all, 10), (Ids { 1, 2, 3 }));
}

TEST_F(PgJobClaimsTest, AClaimNotRenewedWithinTheLeaseIsTakenOver)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    PgJobClaims a(session(), QStringLiteral("buyers"), 2, QStringLiteral("a"));
    PgJobClaims b(session(), QStringLiteral("buyers"), 2, QStringLiteral("b"));
    begin(a, range(1, 3));
    begin(b, range(1, 3));
    EXPECT_EQ(claim(a, 2), (Ids { 1, 2 }));
    EXPECT_EQ(claim(b, 5), (Ids { 3 }));
    EXPECT_TRUE(b.finish(3, true));
    // A copy that renews keeps its claims past the lease counted from the claim.
    QThread::msleep(1300);
    EXPECT_TRUE(a.renew());
    QThread::msleep(1300);
    EXPECT_EQ(claim(b, 5), Ids {});
    EXPECT_TRUE(busy(b));
    // One that stopped renewing (it died) loses them to the others.
    QThread::msleep(1000);
    EXPECT_FALSE(busy(b));
    EXPECT_EQ(claim(b, 5), (Ids { 1, 2 }));
    EXPECT_TRUE(b.finish(1, true));
    // The slow copy still finishing a job counts: it is done, whoever holds it now.
    EXPECT_TRUE(a.finish(2, true));
    EXPECT_FALSE(busy(a));
    EXPECT_EQ(claim(a, 5), Ids {});
}

TEST_F(PgJobClaimsTest, AFailedJobGoesToTheOtherCopiesUpToTheAttemptLimit)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    PgJobClaims a(session(), QStringLiteral("details"), 600, QStringLiteral("a"));
    PgJobClaims b(session(), QStringLiteral("details"), 600, QStringLiteral("b"));
    begin(a, range(1, 2));
    begin(b, range(1, 2));
    EXPECT_EQ(claim(a, 1), (Ids { 1 }));
    EXPECT_TRUE(a.finish(1, false));
    // Not back to the copy it failed on, which goes on with the rest.
    EXPECT_EQ(claim(a, 5), (Ids { 2 }));
    EXPECT_EQ(claim(b, 5), (Ids { 1 }));
    EXPECT_TRUE(b.finish(1, false));
    EXPECT_EQ(claim(a, 5), (Ids { 1 }));
    EXPECT_TRUE(a.finish(1, false));
    EXPECT_EQ(claim(b, 5), Ids {}); // failed three times: left for the next collection
    // A stopped run gives its jobs back at once.
    EXPECT_TRUE(a.releaseAll());
    EXPECT_EQ(claim(b, 5), (Ids { 2 }));
    EXPECT_TRUE(b.finish(2, true));
    EXPECT_TRUE(b.end());
    PgJobClaims next(session(), QStringLiteral("details"), 600, QStringLiteral("a"));
    begin(next, range(1, 2));
    EXPECT_EQ(claim(next, 5), (Ids { 1, 2 }));
}

TEST_F(PgJobClaimsTest, TheLeaseComesFromTheEnvironmentWhenGiven)
{
    qputenv("QUELMAR_LEASE_SECONDS", "7");
    EXPECT_EQ(ClaimLeaseSeconds(), 7);
    qputenv("QUELMAR_LEASE_SECONDS", "soon");
    EXPECT_EQ(ClaimLeaseSeconds(), kDefaultClaimLeaseSeconds);
    qunsetenv("QUELMAR_LEASE_SECONDS");
    EXPECT_EQ(ClaimLeaseSeconds(), kDefaultClaimLeaseSeconds);
}

// Two copies import different products whose sales share buyers, at the same time: every
// import succeeds and every buyer code gets one 客户表 row.
TEST_F(PgJobClaimsTest, ClaimsOfACopyOnThisMachineWhoseProcessIsGoneAreTakenAtOnce)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    // A process of this machine that has ended: its claims are free long before the lease.
    const QString host = QSysInfo::machineHostName() + QLatin1Char(':');
    QProcess ended;
    ended.start(QStringLiteral("true"));
    ASSERT_TRUE(ended.waitForStarted(5000));
    const qint64 pid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished(5000));

    const auto endedPid = [] {
        QProcess ended;
        ended.start(QStringLiteral("true"));
        EXPECT_TRUE(ended.waitForStarted(5000));
        const qint64 pid = ended.processId();
        EXPECT_TRUE(ended.waitForFinished(5000));
        return pid;
    };
    PgJobClaims dead(session(), QStringLiteral("details --all"), 1500, host + QString::number(pid));
    PgJobClaims alive(session(), QStringLiteral("details --all"), 1500,
        host + QString::number(QCoreApplication::applicationPid()));
    PgJobClaims elsewhere(
        session(), QStringLiteral("details --all"), 1500, QStringLiteral("other-host:1"));
    begin(dead, range(1, 4));
    EXPECT_EQ(claim(dead, 2), (Ids { 1, 2 }));
    begin(elsewhere, range(1, 4));
    EXPECT_EQ(claim(elsewhere, 1), (Ids { 3 }));
    // A rerun on this machine takes them in list order; another machine's claim stays its own.
    begin(alive, range(1, 4));
    EXPECT_EQ(claim(alive, 5), (Ids { 1, 2, 4 }));

    // A copy that dies while this one runs: once nothing else is free, its claims come here.
    PgJobClaims later(
        session(), QStringLiteral("details --all"), 1500, host + QString::number(endedPid()));
    begin(later, range(5, 6));
    EXPECT_EQ(claim(later, 5), (Ids { 5, 6 }));
    QString error;
    const auto taken = alive.claimOrWait(5, &error);
    ASSERT_TRUE(taken) << error.toStdString();
    EXPECT_EQ(taken->ids, (Ids { 5, 6 }));
    EXPECT_TRUE(taken->othersBusy); // job 3, held by the other machine

    // The collection stays open while a job is unfinished, held or not.
    for (const qint64 id : { 1, 2, 4, 5, 6 })
        EXPECT_TRUE(alive.finish(id, true));
    EXPECT_TRUE(elsewhere.releaseAll());
    EXPECT_TRUE(alive.end());
    const auto open = [&] {
        auto db = session();
        auto st = db->prepareNative(
            QStringLiteral("SELECT closed_at IS NULL FROM quelmar_team.collections WHERE id=?"));
        st.bindInt64(1, alive.collection());
        return st.step() == quel::db::StepResult::Row && st.value(0).toBool();
    };
    EXPECT_TRUE(open());
    EXPECT_EQ(claim(alive, 5), (Ids { 3 }));
    EXPECT_TRUE(alive.finish(3, true));
    EXPECT_TRUE(alive.end());
    EXPECT_FALSE(open());
}
