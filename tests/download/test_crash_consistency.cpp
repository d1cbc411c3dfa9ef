// Detail downloads against the demo marketplace that are killed part way (SIGKILL at random
// moments, each followed at once by the next run) or meet failing pages: once the runs are
// through, the database holds exactly what one clean run stores, and it is sound.
//
// QUELMAR_CRASH_KILLS sets the number of kills (10 by default; scripts/soak asks for 200),
// QUELMAR_CRASH_SEED fixes the moments. QUELMAR_FAULT_SOAK=1 adds the fault soak.
#include "batch_process.h"
#include "download_test_db.h"
#include "market/test_server.h"
#include "store/database_key.h"
#include "store/database_pool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <iostream>
#include <random>

using quel::test::BatchResult;
using quel::test::TestDb;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_crash_consistency";
    static char* argv[] = { name, nullptr };
    static QCoreApplication instance(argc, argv);
    return instance;
}

constexpr int kProducts = 40;

quel::market::MarketOptions marketOptions(
    double failRate = 0.0, std::vector<quel::market::ScriptedFault> rewrites = {})
{
    quel::market::MarketOptions o = quel::market::MarketOptions::forTests();
    o.scriptedFaults = std::move(rewrites);
    o.seed = 7;
    o.products = 120;
    o.salesMax = 120;
    o.buyers = 600;
    o.failRate = failRate;
    o.stallMs = 1500;
    return o;
}

int envNumber(const char* name, int fallback)
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue(name, &ok);
    return ok ? n : fallback;
}

// What a detail download leaves, keyed by product code so that row IDs do not matter.
struct Snapshot
{
    QMap<QString, QString> products; // PCode -> detail columns
    QMap<QString, QStringList> trades; // PCode -> its sales, sorted
    QStringList buyers; // every 客户表 code, sorted
    long tradeCount = 0;
    QString integrity;
};

Snapshot snapshot(const QString& databaseFile)
{
    Snapshot s;
    QString error;
    auto db = quel::store::OpenDatabase(
        databaseFile, QString::fromLatin1(quel::store::kDatabasePassword), &error);
    EXPECT_TRUE(db) << error.toStdString();
    if (!db)
        return s;
    const auto rows = [&](const QString& sql) {
        std::vector<QStringList> out;
        quel::db::Statement st = db->prepare(sql, &error);
        EXPECT_TRUE(st) << sql.toStdString() << error.toStdString();
        while (st && st.step() == quel::db::StepResult::Row) {
            QStringList row;
            for (int i = 0; i < st.columnCount(); ++i)
                row << st.text(i);
            out.push_back(row);
        }
        return out;
    };
    for (const QStringList& r : rows(QStringLiteral(
             "SELECT PCode,Num1,Num9,Style,VTimes,CTimes,SNum,Price,dDat FROM 产品表")))
        s.products.insert(r[0], r.mid(1).join('|'));
    for (const QStringList& r :
        rows(QStringLiteral("SELECT p.PCode,t.Dat,t.Buyer,t.BCode,t.Pri,t.Num FROM 交易表 t JOIN "
                            "产品表 p ON p.ID=t.PID"))) {
        s.trades[r[0]] << r.mid(1).join('|');
        ++s.tradeCount;
    }
    for (QStringList& list : s.trades)
        list.sort();
    for (const QStringList& r : rows(QStringLiteral("SELECT BCode FROM 客户表")))
        s.buyers << r[0];
    s.buyers.sort();
    const auto check = rows(QStringLiteral("PRAGMA integrity_check"));
    s.integrity = check.empty() ? QStringLiteral("(nothing)") : check.front().join(' ');
    return s;
}

// A data folder with the first kProducts items of the marketplace listed, never downloaded.
struct MarketFolder
{
    TestDb db;
    explicit MarketFolder(const quel::market::TestServer& market)
    {
        const auto& products = market.catalogue().products();
        for (int i = 0; i < kProducts; ++i)
            db.addProduct(QString::fromStdString(products[std::size_t(i)].code),
                QString::fromStdString(products[std::size_t(i)].title));
        db.conn.close();
        db.db.reset();
        quel::store::DatabasePool::shared().releaseAll();
    }
    QString folder() const { return db.dir.path(); }
    QString databaseFile() const { return db.dir.file(QStringLiteral("DATA.mdb")); }
};

QString describe(const BatchResult& r)
{
    return QStringLiteral("exit %1\n%2").arg(r.exitCode).arg(r.err.right(3000));
}

// Every product, its figures and its sales as in the clean run; the same buyer codes.
void expectSameAsClean(const Snapshot& clean, const Snapshot& got)
{
    EXPECT_EQ(got.integrity, QStringLiteral("ok"));
    EXPECT_EQ(got.tradeCount, clean.tradeCount);
    long misfiled = 0;
    for (auto it = clean.products.cbegin(); it != clean.products.cend(); ++it) {
        EXPECT_EQ(got.products.value(it.key()), it.value()) << it.key().toStdString();
        if (got.trades.value(it.key()) != clean.trades.value(it.key())) {
            ++misfiled;
            ADD_FAILURE() << "sales differ for " << it.key().toStdString() << ": "
                          << got.trades.value(it.key()).size() << " stored, "
                          << clean.trades.value(it.key()).size() << " in the clean run";
        }
    }
    EXPECT_EQ(misfiled, 0);
    EXPECT_EQ(got.buyers, clean.buyers);
}

Snapshot cleanRun(const quel::market::TestServer& market)
{
    MarketFolder clean(market);
    const BatchResult r = quel::test::runQuelmar(
        clean.folder(), QString::fromStdString(market.baseUrl()), { QStringLiteral("details") });
    // Items the marketplace does not show fail in every run: 3 is expected then.
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 3) << describe(r).toStdString();
    Snapshot s = snapshot(clean.databaseFile());
    EXPECT_GT(s.tradeCount, 0);
    return s;
}

} // namespace

TEST(CrashConsistency, DetailRunsKilledAtRandomEndAsACleanRun)
{
    app();
    quel::market::TestServer market(marketOptions());
    ASSERT_TRUE(market.isRunning());
    const QString url = QString::fromStdString(market.baseUrl());

    QElapsedTimer cleanTime;
    cleanTime.start();
    const Snapshot clean = cleanRun(market);
    const qint64 cleanMs = qMax<qint64>(cleanTime.elapsed(), 1000);

    const int kills = envNumber("QUELMAR_CRASH_KILLS", 10);
    const unsigned seed = unsigned(
        envNumber("QUELMAR_CRASH_SEED", int(QDateTime::currentSecsSinceEpoch() & 0x7fffffff)));
    std::mt19937 random(seed);
    // Moments from the program's start-up to half a whole run: some kills land before any
    // job, most among the imports.
    std::uniform_int_distribution<int> moment(50, int(cleanMs / 2));
    std::cout << "clean run: " << clean.tradeCount << " trades in " << cleanMs << " ms; " << kills
              << " kills, seed " << seed << std::endl;

    // Rounds on a fresh folder each: runs killed one after the other until one gets through,
    // then a last run, then the comparison.
    int killed = 0;
    int runs = 0;
    int rounds = 0;
    while (killed < kills && rounds < kills) {
        ++rounds;
        MarketFolder crashed(market);
        for (;;) {
            ++runs;
            auto p = quel::test::startQuelmar(crashed.folder(), url, { QStringLiteral("details") });
            if (p->waitForFinished(moment(random)))
                break;
            ++killed;
            p->kill();
            p->waitForFinished(5000);
            if (killed == kills)
                break;
        }
        // Workers of the killed runs died with them; this run finds every product that is
        // still missing.
        const BatchResult last
            = quel::test::runQuelmar(crashed.folder(), url, { QStringLiteral("details") });
        EXPECT_TRUE(last.exitCode == 0 || last.exitCode == 3) << describe(last).toStdString();
        SCOPED_TRACE(QStringLiteral("round %1").arg(rounds).toStdString());
        expectSameAsClean(clean, snapshot(crashed.databaseFile()));
        EXPECT_TRUE(quel::test::workerFiles(crashed.folder()).isEmpty())
            << quel::test::workerFiles(crashed.folder()).join(',').toStdString();
        if (::testing::Test::HasFailure())
            break;
    }
    std::cout << killed << " kills in " << runs << " runs over " << rounds
              << " rounds, each compared with the clean run (" << clean.tradeCount << " trades)"
              << std::endl;
    EXPECT_EQ(killed, kills);
}

TEST(CrashConsistency, FaultSoakEndsAsACleanRun)
{
    if (qEnvironmentVariable("QUELMAR_FAULT_SOAK") != QLatin1String("1"))
        GTEST_SKIP() << "QUELMAR_FAULT_SOAK=1 runs it (scripts/soak)";
    app();
    quel::market::TestServer cleanMarket(marketOptions());
    const Snapshot clean = cleanRun(cleanMarket);
    const int unviewable = clean.products.size()
        - int(std::count_if(clean.products.cbegin(), clean.products.cend(),
            [](const QString& figures) { return !figures.section('|', 2, 2).isEmpty(); }));

    // The same marketplace (seed and date) with three requests in ten failing, and of the
    // others about one in seven rewritten the way broken sites serve pages.
    quel::market::MarketOptions faultyOptions = marketOptions(0.3);
    faultyOptions.rewriteRate = 0.15;
    quel::market::TestServer faulty(faultyOptions);
    MarketFolder soaked(faulty);
    int runs = 0;
    int missing = kProducts;
    while (missing > unviewable && runs < 40) {
        ++runs;
        const BatchResult r = quel::test::runQuelmar(soaked.folder(),
            QString::fromStdString(faulty.baseUrl()), { QStringLiteral("details") }, {}, 300000);
        ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 3) << describe(r).toStdString();
        const Snapshot now = snapshot(soaked.databaseFile());
        missing = int(std::count_if(now.products.cbegin(), now.products.cend(),
            [](const QString& figures) { return figures.section('|', 2, 2).isEmpty(); }));
    }
    std::cout << "fault soak: " << runs << " runs until " << missing << " products were missing ("
              << unviewable << " cannot be viewed)" << std::endl;
    expectSameAsClean(clean, snapshot(soaked.databaseFile()));
}

// Pages that arrive whole to the transport but are cut or not what they claim: the run
// stores none of them and exits 3, and a rerun on a healthy marketplace ends as the clean
// run. Rewrites that lose nothing (a record shown on two pages, a pager in a script) leave
// the clean run's rows at once.
TEST(CrashConsistency, RewrittenPagesThenAHealthyRerunEndAsACleanRun)
{
    app();
    using quel::market::Fault;
    quel::market::TestServer healthy(marketOptions());
    const Snapshot clean = cleanRun(healthy);
    struct Case
    {
        quel::market::ScriptedFault rewrite;
        bool losesPages;
    };
    const Case cases[] = {
        { { "bid_page=2", -1, Fault::CutClosed }, true },
        { { "bid_page=1", -1, Fault::LyingLength }, true },
        { { "tab=deal", -1, Fault::NoRecordTable }, true },
        { { "bid_page=1", -1, Fault::SelfPager }, true },
        { { "tab=deal", -1, Fault::ShiftedRows }, false },
        { { "tab=deal", -1, Fault::ScriptPager }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(quel::market::faultName(c.rewrite.fault));
        quel::market::TestServer rewriting(marketOptions(0, { c.rewrite }));
        MarketFolder folder(rewriting);
        const BatchResult first = quel::test::runQuelmar(folder.folder(),
            QString::fromStdString(rewriting.baseUrl()), { QStringLiteral("details") }, {}, 300000);
        if (c.losesPages) {
            EXPECT_EQ(first.exitCode, 3) << describe(first).toStdString();
            EXPECT_LT(snapshot(folder.databaseFile()).tradeCount, clean.tradeCount);
            const BatchResult rerun
                = quel::test::runQuelmar(folder.folder(), QString::fromStdString(healthy.baseUrl()),
                    { QStringLiteral("details") }, {}, 300000);
            EXPECT_TRUE(rerun.exitCode == 0 || rerun.exitCode == 3)
                << describe(rerun).toStdString();
        }
        expectSameAsClean(clean, snapshot(folder.databaseFile()));
    }
}

// Profiles behind a login wall (HTTP 200, no profile) or cut short: no buyer is stored as
// coming from nowhere, the run exits 3, and the buyers are offered again, so a rerun on a
// healthy marketplace stores every profile as a clean run does.
TEST(CrashConsistency, ProfilesThatAreNoProfilesAreOfferedAgain)
{
    app();
    using quel::market::Fault;
    quel::market::TestServer healthy(marketOptions());
    const auto profiles = [](const QString& databaseFile) {
        QString error;
        auto db = quel::store::OpenDatabase(
            databaseFile, QString::fromLatin1(quel::store::kDatabasePassword), &error);
        EXPECT_TRUE(db) << error.toStdString();
        QStringList rows;
        quel::db::Statement st = db
            ? db->prepare(QStringLiteral("SELECT BCode,BName,Prov,Regi,RDat,LDat FROM 客户表"))
            : quel::db::Statement();
        while (st && st.step() == quel::db::StepResult::Row) {
            QStringList row;
            for (int i = 0; i < st.columnCount(); ++i)
                row << st.text(i);
            rows << row.join('|');
        }
        rows.sort();
        return rows;
    };
    // Details first, on the healthy marketplace: the buyers to profile.
    const auto detailed = [&](MarketFolder& folder) {
        const BatchResult r = quel::test::runQuelmar(folder.folder(),
            QString::fromStdString(healthy.baseUrl()), { QStringLiteral("details") }, {}, 300000);
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 3) << describe(r).toStdString();
    };
    MarketFolder clean(healthy);
    detailed(clean);
    // Every folder starts from the same detailed database.
    const QString detailedCopy = clean.db.dir.file(QStringLiteral("detailed.mdb"));
    ASSERT_TRUE(QFile::copy(clean.databaseFile(), detailedCopy));
    const BatchResult cleanBuyers = quel::test::runQuelmar(clean.folder(),
        QString::fromStdString(healthy.baseUrl()), { QStringLiteral("buyers") }, {}, 300000);
    ASSERT_TRUE(cleanBuyers.exitCode == 0 || cleanBuyers.exitCode == 3)
        << describe(cleanBuyers).toStdString();
    const QStringList cleanProfiles = profiles(clean.databaseFile());
    ASSERT_FALSE(cleanProfiles.isEmpty());

    // (Profiles cut short fail their jobs the same way: tests/worker covers them.)
    for (const Fault fault : { Fault::LoginWall }) {
        SCOPED_TRACE(quel::market::faultName(fault));
        quel::market::TestServer walled(marketOptions(0, { { "user_profile", -1, fault } }));
        MarketFolder folder(healthy);
        QFile::remove(folder.databaseFile());
        ASSERT_TRUE(QFile::copy(detailedCopy, folder.databaseFile()));
        const QStringList before = profiles(folder.databaseFile());
        const BatchResult r = quel::test::runQuelmar(folder.folder(),
            QString::fromStdString(walled.baseUrl()), { QStringLiteral("buyers") }, {}, 300000);
        EXPECT_EQ(r.exitCode, 3) << describe(r).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("profiles written: 0")))
            << describe(r).toStdString();
        EXPECT_EQ(profiles(folder.databaseFile()), before);
        const BatchResult rerun = quel::test::runQuelmar(folder.folder(),
            QString::fromStdString(healthy.baseUrl()), { QStringLiteral("buyers") }, {}, 300000);
        EXPECT_TRUE(rerun.exitCode == 0 || rerun.exitCode == 3) << describe(rerun).toStdString();
        EXPECT_EQ(profiles(folder.databaseFile()), cleanProfiles);
    }
}
