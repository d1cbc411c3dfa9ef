// The road of a product end to end on loopback, with the demo marketplace answering at once:
// a keyword search storing 1,000 products (the program's own batch search), the detail
// download of all of them (about three sales-record pages each) with 10 workers, then the
// profiles of their buyers. Prints the jobs per second of each download, the records
// imported per second, and how the CPU time divides between the main program and its
// workers.
#include "core/feedback.h"
#include "db/connection.h"
#include "db/database.h"
#include "download/download_session.h"
#include "market/test_server.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "web/market.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

using namespace quel::download;

double cpuSeconds(int who)
{
    rusage u {};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class QuietFeedback : public quel::core::Feedback
{
public:
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool ask(const QString&) override { return false; }
    void indicatorStart(const QString&, long, long) override { }
    void indicatorStep(long, const QString&) override { }
    void indicatorClose() override { }
    bool isIndicatorOpen() const override { return true; }
};

struct StageResult
{
    bool ok = false;
    double seconds = 0;
    DownloadTotals totals;
    double importSeconds = 0;
    double selfCpu = 0;
    double workerCpu = 0;
};

StageResult runStage(DownloadKind kind, const quel::db::Connection& conn, const QString& folder,
    const QString& worker, int workers)
{
    StageResult r;
    QuietFeedback feedback;
    DownloadSession session(kind, conn);
    if (!session.prepare(DownloadSession::conditionFor(kind, false), feedback))
        return r;
    session.pool().setWorkFolder(folder);
    session.pool().setWorkerProgram(worker);
    session.pool().setMaxWorkers(workers);
    const double self0 = cpuSeconds(RUSAGE_SELF);
    const double children0 = cpuSeconds(RUSAGE_CHILDREN);
    QEventLoop loop;
    QObject::connect(&session, &DownloadSession::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    session.start();
    if (!session.pool().isDone())
        loop.exec();
    r.seconds = double(clock.nsecsElapsed()) / 1e9;
    r.ok = session.pool().isDone();
    r.totals = session.totals();
    r.importSeconds = double(session.pool().importMs()) / 1000.0;
    session.stop(); // reaps the last workers, so their CPU time is counted
    r.selfCpu = cpuSeconds(RUSAGE_SELF) - self0;
    r.workerCpu = cpuSeconds(RUSAGE_CHILDREN) - children0;
    return r;
}

void printStage(const char* name, const StageResult& r)
{
    const double jobs = r.totals.jobs;
    std::printf("%s_jobs: %d jobs\n", name, r.totals.jobs);
    std::printf("%s_failed: %d jobs\n", name, r.totals.failed);
    std::printf("%s_jobs_per_s: %.1f jobs/s\n", name, r.seconds > 0 ? jobs / r.seconds : 0.0);
    std::printf(
        "%s_import_ms_per_job: %.2f ms\n", name, jobs > 0 ? r.importSeconds * 1000 / jobs : 0.0);
    const double cpu = r.selfCpu + r.workerCpu;
    std::printf("%s_main_cpu_share: %.1f %%\n", name, cpu > 0 ? 100.0 * r.selfCpu / cpu : 0.0);
    std::printf("%s_worker_cpu_share: %.1f %%\n", name, cpu > 0 ? 100.0 * r.workerCpu / cpu : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString bin = qEnvironmentVariableIsEmpty("QUELMAR_BIN")
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")
        : qEnvironmentVariable("QUELMAR_BIN");

    quel::market::MarketOptions options = quel::market::MarketOptions::forTests();
    options.products = 1000;
    options.salesMin = 181; // three record pages of 90 at most
    options.salesMax = 270;
    options.logRequests = false;
    quel::market::TestServer market(options);
    if (!market.isRunning()) {
        std::fprintf(stderr, "the demo marketplace did not start\n");
        return 1;
    }
    const QString base = QString::fromStdString(market.baseUrl());
    quel::web::SetMarket(quel::web::MarketAt(base));

    QTemporaryDir dir;
    const QString folder = dir.path();

    // Stage 1: the search, as the program runs it from the command line.
    QElapsedTimer clock;
    clock.start();
    QProcess search;
    search.setStandardOutputFile(QProcess::nullDevice());
    search.setStandardErrorFile(QProcess::nullDevice());
    search.start(bin + QStringLiteral("/quelmar"),
        { QStringLiteral("--data"), folder, QStringLiteral("--market"), base,
            QStringLiteral("--batch"), QStringLiteral("search"),
            QString::fromStdString(quel::market::Fixtures::everyItemKeyword()) });
    if (!search.waitForFinished(600000) || search.exitCode() != 0) {
        std::fprintf(stderr, "the search failed\n");
        return 1;
    }
    const double searchSeconds = double(clock.nsecsElapsed()) / 1e9;

    QString error;
    auto db = quel::store::OpenDatabase(folder + QStringLiteral("/DATA.mdb"),
        QString::fromLatin1(quel::store::kDatabasePassword), &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const quel::db::Connection conn(db);
    std::printf("search_s: %.2f s\n", searchSeconds);

    const QString worker = bin + QStringLiteral("/quelfetch");
    const StageResult details = runStage(DownloadKind::Details, conn, folder, worker,
        DownloadSession::initialWorkers(DownloadKind::Details));
    if (!details.ok) {
        std::fprintf(stderr, "the detail download did not finish\n");
        return 1;
    }
    printStage("details", details);
    std::printf("records_imported: %ld records\n", details.totals.recordsAdded);
    std::printf("records_per_s: %.0f records/s\n",
        details.seconds > 0 ? double(details.totals.recordsAdded) / details.seconds : 0.0);
    std::printf("records_import_only_per_s: %.0f records/s\n",
        details.importSeconds > 0 ? double(details.totals.recordsAdded) / details.importSeconds
                                  : 0.0);
    std::printf("buyers_found: %ld buyers\n", details.totals.buyersAdded);
    // Of the detail import time, the part that recorded the item pages' figures in the history.
    std::printf("history_share: %.1f %%\n",
        details.importSeconds > 0
            ? 100.0 * double(details.totals.historyNs) / 1e9 / details.importSeconds
            : 0.0);

    const StageResult buyers = runStage(DownloadKind::Buyers, conn, folder, worker,
        DownloadSession::initialWorkers(DownloadKind::Buyers));
    if (!buyers.ok) {
        std::fprintf(stderr, "the buyer download did not finish\n");
        return 1;
    }
    printStage("buyers", buyers);
    return 0;
}
