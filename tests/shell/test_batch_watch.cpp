// SPDX-License-Identifier: GPL-3.0-or-later
// The watch commands through the built program against the demo marketplace on several days
// (--now of the marketplace, QUELMAR_TODAY of the program): following, a first run that
// only takes the baseline, a run days later whose price changes agree with the recorded price
// history, a second run on the same day, a run that fails part way, and the digest files.
#include "core/feedback.h"
#include "db/database.h"
#include "db/recordset.h"
#include "market/civil_time.h"
#include "market/test_server.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using quel::market::MarketOptions;
using quel::market::TestServer;

MarketOptions marketOn(int day, double failRate = 0)
{
    MarketOptions o = MarketOptions::forTests();
    o.products = 240;
    o.salesMax = 40;
    o.buyers = 300;
    o.now = quel::market::toSeconds(2026, 12, day, 12, 0, 0);
    o.failRate = failRate;
    o.logRequests = false;
    return o;
}

class BatchWatchTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_batch_watch";
        static char* argv[] = { name, nullptr };
        static QCoreApplication app(argc, argv);
    }

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(quel::store::initialiseDataFolder(m_dir.path(), quel::test::binDir(), &error))
            << error.toStdString();
        m_keyword = QString::fromStdString(TestServer(marketOn(7)).fixtures().onePageKeyword());
        ASSERT_FALSE(m_keyword.isEmpty());
        sql(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(0,'%1')").arg(m_keyword));
    }

    struct Result
    {
        int code = -1;
        QString err;
    };

    Result run(const QStringList& words, const QString& market = {}, const QString& today = {})
    {
        quel::store::DatabasePool::shared().releaseAll();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QUELFETCH_PROGRAM"));
        env.insert(QStringLiteral("QUELFETCH_RETRY_BASE_MS"), QStringLiteral("20"));
        if (!today.isEmpty())
            env.insert(QStringLiteral("QUELMAR_TODAY"), today);
        p.setProcessEnvironment(env);
        QStringList args { QStringLiteral("--data"), m_dir.path() };
        if (!market.isEmpty())
            args << QStringLiteral("--market") << market;
        p.start(quel::test::binDir() + QStringLiteral("/quelmar"),
            args + QStringList { QStringLiteral("--batch") } + words);
        Result r;
        if (!p.waitForFinished(240000)) {
            p.kill();
            p.waitForFinished(5000);
            r.err = QStringLiteral("timed out");
            return r;
        }
        r.code = p.exitCode();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    Result watch(int day, const QStringList& extra = {}, double failRate = 0)
    {
        TestServer market(marketOn(day, failRate));
        EXPECT_TRUE(market.isRunning());
        return run(QStringList { QStringLiteral("watch"), QStringLiteral("--workers"),
                       QStringLiteral("4") }
                + extra,
            QString::fromStdString(market.baseUrl()),
            QStringLiteral("2026-12-%1").arg(day, 2, 10, QLatin1Char('0')));
    }

    // Rows of a query, fields joined by "|".
    QStringList rows(const QString& query)
    {
        quel::store::Catalogue catalogue(m_dir.path());
        catalogue.LoadCurrentDatabase();
        quel::core::SilentFeedback feedback;
        quel::store::DB_Operate db(catalogue, feedback);
        quel::db::Connection conn;
        EXPECT_TRUE(db.OpenConnection(conn));
        quel::db::Recordset rs;
        QString error;
        EXPECT_TRUE(rs.open(conn.shared(), query, &error)) << error.toStdString();
        QStringList out;
        for (; rs.isOpen() && !rs.eof(); rs.moveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields << rs.value(i).toString();
            out << fields.join(u'|');
        }
        quel::store::DatabasePool::shared().releaseAll();
        return out;
    }
    void sql(const QString& statement)
    {
        quel::store::Catalogue catalogue(m_dir.path());
        catalogue.LoadCurrentDatabase();
        quel::core::SilentFeedback feedback;
        quel::store::DB_Operate db(catalogue, feedback);
        EXPECT_TRUE(db.ExecuteSql(statement)) << statement.toStdString();
        quel::store::DatabasePool::shared().releaseAll();
    }
    QStringList csvLines(const QString& name)
    {
        const QByteArray bytes = m_dir.read(name);
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "UTF-8 with a byte-order mark";
        return QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    quel::test::TempDir m_dir;
    QString m_keyword;
};

} // namespace

TEST_F(BatchWatchTest, FollowTakesStoredValuesOnly)
{
    EXPECT_EQ(run({ "follow", "category", "没有这个词" }).code, 1);
    EXPECT_EQ(run({ "follow", "product", "12345" }).code, 1);
    EXPECT_EQ(run({ "follow", "shop", "没有这个店" }).code, 1);
    EXPECT_EQ(run({ "follow", "brand", "x" }).code, 2);
    EXPECT_EQ(run({ "follow", "category" }).code, 2);
    EXPECT_EQ(run({ "follow", "category", m_keyword }).code, 0);
    EXPECT_EQ(run({ "follow", "category", m_keyword }).code, 0) << "already followed";
    EXPECT_EQ(rows("SELECT Kind,Val FROM 关注表"), QStringList { "category|" + m_keyword });
    EXPECT_EQ(run({ "unfollow", "category", m_keyword }).code, 0);
    EXPECT_TRUE(rows("SELECT Kind FROM 关注表").isEmpty());
    EXPECT_EQ(run({ "unfollow", "category", "没有这个词" }).code, 1);
    EXPECT_EQ(run({ "watch", "--threshold", "-1" }).code, 2);
    EXPECT_EQ(run({ "watch", "--out", "digest.txt" }).code, 2);
}

TEST_F(BatchWatchTest, DaysApartTheDigestNamesThePriceChangesTheHistoryShows)
{
    ASSERT_EQ(run({ "follow", "category", m_keyword }).code, 0);
    Result r = watch(7);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("首次关注运行"))) << r.err.toStdString();
    const QStringList listed = rows("SELECT ID FROM 产品表");
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM 关注快照"), QStringList { QString::number(listed.size()) })
        << "every listed product has its baseline";
    EXPECT_EQ(rows("SELECT COUNT(*) FROM 产品表 WHERE Style=''"), QStringList { "0" })
        << "the details of every product new to the category were downloaded";

    // Three days later, with a threshold of 3 %, followed shop and product added.
    const QString shop = rows("SELECT SName FROM 产品表 ORDER BY ID").first();
    ASSERT_EQ(run({ "follow", "shop", shop }).code, 0);
    ASSERT_EQ(run({ "follow", "product", listed.first() }).code, 0);
    r = watch(10, { "--threshold", "3", "--out", m_dir.file("digest.csv") });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    // What the price history recorded on the two days decides which prices changed.
    QSet<QString> expected;
    for (const QString& row :
        rows("SELECT A.PID,A.Price,B.Price FROM 价格历史 AS A,价格历史 AS B WHERE A.PID=B.PID "
             "AND A.Dat=#2026-12-7# AND B.Dat=#2026-12-10#")) {
        const QStringList f = row.split(u'|');
        const double before = f[1].toDouble();
        const double after = f[2].toDouble();
        if (before > 0 && std::abs(std::round((after - before) / before * 10000) / 100) >= 3)
            expected.insert(f[0]);
    }
    ASSERT_FALSE(expected.isEmpty()) << "the market moves some prices over three days";
    const QStringList lines = csvLines("digest.csv");
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "kind,product_id,shop,name,old,new,change_pct");
    QSet<QString> found;
    for (const QString& line : lines.mid(1)) {
        if (line.startsWith("price,"))
            found.insert(line.section(u',', 1, 1));
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM 变化记录 WHERE Kind='price'"),
        QStringList { QString::number(expected.size()) });

    // A second run the same day finds nothing new; the HTML page says so.
    r = watch(10, { "--threshold", "3", "--out", m_dir.file("digest.html") });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString page = QString::fromUtf8(m_dir.read("digest.html"));
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html>"));
    EXPECT_TRUE(page.contains(QStringLiteral("共 0 项变化"))) << page.toStdString();
    EXPECT_FALSE(page.contains("<script")) << "self-contained";
    EXPECT_EQ(rows("SELECT COUNT(*) FROM 变化记录 WHERE Kind='price'"),
        QStringList { QString::number(expected.size()) });
    EXPECT_EQ(rows("SELECT COUNT(*) FROM 关注运行"), QStringList { "3" });
}

TEST_F(BatchWatchTest, AFailedRunKeepsTheBaselineOfWhatItDidNotReach)
{
    ASSERT_EQ(run({ "follow", "category", m_keyword }).code, 0);
    ASSERT_EQ(watch(7).code, 0);

    // Two of the listed items: A moves its price by at least 5 % between the 7th and the 10th.
    TestServer day7(marketOn(7));
    TestServer day10(marketOn(10));
    QString idA;
    QString idB;
    std::string codeA;
    for (const QString& row : rows("SELECT ID,PCode FROM 产品表 ORDER BY ID")) {
        const std::string code = row.section(u'|', 1).toStdString();
        const quel::market::Product* p = day7.catalogue().findProduct(code);
        if (!p || code.find('-') != std::string::npos)
            continue;
        const int i = int(p - day7.catalogue().products().data());
        const double before = day7.catalogue().priceNow(i);
        const double after = day10.catalogue().priceNow(i);
        if (idA.isEmpty() && before > 0 && std::abs(after - before) >= 0.05 * before) {
            idA = row.section(u'|', 0, 0);
            codeA = code;
        } else if (idB.isEmpty()) {
            idB = row.section(u'|', 0, 0);
        }
    }
    if (idA.isEmpty() || idB.isEmpty())
        GTEST_SKIP() << "no listed item moved its price over the three days";
    const QStringList baselineA = rows("SELECT Price,Seen FROM 关注快照 WHERE PID=" + idA);
    ASSERT_EQ(run({ "unfollow", "category", m_keyword }).code, 0);
    ASSERT_EQ(run({ "follow", "product", idA }).code, 0);
    ASSERT_EQ(run({ "follow", "product", idB }).code, 0);

    // Nothing answers at all: no run is recorded.
    Result r = run({ "watch" }, "http://127.0.0.1:9", "2026-12-08");
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_EQ(rows("SELECT COUNT(*) FROM 关注运行"), QStringList { "1" });

    // A's item page fails on every try: the run exits 3 and A keeps its baseline of the 7th.
    MarketOptions failing = marketOn(10);
    failing.scriptedFaults.push_back(
        { "/item.htm?id=" + codeA, -1, quel::market::Fault::ServerError });
    {
        TestServer market(failing);
        r = run({ "watch", "--threshold", "5" }, QString::fromStdString(market.baseUrl()),
            "2026-12-10");
    }
    EXPECT_EQ(r.code, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("failed")) << r.err.toStdString();
    EXPECT_EQ(rows("SELECT Failed FROM 关注运行 ORDER BY ID"), (QStringList { "0", "1" }));
    EXPECT_EQ(rows("SELECT Price,Seen FROM 关注快照 WHERE PID=" + idA), baselineA);
    EXPECT_TRUE(rows("SELECT PID FROM 变化记录 WHERE PID=" + idA).isEmpty());

    // The next run reaches A: its change is counted from the 7th.
    r = watch(10, { "--threshold", "5", "--out", m_dir.file("after.csv") });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString oldPrice = baselineA.value(0).section(u'|', 0, 0);
    bool seen = false;
    for (const QString& line : csvLines("after.csv")) {
        if (line.startsWith("price," + idA + ",")) {
            seen = true;
            EXPECT_EQ(line.section(u',', 4, 4).toDouble(), oldPrice.toDouble())
                << line.toStdString();
        }
    }
    EXPECT_TRUE(seen) << r.err.toStdString();
}

// Two machines run the same watch on one team database at once: the detail jobs are split
// between them, no product is downloaded twice, and the digests do not repeat a change.
TEST_F(BatchWatchTest, TwoCopiesShareOneRunOnATeamDatabase)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    QString error;
    const auto server = quel::test::PgTestDatabase::create(&error);
    ASSERT_TRUE(server) << error.toStdString();
    const QString address = server->address();
    {
        auto db = quel::store::OpenDatabase(address, {}, &error);
        ASSERT_TRUE(db) << error.toStdString();
        ASSERT_TRUE(db->execute(
            QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(0,'%1')").arg(m_keyword), &error))
            << error.toStdString();
    }
    // Each copy as a process of its own, with --db before --batch.
    const auto teamRun = [&](const QStringList& words, const QString& market, int day) {
        quel::store::DatabasePool::shared().releaseAll();
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QUELFETCH_PROGRAM"));
        env.insert(QStringLiteral("QUELMAR_TODAY"),
            QStringLiteral("2026-12-%1").arg(day, 2, 10, QLatin1Char('0')));
        p->setProcessEnvironment(env);
        QStringList args { QStringLiteral("--data"), m_dir.path(), QStringLiteral("--db"),
            address };
        if (!market.isEmpty())
            args << QStringLiteral("--market") << market;
        p->start(quel::test::binDir() + QStringLiteral("/quelmar"),
            args + QStringList { QStringLiteral("--batch") } + words);
        return p;
    };
    const auto finish = [](QProcess& p) {
        Result out;
        if (p.waitForFinished(240000))
            out.code = p.exitCode();
        out.err = QString::fromUtf8(p.readAllStandardError());
        return out;
    };
    {
        auto follow = teamRun({ "follow", "category", m_keyword }, {}, 7);
        ASSERT_EQ(finish(*follow).code, 0);
    }
    {
        TestServer market(marketOn(7));
        auto first
            = teamRun({ "watch", "--workers", "2" }, QString::fromStdString(market.baseUrl()), 7);
        auto second
            = teamRun({ "watch", "--workers", "2" }, QString::fromStdString(market.baseUrl()), 7);
        const Result a = finish(*first);
        const Result b = finish(*second);
        EXPECT_EQ(a.code, 0) << a.err.toStdString();
        EXPECT_EQ(b.code, 0) << b.err.toStdString();
    }
    {
        TestServer market(marketOn(10));
        auto first = teamRun({ "watch", "--workers", "2", "--threshold", "1" },
            QString::fromStdString(market.baseUrl()), 10);
        auto second = teamRun({ "watch", "--workers", "2", "--threshold", "1" },
            QString::fromStdString(market.baseUrl()), 10);
        const Result a = finish(*first);
        const Result b = finish(*second);
        EXPECT_EQ(a.code, 0) << a.err.toStdString();
        EXPECT_EQ(b.code, 0) << b.err.toStdString();
    }
    auto db = quel::store::OpenDatabase(address, {}, &error);
    ASSERT_TRUE(db) << error.toStdString();
    const auto scalar = [&](const char* sql) {
        quel::db::Statement st = db->prepare(QString::fromUtf8(sql), &error);
        return st && st.step() == quel::db::StepResult::Row ? st.int64(0) : -1;
    };
    EXPECT_GT(scalar("SELECT COUNT(*) FROM 产品表"), 0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM (SELECT PCode FROM 产品表 GROUP BY PCode HAVING "
                     "COUNT(*)>1) AS D"),
        0)
        << "the copies searched one after the other";
    // (A search found again resets a product's Style, but not its download date.)
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM 产品表 WHERE dDat<'2000-01-01 00:00:00'"), 0)
        << "every detail came";
    EXPECT_EQ(
        scalar("SELECT COUNT(*) FROM (SELECT PID,Dat,Buyer FROM 交易表 GROUP BY PID,Dat,Buyer "
               "HAVING COUNT(*)>1) AS D"),
        0)
        << "no product's sales were imported twice";
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM (SELECT Kind,PID FROM 变化记录 GROUP BY Kind,PID "
                     "HAVING COUNT(*)>1) AS D"),
        0)
        << "no change recorded by both copies";
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM 关注快照"), scalar("SELECT COUNT(*) FROM 产品表"));
    EXPECT_GT(scalar("SELECT COUNT(*) FROM 变化记录 WHERE Kind='price'"), 0);
}
