#include "fixture_server.h"
#include "page_fixtures.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

using namespace quel::worker::test;
using quel::test::TempDir;

namespace {

struct WorkerRun
{
    bool ended = false;
    qint64 ms = 0;
    int exitCode = -1;
};

// Exit codes of quelfetch.
constexpr int kExitBadArguments = 2;
constexpr int kExitPageFailed = 3;
constexpr int kExitTimedOut = 4;

QProcess* startWorker(QProcess& process, const QString& argument, const TempDir& dir,
    const QString& market, int tickMs, const QStringList& settings = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUELMAR_MARKET", market);
    if (tickMs > 0)
        env.insert("QUELFETCH_TICK_MS", QString::number(tickMs));
    else
        env.remove("QUELFETCH_TICK_MS");
    // Retries of failed loads keep their count but not their service backoff.
    env.insert("QUELFETCH_RETRY_BASE_MS", "10");
    for (const QString& setting : settings)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList arguments;
    if (!argument.isNull())
        arguments << argument;
    process.start(quel::test::binDir() + "/quelfetch", arguments);
    return &process;
}

// Runs one worker to its end; a worker still running after timeoutMs is killed.
WorkerRun runWorker(const QString& argument, const TempDir& dir, const QString& market,
    int tickMs = 0, int timeoutMs = 15000, const QStringList& settings = {})
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    startWorker(process, argument, dir, market, tickMs, settings);
    WorkerRun run;
    run.ended = process.waitForFinished(timeoutMs);
    run.ms = clock.elapsed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (!run.ended) {
        process.kill();
        process.waitForFinished();
    }
    return run;
}

QStringList filesIn(const TempDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
}

class QuelfetchTest : public ::testing::Test
{
protected:
    FixtureServer m_server;
    TempDir m_dir;
};

} // namespace

TEST_F(QuelfetchTest, ItemJobsWriteTheExpectedFiles)
{
    const struct
    {
        const char* code;
        const char* expected;
    } cases[] = {
        { "a", "item_a.t" },
        { "c", "item_c.t" },
        { "nosales", "item_nosales.t" },
        { "ab-987", "auction_ab_987.t" },
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const QString output = QString("./Temp_%1.t").arg(++row);
        const WorkerRun run
            = runWorker(QString(c.code) + "‖" + output + "‖0", m_dir, m_server.base());
        ASSERT_TRUE(run.ended);
        // Pages are processed on arrival, not on the one-second tick.
        EXPECT_LT(run.ms, 5000);
        EXPECT_EQ(m_dir.read(output.mid(2)), expectedResult(c.expected));
    }
    EXPECT_EQ(filesIn(m_dir).size(), std::size(cases)); // no temporary files left behind
}

TEST_F(QuelfetchTest, BuyerJobsWriteTheExpectedFiles)
{
    for (const char* name : { "ok", "banned", "noseller" }) {
        SCOPED_TRACE(name);
        const QString url = m_server.base() + "/member/user_profile.php?user_id=" + name;
        ASSERT_TRUE(runWorker(url + "‖./Temp_9.t‖1", m_dir, m_server.base()).ended);
        EXPECT_EQ(m_dir.read("Temp_9.t"), expectedResult(QString("profile_%1.t").arg(name)));
    }
}

TEST_F(QuelfetchTest, NotViewableItemWritesAnEmptyFile)
{
    ASSERT_TRUE(runWorker("hidden‖./Temp_1.t‖0", m_dir, m_server.base()).ended);
    ASSERT_TRUE(QFile::exists(m_dir.file("Temp_1.t")));
    EXPECT_EQ(QFile(m_dir.file("Temp_1.t")).size(), 0);
}

TEST_F(QuelfetchTest, AJobWhosePageFailedToLoadEndsWithoutAResult)
{
    // HTTP 500 (retried twice), HTTP 404, a marketplace that is not there, a later sales page
    // that answers 404 (item d): none of them may pass for a result, short or empty.
    const QString nowhere = [] {
        FixtureServer gone;
        return gone.base();
    }();
    const struct
    {
        QString job;
        QString market;
    } cases[] = {
        { "status500‖./Temp_1.t‖0", m_server.base() },
        { "missing‖./Temp_1.t‖0", m_server.base() },
        { "a‖./Temp_1.t‖0", nowhere },
        { "d‖./Temp_1.t‖0", m_server.base() },
        { nowhere + "/member/user_profile.php?user_id=ok‖./Temp_1.t‖1", nowhere },
        { m_server.base() + "/member/user_profile.php?user_id=gone‖./Temp_1.t‖1", m_server.base() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.job.toStdString());
        const int before = m_server.requests();
        const WorkerRun run = runWorker(c.job, m_dir, c.market);
        ASSERT_TRUE(run.ended);
        EXPECT_LT(run.ms, 5000);
        EXPECT_EQ(run.exitCode, kExitPageFailed);
        EXPECT_TRUE(filesIn(m_dir).isEmpty());
        if (c.job.startsWith("status500")) {
            EXPECT_EQ(m_server.requests() - before, 3); // the first attempt and two retries
        }
    }
}

TEST_F(QuelfetchTest, AStalledPageEndsWithoutAResultAfterItsIdleTimeouts)
{
    m_server.setStallMs(10000);
    const QString url = m_server.base() + "/member/user_profile.php?user_id=stall";
    const WorkerRun run = runWorker(url + "‖./Temp_2.t‖1", m_dir, m_server.base(), 20, 15000,
        { "QUELFETCH_IDLE_TIMEOUT_MS=200" });
    ASSERT_TRUE(run.ended);
    EXPECT_LT(run.ms, 5000);
    EXPECT_EQ(run.exitCode, kExitPageFailed);
    EXPECT_TRUE(filesIn(m_dir).isEmpty());
}

TEST_F(QuelfetchTest, ADeeplyNestedPageFailsWithinItsTime)
{
    // 200,000 unclosed elements would hold the parser for minutes.
    const WorkerRun run = runWorker("nested‖./Temp_1.t‖0", m_dir, m_server.base());
    ASSERT_TRUE(run.ended);
    EXPECT_LT(run.ms, 5000);
    EXPECT_EQ(run.exitCode, kExitPageFailed);
    EXPECT_TRUE(filesIn(m_dir).isEmpty());
}

TEST_F(QuelfetchTest, AnUnwritableOutputEndsWithoutAFile)
{
    // 31 attempts a tick apart, then the worker gives up.
    const WorkerRun run = runWorker("b‖./no/such/folder/Temp_1.t‖0", m_dir, m_server.base(), 5);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(filesIn(m_dir).isEmpty());
}

TEST_F(QuelfetchTest, MissingJobOrOutputWritesNothing)
{
    for (const QString& argument : { QString("a‖‖0"), QString("‖./Temp_1.t‖0"), QString("a") }) {
        const WorkerRun run = runWorker(argument, m_dir, m_server.base());
        ASSERT_TRUE(run.ended);
        EXPECT_LT(run.ms, 3000);
        EXPECT_EQ(run.exitCode, kExitBadArguments);
    }
    EXPECT_TRUE(filesIn(m_dir).isEmpty());
    EXPECT_EQ(m_server.requests(), 0);
}

TEST_F(QuelfetchTest, EmptyCommandLineRunsTheBuiltInTestJob)
{
    ASSERT_TRUE(runWorker(QString(), m_dir, m_server.base()).ended);
    EXPECT_EQ(m_dir.read("tt.T"), expectedResult("profile_ok.t"));
}

TEST_F(QuelfetchTest, UnknownModeIsEndedByTheWatchdogWithoutAResult)
{
    // 1200 ticks of 2 ms.
    const WorkerRun run = runWorker("a‖./Temp_4.t‖2", m_dir, m_server.base(), 2, 30000);
    ASSERT_TRUE(run.ended);
    EXPECT_GE(run.ms, 2400);
    EXPECT_EQ(run.exitCode, kExitTimedOut);
    EXPECT_TRUE(filesIn(m_dir).isEmpty());
}

TEST_F(QuelfetchTest, OldResultAndTemporaryFilesAreReplaced)
{
    m_dir.write("Temp_3.t", "old result");
    m_dir.write("Temp_3.t.TMP", "half written");
    ASSERT_TRUE(runWorker("b‖./Temp_3.t‖0", m_dir, m_server.base()).ended);
    EXPECT_EQ(m_dir.read("Temp_3.t"), expectedResult("item_b.t"));
    EXPECT_FALSE(QFile::exists(m_dir.file("Temp_3.t.TMP")));
}

TEST_F(QuelfetchTest, AKilledWorkerNeverLeavesAPartialFileUnderTheFinalName)
{
    const QByteArray complete = expectedResult("item_a.t");
    for (int i = 0; i < 12; ++i) {
        const QString name = QString("Temp_%1.t").arg(i);
        QProcess process;
        startWorker(process, "a‖./" + name + "‖0", m_dir, m_server.base(), 0);
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(QRandomGenerator::global()->bounded(1, 120));
        process.kill();
        process.waitForFinished();
        if (QFile::exists(m_dir.file(name))) {
            EXPECT_EQ(m_dir.read(name), complete) << name.toStdString();
        }
    }
}
