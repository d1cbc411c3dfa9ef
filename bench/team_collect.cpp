// A team's collection on one machine: the detail download of 2,000 products (argument: another
// count) from the demo marketplace into a database on a throw-away PostgreSQL server, once by
// one process with 10 workers and once by two processes with 5 workers each sharing the jobs.
// Prints the jobs per second of both and their ratio, and the import rate of as many product
// results (90 trades each) into the server against the local encrypted file. "--import"
// prints the import figures alone.
#include "db/connection.h"
#include "db/database.h"
#include "download/product_import.h"
#include "market/test_server.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString kPassword = QString::fromLatin1(quel::store::kDatabasePassword);

// The throw-away cluster of the tests, stopped (and its folder deleted) when this goes.
class Cluster
{
public:
    explicit Cluster(const QString& script)
        : m_script(script)
    {
        m_dir = QDir::tempPath() + QStringLiteral("/quelmar_team_bench_")
            + QString::number(QCoreApplication::applicationPid());
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(QStringLiteral("bash"), { m_script, QStringLiteral("start"), m_dir });
        p.waitForFinished(120000);
        QFile file(m_dir + QStringLiteral("/address"));
        if (file.open(QIODevice::ReadOnly))
            m_address = QString::fromUtf8(file.readAll()).trimmed();
    }
    ~Cluster()
    {
        QProcess p;
        p.start(QStringLiteral("bash"), { m_script, QStringLiteral("stop"), m_dir });
        p.waitForFinished(120000);
    }
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    // The test database's address, empty without a server.
    QString address() const { return m_address; }
    // A new empty database on the server.
    QString create(const QString& name) const
    {
        QString error;
        auto admin = quel::store::OpenDatabase(m_address, kPassword, &error);
        if (!admin || !admin->executeNative(QStringLiteral("CREATE DATABASE ") + name, &error)) {
            std::fprintf(stderr, "cannot create %s: %s\n", qPrintable(name), qPrintable(error));
            return {};
        }
        QString address = m_address;
        return address.replace(QStringLiteral("/quelmar_test"), QLatin1Char('/') + name);
    }

private:
    QString m_script;
    QString m_dir;
    QString m_address;
};

bool listProducts(const QString& address, const quel::market::TestServer& market, int products)
{
    QString error;
    auto db = quel::store::OpenDatabase(address, kPassword, &error, true);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    if (!db->tableColumns(QStringLiteral("产品表")) && !quel::store::createSchema(*db, &error))
        return false;
    quel::db::Statement add = db->prepare(
        QStringLiteral("INSERT INTO 产品表(PCode,PName,Style,dDat) VALUES(?,?,'','1900-01-01')"),
        &error);
    quel::db::Transaction tx(db);
    for (int i = 0; add && i < products; ++i) {
        const auto& item = market.catalogue().products()[std::size_t(i)];
        add.reset();
        add.bindText(1, QString::fromStdString(item.code));
        add.bindText(2, QString::fromStdString(item.title));
        if (!add.run()) {
            std::fprintf(stderr, "%s\n", qPrintable(add.errorText()));
            return false;
        }
    }
    return tx.commit();
}

// Runs copies of "quelmar --batch details --workers N" at once; seconds until the last ends,
// or -1 when one failed.
double collect(
    const QString& bin, const QString& address, const QString& market, int copies, int workers)
{
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    std::vector<std::unique_ptr<QProcess>> runs;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < copies; ++i) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        auto p = std::make_unique<QProcess>();
        p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(folders.back()->filePath(QStringLiteral("err.txt")));
        p->start(bin + QStringLiteral("/quelmar"),
            { QStringLiteral("--data"), folders.back()->path(), QStringLiteral("--db"), address,
                QStringLiteral("--market"), market, QStringLiteral("--batch"),
                QStringLiteral("details"), QStringLiteral("--workers"), QString::number(workers) });
        runs.push_back(std::move(p));
    }
    bool ok = true;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        runs[i]->waitForFinished(-1);
        // Items the marketplace does not show fail in every run: 3 is expected then.
        if (runs[i]->exitCode() != 0 && runs[i]->exitCode() != 3) {
            QFile err(folders[i]->filePath(QStringLiteral("err.txt")));
            err.open(QIODevice::ReadOnly);
            std::fprintf(stderr, "copy %zu: exit %d\n%s\n", i, runs[i]->exitCode(),
                err.readAll().right(2000).constData());
            ok = false;
        }
    }
    return ok ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

// Records per second of importing the same product results into a fresh database.
double importRate(const QString& pathOrAddress, const QStringList& results)
{
    QString error;
    auto db = quel::store::OpenDatabase(pathOrAddress, kPassword, &error, true);
    if (!db
        || (!db->tableColumns(QStringLiteral("产品表"))
            && !quel::store::createSchema(*db, &error))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 0;
    }
    quel::db::Connection conn(db);
    for (int i = 0; i < results.size(); ++i)
        conn.execute(QStringLiteral("INSERT INTO 产品表(PCode,Style) VALUES('p%1','')").arg(i));
    quel::download::KnownBuyerCodes known;
    known.load(conn);
    quel::download::ImportCounts counts;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < results.size(); ++i) {
        if (!quel::download::ImportProductResult(
                conn, i + 1, results[i], known, &counts, &error, QDate(2026, 12, 7))) {
            std::fprintf(stderr, "import: %s\n", qPrintable(error));
            return 0;
        }
    }
    return double(counts.records) / (double(clock.nsecsElapsed()) / 1e9);
}

QStringList syntheticResults(int products, int records)
{
    const QString s = QStringLiteral("〗★〖");
    QStringList results;
    for (int p = 0; p < products; ++p) {
        QStringList lines { QStringList { "25", "90", "12", "全新", "300", "40", "12.5" }.join(s) };
        for (int r = 0; r < records; ++r)
            lines << QStringList { "9.5", "1",
                QStringLiteral("2026-11-%1 %2:00:00").arg(1 + r % 28).arg(r % 24),
                QStringLiteral("c%1").arg((p * 31 + r) % 5000), QStringLiteral("买家%1").arg(r) }
                         .join(s);
        results << lines.join(QStringLiteral("\r\n"));
    }
    return results;
}

// Details the products once by one process with ten workers and once by two with five each;
// prints both rates and their ratio.
bool collectFigures(const QString& bin, const Cluster& cluster, int products)
{
    quel::market::MarketOptions options = quel::market::MarketOptions::forTests();
    options.products = products;
    options.salesMax = 90; // one record page
    options.logRequests = false;
    quel::market::TestServer market(options);
    if (!market.isRunning()) {
        std::fprintf(stderr, "the demo marketplace did not start\n");
        return false;
    }
    const QString base = QString::fromStdString(market.baseUrl());

    const QString one = cluster.create(QStringLiteral("team_one"));
    const QString two = cluster.create(QStringLiteral("team_two"));
    if (one.isEmpty() || two.isEmpty() || !listProducts(one, market, products)
        || !listProducts(two, market, products))
        return false;
    const double oneSeconds = collect(bin, one, base, 1, 10);
    const double twoSeconds = collect(bin, two, base, 2, 5);
    if (oneSeconds <= 0 || twoSeconds <= 0)
        return false;
    std::printf("team_collect_one_process: %.1f jobs/s\n", products / oneSeconds);
    std::printf("team_collect_two_processes: %.1f jobs/s\n", products / twoSeconds);
    std::printf("team_collect_ratio: %.2f x\n", oneSeconds / twoSeconds);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool importOnly = args.removeAll(QStringLiteral("--import")) > 0;
    const int products = args.isEmpty() ? 2000 : std::max(10, args.first().toInt());
    const QString bin = qEnvironmentVariableIsEmpty("QUELMAR_BIN")
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")
        : qEnvironmentVariable("QUELMAR_BIN");
    Cluster cluster(QStringLiteral(QUEL_SOURCE_DIR "/tests/support/pg_cluster"));
    if (cluster.address().isEmpty()) {
        std::fprintf(stderr, "no PostgreSQL server could be started\n");
        return 1;
    }
    if (!importOnly && !collectFigures(bin, cluster, products))
        return 1;

    const QStringList results = syntheticResults(products, 90);
    QTemporaryDir local;
    const double localRate = importRate(local.filePath(QStringLiteral("DATA.mdb")), results);
    const double serverRate = importRate(cluster.create(QStringLiteral("team_import")), results);
    std::printf("team_import_local: %.0f records/s\n", localRate);
    std::printf("team_import_server: %.0f records/s\n", serverRate);
    std::printf(
        "team_import_server_vs_local: %.2f x\n", localRate > 0 ? serverRate / localRate : 0.0);
    return 0;
}
