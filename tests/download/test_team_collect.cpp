// Two "quelmar --batch details" processes against one server database, as two machines of a
// team would run them: together they store exactly what one run stores on the same
// marketplace, and when one is killed part way the other finishes its jobs once their claims
// lapse.
//
// QUELMAR_TEAM_PRODUCTS sets the number of products (500 by default).
#include "batch_process.h"
#include "download_test_db.h"
#include "market/test_server.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "support/pg_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QSysInfo>
#include <QThread>
#include <iostream>

using quel::test::BatchResult;
using quel::test::TestDb;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_team_collect";
    static char* argv[] = { name, nullptr };
    static QCoreApplication instance(argc, argv);
    return instance;
}

int productCount()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("QUELMAR_TEAM_PRODUCTS", &ok);
    return ok && n > 0 ? n : 500;
}

constexpr int kLeaseSeconds = 4;

quel::market::MarketOptions marketOptions(int products)
{
    quel::market::MarketOptions o = quel::market::MarketOptions::forTests();
    o.seed = 19;
    o.products = products + 20;
    o.salesMax = 60;
    o.buyers = 1500;
    return o;
}

// What the detail downloads left, by product code so that row IDs do not matter.
struct Snapshot
{
    QMap<QString, QString> products; // PCode -> detail columns
    QMap<QString, QStringList> trades; // PCode -> its sales, sorted
    QStringList buyers; // every 客户表 code, sorted
    long tradeCount = 0;
    long distinctTrades = 0;
};

std::vector<QStringList> rows(quel::db::Database& db, const QString& sql)
{
    std::vector<QStringList> out;
    QString error;
    quel::db::Statement st = db.prepare(sql, &error);
    EXPECT_TRUE(st) << sql.toStdString() << error.toStdString();
    while (st && st.step() == quel::db::StepResult::Row) {
        QStringList row;
        // Numbers as numbers: the file writes a whole price as "1061.0", the server as "1061".
        for (int i = 0; i < st.columnCount(); ++i) {
            const QVariant v = st.value(i);
            row << (v.typeId() == QMetaType::Double ? QString::number(v.toDouble()) : st.text(i));
        }
        out.push_back(row);
    }
    return out;
}

Snapshot snapshot(const QString& pathOrAddress)
{
    Snapshot s;
    QString error;
    auto db = quel::store::OpenDatabase(
        pathOrAddress, QString::fromLatin1(quel::store::kDatabasePassword), &error);
    EXPECT_TRUE(db) << error.toStdString();
    if (!db)
        return s;
    for (const QStringList& r : rows(*db,
             QStringLiteral("SELECT PCode,Num1,Num9,Style,VTimes,CTimes,SNum,Price FROM 产品表")))
        s.products.insert(r[0], r.mid(1).join('|'));
    const QString trade = QStringLiteral("p.PCode,t.Dat,t.Buyer,t.BCode,t.Pri,t.Num");
    for (const QStringList& r : rows(*db,
             QStringLiteral("SELECT ") + trade
                 + QStringLiteral(" FROM 交易表 t JOIN 产品表 p ON p.ID=t.PID"))) {
        s.trades[r[0]] << r.mid(1).join('|');
        ++s.tradeCount;
    }
    for (QStringList& list : s.trades)
        list.sort();
    s.distinctTrades = long(rows(*db,
        QStringLiteral("SELECT DISTINCT ") + trade
            + QStringLiteral(" FROM 交易表 t JOIN 产品表 p ON p.ID=t.PID"))
                                .size());
    for (const QStringList& r : rows(*db, QStringLiteral("SELECT BCode FROM 客户表")))
        s.buyers << r[0];
    s.buyers.sort();
    return s;
}

QString describe(const BatchResult& r)
{
    return QStringLiteral("exit %1\n%2").arg(r.exitCode).arg(r.err.right(3000));
}

// "quelmar --data FOLDER --db ADDRESS --market URL --batch details --workers 5" with a short
// lease, as one machine of the team.
std::unique_ptr<QProcess> startCopy(
    const QString& folder, const QString& address, const QString& market)
{
    auto p = std::make_unique<QProcess>();
    p->setProgram(quel::test::binDir() + QStringLiteral("/quelmar"));
    p->setArguments({ QStringLiteral("--data"), folder, QStringLiteral("--db"), address,
        QStringLiteral("--market"), market, QStringLiteral("--batch"), QStringLiteral("details"),
        QStringLiteral("--workers"), QStringLiteral("5") });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUELFETCH_PROGRAM"));
    env.insert(QStringLiteral("QUELMAR_LEASE_SECONDS"), QString::number(kLeaseSeconds));
    p->setProcessEnvironment(env);
    p->start();
    p->waitForStarted(10000);
    return p;
}

// Jobs of the server's collection finished so far.
// Jobs done in the collection, or those one copy did ("host:pid").
long doneJobs(quel::db::Database& db, const QString& owner = QString())
{
    quel::db::Statement st = db.prepareNative(
        QStringLiteral("SELECT count(*) FROM quelmar_team.claims WHERE done_at IS NOT NULL"
                       " AND (?1 = '' OR owner = ?1)"));
    if (!st)
        return 0;
    st.bindText(1, owner);
    if (st.step() != quel::db::StepResult::Row)
        return 0;
    return long(st.int64(0));
}

class TeamCollect : public quel::test::PgServerTest
{
};

} // namespace

TEST_F(TeamCollect, TwoCopiesSplitTheWorkAndOneFinishesWhatAKilledOneHeld)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    app();
    const int products = productCount();
    quel::market::TestServer market(marketOptions(products));
    ASSERT_TRUE(market.isRunning());
    const QString url = QString::fromStdString(market.baseUrl());
    const auto& items = market.catalogue().products();

    // One run on a database file: what the team must end up with.
    QElapsedTimer clock;
    clock.start();
    Snapshot clean;
    {
        TestDb one;
        for (int i = 0; i < products; ++i)
            one.addProduct(QString::fromStdString(items[std::size_t(i)].code),
                QString::fromStdString(items[std::size_t(i)].title));
        one.conn.close();
        one.db.reset();
        quel::store::DatabasePool::shared().releaseAll();
        const BatchResult r = quel::test::runQuelmar(one.dir.path(), url,
            { QStringLiteral("details"), QStringLiteral("--workers"), QStringLiteral("10") }, {},
            300000);
        ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 3) << describe(r).toStdString();
        clean = snapshot(one.dir.file(QStringLiteral("DATA.mdb")));
    }
    ASSERT_GT(clean.tradeCount, 0);
    const qint64 oneRunMs = clock.restart();

    // The same products listed on the server.
    QString error;
    auto server = quel::store::OpenDatabase(
        pgAddress(), QString::fromLatin1(quel::store::kDatabasePassword), &error, true);
    ASSERT_TRUE(server) << error.toStdString();
    if (!server->tableColumns(QStringLiteral("产品表"))) {
        ASSERT_TRUE(quel::store::createSchema(*server, &error)) << error.toStdString();
    }
    {
        quel::db::Connection conn(server);
        for (int i = 0; i < products; ++i)
            quel::test::addTestProduct(conn, QString::fromStdString(items[std::size_t(i)].code),
                QString::fromStdString(items[std::size_t(i)].title));
    }

    quel::test::TempDir machineA;
    quel::test::TempDir machineB;
    auto a = startCopy(machineA.path(), pgAddress(), url);
    auto b = startCopy(machineB.path(), pgAddress(), url);
    // A dies without a word once the two are well under way, holding claims.
    while (doneJobs(*server) < products / 4 && a->state() == QProcess::Running
        && clock.elapsed() < 120000)
        QThread::msleep(50);
    ASSERT_EQ(a->state(), QProcess::Running)
        << "the first copy ended before it could be killed: "
        << QString::fromUtf8(a->readAllStandardError()).toStdString();
    const QString ownerA
        = QSysInfo::machineHostName() + QLatin1Char(':') + QString::number(a->processId());
    a->kill();
    a->waitForFinished(5000);
    const long doneAtKill = doneJobs(*server);

    const BatchResult rb = quel::test::finishQuelmar(*b, 300000);
    const qint64 teamMs = clock.elapsed();
    EXPECT_TRUE(rb.exitCode == 0 || rb.exitCode == 3) << describe(rb).toStdString();
    std::cout << products << " products: one run " << oneRunMs << " ms, " << clean.tradeCount
              << " trades; the team " << teamMs << " ms, one copy killed after " << doneAtKill
              << " jobs" << std::endl;

    const Snapshot team = snapshot(pgAddress());
    EXPECT_EQ(team.tradeCount, clean.tradeCount);
    EXPECT_EQ(team.distinctTrades, team.tradeCount);
    EXPECT_EQ(team.buyers, clean.buyers);
    long differing = 0;
    for (auto it = clean.products.cbegin(); it != clean.products.cend(); ++it) {
        if (team.products.value(it.key()) != it.value()
            || team.trades.value(it.key()) != clean.trades.value(it.key())) {
            if (differing++ == 0)
                ADD_FAILURE() << it.key().toStdString() << ": "
                              << team.products.value(it.key()).toStdString() << " / "
                              << it.value().toStdString() << "\n"
                              << team.trades.value(it.key()).join(' ').left(300).toStdString()
                              << "\n"
                              << clean.trades.value(it.key()).join(' ').left(300).toStdString();
        }
    }
    EXPECT_EQ(differing, 0);
    // Every product the marketplace shows was done once in the one collection.
    const long viewable = long(std::count_if(clean.products.cbegin(), clean.products.cend(),
        [](const QString& figures) { return !figures.section('|', 2, 2).isEmpty(); }));
    EXPECT_EQ(doneJobs(*server), viewable);
    // ... and by one copy only: what the killed copy got done (as the server recorded it:
    // it may die between marking a job done and saying so) and what the other did add up to
    // it.
    const long doneByA = doneJobs(*server, ownerA);
    const QRegularExpression succeeded(QStringLiteral("succeeded: (\\d+)"));
    const QRegularExpressionMatch m = succeeded.match(rb.err);
    ASSERT_TRUE(m.hasMatch()) << describe(rb).toStdString();
    EXPECT_GT(doneByA, 0);
    EXPECT_EQ(doneByA + m.captured(1).toLong(), viewable) << describe(rb).toStdString();
    // A product no copy can download is one failed job, however often it came back here.
    const QRegularExpressionMatch f
        = QRegularExpression(QStringLiteral("failed: (\\d+)")).match(rb.err);
    ASSERT_TRUE(f.hasMatch()) << describe(rb).toStdString();
    EXPECT_LE(f.captured(1).toLong(), long(clean.products.size()) - viewable)
        << describe(rb).toStdString();
}
