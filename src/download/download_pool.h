#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class QProcess;

namespace quel::core {
class Feedback;
}

namespace quel::download {

// One row of a download window: the job handed to a worker and what became of it.
struct DownloadJob
{
    enum State
    {
        Waiting = 0,
        Started = 1,
        Harvested = 2
    };

    qint64 id = 0; // 产品表.ID or 客户表.ID, handed to the importer
    QString code; // PCode or BCode as listed
    QString title; // PName or Buyer as listed
    QString job; // what the worker receives: the item code or the profile address
    State state = Waiting;
    bool failed = false; // meaningful once Harvested: red instead of grey
};

// Runs a pool of quelfetch workers over a list of jobs, one job per worker process.
// StartDown (100 ms) starts workers while there is room; SaveDown (100 ms) looks for
// finished result files. A worker's file is also harvested the moment its process ends,
// and a worker that ends, fails to start or outlives its watchdog without leaving its
// file turns its row red and frees its slot at once, so dead workers never stall a run.
//
// Every dispatched job gets a result file name of its own, "./Temp_" + this program's process
// id + "_" + grid row + "_" + a running number + ".t" in the working folder (the grid row
// being the job's index plus the grid's two heading rows), and a file is only ever read by
// the job that started its worker: a file left by a worker of an earlier run, or of an
// earlier job of this run, can never be taken for another job's result. Workers are
// killed by the system when this program dies, so none outlives it to write late.
class DownloadPool : public QObject
{
    Q_OBJECT
public:
    // Imports one result text for one job; false marks the job failed (red).
    using Importer = std::function<bool(int index, const DownloadJob& job, const QString& text)>;
    // What a job feed hands over: jobs to add to the list, and whether asking again later
    // may bring more when it brought none now.
    struct FeedAnswer
    {
        std::vector<DownloadJob> jobs;
        bool more = false;
    };
    // Commits what the importer wrote since the last call; false, with the reason, when the
    // database refused it: every job of the group then failed.
    using GroupCommit = std::function<bool(QString* why)>;
    // Adds jobs once the list is used up (jobs shared with other machines are claimed a few
    // at a time); asked for about as many as the given count.
    using JobFeed = std::function<FeedAnswer(int wanted)>;

    static constexpr int kFirstDataRow = 2;
    // Most workers a pool runs at once: each is a browser process of its own.
    static constexpr int kWorkerLimit = 32;
    static constexpr qint64 kFeedRetryMs = 250;
    // The exit code of a worker whose result file could not be written (quelfetch's own).

    DownloadPool(std::vector<DownloadJob> jobs, int mode, QObject* parent = nullptr);
    ~DownloadPool() override;

    void setImporter(Importer importer) { m_importer = std::move(importer); }
    // Imports then share commits: a result is imported as it comes and its worker's slot is
    // free at once, but its row turns grey only when its group is committed, after `limit`
    // imports, once the group's first import has waited waitMs, when no worker is running and
    // when the pool stops (not when the run is abandoned: the group is the caller's to roll
    // back). Without a group commit each import stands alone.
    void setGroupCommit(GroupCommit commit, int limit, qint64 waitMs)
    {
        m_groupCommit = std::move(commit);
        m_groupLimit = std::max(1, limit);
        m_groupWaitMs = waitMs;
    }
    // The importer had to roll back the open group: every job waiting in it failed, with why.
    void failGroup(const QString& why);
    // Jobs imported and waiting for their group's commit.
    int uncommittedJobs() const { return int(m_uncommitted.size()); }
    // With a feed the run ends only when every job is harvested and the feed has said that
    // no more will come; while it has none for now it is asked again after retryMs (short:
    // at the end of a shared run, the last copy to see the others done ends the run).
    void setJobFeed(JobFeed feed, qint64 retryMs = kFeedRetryMs)
    {
        m_feed = std::move(feed);
        m_feedRetryMs = retryMs;
    }
    // Folder the workers run in and write their files to (the data folder).
    void setWorkFolder(const QString& folder) { m_workFolder = folder; }
    const QString& workFolder() const { return m_workFolder; }
    // The quelfetch executable; by default the one beside the running program.
    void setWorkerProgram(const QString& program) { m_workerProgram = program; }
    // How long a worker may run before the pool ends it; by default a minute past the
    // worker's own 1200-tick limit.
    // Environment of the workers (e.g. QUELMAR_MARKET); the program's own by default.
    void setWorkerEnvironment(const QProcessEnvironment& env) { m_environment = env; }
    void setWatchdogMs(qint64 ms) { m_watchdogMs = ms; }
    // Requests per second that all workers of this run together may make of the marketplace
    // (0: no limit). Workers started from now on get it; they agree on it through a slot
    // file of this run in the work folder, which goes with the run's other files.
    void setRateLimit(double requestsPerSecond)
    {
        m_rate = requestsPerSecond > 0 ? requestsPerSecond : 0;
    }
    double rateLimit() const { return m_rate; }
    // The slot file the workers share while a limit is set: "Temp_rate_" + this program's
    // process id in the work folder.
    QString rateSlotFile() const;
    // Pool size, 1 to kWorkerLimit; takes effect on the next tick, running workers are
    // never stopped by it.
    void setMaxWorkers(int n) { m_maxWorkers = qBound(1, n, kWorkerLimit); }
    // Where a result file that exists but cannot be read is reported; nowhere by default
    // (the job's failure reason holds the message either way).
    void setFeedback(core::Feedback* feedback) { m_feedback = feedback; }
    int maxWorkers() const { return m_maxWorkers; }

    // Deletes the worker files no running job owns and turns both timers on.
    void start();
    // Stops the timers, ends the workers this pool started and deletes their files and any
    // other worker file no running job owns. Rows not harvested stay as they are. Safe to
    // call more than once.
    void stop();
    bool isRunning() const { return m_running; }
    bool isDone() const { return m_done; }
    // Ends the run at once as fatal (the first reason is kept): the workers end, finished()
    // is emitted, and the jobs not harvested stay as they were for the next run.
    void abandon(const QString& reason);
    // Why the run was abandoned; empty when it was not.
    const QString& fatalError() const { return m_fatal; }
    // Whether the folder can take a worker's file: a probe of a typical result's size is
    // written, synced and deleted. False, with the reason, on a full or read-only disk.
    static bool folderTakesFiles(const QString& folder, QString* why);

    const std::vector<DownloadJob>& jobs() const { return m_jobs; }
    int finishedJobs() const { return m_finishedJobs; }
    int failedJobs() const { return m_failedJobs; }
    int runningWorkers() const { return m_runningWorkers; }
    // The completion percentage as LPercent shows it, e.g. "12.5%".
    QString percentText() const;

    // File name (relative to the work folder) of the job at an index; empty until its
    // worker was started.
    QString resultFileName(int index) const { return m_resultNames[std::size_t(index)]; }
    // Why a job failed when the pool itself knows (its result file could not be read).
    QString failureReason(int index) const { return m_reasons.value(index); }
    // Default worker program: $QUELFETCH_PROGRAM, else quelfetch in the running program's folder.
    static QString defaultWorkerProgram();
    // Deletes every worker file ("Temp_*": results and rate slot files) in a folder except
    // those of runs of another running copy of the program (their names carry its process
    // id). Returns how many were deleted.
    static int deleteStaleResults(const QString& folder);

    // One pass of each timer; public so that tests and the batch driver can step the pool.
    void startDownTick();
    void saveDownTick();

    // Milliseconds spent importing results (the main program's share of a run).
    qint64 importMs() const { return m_importNs / 1000000; }

signals:
    void rowChanged(int index);
    void progressChanged(const QString& percentText);
    // Every job harvested; the pool has stopped.
    void finished();

private:
    struct Worker;

    void startWorker(int index);
    void onWorkerEnded(int index);
    void harvest(int index, bool fileExpected);
    void markHarvested(int index, bool ok);
    void commitGroup();
    void endGroup(const std::vector<int>& group, bool committed, const QString& why);
    void advanceFirstOpen();
    void checkWatchdogs();
    QString resultPath(int index) const;
    QString nextResultName(int index);
    void deleteJobFiles(int index) const;
    void releaseWorker(int index, bool kill);
    void askFeed();

    std::vector<DownloadJob> m_jobs;
    std::vector<std::unique_ptr<Worker>> m_workers; // one per job, set while it runs
    std::vector<QString> m_resultNames; // one per job, given when its worker starts
    // One per job, where its harvest stands: its file being read, or its result imported and
    // waiting for its group's commit (its worker's slot is free).
    enum class Harvest : char
    {
        Idle,
        Reading,
        Imported
    };
    std::vector<Harvest> m_harvesting;
    QHash<int, QString> m_reasons;
    QString m_fatal;
    core::Feedback* m_feedback = nullptr;
    int m_mode = 0;
    Importer m_importer;
    GroupCommit m_groupCommit;
    int m_groupLimit = 1;
    qint64 m_groupWaitMs = 0;
    std::vector<int> m_uncommitted; // imported, in the order they came
    QElapsedTimer m_groupAge; // since the group's first import
    JobFeed m_feed;
    qint64 m_feedRetryMs = kFeedRetryMs;
    bool m_feedEnded = false;
    QElapsedTimer m_feedWait; // running while the feed had nothing to give
    QString m_workFolder;
    QString m_workerProgram;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    qint64 m_watchdogMs = (1200 + 60) * 1000LL;
    int m_maxWorkers = 10;
    double m_rate = 0;

    int m_nextRow = 0;
    int m_firstOpenRow = 0;
    int m_runningWorkers = 0;
    int m_finishedJobs = 0;
    int m_failedJobs = 0;
    bool m_running = false;
    bool m_done = false;
    qint64 m_importNs = 0;

    QTimer m_startDown;
    QTimer m_saveDown;
};

} // namespace quel::download
