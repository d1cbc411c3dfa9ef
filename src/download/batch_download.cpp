#include "download/batch_download.h"

#include "core/feedback.h"
#include "store/db_operate.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <atomic>
#include <csignal>

namespace quel::download {

namespace {

std::atomic<bool> g_interrupted { false };

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
}

// Messages of the job listing go to standard error; nothing is asked.
class StreamFeedback : public Feedback
{
public:
    explicit StreamFeedback(QTextStream& err)
        : m_err(err)
    { }
    void message(const QString& text) override { m_err << text << Qt::endl; }
    bool ask(const QString&) override { return false; }
    void indicatorStart(const QString&, long, long) override { }
    void indicatorStep(long, const QString&) override { }
    void indicatorClose() override { }
    bool isIndicatorOpen() const override { return true; }

private:
    QTextStream& m_err;
};

QString kindName(DownloadKind kind)
{
    return kind == DownloadKind::Details ? QStringLiteral("details") : QStringLiteral("buyers");
}

} // namespace

bool ParseBatchDownloadArguments(
    const QStringList& words, BatchDownloadOptions& options, QString* error)
{
    const QString usage
        = QStringLiteral("usage: quelmar --batch details|buyers [--all] [--workers N]");
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
            if (!ok || options.workers < 1 || options.workers > 200) {
                if (error)
                    *error = QStringLiteral("--workers takes a number from 1 to 200\n") + usage;
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

int RunBatchDownload(const BatchDownloadOptions& options, const store::Connection& conn,
    const QString& workFolder, QTextStream& err)
{
    StreamFeedback feedback(err);
    DownloadSession session(options.kind, conn);
    if (!session.prepare(DownloadSession::conditionFor(options.kind, options.all), feedback))
        return 1;
    DownloadPool& pool = session.pool();
    pool.setWorkFolder(workFolder);
    if (!options.workerProgram.isEmpty())
        pool.setWorkerProgram(options.workerProgram);
    if (options.workers > 0)
        pool.setMaxWorkers(options.workers);

    const QString name = kindName(options.kind);
    const int total = int(pool.jobs().size());
    err << name << QStringLiteral(": %1 jobs, %2 workers").arg(total).arg(pool.maxWorkers())
        << Qt::endl;
    QObject::connect(&pool, &DownloadPool::rowChanged, &session, [&](int index) {
        const DownloadJob& job = pool.jobs()[std::size_t(index)];
        if (job.state != DownloadJob::Harvested)
            return;
        err << name
            << QStringLiteral(": %1/%2 (%3)")
                   .arg(pool.finishedJobs())
                   .arg(total)
                   .arg(pool.percentText());
        if (job.failed) {
            const QString reason = session.failureReason(index);
            err << QStringLiteral(" failed ") << job.code
                << (reason.isEmpty() ? QStringLiteral(": no result")
                                     : QStringLiteral(": ") + reason);
        }
        err << Qt::endl;
    });

    g_interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    QEventLoop loop;
    QObject::connect(&session, &DownloadSession::finished, &loop, &QEventLoop::quit);
    QTimer interruptCheck;
    QObject::connect(&interruptCheck, &QTimer::timeout, &loop, [&] {
        if (g_interrupted)
            loop.quit();
    });
    interruptCheck.start(100);
    session.start();
    if (!pool.isDone())
        loop.exec();
    std::signal(SIGINT, previous);
    if (!pool.isDone()) {
        session.stop();
        err << name << QStringLiteral(": interrupted") << Qt::endl;
    }
    const DownloadTotals totals = session.totals();
    err << name << QStringLiteral(": ") << SummaryLine(totals);
    if (options.kind == DownloadKind::Buyers)
        err << QStringLiteral(", profiles written: ") << totals.profilesWritten;
    err << Qt::endl;
    return 0;
}

int RunBatchDownloadCommand(
    const QStringList& words, store::DB_Operate& db, const QString& workFolder)
{
    QTextStream err(stderr);
    BatchDownloadOptions options;
    QString error;
    if (!ParseBatchDownloadArguments(words, options, &error)) {
        err << error << Qt::endl;
        return 2;
    }
    store::Connection conn;
    if (!db.OpenConnection(conn))
        return 1;
    return RunBatchDownload(options, conn, workFolder, err);
}

} // namespace quel::download
