#pragma once

#include "db/connection.h"
#include "db/job_claim_store.h"
#include "download/download_pool.h"
#include "download/product_import.h"

#include <QHash>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace quel::core {
class Feedback;
class RunLock;
} // namespace quel::core

namespace quel::download {

enum class DownloadKind
{
    Details, // item pages with their sales records (mode 0)
    Buyers, // buyer profiles (mode 1)
};

// What a run achieved, for the window's labels and the batch summary.
struct DownloadTotals
{
    int jobs = 0;
    int succeeded = 0;
    int failed = 0;
    long recordsAdded = 0; // 交易表 rows
    long buyersAdded = 0; // new 客户表 codes
    long profilesWritten = 0;
    qint64 historyNs = 0; // of the import time, spent recording the price history
};

// One download run as the windows and the batch commands drive it: the job list read from
// the database, the worker pool, and the import of each harvested result on the run's
// own connection.
class DownloadSession : public QObject
{
    Q_OBJECT
public:
    // On a database file, the imports of up to this many results share one commit, and a
    // result waits at most about this long for it: each commit writes again every page its
    // imports touched, and a product's trades land on as many pages of the buyer index. A
    // server keeps one commit per import, which holds its product's lock until then.
    static constexpr int kResultsPerCommit = 100;
    static constexpr qint64 kGroupWaitMs = 250;

    DownloadSession(DownloadKind kind, db::Connection conn, QObject* parent = nullptr);
    ~DownloadSession() override;

    // The row filter of the two commands of each kind: only what was never downloaded, or
    // everything.
    static QString conditionFor(DownloadKind kind, bool all);
    // Pool size a window starts with.
    static int initialWorkers(DownloadKind kind);

    // The environment workers get: the program's, with the marketplace address in use.
    static QProcessEnvironment workerEnvironment();

    // Profile address of a buyer code; by default the marketplace's member page.
    void setProfileUrl(std::function<QString(const QString&)> url)
    {
        m_profileUrl = std::move(url);
    }

    // On a server database, shares the jobs with the other copies of the program that run
    // the same collection (named e.g. "details --all") against it: prepare() then adds its
    // list to the collection and the pool claims its jobs a few at a time (store::OpenJobClaims). A
    // database file keeps one process with the whole list. Call before prepare().
    void shareJobs(const QString& collection) { m_collection = collection; }
    // Whether prepare() joined a collection on the server.
    bool sharesJobs() const { return m_claims != nullptr; }
    // The lease of the shared jobs, in seconds (0 when not shared).
    int leaseSeconds() const;
    // Why the shared jobs could no longer be claimed or marked (empty while all is well).
    QString claimError() const { return m_claimError; }

    // Lists the jobs (messages through feedback) and sets up the pool; false when the
    // listing failed. An empty list is not a failure: the run then ends on its first tick.
    bool prepare(const QString& condition, core::Feedback& feedback);
    // How many jobs prepare() listed (shared jobs are then handed to the pool as claimed).
    int listedJobs() const { return m_listedCount; }

    DownloadKind kind() const { return m_kind; }
    bool isPrepared() const { return m_pool != nullptr; }
    // Valid after prepare().
    DownloadPool& pool() { return *m_pool; }
    const DownloadPool& pool() const { return *m_pool; }
    DownloadTotals totals() const;
    // Why a job failed, when its import or the reading of its file said so (empty
    // otherwise: the worker left no result).
    QString failureReason(int index) const;

    // Starts the pool; finished() follows when every job is harvested.
    void start();
    // Ends the run early: our workers are ended and their files deleted.
    void stop();

signals:
    void finished();

private:
    bool importResult(int index, const DownloadJob& job, const QString& text);
    // Whether imports share commits: on a database file only (see kResultsPerCommit).
    bool groupsCommits() const;
    void openGroup();
    bool importIntoGroup(const DownloadJob& job, const QString& text, QString* why);
    bool commitGroup(QString* why);
    void dropGroup();
    void forgetGroup();
    bool joinCollection(std::vector<DownloadJob> jobs, core::Feedback& feedback);
    DownloadPool::FeedAnswer claimJobs(int wanted);
    std::optional<DownloadJob> jobOfClaim(qint64 id) const;
    void onRowChanged(int index);
    void onPoolFinished();

    DownloadKind m_kind;
    db::Connection m_conn;
    std::unique_ptr<DownloadPool> m_pool;
    // Held while this session downloads into a database file, so that a second run on this
    // machine is refused instead of downloading everything twice.
    std::unique_ptr<core::RunLock> m_downloadLock;
    KnownBuyerCodes m_knownBuyers;
    ImportCounts m_counts;
    long m_profiles = 0;
    // The open group of imports, and the counts as they were when it began.
    db::Transaction m_group;
    ImportCounts m_countsBeforeGroup;
    long m_profilesBeforeGroup = 0;
    QHash<int, QString> m_reasons;
    std::function<QString(const QString&)> m_profileUrl;
    int m_listedCount = 0;
    QString m_collection;
    std::unique_ptr<db::JobClaimStore> m_claims;
    QHash<qint64, DownloadJob> m_listed; // the listed jobs by ID, while shared
    QString m_claimError;
    QTimer m_renew;
};

} // namespace quel::download
