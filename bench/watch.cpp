// SPDX-License-Identifier: GPL-3.0-or-later
// The watch run: "quelmar --batch watch" over 2,000 followed products (argument --products:
// another count) on the demo marketplace, a first run on the 7th that takes the baseline and
// a second on the 10th that finds the changes; the digest's share of the second run's time.
// Then the digest on the large generated database (a year of a busy category, 200,000
// products with a year of weekly price history, every one in a followed category): the first
// digest, which takes every baseline, and the next one, with a tenth of the prices and a fifth of
// the sales changed, in processor time. "--divisor N" makes the large database 1/N of the full
// size; "--no-run" and "--no-scale" leave out one half.
#include "db/connection.h"
#include "db/database.h"
#include "market/civil_time.h"
#include "market/test_server.h"
#include "scale_generator.h"
#include "store/change_digest.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/schema.h"
#include "store/watch_list.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

const QString kPassword = QString::fromLatin1(quel::store::kDatabasePassword);

double cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

quel::market::MarketOptions marketOn(int day, int products)
{
    quel::market::MarketOptions o = quel::market::MarketOptions::forTests();
    o.products = products;
    o.salesMax = 90;
    o.now = quel::market::toSeconds(2026, 12, day, 12, 0, 0);
    o.logRequests = false;
    return o;
}

// The data folder's database with the market's first products, all followed.
bool prepareFolder(const QString& folder, const QString& bin, int products)
{
    QDir().mkpath(folder);
    QFile::copy(bin + QStringLiteral("/Null_Data.mdb"), folder + QStringLiteral("/DATA.mdb"));
    QString error;
    auto db = quel::store::OpenDatabase(folder + QStringLiteral("/DATA.mdb"), kPassword, &error);
    if (!db) {
        std::fprintf(stderr, "watch: %s\n", qPrintable(error));
        return false;
    }
    quel::market::TestServer market(marketOn(7, products + products / 10));
    quel::db::Connection conn(db);
    quel::db::Transaction tx = conn.transaction();
    quel::db::Statement add = db->prepare(
        QStringLiteral("INSERT INTO 产品表(ID,PCode,PName,SName) VALUES(?,?,?,'店')"), &error);
    const QDateTime since(QDate(2026, 12, 1), QTime(8, 0));
    // Items that cannot be viewed fail on every run; the market has some 1 % of them.
    int listed = 0;
    for (std::size_t i = 0; add && listed < products && i < market.catalogue().products().size();
         ++i) {
        const auto& item = market.catalogue().products()[i];
        if (!item.viewable)
            continue;
        ++listed;
        add.reset();
        add.bindInt64(1, listed);
        add.bindText(2, QString::fromStdString(item.code));
        add.bindText(3, QString::fromStdString(item.title));
        if (!add.run()
            || quel::store::Follow(
                   conn, quel::store::WatchKind::Product, QString::number(listed), since)
                != quel::store::FollowOutcome::Added) {
            std::fprintf(stderr, "watch: cannot list product %d\n", listed);
            return false;
        }
    }
    return tx.commit();
}

struct RunTimes
{
    double collectMs = -1;
    double digestMs = -1;
    int changes = -1;
};

RunTimes watchRun(const QString& bin, const QString& folder, int day, int products)
{
    quel::market::TestServer market(marketOn(day, products + products / 10));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUELMAR_TODAY"),
        QStringLiteral("2026-12-%1").arg(day, 2, 10, QLatin1Char('0')));
    p.setProcessEnvironment(env);
    p.start(bin + QStringLiteral("/quelmar"),
        { QStringLiteral("--data"), folder, QStringLiteral("--market"),
            QString::fromStdString(market.baseUrl()), QStringLiteral("--batch"),
            QStringLiteral("watch"), QStringLiteral("--workers"), QStringLiteral("10") });
    RunTimes t;
    if (!p.waitForFinished(1800000) || p.exitCode() != 0) {
        std::fprintf(stderr, "watch: the run on the %d. failed (%d):\n%s\n", day, p.exitCode(),
            p.readAllStandardError().right(2000).constData());
        return t;
    }
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const auto times
        = QRegularExpression(QStringLiteral("collect_ms (\\d+), digest_ms (\\d+)")).match(err);
    const auto count = QRegularExpression(QStringLiteral("：(\\d+) 项变化")).match(err);
    if (times.hasMatch()) {
        t.collectMs = times.captured(1).toDouble();
        t.digestMs = times.captured(2).toDouble();
    }
    if (count.hasMatch())
        t.changes = count.captured(1).toInt();
    return t;
}

int benchRun(const QString& bin, int products)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("data"));
    if (!prepareFolder(folder, bin, products))
        return 1;
    const RunTimes first = watchRun(bin, folder, 7, products);
    const RunTimes second = watchRun(bin, folder, 10, products);
    if (first.collectMs < 0 || second.collectMs < 0)
        return 1;
    const double total = second.collectMs + second.digestMs;
    std::printf("watch_products: %d products\n", products);
    std::printf("watch_first_run: %.0f ms\n", first.collectMs + first.digestMs);
    std::printf("watch_run: %.0f ms\n", total);
    std::printf("watch_changes: %d changes\n", second.changes);
    std::printf("watch_digest: %.0f ms\n", second.digestMs);
    std::printf("watch_digest_share: %.2f %%\n", 100.0 * second.digestMs / total);
    return 0;
}

bool exec(quel::db::Database& db, const QString& sql)
{
    QString error;
    if (!db.executeNative(sql, &error)) {
        std::fprintf(stderr, "watch: %s: %s\n", qPrintable(sql), qPrintable(error));
        return false;
    }
    return true;
}

int benchScale(long long divisor)
{
    using quel::bench::ScaleSize;
    ScaleSize size = divisor > 1 ? ScaleSize::fraction(divisor) : ScaleSize::full();
    // A year of weekly looks at every product, as a watch list leaves them.
    size.historyWeeks = 52;
    const QString cache
        = QCoreApplication::applicationDirPath() + QStringLiteral("/../scale-cache");
    QString error;
    const QString cached = quel::bench::cachedScaleDatabase(cache, size, &error,
        [](const QString& text) { std::fprintf(stderr, "generating: %s\n", qPrintable(text)); });
    if (cached.isEmpty()) {
        std::fprintf(stderr, "watch: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir dir(cache + QStringLiteral("/watch-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("DATA.mdb"));
    if (!QFile::copy(cached, path)) {
        std::fprintf(stderr, "watch: cannot copy %s\n", qPrintable(cached));
        return 1;
    }
    auto db = quel::store::DatabasePool::shared().acquire(path, &error);
    if (!db) {
        std::fprintf(stderr, "watch: %s\n", qPrintable(error));
        return 1;
    }
    quel::db::Connection conn(db);
    // Every category of the database followed, as of before the first run.
    if (!exec(
            *db, QStringLiteral("INSERT INTO 关键词(Cls,Con) SELECT DISTINCT 0,KWord FROM 产品表"))
        || !exec(*db,
            QStringLiteral("INSERT INTO 关注表(Kind,Val,PID,Since) SELECT DISTINCT 'category',"
                           "KWord,0,'2026-03-01 08:00:00' FROM 产品表")))
        return 1;
    const QDate day1(2026, 3, 2);
    quel::store::WatchRunScope scope;
    scope.started = QDateTime(day1, QTime(6, 0));
    scope.day = day1;
    // The first run's search listed every product, its details came for a fifth.
    if (!exec(*db, QStringLiteral("UPDATE 产品表 SET Dat='2026-3-2 6:30:00'"))
        || !exec(*db, QStringLiteral("UPDATE 产品表 SET dDat='2026-03-02 07:00:00' WHERE ID%5=0")))
        return 1;
    const auto categories = [&] {
        quel::db::Statement st = db->prepare(QStringLiteral("SELECT Val FROM 关注表"), nullptr);
        while (st && st.step() == quel::db::StepResult::Row)
            scope.completeCategories.insert(st.text(0));
    };
    categories();
    double start = cpuMs();
    quel::store::DigestOutcome out = quel::store::ComputeDigest(conn, scope);
    const double firstMs = cpuMs() - start;
    if (!out.ok) {
        std::fprintf(stderr, "watch: %s\n", qPrintable(out.error));
        return 1;
    }
    // The next day: a tenth of the prices down 8 %, a fifth of the products downloaded again
    // with their sales doubled, every product listed but one in a hundred.
    const QDate day2(2026, 3, 3);
    if (!exec(*db, QStringLiteral("UPDATE 产品表 SET Price=ROUND(Price*0.92,2) WHERE ID%10=3"))
        || !exec(*db, QStringLiteral("UPDATE 产品表 SET Dat='2026-3-3 6:30:00' WHERE ID%100<>1"))
        || !exec(*db,
            QStringLiteral(
                "UPDATE 产品表 SET dDat='2026-03-03 07:00:00',Num9=Num9*2+5 WHERE ID%5=0")))
        return 1;
    scope.started = QDateTime(day2, QTime(6, 0));
    scope.day = day2;
    start = cpuMs();
    out = quel::store::ComputeDigest(conn, scope);
    const double nextMs = cpuMs() - start;
    if (!out.ok) {
        std::fprintf(stderr, "watch: %s\n", qPrintable(out.error));
        return 1;
    }
    qint64 products = 0;
    {
        quel::db::Statement st
            = db->prepare(QStringLiteral("SELECT COUNT(*) FROM 产品表"), nullptr);
        if (st && st.step() == quel::db::StepResult::Row)
            products = st.int64(0);
    }
    qint64 history = 0;
    {
        quel::db::Statement st
            = db->prepare(QStringLiteral("SELECT COUNT(*) FROM 价格历史"), nullptr);
        if (st && st.step() == quel::db::StepResult::Row)
            history = st.int64(0);
    }
    std::printf("watch_scale_products: %lld products\n", static_cast<long long>(products));
    std::printf("watch_scale_history: %lld rows\n", static_cast<long long>(history));
    std::printf("watch_scale_first_digest: %.1f ms\n", firstMs);
    std::printf("watch_scale_digest: %.1f ms\n", nextMs);
    std::printf("watch_scale_changes: %lld changes\n", static_cast<long long>(out.changes.size()));
    db.reset();
    quel::store::DatabasePool::shared().releaseAll();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int products = 2000;
    long long divisor = 1;
    bool run = true;
    bool scale = true;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--products") && i + 1 < args.size())
            products = args[++i].toInt();
        else if (args[i] == QLatin1String("--divisor") && i + 1 < args.size())
            divisor = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--no-run"))
            run = false;
        else if (args[i] == QLatin1String("--no-scale"))
            scale = false;
    }
    const QString bin
        = qEnvironmentVariable("QUELMAR_BIN", app.applicationDirPath() + QStringLiteral("/../bin"));
    if (run && benchRun(bin, products) != 0)
        return 1;
    if (scale && benchScale(divisor) != 0)
        return 1;
    return 0;
}
