#include "download/batch_download.h"

#include "core/console_feedback.h"
#include "core/exit_codes.h"
#include "db/database.h"
#include "download/market_probe.h"
#include "store/db_operate.h"
#include "web/market.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <cmath>
#include <functional>
#include <optional>

namespace quel::download {

namespace {

// How long the marketplace may take to accept a connection before a run gives up.
constexpr int kMarketProbeMs = 10000;

QString kindName(DownloadKind kind)
{
    return kind == DownloadKind::Details ? QStringLiteral("details") : QStringLiteral("buyers");
}

} // namespace

bool ParseBatchDownloadArguments(
    const QStringList& words, BatchDownloadOptions& options, QString* error, QString* notice)
{
    const QString usage
        = QStringLiteral("usage: quelmar --batch details|buyers [--all] [--workers N] [--rate N]");
    if (words.isEmpty()
        || (words[0] != QLatin1String("details") && words[0] != QLatin1String("buyers"))) {
        if (error)
            *error = usage;
        return false;
    }
    options.kind
        = words[0] == QLatin1String("details") ? DownloadKind::Details : DownloadKind::Buyers;
    for (int i = 1; i < words.size(); ++i) {
        if (words[i] == QLatin1String("--all")) {
            options.all = true;
        } else if (words[i] == QLatin1String("--workers") && i + 1 < words.size()) {
            bool ok = false;
            options.workers = words[++i].toInt(&ok);
            if (!ok || options.workers < 1) {
                if (error)
                    *error
                        = QStringLiteral("--workers takes a whole number of at least 1\n") + usage;
                return false;
            }
            // Every worker is a browser process with a page in memory: more than the limit
            // only takes the desktop down and the marketplace's patience with it.
            if (options.workers > DownloadPool::kWorkerLimit) {
                if (notice)
                    *notice = QStringLiteral("--workers %1: at most %2 workers run at once, "
                                             "using %2")
                                  .arg(options.workers)
                                  .arg(DownloadPool::kWorkerLimit);
                options.workers = DownloadPool::kWorkerLimit;
            }
        } else if (words[i] == QLatin1String("--rate")) {
            bool ok = i + 1 < words.size();
            if (ok)
                options.rate = words[++i].toDouble(&ok);
            if (!ok || !std::isfinite(options.rate) || options.rate <= 0) {
                if (error)
                    *error = QStringLiteral("--rate takes a number of requests per second "
                                            "above 0, e.g. 2 or 0.5\n")
                        + usage;
                return false;
            }
        } else {
            if (error)
                *error = QStringLiteral("unknown option: ") + words[i] + QLatin1Char('\n') + usage;
            return false;
        }
    }
    return true;
}

QString SummaryLine(const DownloadTotals& t)
{
    return QStringLiteral(
        "jobs: %1, succeeded: %2, failed: %3, records added: %4, buyers added: %5")
        .arg(t.jobs)
        .arg(t.succeeded)
        .arg(t.failed)
        .arg(t.recordsAdded)
        .arg(t.buyersAdded);
}

namespace {

// A buyer list left by an earlier run would repeat its buyers and miss every buyer found
// since: each batch run lists the buyers as the stored sales stand now.
bool dropOldBuyerList(const BatchDownloadOptions& options, const db::Connection& conn,
    const QString& name, QTextStream& err)
{
    if (options.kind != DownloadKind::Buyers || !conn.database()
        || !conn.database()->tableColumns(QStringLiteral("TEMP_Customer")))
        return true;
    QString why;
    if (conn.execute(QStringLiteral("DROP TABLE TEMP_Customer"), &why))
        return true;
    err << name << QStringLiteral(": cannot rebuild the buyer list: ") << why << Qt::endl;
    return false;
}

void configurePool(DownloadPool& pool, const BatchDownloadOptions& options,
    const QString& workFolder, core::Feedback& feedback)
{
    pool.setWorkFolder(workFolder);
    pool.setFeedback(&feedback);
    if (!options.workerProgram.isEmpty())
        pool.setWorkerProgram(options.workerProgram);
    if (options.workers > 0)
        pool.setMaxWorkers(options.workers);
    pool.setRateLimit(options.rate);
}

// Whether the run may start: the marketplace answers (when there is work) and no cancel
// came. Otherwise the exit code, said on err.
std::optional<int> refusedStart(const BatchDownloadOptions& options, bool hasWork,
    const QString& name, QTextStream& err, const std::function<bool()>& isCancelled)
{
    if (hasWork) {
        const web::MarketAddresses& market = web::Market();
        const QString base
            = options.kind == DownloadKind::Details ? market.itemBase : market.memberBase;
        QString why;
        if (!MarketAnswers(base, kMarketProbeMs, &why)) {
            err << name << QStringLiteral(": the marketplace does not answer: ") << base
                << QStringLiteral(" (") << why << QStringLiteral("); nothing was downloaded")
                << Qt::endl;
            return isCancelled() ? core::kBatchInterrupted : core::kBatchFatal;
        }
    }
    if (isCancelled()) {
        err << name << QStringLiteral(": interrupted before any job") << Qt::endl;
        return core::kBatchInterrupted;
    }
    return std::nullopt;
}

void printRunStart(const BatchDownloadOptions& options, const DownloadSession& session,
    const DownloadPool& pool, int total, const QString& name, QTextStream& err)
{
    err << name << QStringLiteral(": %1 jobs, %2 workers").arg(total).arg(pool.maxWorkers());
    if (options.rate > 0)
        err << QStringLiteral(", at most %1 requests per second").arg(options.rate);
    err << Qt::endl;
    if (session.sharesJobs())
        err << name
            << QStringLiteral(": shared with the other copies running it on this database "
                              "(a claim lapses after %1 s without its copy)")
                   .arg(session.leaseSeconds())
            << Qt::endl;
}

// A progress line on err whenever a job is harvested, with the reason of a failed one.
void printEachHarvest(
    DownloadSession& session, DownloadPool& pool, int total, const QString& name, QTextStream& err)
{
    const bool shared = session.sharesJobs();
    QObject::connect(&pool, &DownloadPool::rowChanged, &session,
        [&session, &pool, total, shared, name, &err](int index) {
            const DownloadJob& job = pool.jobs()[std::size_t(index)];
            if (job.state != DownloadJob::Harvested)
                return;
            // Shared jobs are claimed as the run goes: what this copy did is all it knows.
            err << name
                << (shared ? QStringLiteral(": %1 done here").arg(pool.finishedJobs())
                           : QStringLiteral(": %1/%2 (%3)")
                                 .arg(pool.finishedJobs())
                                 .arg(total)
                                 .arg(pool.percentText()));
            if (job.failed) {
                QString reason = session.failureReason(index);
                reason.remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), QLatin1Char(' '));
                err << QStringLiteral(" failed ") << job.code
                    << (reason.isEmpty() ? QStringLiteral(": no result")
                                         : QStringLiteral(": ") + reason);
            }
            err << Qt::endl;
        });
}

// Runs the session until it finishes, a worker's failure ends it, or the cancel comes
// (asked ten times a second).
void runUntilDone(
    DownloadSession& session, DownloadPool& pool, const std::function<bool()>& isCancelled)
{
    QEventLoop loop;
    QObject::connect(&session, &DownloadSession::finished, &loop, &QEventLoop::quit);
    QTimer cancelCheck;
    QObject::connect(&cancelCheck, &QTimer::timeout, &loop, [&] {
        if (isCancelled())
            loop.quit();
    });
    cancelCheck.start(100);
    session.start();
    if (!pool.isDone() && pool.fatalError().isEmpty() && !isCancelled())
        loop.exec();
}

// The summary on err and the run's exit code.
int finishRun(const BatchDownloadOptions& options, DownloadSession& session,
    const DownloadPool& pool, const QString& name, QTextStream& err)
{
    if (!pool.fatalError().isEmpty()) {
        // The other workers are ended; the jobs not harvested are left for the next run.
        err << name << QStringLiteral(": ") << pool.fatalError() << Qt::endl;
        return core::kBatchFatal;
    }
    const bool complete = pool.isDone();
    if (!complete) {
        // Our workers end and their files go; what was imported so far stays.
        session.stop();
        err << name << QStringLiteral(": interrupted") << Qt::endl;
    }
    const DownloadTotals totals = session.totals();
    err << name << QStringLiteral(": ") << SummaryLine(totals);
    if (options.kind == DownloadKind::Buyers)
        err << QStringLiteral(", profiles written: ") << totals.profilesWritten;
    err << Qt::endl;
    if (!complete)
        return core::kBatchInterrupted;
    if (!session.claimError().isEmpty()) {
        err << name << QStringLiteral(": the shared jobs could not be claimed: ")
            << session.claimError() << Qt::endl;
        return core::kBatchFatal;
    }
    if (totals.failed > 0) {
        err << name << QStringLiteral(": %1 of %2 jobs failed").arg(totals.failed).arg(totals.jobs)
            << Qt::endl;
        return core::kBatchSomeFailed;
    }
    return core::kBatchOk;
}

} // namespace

int RunBatchDownload(const BatchDownloadOptions& options, const db::Connection& conn,
    const QString& workFolder, QTextStream& err, const std::function<bool()>& cancelled)
{
    const QString name = kindName(options.kind);
    const std::function<bool()> isCancelled = [&cancelled] { return cancelled && cancelled(); };
    // Messages of the job listing go to err; nothing is asked.
    core::ConsoleFeedback feedback(err);
    if (!dropOldBuyerList(options, conn, name, err))
        return core::kBatchFatal;
    DownloadSession session(options.kind, conn);
    // Copies of the program on several machines split the same command's jobs between them.
    QString collection = options.collection;
    if (collection.isEmpty())
        collection = options.all ? name + QStringLiteral(" --all") : name;
    session.shareJobs(collection);
    const QString condition = options.condition
        ? *options.condition
        : DownloadSession::conditionFor(options.kind, options.all);
    if (!session.prepare(condition, feedback))
        return core::kBatchFatal;
    DownloadPool& pool = session.pool();
    configurePool(pool, options, workFolder, feedback);

    const int total = session.listedJobs();
    if (const std::optional<int> refused
        = refusedStart(options, total > 0 || session.sharesJobs(), name, err, isCancelled))
        return *refused;
    printRunStart(options, session, pool, total, name, err);
    printEachHarvest(session, pool, total, name, err);
    runUntilDone(session, pool, isCancelled);
    return finishRun(options, session, pool, name, err);
}

int RunBatchDownloadCommand(
    const QStringList& words, store::DB_Operate& db, const QString& workFolder)
{
    QTextStream err(stderr);
    BatchDownloadOptions options;
    QString error;
    QString notice;
    if (!ParseBatchDownloadArguments(words, options, &error, &notice)) {
        err << error << Qt::endl;
        return core::kBatchUsage;
    }
    if (!notice.isEmpty())
        err << notice << Qt::endl;
    db::Connection conn;
    if (!db.TryOpenConnection(conn, &error)) {
        err << error << Qt::endl;
        return core::kBatchFatal;
    }
    return RunBatchDownload(
        options, conn, workFolder, err, [&db] { return !db.feedback().isIndicatorOpen(); });
}

} // namespace quel::download
