#include "core/feedback.h"
#include "download/download_pool.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

using quel::download::DownloadJob;
using quel::download::DownloadPool;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_download_pool";
    static char* argv[] = { name, nullptr };
    static QCoreApplication instance(argc, argv);
    return instance;
}

std::vector<DownloadJob> makeJobs(const QStringList& behaviours)
{
    std::vector<DownloadJob> jobs;
    for (int i = 0; i < behaviours.size(); ++i) {
        DownloadJob j;
        j.id = i + 1;
        j.code = QString::number(i + 1);
        j.job = behaviours[i];
        jobs.push_back(j);
    }
    return jobs;
}

// Runs the event loop until the pool reports the end or the time runs out.
bool runUntilFinished(DownloadPool& pool, int timeoutMs)
{
    app();
    if (pool.isDone())
        return true;
    QEventLoop loop;
    QObject::connect(&pool, &DownloadPool::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return pool.isDone();
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the condition holds or 20 s have passed.
template <typename Condition> void runUntil(Condition done)
{
    for (int waited = 0; waited < 20000 && !done(); waited += 100)
        runFor(100);
}

struct Fixture
{
    quel::test::TempDir dir;
    QMap<qint64, QString> imported;

    std::unique_ptr<DownloadPool> make(const QStringList& behaviours, int workers,
        const QString& program = QStringLiteral(QUEL_FAKE_WORKER))
    {
        app();
        auto pool = std::make_unique<DownloadPool>(makeJobs(behaviours), 0);
        pool->setWorkFolder(dir.path());
        pool->setWorkerProgram(program);
        pool->setMaxWorkers(workers);
        pool->setImporter([this](int, const DownloadJob& job, const QString& text) {
            imported.insert(job.id, text);
            return !text.startsWith(QStringLiteral("reject"));
        });
        return pool;
    }

    QStringList leftovers() const { return QDir(dir.path()).entryList(QDir::Files); }
};

} // namespace

TEST(DownloadPool, HarvestsEveryJobIntoItsOwnRowAndCloses)
{
    Fixture f;
    QStringList behaviours;
    for (int i = 1; i <= 16; ++i)
        behaviours << QStringLiteral("write:line %1\\nsecond").arg(i);
    // A file left by an earlier run must not be taken for this run's result.
    f.dir.write(QStringLiteral("Temp_2.t"), "stale");
    auto pool = f.make(behaviours, 4);
    QStringList progress;
    QObject::connect(
        pool.get(), &DownloadPool::progressChanged, [&](const QString& p) { progress << p; });
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 30000));

    ASSERT_EQ(f.imported.size(), 16);
    for (int i = 1; i <= 16; ++i)
        EXPECT_EQ(f.imported.value(i), QStringLiteral("line %1\r\nsecond").arg(i));
    for (const DownloadJob& j : pool->jobs()) {
        EXPECT_EQ(j.state, DownloadJob::Harvested);
        EXPECT_FALSE(j.failed);
    }
    EXPECT_EQ(pool->failedJobs(), 0);
    EXPECT_EQ(progress.size(), 16);
    // 1/16 is 6.25%: tenths are rounded half to even.
    EXPECT_EQ(progress.first(), QStringLiteral("6.2%"));
    EXPECT_EQ(progress[2], QStringLiteral("18.8%"));
    EXPECT_EQ(progress.last(), QStringLiteral("100%"));
    pool.reset();
    EXPECT_TRUE(f.leftovers().isEmpty()) << f.leftovers().join(',').toStdString();
}

TEST(DownloadPool, FailedWorkersTurnRedAndFreeTheirSlots)
{
    Fixture f;
    // With two slots, the written behaviour would stall for good after the two dead
    // workers; every job must still be harvested.
    auto pool = f.make({ QStringLiteral("die"), QStringLiteral("die"), QStringLiteral("empty"),
                           QStringLiteral("write:reject me"), QStringLiteral("write:   "),
                           QStringLiteral("write:good") },
        2);
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 20000));
    const auto& jobs = pool->jobs();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(jobs[std::size_t(i)].failed) << i;
    EXPECT_FALSE(jobs[5].failed);
    EXPECT_EQ(pool->failedJobs(), 5);
    // Empty and blank results never reach the importer.
    EXPECT_EQ(f.imported.keys(), (QList<qint64> { 4, 6 }));
}

TEST(DownloadPool, WorkerPastItsWatchdogIsEndedAndRed)
{
    Fixture f;
    auto pool = f.make({ QStringLiteral("hang"), QStringLiteral("write:ok") }, 1);
    pool->setWatchdogMs(400);
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 10000));
    EXPECT_TRUE(pool->jobs()[0].failed);
    EXPECT_FALSE(pool->jobs()[1].failed);
}

TEST(DownloadPool, LaterRowsAreHarvestedBeforeAnEarlierSlowOne)
{
    Fixture f;
    auto pool = f.make({ QStringLiteral("late:1500:slow"), QStringLiteral("write:fast"),
                           QStringLiteral("write:fast2") },
        3);
    pool->start();
    runFor(800);
    EXPECT_EQ(pool->jobs()[0].state, DownloadJob::Started);
    EXPECT_EQ(pool->jobs()[1].state, DownloadJob::Harvested);
    EXPECT_EQ(pool->jobs()[2].state, DownloadJob::Harvested);
    EXPECT_FALSE(pool->isDone());
    ASSERT_TRUE(runUntilFinished(*pool, 10000));
    EXPECT_EQ(f.imported.value(1), QStringLiteral("slow"));
}

TEST(DownloadPool, StoppingMidRunEndsWorkersAndRemovesTheirFiles)
{
    Fixture f;
    auto pool = f.make({ QStringLiteral("write:a"), QStringLiteral("hang"), QStringLiteral("hang"),
                           QStringLiteral("hang"), QStringLiteral("write:b") },
        3);
    QDir(f.dir.path()).mkdir(QStringLiteral("pids"));
    pool->start();
    runFor(1200);
    ASSERT_EQ(pool->jobs()[0].state, DownloadJob::Harvested);
    EXPECT_EQ(pool->runningWorkers(), 3);
    const QStringList pids = QDir(f.dir.file(QStringLiteral("pids"))).entryList(QDir::Files);
    EXPECT_EQ(pids.size(), 3);
    // A file one of our workers left in its temporary form is removed too; a file that
    // is not ours stays.
    f.dir.write(QStringLiteral("Temp_3.t.TMP"), "partial");
    f.dir.write(QStringLiteral("keep.txt"), "x");
    pool->stop();
    EXPECT_FALSE(pool->isDone());
    for (const QString& pid : pids)
        EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/") + pid)) << pid.toStdString();
    EXPECT_EQ(pool->jobs()[4].state, DownloadJob::Waiting);
    EXPECT_EQ(f.leftovers(), QStringList { QStringLiteral("keep.txt") });
    EXPECT_EQ(f.imported.keys(), QList<qint64> { 1 });
    // The killed workers must not come back as failures after the stop.
    runFor(300);
    EXPECT_EQ(pool->failedJobs(), 0);
}

namespace {

// The id of a process that has ended, as a run killed earlier would have had.
qint64 endedProcessId()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForFinished(5000);
    return p.processId() > 0 ? p.processId() : 999999;
}

} // namespace

TEST(DownloadPool, OnlyTheJobThatStartedAWorkerImportsItsFile)
{
    Fixture f;
    const qint64 self = QCoreApplication::applicationPid();
    const qint64 ended = endedProcessId();
    const qint64 otherCopy = getppid(); // alive for as long as this test runs
    auto pool
        = f.make({ QStringLiteral("late:1200:mine 1"), QStringLiteral("late:1200:mine 2") }, 2);
    pool->start();
    runFor(400);
    // While the jobs run, files appear under every name a stray worker could write: an
    // older version's, a killed earlier run's, another job's of this very program, and one
    // of another copy that is still running.
    for (int index = 0; index < 2; ++index) {
        const int row = index + DownloadPool::kFirstDataRow;
        const QString own = pool->resultFileName(index);
        ASSERT_TRUE(QRegularExpression(QStringLiteral("^Temp_%1_%2_\\d+\\.t$").arg(self).arg(row))
                        .match(own)
                        .hasMatch())
            << own.toStdString();
        f.dir.write(QStringLiteral("Temp_%1.t").arg(row), "stray: older version");
        f.dir.write(QStringLiteral("Temp_%1_%2_1.t").arg(ended).arg(row), "stray: killed run");
        f.dir.write(QStringLiteral("Temp_%1_%2_%3.t")
                        .arg(self)
                        .arg(row)
                        .arg(own.section('_', 3, 3).toInt() + 7),
            "stray: another job");
        f.dir.write(QStringLiteral("Temp_%1_%2_1.t").arg(otherCopy).arg(row), "another copy's");
    }
    EXPECT_NE(pool->resultFileName(0), pool->resultFileName(1));
    ASSERT_TRUE(runUntilFinished(*pool, 10000));
    EXPECT_EQ(f.imported.value(1), QStringLiteral("mine 1"));
    EXPECT_EQ(f.imported.value(2), QStringLiteral("mine 2"));
    EXPECT_EQ(pool->failedJobs(), 0);
    // At the end only the running copy's files are left.
    EXPECT_EQ(f.leftovers(),
        (QStringList { QStringLiteral("Temp_%1_2_1.t").arg(otherCopy),
            QStringLiteral("Temp_%1_3_1.t").arg(otherCopy) }));
    // The pool size has a ceiling.
    pool->setMaxWorkers(500);
    EXPECT_EQ(pool->maxWorkers(), DownloadPool::kWorkerLimit);
}

TEST(DownloadPool, AResultFileThatCannotBeReadIsReportedAndRed)
{
    Fixture f;
    quel::test::FakeFeedback feedback { quel::test::FakeFeedback::AlwaysOpen };
    auto pool = f.make({ QStringLiteral("dir"), QStringLiteral("write:fine") }, 2);
    pool->setFeedback(&feedback);
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 20000));
    EXPECT_TRUE(pool->jobs()[0].failed);
    EXPECT_FALSE(pool->jobs()[1].failed);
    EXPECT_EQ(f.imported.keys(), QList<qint64> { 2 });
    const QString expected = QStringLiteral("无法打开下载文档：\r\n")
        + QDir(f.dir.path()).filePath(pool->resultFileName(0));
    EXPECT_EQ(pool->failureReason(0), expected);
    EXPECT_EQ(feedback.messages, QStringList { expected });
    QDir(f.dir.path()).rmdir(pool->resultFileName(0));
}

TEST(DownloadPool, TheRateLimitReachesTheWorkersThroughARunSlotFileThatGoesWithTheRun)
{
    Fixture f;
    const qint64 self = QCoreApplication::applicationPid();
    const qint64 otherCopy = getppid();
    // Slot files of a killed run and of a copy that is still running; neither is a result.
    f.dir.write(QStringLiteral("Temp_rate_%1").arg(endedProcessId()), "1");
    f.dir.write(QStringLiteral("Temp_rate_%1").arg(otherCopy), "1");
    const QString slotFile = QDir(f.dir.path()).filePath(QStringLiteral("Temp_rate_%1").arg(self));

    auto pool = f.make({ QStringLiteral("rate"), QStringLiteral("rate") }, 1);
    // Set in the environment handed over, it still gives way to the pool's own setting.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUELFETCH_RATE"), QStringLiteral("99"));
    pool->setWorkerEnvironment(env);
    pool->setRateLimit(2.5);
    EXPECT_EQ(pool->rateSlotFile(), slotFile);
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 10000));
    EXPECT_EQ(f.imported.value(1), QStringLiteral("2.5|") + slotFile);
    EXPECT_EQ(pool->failedJobs(), 0);
    EXPECT_EQ(f.leftovers(), QStringList { QStringLiteral("Temp_rate_%1").arg(otherCopy) });

    // No limit: neither variable reaches the worker. A run stopped part way drops its slot
    // file too.
    f.imported.clear();
    pool = f.make({ QStringLiteral("rate"), QStringLiteral("hang") }, 2);
    pool->setWorkerEnvironment(env);
    pool->setRateLimit(0);
    pool->start();
    for (int i = 0; i < 100 && f.imported.isEmpty(); ++i)
        runFor(50);
    EXPECT_EQ(f.imported.value(1), QStringLiteral("|"));
    f.dir.write(QStringLiteral("Temp_rate_%1").arg(self), "1");
    pool->stop();
    EXPECT_EQ(f.leftovers(), QStringList { QStringLiteral("Temp_rate_%1").arg(otherCopy) });
}

// Jobs handed over a few at a time (claimed from a shared database): the pool asks only when
// its list is used up, never more than it has room for plus half a pool, keeps waiting while
// the feed says more may come, and ends only once it says none will.
TEST(DownloadPool, AFeedAddsJobsUntilItSaysNoMoreWillCome)
{
    Fixture f;
    auto pool = f.make({}, 4);
    std::vector<int> asked;
    int handed = 0;
    int emptyAnswers = 0;
    pool->setJobFeed(
        [&](int wanted) {
            asked.push_back(wanted);
            DownloadPool::FeedAnswer answer;
            // Two empty answers that may still bring more (another machine still works),
            // between the batches.
            if (handed == 6 && emptyAnswers < 2) {
                ++emptyAnswers;
                answer.more = true;
                return answer;
            }
            for (int i = 0; i < wanted && handed < 10; ++i) {
                ++handed;
                DownloadJob job;
                job.id = handed;
                job.code = QString::number(handed);
                job.job = handed == 3 ? QStringLiteral("die")
                                      : QStringLiteral("write:fed %1").arg(handed);
                answer.jobs.push_back(job);
            }
            return answer;
        },
        50);
    int finishedSignals = 0;
    QObject::connect(pool.get(), &DownloadPool::finished, [&] { ++finishedSignals; });
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 30000));
    ASSERT_EQ(pool->jobs().size(), 10u);
    EXPECT_EQ(emptyAnswers, 2);
    EXPECT_EQ(f.imported.size(), 9);
    EXPECT_EQ(f.imported.value(10), QStringLiteral("fed 10"));
    EXPECT_TRUE(pool->jobs()[2].failed);
    EXPECT_EQ(pool->finishedJobs(), 10);
    EXPECT_EQ(finishedSignals, 1);
    // The first ask fills the pool and half again; none asks beyond that.
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), 6);
    for (int wanted : asked)
        EXPECT_LE(wanted, 6);
}

namespace {

// A group commit that records each group as the pool hands it over, and refuses the groups
// it is told to.
struct GroupLog
{
    std::vector<std::vector<qint64>> groups;
    std::vector<qint64> importedSinceCommit;
    QSet<int> refuse; // which commits (counted from 0) fail
    bool rowsOpenAtCommit = true;

    void watch(DownloadPool& pool, int limit, qint64 waitMs)
    {
        pool.setImporter([this](int, const DownloadJob& job, const QString& text) {
            if (text.startsWith(QStringLiteral("reject")))
                return false;
            importedSinceCommit.push_back(job.id);
            return true;
        });
        pool.setGroupCommit(
            [this, &pool](QString* why) {
                // A row is grey only once what it imported is committed.
                for (const qint64 id : importedSinceCommit)
                    rowsOpenAtCommit = rowsOpenAtCommit
                        && pool.jobs()[std::size_t(id - 1)].state == DownloadJob::Started;
                groups.push_back(std::exchange(importedSinceCommit, {}));
                if (!refuse.contains(int(groups.size()) - 1))
                    return true;
                *why = QStringLiteral("disk full");
                return false;
            },
            limit, waitMs);
    }
};

} // namespace

TEST(DownloadPool, GroupedResultsCommitTogetherAndAFailedCommitFailsItsWholeGroup)
{
    Fixture f;
    QStringList behaviours;
    for (int i = 1; i <= 9; ++i)
        behaviours << (i == 5 ? QStringLiteral("write:reject")
                              : QStringLiteral("write:r%1").arg(i));
    auto pool = f.make(behaviours, 3);
    GroupLog log;
    log.refuse = { 1 };
    log.watch(*pool, 3, 60000);
    pool->start();
    ASSERT_TRUE(runUntilFinished(*pool, 30000));

    EXPECT_TRUE(log.rowsOpenAtCommit);
    ASSERT_GE(log.groups.size(), 3u);
    std::size_t committed = 0;
    QSet<qint64> refused;
    for (std::size_t g = 0; g < log.groups.size(); ++g) {
        EXPECT_LE(log.groups[g].size(), 3u);
        committed += log.groups[g].size();
        if (g == 1)
            refused = QSet<qint64>(log.groups[g].begin(), log.groups[g].end());
    }
    // The rejected result failed on its own and was never part of a group.
    EXPECT_EQ(committed, 8u);
    for (const DownloadJob& job : pool->jobs()) {
        EXPECT_EQ(job.state, DownloadJob::Harvested);
        const bool expectFailed = job.id == 5 || refused.contains(job.id);
        EXPECT_EQ(job.failed, expectFailed) << job.id;
        if (refused.contains(job.id)) {
            EXPECT_EQ(pool->failureReason(int(job.id - 1)), QStringLiteral("disk full"));
        }
    }
    EXPECT_EQ(pool->failedJobs(), 1 + int(refused.size()));
    EXPECT_EQ(pool->runningWorkers(), 0);
}

TEST(DownloadPool, ResultsWaitingForTheirCommitFreeTheirSlotsAndStoppingCommitsThem)
{
    Fixture f;
    // One slot: were a waiting result to keep it, the second job would never start.
    auto pool = f.make({ QStringLiteral("write:a"), QStringLiteral("write:b"),
                           QStringLiteral("hang"), QStringLiteral("write:c") },
        1);
    GroupLog log;
    log.watch(*pool, 100, 60000);
    pool->start();
    runUntil([&] { return log.importedSinceCommit.size() >= 2; });
    ASSERT_EQ(log.importedSinceCommit, (std::vector<qint64> { 1, 2 }));
    // The hanging job keeps a worker running, so the group waits for its limit or its time.
    EXPECT_TRUE(log.groups.empty());
    EXPECT_EQ(pool->jobs()[0].state, DownloadJob::Started);
    EXPECT_EQ(pool->uncommittedJobs(), 2);
    pool->stop();
    ASSERT_EQ(log.groups.size(), 1u);
    EXPECT_EQ(log.groups[0], (std::vector<qint64> { 1, 2 }));
    EXPECT_EQ(pool->jobs()[0].state, DownloadJob::Harvested);
    EXPECT_EQ(pool->jobs()[1].state, DownloadJob::Harvested);
    EXPECT_EQ(pool->jobs()[3].state, DownloadJob::Waiting);
    EXPECT_EQ(pool->failedJobs(), 0);
}

TEST(DownloadPool, AGroupWaitsNoLongerThanItsTimeAndAnAbandonedOneIsNotCommitted)
{
    Fixture f;
    auto pool = f.make({ QStringLiteral("write:a"), QStringLiteral("hang") }, 2);
    GroupLog log;
    log.watch(*pool, 100, 200);
    pool->start();
    runUntil([&] { return !log.groups.empty(); });
    ASSERT_EQ(log.groups.size(), 1u);
    EXPECT_EQ(pool->jobs()[0].state, DownloadJob::Harvested);

    Fixture g;
    auto abandoned = g.make({ QStringLiteral("write:a"), QStringLiteral("hang") }, 2);
    GroupLog abandonedLog;
    abandonedLog.watch(*abandoned, 100, 60000);
    abandoned->start();
    runUntil([&] { return !abandonedLog.importedSinceCommit.empty(); });
    abandoned->abandon(QStringLiteral("gone"));
    EXPECT_TRUE(abandonedLog.groups.empty());
    // Its job stays open for the next run.
    EXPECT_EQ(abandoned->jobs()[0].state, DownloadJob::Started);
}
