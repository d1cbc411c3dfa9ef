#include "download/download_pool.h"

#include "core/text_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <cmath>

namespace quel::download {

namespace {

// QProcess objects are deleted through the event loop: a worker is often released from
// inside one of its own signals.
struct DeleteLater
{
    void operator()(QProcess* p) const
    {
        if (p)
            p->deleteLater();
    }
};

const QString kArgumentSeparator = QStringLiteral("‖");

} // namespace

struct DownloadPool::Worker
{
    std::unique_ptr<QProcess, DeleteLater> process;
    QElapsedTimer age;
};

DownloadPool::DownloadPool(std::vector<DownloadJob> jobs, int mode, QObject* parent)
    : QObject(parent)
    , m_jobs(std::move(jobs))
    , m_mode(mode)
    , m_workFolder(QDir::currentPath())
    , m_workerProgram(defaultWorkerProgram())
{
    m_workers.resize(m_jobs.size());
    m_startDown.setInterval(100);
    m_saveDown.setInterval(100);
    connect(&m_startDown, &QTimer::timeout, this, &DownloadPool::startDownTick);
    connect(&m_saveDown, &QTimer::timeout, this, &DownloadPool::saveDownTick);
}

DownloadPool::~DownloadPool()
{
    stop();
}

QString DownloadPool::resultFileName(int index)
{
    return QStringLiteral("Temp_%1.t").arg(index + kFirstDataRow);
}

QString DownloadPool::defaultWorkerProgram()
{
    // QUELFETCH_PROGRAM lets tests and odd installations point at another worker.
    const QString given = qEnvironmentVariable("QUELFETCH_PROGRAM");
    if (!given.isEmpty())
        return given;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quelfetch");
}

void DownloadPool::deleteStaleResults(const QString& folder)
{
    QDir dir(folder);
    const QStringList names = dir.entryList({ QStringLiteral("Temp_*.t") }, QDir::Files);
    for (const QString& name : names)
        dir.remove(name);
}

QString DownloadPool::resultPath(int index) const
{
    return QDir(m_workFolder).filePath(resultFileName(index));
}

void DownloadPool::deleteJobFiles(int index) const
{
    // The worker writes "<name>.TMP" and renames it; after failed writes it falls back to
    // "<name>1" and "<name>11". Remove every form so nothing of this run lingers.
    const QString base = resultPath(index);
    for (const QString& name : { base, base + QStringLiteral("1"), base + QStringLiteral("11") }) {
        QFile::remove(name);
        QFile::remove(name + QStringLiteral(".TMP"));
    }
}

QString DownloadPool::percentText() const
{
    if (m_jobs.empty())
        return QStringLiteral("0%");
    // Rounded to tenths with halves to even, like Round in the rest of the program.
    const double tenths = std::nearbyint(double(m_finishedJobs) / double(m_jobs.size()) * 1000.0);
    return QString::number(tenths / 10.0, 'g', 15) + QStringLiteral("%");
}

void DownloadPool::start()
{
    if (m_running || m_done)
        return;
    deleteStaleResults(m_workFolder);
    m_nextRow = 0;
    m_firstOpenRow = 0;
    m_runningWorkers = 0;
    m_running = true;
    m_startDown.start();
    m_saveDown.start();
}

void DownloadPool::stop()
{
    m_startDown.stop();
    m_saveDown.stop();
    const bool wasRunning = m_running;
    m_running = false;
    for (std::size_t i = 0; i < m_workers.size(); ++i) {
        if (m_workers[i])
            releaseWorker(int(i), true);
    }
    if (wasRunning) {
        for (std::size_t i = 0; i < m_jobs.size(); ++i) {
            if (m_jobs[i].state != DownloadJob::Waiting)
                deleteJobFiles(int(i));
        }
    }
}

void DownloadPool::releaseWorker(int index, bool kill)
{
    std::unique_ptr<Worker> worker = std::move(m_workers[std::size_t(index)]);
    if (!worker || !worker->process)
        return;
    QProcess* p = worker->process.get();
    p->disconnect(this);
    if (kill && p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(2000);
    }
}

void DownloadPool::startDownTick()
{
    if (!m_running)
        return;
    while (m_runningWorkers < m_maxWorkers && m_nextRow < int(m_jobs.size())) {
        const int index = m_nextRow++;
        ++m_runningWorkers;
        startWorker(index);
        if (!m_running)
            return;
    }
}

void DownloadPool::startWorker(int index)
{
    DownloadJob& job = m_jobs[std::size_t(index)];
    job.state = DownloadJob::Started;
    emit rowChanged(index);

    auto worker = std::make_unique<Worker>();
    worker->process.reset(new QProcess);
    QProcess* p = worker->process.get();
    p->setProgram(m_workerProgram);
    p->setArguments({ job.job + kArgumentSeparator + QStringLiteral("./") + resultFileName(index)
        + kArgumentSeparator + QString::number(m_mode) });
    p->setWorkingDirectory(m_workFolder);
    p->setProcessEnvironment(m_environment);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    connect(p, &QProcess::finished, this, [this, index] { onWorkerEnded(index); });
    connect(p, &QProcess::errorOccurred, this, [this, index](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onWorkerEnded(index);
    });
    worker->age.start();
    m_workers[std::size_t(index)] = std::move(worker);
    p->start();
}

void DownloadPool::onWorkerEnded(int index)
{
    if (m_workers[std::size_t(index)])
        releaseWorker(index, false);
    if (!m_running || m_jobs[std::size_t(index)].state != DownloadJob::Started)
        return;
    // The worker renames its file into place before it exits, so whatever is not there
    // now will never come.
    harvest(index, true);
    advanceFirstOpen();
    // The freed slot is given to the next job now rather than on the next tick, so a fast
    // marketplace keeps every slot busy.
    startDownTick();
}

void DownloadPool::harvest(int index, bool processGone)
{
    const QString path = resultPath(index);
    QFile file(path);
    if (!file.exists()) {
        if (processGone)
            markHarvested(index, false);
        return;
    }
    QString text;
    if (file.open(QIODevice::ReadOnly)) {
        text = web::DecodeTextFile(file.readAll());
        file.close();
    }
    file.remove();

    bool ok = false;
    if (!text.trimmed().isEmpty() && m_importer) {
        QElapsedTimer t;
        t.start();
        ok = m_importer(index, m_jobs[std::size_t(index)], text);
        m_importNs += t.nsecsElapsed();
    }
    markHarvested(index, ok);
}

void DownloadPool::markHarvested(int index, bool ok)
{
    DownloadJob& job = m_jobs[std::size_t(index)];
    if (job.state == DownloadJob::Harvested)
        return;
    job.state = DownloadJob::Harvested;
    job.failed = !ok;
    --m_runningWorkers;
    ++m_finishedJobs;
    if (!ok)
        ++m_failedJobs;
    emit rowChanged(index);
    emit progressChanged(percentText());
}

void DownloadPool::advanceFirstOpen()
{
    while (m_firstOpenRow < int(m_jobs.size())
        && m_jobs[std::size_t(m_firstOpenRow)].state == DownloadJob::Harvested)
        ++m_firstOpenRow;
}

void DownloadPool::checkWatchdogs()
{
    for (std::size_t i = 0; i < m_workers.size(); ++i) {
        const auto& w = m_workers[i];
        if (w && w->age.elapsed() > m_watchdogMs && m_jobs[i].state == DownloadJob::Started) {
            releaseWorker(int(i), true);
            harvest(int(i), true);
        }
    }
}

void DownloadPool::saveDownTick()
{
    if (!m_running)
        return;
    if (m_firstOpenRow >= int(m_jobs.size())) {
        m_startDown.stop();
        m_saveDown.stop();
        m_running = false;
        m_done = true;
        emit finished();
        return;
    }
    int seen = 0;
    for (int r = m_firstOpenRow; seen < m_maxWorkers && r < int(m_jobs.size()); ++r) {
        if (m_jobs[std::size_t(r)].state != DownloadJob::Started)
            continue;
        harvest(r, false);
        if (!m_running)
            return;
        ++seen;
    }
    checkWatchdogs();
    advanceFirstOpen();
}

} // namespace quel::download
