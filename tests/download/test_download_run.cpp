// Whole download runs: real quelfetch processes against the demo marketplace on loopback.
#include "download/download_session.h"
#include "download_test_db.h"
#include "market/test_server.h"
#include "store/database_pool.h"
#include "web/market.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

using namespace quel::download;
using quel::test::FakeFeedback;
using quel::test::TestDb;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_download_run";
    static char* argv[] = { name, nullptr };
    static QCoreApplication instance(argc, argv);
    return instance;
}

QString workerProgram()
{
    return quel::test::binDir() + QStringLiteral("/quelfetch");
}

quel::market::MarketOptions marketOptions()
{
    quel::market::MarketOptions o = quel::market::MarketOptions::forTests();
    o.products = 200;
    o.salesMax = 120; // at most two record pages: keeps every run short
    o.buyers = 150; // and few buyers to profile
    o.stallMs = 300;
    return o;
}

// Worker processes this test process started that are still alive.
int livingWorkers()
{
    int n = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : entries) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(stat.readAll());
        const int close = int(text.lastIndexOf(QLatin1Char(')')));
        const QStringList rest = text.mid(close + 2).split(QLatin1Char(' '));
        if (text.contains(QStringLiteral("(quelfetch)")) && rest.value(1).toLongLong() == getpid()
            && rest.value(0) != QStringLiteral("Z"))
            ++n;
    }
    return n;
}

struct RunFixture
{
    quel::market::TestServer market;
    TestDb db;
    std::vector<int> productIndexes;

    explicit RunFixture(const quel::market::MarketOptions& options = marketOptions())
        : market(options)
    {
        app();
        EXPECT_TRUE(market.isRunning());
        quel::web::SetMarket(quel::web::MarketAt(QString::fromStdString(market.baseUrl())));
    }

    void addProducts(int count)
    {
        const auto& products = market.catalogue().products();
        for (int i = 0; i < count; ++i) {
            db.addProduct(QString::fromStdString(products[std::size_t(i)].code),
                QString::fromStdString(products[std::size_t(i)].title));
            productIndexes.push_back(i);
        }
    }

    std::unique_ptr<DownloadSession> session(DownloadKind kind, bool all, int workers = 10)
    {
        auto s = std::make_unique<DownloadSession>(kind, db.conn);
        FakeFeedback feedback { FakeFeedback::AlwaysOpen };
        EXPECT_TRUE(s->prepare(DownloadSession::conditionFor(kind, all), feedback));
        s->pool().setWorkFolder(db.dir.path());
        s->pool().setWorkerProgram(workerProgram());
        s->pool().setMaxWorkers(workers);
        return s;
    }

    // Runs to the end, or until the time is up; true when every job was harvested.
    static bool run(DownloadSession& s, int timeoutMs = 45000)
    {
        QEventLoop loop;
        QObject::connect(&s, &DownloadSession::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        s.start();
        if (!s.pool().isDone())
            loop.exec();
        return s.pool().isDone();
    }

    QStringList workFiles() const
    {
        return QDir(db.dir.path()).entryList({ QStringLiteral("Temp_*") }, QDir::Files);
    }

    long styledProducts() const
    {
        return long(db.rows(QStringLiteral("SELECT ID FROM 产品表 WHERE Style<>''")).size());
    }

    // Of the first `count` products, those the marketplace shows no page for.
    int unviewable(int count) const
    {
        int n = 0;
        for (int i = 0; i < count; ++i)
            n += market.catalogue().products()[std::size_t(i)].viewable ? 0 : 1;
        return n;
    }

    // What a run says it added is what the database holds, and no trade names a buyer code
    // without its 客户表 row (codes of a group that was not stored are not taken as stored).
    void expectTotalsHeld(const DownloadTotals& totals) const
    {
        EXPECT_EQ(
            long(db.rows(QStringLiteral("SELECT ID FROM 交易表")).size()), totals.recordsAdded);
        EXPECT_EQ(
            long(db.rows(QStringLiteral("SELECT ID FROM 客户表")).size()), totals.buyersAdded);
        expectEveryBuyerStored();
    }

    void expectEveryBuyerStored() const
    {
        EXPECT_TRUE(db.rows(QStringLiteral("SELECT DISTINCT BCode FROM 交易表 WHERE BCode<>'' AND "
                                           "BCode NOT IN (SELECT BCode FROM 客户表)"))
                        .empty());
    }

    // A second run offers exactly the products the first did not store, and stores them.
    void expectNextRunStoresTheRest(int products, int notStored)
    {
        auto again = session(DownloadKind::Details, false, 4);
        ASSERT_TRUE(run(*again));
        const int unviewableHere = unviewable(products);
        EXPECT_EQ(int(again->pool().jobs().size()), notStored + unviewableHere);
        EXPECT_EQ(again->totals().failed, unviewableHere);
        EXPECT_EQ(styledProducts(), products - unviewableHere);
        expectEveryBuyerStored();
    }
};

} // namespace

TEST(DownloadRun, DetailsThenBuyersAgainstTheMarketplace)
{
    RunFixture f;
    f.addProducts(50);
    auto details = f.session(DownloadKind::Details, false);
    ASSERT_EQ(details->pool().jobs().size(), 50u);
    ASSERT_TRUE(RunFixture::run(*details));

    // Grey exactly where the marketplace shows the item; every record of those stored.
    const auto& catalogue = f.market.catalogue();
    long expectedRecords = 0;
    int viewable = 0;
    for (const DownloadJob& job : details->pool().jobs()) {
        const quel::market::Product* p = catalogue.findProduct(job.code.toStdString());
        ASSERT_TRUE(p);
        EXPECT_EQ(job.failed, !p->viewable) << job.code.toStdString();
        if (p->viewable) {
            ++viewable;
            expectedRecords += catalogue.figures(p->index).records;
        }
    }
    const DownloadTotals t = details->totals();
    EXPECT_EQ(t.jobs, 50);
    EXPECT_EQ(t.succeeded, viewable);
    EXPECT_EQ(t.recordsAdded, expectedRecords);
    EXPECT_EQ(f.db.count(QStringLiteral("交易表")), expectedRecords);
    EXPECT_EQ(f.styledProducts(), viewable);
    const long codes
        = long(f.db.rows(QStringLiteral("SELECT BCode FROM 交易表 WHERE BCode<>'' GROUP BY BCode"))
                   .size());
    EXPECT_EQ(f.db.count(QStringLiteral("客户表")), codes);
    EXPECT_EQ(t.buyersAdded, codes);
    EXPECT_EQ(details->pool().percentText(), QStringLiteral("100%"));
    details.reset();
    EXPECT_TRUE(f.workFiles().isEmpty());

    // The same run over all products stores nothing new.
    auto again = f.session(DownloadKind::Details, true);
    ASSERT_TRUE(RunFixture::run(*again));
    EXPECT_EQ(again->totals().recordsAdded, 0);
    EXPECT_EQ(again->totals().buyersAdded, 0);
    EXPECT_EQ(f.db.count(QStringLiteral("交易表")), expectedRecords);
    again.reset();

    // Then the buyers: one job per nickname, every profile written.
    auto buyers = f.session(DownloadKind::Buyers, false, 15);
    const long listed = long(buyers->pool().jobs().size());

    EXPECT_GT(listed, 0);
    ASSERT_TRUE(RunFixture::run(*buyers));
    EXPECT_EQ(buyers->totals().failed, 0);
    EXPECT_EQ(buyers->totals().profilesWritten, listed);
    EXPECT_TRUE(f.db.rows(QStringLiteral("SELECT ID FROM 客户表 WHERE Prov=''")).empty());
    for (const auto& row : f.db.rows(QStringLiteral("SELECT * FROM 客户表"))) {
        const quel::market::Buyer* b
            = catalogue.findBuyer(row.value("BCode").toString().toStdString());
        ASSERT_TRUE(b);
        if (b->banned)
            EXPECT_EQ(row.value("Prov").toString(), QStringLiteral("查封"));
        else
            EXPECT_EQ(row.value("BName").toString(), QString::fromStdString(b->nick));
    }
}

TEST(DownloadRun, InjectedFaultsGiveRedRowsAndTheRestIsStored)
{
    quel::market::MarketOptions options = marketOptions();
    options.failRate = 0.25;
    RunFixture f(options);
    f.addProducts(30);
    auto s = f.session(DownloadKind::Details, false);
    ASSERT_TRUE(RunFixture::run(*s));
    int grey = 0;
    for (const DownloadJob& job : s->pool().jobs()) {
        const auto row = f.db.rows(
            QStringLiteral("SELECT Style FROM 产品表 WHERE ID=") + QString::number(job.id));
        // A red row left its product as it was: not downloaded, no records.
        EXPECT_EQ(row.front().value("Style").toString().isEmpty(), job.failed)
            << job.code.toStdString();
        if (job.failed)
            EXPECT_TRUE(f.db.rows(QStringLiteral("SELECT ID FROM 交易表 WHERE PID=")
                                + QString::number(job.id))
                            .empty());
        else
            ++grey;
    }
    EXPECT_GT(s->totals().failed, 0);
    EXPECT_GT(grey, 0);
}

TEST(DownloadRun, ClosingMidRunEndsWorkersRemovesFilesKeepsHarvestedRows)
{
    quel::market::MarketOptions options = marketOptions();
    options.delayMs = 400;
    RunFixture f(options);
    f.addProducts(40);
    auto s = f.session(DownloadKind::Details, false, 5);
    QEventLoop loop;
    QObject::connect(&s->pool(), &DownloadPool::rowChanged, &loop, [&] {
        if (s->pool().finishedJobs() >= 3)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    s->start();
    loop.exec();
    ASSERT_GE(s->pool().finishedJobs(), 3);
    ASSERT_GT(livingWorkers(), 0);

    s->stop();
    EXPECT_EQ(livingWorkers(), 0);
    EXPECT_TRUE(f.workFiles().isEmpty()) << f.workFiles().join(',').toStdString();
    int grey = 0;
    for (const DownloadJob& job : s->pool().jobs())
        grey += job.state == DownloadJob::Harvested && !job.failed;
    EXPECT_EQ(f.styledProducts(), grey);
    EXPECT_LT(grey, 40);
}

TEST(DownloadRun, MissingWorkerProgramTurnsRowsRedWithoutHanging)
{
    RunFixture f;
    f.addProducts(12);
    auto s = f.session(DownloadKind::Details, false);
    s->pool().setWorkerProgram(f.db.dir.file(QStringLiteral("quelfetch-missing")));
    ASSERT_TRUE(RunFixture::run(*s, 10000));
    EXPECT_EQ(s->totals().failed, 12);
    EXPECT_EQ(f.styledProducts(), 0);
}

TEST(DownloadRun, BatchCommandRunsBothDownloads)
{
    RunFixture f;
    const QString folder = f.db.dir.path();
    f.addProducts(10);
    // The program reads its catalogue and database itself: release ours first.
    f.db.conn.close();
    f.db.db.reset();
    quel::store::DatabasePool::shared().releaseAll();

    // 0 when every job succeeded, 3 when some failed (items the marketplace does not show).
    const int unviewable = f.unviewable(10);
    int expectedCode = unviewable > 0 ? 3 : 0;
    const auto runBatch = [&](const QStringList& words) {
        QProcess p;
        p.setProgram(quel::test::binDir() + QStringLiteral("/quelmar"));
        p.setArguments(QStringList { QStringLiteral("--data"), folder, QStringLiteral("--market"),
                           QString::fromStdString(f.market.baseUrl()), QStringLiteral("--batch") }
            + words);
        p.start();
        EXPECT_TRUE(p.waitForFinished(50000));
        EXPECT_EQ(p.exitCode(), expectedCode);
        return QString::fromUtf8(p.readAllStandardError());
    };
    const QString details
        = runBatch({ QStringLiteral("details"), QStringLiteral("--workers"), QStringLiteral("4") });
    EXPECT_TRUE(details.contains(QStringLiteral("details: jobs: 10, succeeded: ")))
        << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("details: 10/10 (100%)"))) << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("failed: %1,").arg(unviewable)))
        << details.toStdString();
    expectedCode = 0;
    const QString buyers = runBatch({ QStringLiteral("buyers") });
    EXPECT_TRUE(buyers.contains(QStringLiteral("buyers: jobs: "))) << buyers.toStdString();
    EXPECT_TRUE(buyers.contains(QStringLiteral("failed: 0"))) << buyers.toStdString();
    QProcess usage;
    usage.start(quel::test::binDir() + QStringLiteral("/quelmar"),
        { QStringLiteral("--data"), folder, QStringLiteral("--batch"), QStringLiteral("details"),
            QStringLiteral("--workers"), QStringLiteral("x") });
    ASSERT_TRUE(usage.waitForFinished(20000));
    EXPECT_EQ(usage.exitCode(), 2);
}

TEST(DownloadRun, BatchRateKeepsTheWorkersUnderTheMarketplaceLimit)
{
    // The marketplace serves 5 requests a second and answers the rest with 429; the run
    // asks for 3 a second of all its workers together.
    quel::market::MarketOptions options = marketOptions();
    options.rateLimit = 5;
    RunFixture f(options);
    const QString folder = f.db.dir.path();
    f.addProducts(12);
    const int unviewable = f.unviewable(12);
    f.db.conn.close();
    f.db.db.reset();
    quel::store::DatabasePool::shared().releaseAll();

    const auto before = f.market.server().counters();
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.setProgram(quel::test::binDir() + QStringLiteral("/quelmar"));
    p.setArguments({ QStringLiteral("--data"), folder, QStringLiteral("--market"),
        QString::fromStdString(f.market.baseUrl()), QStringLiteral("--batch"),
        QStringLiteral("details"), QStringLiteral("--workers"), QStringLiteral("8"),
        QStringLiteral("--rate"), QStringLiteral("3") });
    p.start();
    ASSERT_TRUE(p.waitForFinished(120000));
    const qint64 elapsed = clock.elapsed();
    const auto after = f.market.server().counters();
    const QString err = QString::fromUtf8(p.readAllStandardError());

    EXPECT_EQ(p.exitCode(), unviewable > 0 ? 3 : 0) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("at most 3 requests per second"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("failed: %1,").arg(unviewable))) << err.toStdString();
    EXPECT_EQ(after.rateLimited - before.rateLimited, 0u);
    // n requests three a second take at least (n - 1) / 3 seconds.
    const auto requests = qint64(after.requests - before.requests);
    EXPECT_GE(requests, 12);
    EXPECT_GE(elapsed, (requests - 1) * 1000 / 3) << requests << " requests";
    EXPECT_TRUE(f.workFiles().isEmpty()) << f.workFiles().join(',').toStdString();
}

namespace {

// Refuses the first commit made on the handle from now on; later ones go through.
int refuseFirstCommit(void* refused)
{
    return std::exchange(*static_cast<bool*>(refused), true) ? 0 : 1;
}

} // namespace

TEST(DownloadRun, AGroupWhoseCommitFailsIsRedUncountedAndStoredByTheNextRun)
{
    quel::market::MarketOptions options = marketOptions();
    options.delayMs = 150;
    RunFixture f(options);
    f.addProducts(24);
    const int unviewable = f.unviewable(24);
    auto s = f.session(DownloadKind::Details, false, 4);
    bool refused = false;
    sqlite3_commit_hook(f.db.db->handle(), &refuseFirstCommit, &refused);
    ASSERT_TRUE(RunFixture::run(*s));
    sqlite3_commit_hook(f.db.db->handle(), nullptr, nullptr);
    ASSERT_TRUE(refused);

    int notCommitted = 0;
    for (std::size_t i = 0; i < s->pool().jobs().size(); ++i) {
        const DownloadJob& job = s->pool().jobs()[i];
        const auto row = f.db.rows(
            QStringLiteral("SELECT Style FROM 产品表 WHERE ID=") + QString::number(job.id));
        EXPECT_EQ(row.front().value("Style").toString().isEmpty(), job.failed)
            << job.code.toStdString();
        const bool viewable = f.market.catalogue().products()[i].viewable;
        if (!job.failed || !viewable)
            continue;
        ++notCommitted;
        // The engine's own reason, not what the rollback after it said.
        EXPECT_EQ(s->failureReason(int(i)).toStdString(), "无法提交到数据库：constraint failed");
    }
    EXPECT_GT(notCommitted, 0);
    EXPECT_LT(notCommitted, 24 - unviewable);
    EXPECT_EQ(s->totals().failed, notCommitted + unviewable);
    f.expectTotalsHeld(s->totals());
    s.reset();

    // The refused group's products come again and are stored.
    f.expectNextRunStoresTheRest(24, notCommitted);
}

namespace {

// Refuses the trades of the first product imported while others wait in the open group.
struct GroupRefusal
{
    const quel::download::DownloadPool* pool = nullptr;
    qint64 refusedProduct = 0;
};

void refuseWhileGrouped(sqlite3_context* context, int, sqlite3_value** args)
{
    auto* refusal = static_cast<GroupRefusal*>(sqlite3_user_data(context));
    const qint64 product = sqlite3_value_int64(args[0]);
    if (refusal->refusedProduct == 0 && refusal->pool->uncommittedJobs() > 0)
        refusal->refusedProduct = product;
    sqlite3_result_int(context, refusal->refusedProduct == product ? 1 : 0);
}

} // namespace

TEST(DownloadRun, AnImportRefusedInsideAGroupTakesTheGroupAlongAndTheNextRunStoresIt)
{
    quel::market::MarketOptions options = marketOptions();
    options.delayMs = 150;
    RunFixture f(options);
    f.addProducts(24);
    const int unviewable = f.unviewable(24);
    auto s = f.session(DownloadKind::Details, false, 4);
    GroupRefusal refusal { &s->pool() };
    sqlite3* handle = f.db.db->handle();
    ASSERT_EQ(sqlite3_create_function(handle, "refuse_while_grouped", 1, SQLITE_UTF8, &refusal,
                  &refuseWhileGrouped, nullptr, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle,
                  "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.交易表 WHEN "
                  "refuse_while_grouped(NEW.PID) BEGIN SELECT RAISE(ABORT, 'refused here'); END",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    ASSERT_TRUE(RunFixture::run(*s));
    sqlite3_exec(handle, "DROP TRIGGER refuse", nullptr, nullptr, nullptr);
    ASSERT_NE(refusal.refusedProduct, 0);

    int groupMates = 0;
    for (std::size_t i = 0; i < s->pool().jobs().size(); ++i) {
        const DownloadJob& job = s->pool().jobs()[i];
        const QString id = QString::number(job.id);
        const auto row = f.db.rows(QStringLiteral("SELECT Style FROM 产品表 WHERE ID=") + id);
        // Nothing of a failed job is stored, not even the head line written before its trades.
        EXPECT_EQ(row.front().value("Style").toString().isEmpty(), job.failed) << job.id;
        if (job.failed) {
            EXPECT_TRUE(f.db.rows(QStringLiteral("SELECT ID FROM 交易表 WHERE PID=") + id).empty());
        }
        const QString reason = s->failureReason(int(i));
        if (job.id == refusal.refusedProduct) {
            EXPECT_TRUE(job.failed);
            EXPECT_EQ(reason.toStdString(), "refused here");
        } else if (reason.startsWith(QStringLiteral("同批中另一项导入失败，未保存："))) {
            EXPECT_TRUE(job.failed);
            EXPECT_EQ(reason, QStringLiteral("同批中另一项导入失败，未保存：refused here"));
            ++groupMates;
        }
    }
    EXPECT_GT(groupMates, 0);
    EXPECT_EQ(s->totals().failed, 1 + groupMates + unviewable);
    f.expectTotalsHeld(s->totals());
    s.reset();

    f.expectNextRunStoresTheRest(24, 1 + groupMates);
}
