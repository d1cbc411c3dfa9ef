#include "download/download_pool.h"

#include "core/exit_codes.h"
#include "core/feedback.h"
#include "core/text_files.h"
#include "core/worker_protocol.h"
#include "web/rate_limit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>
#include <utility>

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

const QString kResultPrefix = QStringLiteral("Temp_");
// The rate slot file of a run: "Temp_rate_<pid>", no dot, so it is never taken for a result.
const QString kRatePrefix = QStringLiteral("Temp_rate_");

// Running number of the jobs this process has dispatched, over all its pools, so that no
// two jobs of one process ever share a file name.
quint64 nextJobNumber()
{
    static std::atomic<quint64> counter { 0 };
    return ++counter;
}

// The process id in a worker file name of the form "Temp_<pid>_<row>_<n>.t..." or
// "Temp_rate_<pid>"; 0 for other names (files of older versions, which had the grid row
// alone).
qint64 ownerOfResultName(const QString& name)
{
    if (name.startsWith(kRatePrefix)) {
        bool ok = false;
        const qint64 pid = name.mid(kRatePrefix.size()).toLongLong(&ok);
        return ok && pid > 0 ? pid : 0;
    }
    const QStringList parts = name.mid(kResultPrefix.size()).split(QLatin1Char('_'));
    if (parts.size() < 3)
        return 0;
    bool ok = false;
    const qint64 pid = parts[0].toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool processAlive(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Captures what ReadResultFile reports, passing it on to the pool's feedback when it has one.
class ReadFeedback : public core::SilentFeedback
{
public:
    explicit ReadFeedback(core::Feedback* next)
        : m_next(next)
    { }
    void message(const QString& text) override
    {
        m_text = text;
        if (m_next)
            m_next->message(text);
    }
    const QString& text() const { return m_text; }

private:
    core::Feedback* m_next;
    QString m_text;
};

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
    m_resultNames.resize(m_jobs.size());
    m_harvesting.resize(m_jobs.size(), Harvest::Idle);
    m_startDown.setInterval(100);
    m_saveDown.setInterval(100);
    connect(&m_startDown, &QTimer::timeout, this, &DownloadPool::startDownTick);
    connect(&m_saveDown, &QTimer::timeout, this, &DownloadPool::saveDownTick);
}

DownloadPool::~DownloadPool()
{
    stop();
}

QString DownloadPool::nextResultName(int index)
{
    return kResultPrefix
        + QStringLiteral("%1_%2_%3.t")
              .arg(QCoreApplication::applicationPid())
              .arg(index + kFirstDataRow)
              .arg(nextJobNumber());
}

QString DownloadPool::rateSlotFile() const
{
    return QDir(m_workFolder)
        .filePath(kRatePrefix + QString::number(QCoreApplication::applicationPid()));
}

QString DownloadPool::defaultWorkerProgram()
{
    // QUELFETCH_PROGRAM lets tests and odd installations point at another worker.
    const QString given = qEnvironmentVariable("QUELFETCH_PROGRAM");
    if (!given.isEmpty())
        return given;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quelfetch");
}

int DownloadPool::deleteStaleResults(const QString& folder)
{
    QDir dir(folder);
    const qint64 self = QCoreApplication::applicationPid();
    int removed = 0;
    // Every form a worker leaves: the result, its ".TMP" and the "1"/"11" fall-back names.
    const QStringList names = dir.entryList(
        { kResultPrefix + QLatin1Char('*') }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        // Files of another running copy belong to its live jobs. This program's own files
        // are stale here: a pool cleans up before it starts and after it stops.
        const qint64 owner = ownerOfResultName(name);
        if (owner != 0 && owner != self && processAlive(owner))
            continue;
        removed += dir.remove(name) ? 1 : 0;
    }
    return removed;
}

QString DownloadPool::resultPath(int index) const
{
    const QString& name = m_resultNames[std::size_t(index)];
    return name.isEmpty() ? QString() : QDir(m_workFolder).filePath(name);
}

void DownloadPool::deleteJobFiles(int index) const
{
    // The worker writes "<name>.TMP" and renames it; after failed writes it falls back to
    // "<name>1" and "<name>11". Remove every form so nothing of this run lingers.
    const QString base = resultPath(index);
    if (base.isEmpty())
        return;
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

bool DownloadPool::folderTakesFiles(const QString& folder, QString* why)
{
    const QString path = QDir(folder).filePath(
        QStringLiteral("Temp_probe_%1.TMP").arg(QCoreApplication::applicationPid()));
    QFile probe(path);
    QString reason;
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        reason = probe.errorString();
    } else {
        const QByteArray block(64 * 1024, ' ');
        if (probe.write(block) != block.size())
            reason = probe.errorString();
        else if (::fsync(probe.handle()) != 0)
            reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    probe.close();
    QFile::remove(path);
    if (!reason.isEmpty() && why)
        *why = reason;
    return reason.isEmpty();
}

void DownloadPool::abandon(const QString& reason)
{
    if (!m_fatal.isEmpty())
        return;
    m_fatal = reason;
    const bool wasRunning = m_running;
    stop();
    if (wasRunning)
        emit finished();
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
    // What was imported is kept, unless the run was given up.
    if (m_fatal.isEmpty())
        commitGroup();
    else
        m_uncommitted.clear();
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
        deleteStaleResults(m_workFolder);
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

void DownloadPool::askFeed()
{
    if (!m_feed || m_feedEnded || m_nextRow < int(m_jobs.size()))
        return;
    if (m_feedWait.isValid() && m_feedWait.elapsed() < m_feedRetryMs)
        return;
    const int free = m_maxWorkers - m_runningWorkers;
    if (free <= 0)
        return;
    // Half a pool beyond the free slots: few round trips to the feed, few jobs held back
    // from the other machines.
    FeedAnswer answer = m_feed(free + (m_maxWorkers + 1) / 2);
    if (answer.jobs.empty()) {
        if (answer.more)
            m_feedWait.start();
        else
            m_feedEnded = true;
        return;
    }
    m_feedWait.invalidate();
    const std::size_t size = m_jobs.size() + answer.jobs.size();
    for (DownloadJob& job : answer.jobs)
        m_jobs.push_back(std::move(job));
    m_workers.resize(size);
    m_resultNames.resize(size);
    m_harvesting.resize(size, Harvest::Idle);
}

void DownloadPool::startDownTick()
{
    if (!m_running)
        return;
    askFeed();
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
    m_resultNames[std::size_t(index)] = nextResultName(index);
    p->setArguments({ job.job + core::kJobFieldSeparator + QStringLiteral("./")
        + m_resultNames[std::size_t(index)] + core::kJobFieldSeparator + QString::number(m_mode) });
    p->setWorkingDirectory(m_workFolder);
    QProcessEnvironment environment = m_environment;
    web::SetRateLimitEnvironment(environment, m_rate, m_rate > 0 ? rateSlotFile() : QString());
    p->setProcessEnvironment(environment);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    // The worker dies with this program, whichever way it ends (even SIGKILL), so no
    // worker of a dead run is left to write its file into the next run's folder. A parent
    // that died before the request took effect is caught by the parent test.
    const pid_t parent = ::getpid();
    p->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
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
    const Worker* worker = m_workers[std::size_t(index)].get();
    const bool notWritten = worker && worker->process
        && worker->process->exitStatus() == QProcess::NormalExit
        && worker->process->exitCode() == core::ExitNotWritten;
    if (m_workers[std::size_t(index)])
        releaseWorker(index, false);
    if (notWritten && m_running && !QFileInfo::exists(resultPath(index))) {
        // Every other worker would fail the same way: the run ends here, with one reason.
        abandon(QStringLiteral("数据文件夹无法写入下载结果（磁盘已满或只读）：%1")
                    .arg(QDir::toNativeSeparators(m_workFolder)));
        return;
    }
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
    const std::size_t i = std::size_t(index);
    // Reading lets events run: a tick or the worker's end may ask for this job meanwhile.
    if (m_harvesting[i] != Harvest::Idle || m_jobs[i].state != DownloadJob::Started)
        return;
    const QString path = resultPath(index);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        if (processGone)
            markHarvested(index, false);
        return;
    }
    m_harvesting[i] = Harvest::Reading;
    ReadFeedback readFeedback(m_feedback);
    const QString text = core::ReadResultFile(path, true, readFeedback, 0);
    m_harvesting[i] = Harvest::Idle;
    // An empty file and one that could not be read are left by the reader; they are this
    // job's and go now.
    deleteJobFiles(index);
    if (!m_running || m_jobs[i].state != DownloadJob::Started)
        return;
    if (!readFeedback.text().isEmpty())
        m_reasons.insert(index, readFeedback.text());

    bool ok = false;
    if (!text.trimmed().isEmpty() && m_importer) {
        QElapsedTimer t;
        t.start();
        ok = m_importer(index, m_jobs[i], text);
        m_importNs += t.nsecsElapsed();
    }
    if (ok && m_groupCommit) {
        // Given up during the import: the group is rolled back and the job stays open.
        if (!m_running)
            return;
        m_harvesting[i] = Harvest::Imported;
        --m_runningWorkers;
        if (m_uncommitted.empty())
            m_groupAge.start();
        m_uncommitted.push_back(index);
        if (int(m_uncommitted.size()) >= m_groupLimit)
            commitGroup();
        return;
    }
    markHarvested(index, ok);
}

void DownloadPool::commitGroup()
{
    if (m_uncommitted.empty())
        return;
    const std::vector<int> group = std::exchange(m_uncommitted, {});
    QElapsedTimer t;
    t.start();
    QString why;
    const bool ok = m_groupCommit(&why);
    m_importNs += t.nsecsElapsed();
    endGroup(group, ok, why);
}

void DownloadPool::failGroup(const QString& why)
{
    endGroup(std::exchange(m_uncommitted, {}), false, why);
}

void DownloadPool::endGroup(const std::vector<int>& group, bool committed, const QString& why)
{
    for (const int index : group) {
        if (!committed)
            m_reasons.insert(index, why);
        markHarvested(index, committed);
    }
}

void DownloadPool::markHarvested(int index, bool ok)
{
    DownloadJob& job = m_jobs[std::size_t(index)];
    if (job.state == DownloadJob::Harvested)
        return;
    job.state = DownloadJob::Harvested;
    job.failed = !ok;
    // An imported job gave its slot back when its import was done.
    if (std::exchange(m_harvesting[std::size_t(index)], Harvest::Idle) != Harvest::Imported)
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
    if (!m_uncommitted.empty()
        && (m_runningWorkers == 0 || m_groupAge.elapsed() >= m_groupWaitMs)) {
        commitGroup();
        advanceFirstOpen();
    }
    if (m_firstOpenRow >= int(m_jobs.size()) && (!m_feed || m_feedEnded)) {
        m_startDown.stop();
        m_saveDown.stop();
        m_running = false;
        m_done = true;
        deleteStaleResults(m_workFolder);
        emit finished();
        return;
    }
    int seen = 0;
    for (int r = m_firstOpenRow; seen < m_maxWorkers && r < int(m_jobs.size()); ++r) {
        if (m_jobs[std::size_t(r)].state != DownloadJob::Started
            || m_harvesting[std::size_t(r)] == Harvest::Imported)
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
