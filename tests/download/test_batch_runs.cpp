// "quelmar --batch details|buyers" as a process, with a stand-in worker: exit codes, failed
// jobs that leave the data as it was, buyer lists built afresh, and the ends by signal.
#include "batch_process.h"
#include "download_test_db.h"
#include "store/database_key.h"
#include "store/database_pool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpServer>
#include <QThread>
#include <csignal>

using quel::test::BatchResult;
using quel::test::TestDb;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_batch_runs";
    static char* argv[] = { name, nullptr };
    static QCoreApplication instance(argc, argv);
    return instance;
}

const QString kWorker = QStringLiteral(QUEL_FAKE_WORKER);

// A data folder with its database, handed to quelmar; the test reads it between runs.
struct BatchFolder
{
    TestDb db;
    // Something listening, so that the run finds its marketplace there; the stand-in worker
    // never asks it for a page.
    QTcpServer market;

    BatchFolder()
    {
        app();
        EXPECT_TRUE(market.listen(QHostAddress::LocalHost));
    }

    QString folder() const { return db.dir.path(); }
    QString databaseFile() const { return db.dir.file(QStringLiteral("DATA.mdb")); }
    QString marketUrl() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(market.serverPort());
    }

    // The program opens the database itself: our handle goes first.
    void release()
    {
        db.conn.close();
        db.db.reset();
        quel::store::DatabasePool::shared().releaseAll();
    }
    void reopen()
    {
        QString error;
        db.db = quel::store::OpenDatabase(
            databaseFile(), QString::fromLatin1(quel::store::kDatabasePassword), &error);
        ASSERT_TRUE(db.db) << error.toStdString();
        db.conn = quel::db::Connection(db.db);
    }

    BatchResult run(const QStringList& words)
    {
        release();
        BatchResult r = quel::test::runQuelmar(folder(), marketUrl(), words, kWorker);
        reopen();
        return r;
    }

    // A buyer code seen in a sales record of a product, with a 客户表 row as the import makes it.
    void addBuyer(
        const QString& code, const QString& extraColumns = {}, const QString& extraValues = {})
    {
        const qint64 product = db.addProduct(QStringLiteral("p-") + code);
        db.exec(QStringLiteral(
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(%1,'%2','买家%2',"
            "#2026-11-1 10:00:00#,10,1)")
                    .arg(product)
                    .arg(code));
        db.exec(QStringLiteral("INSERT INTO 客户表(BCode%1) VALUES('%2'%3)")
                    .arg(extraColumns.isEmpty() ? QString() : QLatin1Char(',') + extraColumns)
                    .arg(code)
                    .arg(extraValues.isEmpty() ? QString() : QLatin1Char(',') + extraValues));
    }

    QVariantMap customer(const QString& code) const
    {
        const auto r = db.rows(QStringLiteral("SELECT * FROM 客户表 WHERE BCode='") + code + "'");
        return r.empty() ? QVariantMap() : r.front();
    }
    QString style(const QString& code) const
    {
        const auto r
            = db.rows(QStringLiteral("SELECT Style FROM 产品表 WHERE PCode='") + code + "'");
        return r.empty() ? QStringLiteral("(none)") : r.front().value("Style").toString();
    }
};

QString describe(const BatchResult& r)
{
    return QStringLiteral("exit %1\n%2").arg(r.exitCode).arg(r.err);
}

} // namespace

TEST(BatchRuns, FailedProductJobsLeaveTheProductForTheNextRunAndExitThree)
{
    BatchFolder f;
    f.db.addProduct(QStringLiteral("item:3"));
    f.db.addProduct(QStringLiteral("die"));
    f.db.addProduct(QStringLiteral("item:2"));
    BatchResult r = f.run({ QStringLiteral("details") });
    EXPECT_EQ(r.exitCode, 3) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("jobs: 3, succeeded: 2, failed: 1")))
        << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("failed die: no result")))
        << describe(r).toStdString();
    EXPECT_EQ(f.style(QStringLiteral("die")), QString());
    EXPECT_EQ(f.style(QStringLiteral("item:3")), QStringLiteral("全新"));
    EXPECT_EQ(f.db.count(QStringLiteral("交易表")), 5);
    EXPECT_TRUE(quel::test::workerFiles(f.folder()).isEmpty());

    // The next run takes up exactly the product that is still missing; a pool size past the
    // limit is brought down with a note instead of starting hundreds of browsers.
    r = f.run({ QStringLiteral("details"), QStringLiteral("--workers"), QStringLiteral("500") });
    EXPECT_EQ(r.exitCode, 3) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("using 32"))) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("details: 1 jobs, 32 workers")))
        << describe(r).toStdString();

    // Every job done: 0.
    f.db.exec(QStringLiteral("DELETE FROM 产品表 WHERE PCode='die'"));
    f.db.addProduct(QStringLiteral("item:1"));
    r = f.run({ QStringLiteral("details") });
    EXPECT_EQ(r.exitCode, 0) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("jobs: 1, succeeded: 1, failed: 0")))
        << describe(r).toStdString();
}

TEST(BatchRuns, AProfileThatDidNotLoadLeavesTheStoredProfileAlone)
{
    BatchFolder f;
    f.addBuyer(QStringLiteral("ok-1"));
    f.addBuyer(QStringLiteral("die-1"), QStringLiteral("BName,SLevel,BLevel,Regi,rDat,lDat,dDat"),
        QStringLiteral("'老王',7,9,'杭州',#2008-3-5#,#2026-11-30#,#2026-12-1#"));
    const QVariantMap before = f.customer(QStringLiteral("die-1"));
    const BatchResult r = f.run({ QStringLiteral("buyers"), QStringLiteral("--all") });
    EXPECT_EQ(r.exitCode, 3) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("failed die-1: no result")))
        << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("failed: 1"))) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("profiles written: 1"))) << describe(r).toStdString();
    EXPECT_EQ(f.customer(QStringLiteral("die-1")), before);
    EXPECT_EQ(
        f.customer(QStringLiteral("ok-1")).value("BName").toString(), QStringLiteral("名ok-1"));
}

TEST(BatchRuns, EachBuyerRunListsTheBuyersAsTheyStandNow)
{
    BatchFolder f;
    f.addBuyer(QStringLiteral("a-1"));
    f.addBuyer(QStringLiteral("b-1"));
    BatchResult r = f.run({ QStringLiteral("buyers") });
    EXPECT_EQ(r.exitCode, 0) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("buyers: 2 jobs"))) << describe(r).toStdString();
    f.release();
    EXPECT_EQ(quel::test::workTables(f.databaseFile()), QStringList());
    f.reopen();

    // A buyer found since, and a work table of the old kind as an interrupted run of an
    // older version would have left it: only the new buyer is listed.
    f.addBuyer(QStringLiteral("c-1"));
    f.db.exec(QStringLiteral("SELECT 客户表.*,交易表.Buyer AS Buyer INTO TEMP_Customer FROM 客户表,"
                             "交易表 WHERE 客户表.BCode=交易表.BCode AND 客户表.BCode<>'c-1'"));
    f.db.exec(QStringLiteral("UPDATE TEMP_Customer SET Prov='', rDat=#1900-1-1#"));
    r = f.run({ QStringLiteral("buyers") });
    EXPECT_EQ(r.exitCode, 0) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("buyers: 1 jobs"))) << describe(r).toStdString();
    EXPECT_EQ(f.customer(QStringLiteral("c-1")).value("Prov").toString(), QStringLiteral("浙江"));
    f.release();
    EXPECT_EQ(quel::test::workTables(f.databaseFile()), QStringList());
}

TEST(BatchRuns, FatalErrorsAndBadArguments)
{
    BatchFolder f;
    f.db.addProduct(QStringLiteral("item:1"));

    // A marketplace nobody answers at: 1 before any job, the product untouched.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString nowhere = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    f.release();
    BatchResult r
        = quel::test::runQuelmar(f.folder(), nowhere, { QStringLiteral("details") }, kWorker);
    EXPECT_EQ(r.exitCode, 1) << describe(r).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("does not answer"))) << describe(r).toStdString();
    f.reopen();
    EXPECT_EQ(f.style(QStringLiteral("item:1")), QString());

    // Bad arguments: 2 with a usage line.
    for (const QStringList& words : { QStringList { QStringLiteral("details"),
                                          QStringLiteral("--workers"), QStringLiteral("x") },
             QStringList { QStringLiteral("details"), QStringLiteral("--everything") },
             QStringList {
                 QStringLiteral("details"), QStringLiteral("--rate"), QStringLiteral("0") },
             QStringList {
                 QStringLiteral("buyers"), QStringLiteral("--rate"), QStringLiteral("-2") },
             QStringList {
                 QStringLiteral("details"), QStringLiteral("--rate"), QStringLiteral("fast") },
             QStringList {
                 QStringLiteral("details"), QStringLiteral("--rate"), QStringLiteral("inf") },
             QStringList { QStringLiteral("details"), QStringLiteral("--rate") },
             QStringList { QStringLiteral("nonsense") }, QStringList {} }) {
        r = f.run(words);
        EXPECT_EQ(r.exitCode, 2) << words.join(' ').toStdString() << describe(r).toStdString();
        EXPECT_TRUE(
            r.err.contains(QStringLiteral("usage")) || r.err.contains(QStringLiteral("用法")))
            << describe(r).toStdString();
    }

    // A database file of zero bytes is named and reported, not taken for an empty database.
    f.release();
    {
        QFile data(f.databaseFile());
        ASSERT_TRUE(data.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    for (const QStringList& words : { QStringList { QStringLiteral("details") },
             QStringList { QStringLiteral("search"), QStringLiteral("正品") } }) {
        r = quel::test::runQuelmar(f.folder(), f.marketUrl(), words, kWorker);
        EXPECT_EQ(r.exitCode, 1) << describe(r).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("无法打开数据库：") + f.databaseFile()))
            << describe(r).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("0 字节"))) << describe(r).toStdString();
    }
    EXPECT_EQ(QFileInfo(f.databaseFile()).size(), 0);
}

TEST(BatchRuns, SignalsEndTheWorkersKeepTheImportsAndDropTheWorkTables)
{
    BatchFolder f;
    f.addBuyer(QStringLiteral("ok-1"));
    f.addBuyer(QStringLiteral("ok-2"));
    f.addBuyer(QStringLiteral("hang-1"));
    f.addBuyer(QStringLiteral("hang-2"));
    const QDir pids(f.db.dir.file(QStringLiteral("pids")));
    ASSERT_TRUE(QDir(f.folder()).mkdir(QStringLiteral("pids")));

    const auto waitForHangingWorkers = [&] {
        for (int i = 0; i < 200 && pids.entryList(QDir::Files).size() < 2; ++i)
            QThread::msleep(50);
        // The two quick jobs were started first and are harvested meanwhile.
        QThread::msleep(800);
        return pids.entryList(QDir::Files);
    };

    for (const int signo : { SIGTERM, SIGINT }) {
        f.release();
        for (const QString& name : pids.entryList(QDir::Files))
            QFile::remove(pids.filePath(name));
        auto p = quel::test::startQuelmar(
            f.folder(), f.marketUrl(), { QStringLiteral("buyers") }, kWorker);
        const QStringList workers = waitForHangingWorkers();
        ASSERT_EQ(workers.size(), 2);
        ::kill(pid_t(p->processId()), signo);
        const BatchResult r = quel::test::finishQuelmar(*p, 15000);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 128 + signo) << describe(r).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("interrupted"))) << describe(r).toStdString();
        for (const QString& pid : workers)
            EXPECT_FALSE(quel::test::processAlive(pid.toLongLong())) << pid.toStdString();
        EXPECT_TRUE(quel::test::workerFiles(f.folder()).isEmpty())
            << quel::test::workerFiles(f.folder()).join(',').toStdString();
        EXPECT_EQ(quel::test::workTables(f.databaseFile()), QStringList());
        f.reopen();
        EXPECT_EQ(
            f.customer(QStringLiteral("ok-1")).value("Prov").toString(), QStringLiteral("浙江"));
        EXPECT_EQ(f.customer(QStringLiteral("hang-1")).value("Prov").toString(), QString());
    }

    // Killed outright, the program cannot end its workers itself: the system does.
    f.release();
    for (const QString& name : pids.entryList(QDir::Files))
        QFile::remove(pids.filePath(name));
    auto p = quel::test::startQuelmar(
        f.folder(), f.marketUrl(), { QStringLiteral("buyers") }, kWorker);
    const QStringList workers = waitForHangingWorkers();
    ASSERT_EQ(workers.size(), 2);
    p->kill();
    p->waitForFinished(5000);
    for (const QString& pid : workers) {
        for (int i = 0; i < 100 && quel::test::processAlive(pid.toLongLong()); ++i)
            QThread::msleep(50);
        EXPECT_FALSE(quel::test::processAlive(pid.toLongLong())) << pid.toStdString();
    }
}

TEST(BatchRuns, AWorkerWhoseFileTheDiskRefusedEndsTheRunAsFatal)
{
    // Every other worker would download its page only to fail the same way: the run ends at
    // once with one message, the running workers are ended, nothing else is marked done.
    BatchFolder f;
    f.db.addProduct(QStringLiteral("full"));
    for (int i = 0; i < 4; ++i)
        f.db.addProduct(QStringLiteral("hang"));
    f.db.addProduct(QStringLiteral("item:2"));
    QElapsedTimer clock;
    clock.start();
    const BatchResult r
        = f.run({ QStringLiteral("details"), QStringLiteral("--workers"), QStringLiteral("5") });
    EXPECT_EQ(r.exitCode, 1) << describe(r).toStdString();
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_EQ(r.err.count(QStringLiteral("数据文件夹无法写入下载结果")), 1)
        << describe(r).toStdString();
    EXPECT_EQ(f.style(QStringLiteral("full")), QString());
    EXPECT_EQ(f.db.count(QStringLiteral("交易表")), 0);
    EXPECT_TRUE(quel::test::workerFiles(f.folder()).isEmpty());
}

TEST(BatchRuns, ASecondRunIntoTheSameDatabaseFileIsRefused)
{
    BatchFolder f;
    f.db.addProduct(QStringLiteral("hang"));
    f.release();
    auto first = quel::test::startQuelmar(
        f.folder(), f.marketUrl(), { QStringLiteral("details") }, kWorker);
    // The first run holds the lock once it lists its jobs.
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo::exists(f.databaseFile() + QStringLiteral(".lock")) && wait.elapsed() < 20000)
        QThread::msleep(20);
    ASSERT_TRUE(QFileInfo::exists(f.databaseFile() + QStringLiteral(".lock")));
    const BatchResult second
        = quel::test::runQuelmar(f.folder(), f.marketUrl(), { QStringLiteral("details") }, kWorker);
    EXPECT_EQ(second.exitCode, 1) << describe(second).toStdString();
    EXPECT_TRUE(second.err.contains(QStringLiteral("进程 %1").arg(first->processId())))
        << describe(second).toStdString();
    first->terminate();
    quel::test::finishQuelmar(*first);

    // A run killed outright leaves a lock whose process is gone: the next run goes ahead.
    auto killed = quel::test::startQuelmar(
        f.folder(), f.marketUrl(), { QStringLiteral("details") }, kWorker);
    const auto lockHolder = [&] {
        QFile lock(f.databaseFile() + QStringLiteral(".lock"));
        return lock.open(QIODevice::ReadOnly) ? lock.readAll().trimmed().toLongLong() : 0;
    };
    wait.restart();
    while (lockHolder() != killed->processId() && wait.elapsed() < 20000)
        QThread::msleep(20);
    EXPECT_EQ(lockHolder(), killed->processId());
    killed->kill();
    quel::test::finishQuelmar(*killed);
    f.reopen();
    f.db.exec(QStringLiteral("DELETE FROM 产品表"));
    const BatchResult after = f.run({ QStringLiteral("details") });
    EXPECT_EQ(after.exitCode, 0) << describe(after).toStdString();

    // A lock file left behind (by a run killed between making it and writing itself into
    // it, or by any run killed outright) holds nothing: the next run takes it at once.
    QFile left(f.databaseFile() + QStringLiteral(".lock"));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly | QIODevice::Truncate));
    left.close();
    const BatchResult afterEmpty = f.run({ QStringLiteral("details") });
    EXPECT_EQ(afterEmpty.exitCode, 0) << describe(afterEmpty).toStdString();
}
