#include "download/download_session.h"

#include "core/feedback.h"
#include "core/run_lock.h"
#include "db/database.h"
#include "db/statement.h"
#include "download/download_jobs.h"
#include "store/job_claims.h"
#include "web/market.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QSet>
#include <algorithm>

namespace quel::download {

DownloadSession::DownloadSession(DownloadKind kind, db::Connection conn, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_conn(std::move(conn))
    , m_profileUrl(&web::BuyerPageUrl)
{ }

DownloadSession::~DownloadSession()
{
    stop();
}

QString DownloadSession::conditionFor(DownloadKind kind, bool all)
{
    if (all)
        return {};
    return kind == DownloadKind::Details ? QStringLiteral("Style=''")
                                         : QStringLiteral("rDat=#1900-1-1#");
}

int DownloadSession::initialWorkers(DownloadKind kind)
{
    return kind == DownloadKind::Details ? 10 : 15;
}

namespace {

// Whether the database takes a write: a table made and rolled back, so that a read-only or
// full database is found before any page is downloaded rather than at the first import.
bool databaseTakesWrites(const db::Connection& conn, QString* why)
{
    db::Transaction tx = conn.transaction();
    if (!tx.isActive()) {
        *why = conn.database() ? conn.database()->lastErrorText() : QString();
        return false;
    }
    // A work table is the session's own and says nothing about a file: the file's probe is a
    // stored table. A server's stays a work table, which needs no right to the shared tables.
    const QString probe = conn.database()->isServer() ? QStringLiteral("TEMP_WriteProbe")
                                                      : QStringLiteral("quel_WriteProbe");
    return conn.execute(QStringLiteral("CREATE TABLE %1 (x INTEGER)").arg(probe), why);
}

} // namespace

bool DownloadSession::prepare(const QString& condition, core::Feedback& feedback)
{
    if (!m_conn.isOpen()) {
        feedback.message(QStringLiteral("无法建立数据库连接！"));
        return false;
    }
    if (!m_conn.database()->isServer()) {
        // Beside the database: runs on this machine agree, whichever data folder they use.
        auto lock
            = std::make_unique<core::RunLock>(m_conn.database()->path() + QStringLiteral(".lock"));
        switch (lock->tryLock()) {
        case core::RunLock::Outcome::Held:
            break;
        case core::RunLock::Outcome::Failed:
            feedback.message(QStringLiteral("无法在数据库旁建立下载锁：%1（%2）")
                                 .arg(QDir::toNativeSeparators(lock->path()), lock->errorText()));
            return false;
        case core::RunLock::Outcome::Busy: {
            const QString who = lock->holderPid() > 0
                ? QStringLiteral("quelmar，进程 %1").arg(lock->holderPid())
                : QStringLiteral("quelmar");
            feedback.message(
                QStringLiteral("另一个下载（%1）正在向数据库 %2 下载，请等它结束后再试。")
                    .arg(who, QDir::toNativeSeparators(m_conn.database()->path())));
            return false;
        }
        }
        m_downloadLock = std::move(lock);
    }
    QString unwritable;
    if (!databaseTakesWrites(m_conn, &unwritable)) {
        feedback.message(QStringLiteral("数据库无法写入：%1（%2）")
                             .arg(QDir::toNativeSeparators(m_conn.database()->path()), unwritable));
        return false;
    }
    std::optional<std::vector<DownloadJob>> jobs;
    if (m_kind == DownloadKind::Details) {
        jobs = FillProductJobs(m_conn, condition, feedback);
        if (jobs && !m_knownBuyers.load(m_conn)) {
            feedback.message(QStringLiteral("数据库打开错误(SELECT BCode FROM 客户表)！"));
            return false;
        }
    } else {
        QString why;
        if (!PrepareBuyerTable(m_conn, &why)) {
            feedback.message(QStringLiteral("无法建立买家列表：") + why);
            return false;
        }
        jobs = FillBuyerJobs(m_conn, condition, feedback, m_profileUrl);
    }
    if (!jobs)
        return false;
    m_listedCount = int(jobs->size());
    const bool shared = !m_collection.isEmpty() && m_conn.database()->isServer();
    if (shared && !joinCollection(std::move(*jobs), feedback))
        return false;
    m_pool = std::make_unique<DownloadPool>(shared ? std::vector<DownloadJob>() : std::move(*jobs),
        m_kind == DownloadKind::Details ? 0 : 1);
    m_pool->setMaxWorkers(initialWorkers(m_kind));
    m_pool->setWorkerEnvironment(workerEnvironment());
    m_pool->setImporter([this](int index, const DownloadJob& job, const QString& text) {
        return importResult(index, job, text);
    });
    if (groupsCommits())
        m_pool->setGroupCommit(
            [this](QString* why) { return commitGroup(why); }, kResultsPerCommit, kGroupWaitMs);
    if (shared) {
        m_pool->setJobFeed([this](int wanted) { return claimJobs(wanted); });
        connect(m_pool.get(), &DownloadPool::rowChanged, this, &DownloadSession::onRowChanged);
    }
    connect(m_pool.get(), &DownloadPool::finished, this, &DownloadSession::onPoolFinished);
    return true;
}

bool DownloadSession::joinCollection(std::vector<DownloadJob> jobs, core::Feedback& feedback)
{
    std::unique_ptr<db::JobClaimStore> claims = store::OpenJobClaims(m_conn.shared(), m_collection);
    std::vector<qint64> ids;
    ids.reserve(jobs.size());
    m_listed.clear();
    for (DownloadJob& job : jobs) {
        ids.push_back(job.id);
        m_listed.insert(job.id, std::move(job));
    }
    QString why;
    if (!claims->begin(ids, &why)) {
        feedback.message(QStringLiteral("无法在服务器上分配任务：") + why);
        return false;
    }
    m_claims = std::move(claims);
    // Claims of a running copy never expire: they are renewed well within the lease.
    m_renew.setInterval(std::min(60, std::max(1, m_claims->lease() / 3)) * 1000);
    connect(&m_renew, &QTimer::timeout, this, [this] {
        QString error;
        if (!m_claims->renew(&error) && m_claimError.isEmpty())
            m_claimError = error;
    });
    return true;
}

int DownloadSession::leaseSeconds() const
{
    return m_claims ? m_claims->lease() : 0;
}

std::optional<DownloadJob> DownloadSession::jobOfClaim(qint64 id) const
{
    const auto listed = m_listed.constFind(id);
    if (listed != m_listed.constEnd())
        return *listed;
    // Listed by another copy only (it listed later, or before a product got its details
    // here): the job is read from the table it names.
    const bool details = m_kind == DownloadKind::Details;
    db::Statement st = m_conn.database()->prepareCached(details
            ? QStringLiteral("SELECT PCode,PName FROM 产品表 WHERE ID=?")
            : QStringLiteral("SELECT BCode,BCode FROM 客户表 WHERE ID=?"));
    if (!st)
        return std::nullopt;
    st.bindInt64(1, id);
    if (st.step() != db::StepResult::Row)
        return std::nullopt;
    DownloadJob job;
    job.id = id;
    job.code = st.text(0);
    job.title = st.text(1);
    job.job = details ? job.code : m_profileUrl(job.code);
    return job;
}

DownloadPool::FeedAnswer DownloadSession::claimJobs(int wanted)
{
    DownloadPool::FeedAnswer answer;
    if (!m_claimError.isEmpty())
        return answer;
    QString why;
    const std::optional<db::JobClaimStore::Claimed> claimed = m_claims->claimOrWait(wanted, &why);
    if (!claimed) {
        m_claimError = why;
        return answer;
    }
    const std::vector<qint64>& ids = claimed->ids;
    for (const qint64 id : ids) {
        if (std::optional<DownloadJob> job = jobOfClaim(id)) {
            answer.jobs.push_back(std::move(*job));
            continue;
        }
        // The row is gone: nothing is left to download for it.
        if (!m_claims->finish(id, true, &why)) {
            m_claimError = why;
            return answer;
        }
    }
    if (!answer.jobs.empty())
        return answer;
    if (!ids.empty()) {
        answer.more = true;
        return answer;
    }
    // Nothing to claim now: the run waits while another copy holds claims, to take them
    // over should that copy die, and to take the jobs it fails.
    answer.more = claimed->othersBusy;
    return answer;
}

void DownloadSession::onRowChanged(int index)
{
    const DownloadJob& job = m_pool->jobs()[std::size_t(index)];
    if (job.state != DownloadJob::Harvested)
        return;
    QString why;
    if (!m_claims->finish(job.id, !job.failed, &why) && m_claimError.isEmpty())
        m_claimError = why;
}

void DownloadSession::onPoolFinished()
{
    m_renew.stop();
    dropGroup();
    // The jobs this copy held go back to the others at once.
    if (m_claims && !m_pool->fatalError().isEmpty())
        m_claims->releaseAll();
    if (m_claims) {
        QString why;
        if (!m_claims->end(&why) && m_claimError.isEmpty())
            m_claimError = why;
    }
    emit finished();
}

bool DownloadSession::importResult(int index, const DownloadJob& job, const QString& text)
{
    QString why;
    bool ok = false;
    if (m_kind == DownloadKind::Details && groupsCommits()) {
        ok = importIntoGroup(job, text, &why);
    } else if (m_kind == DownloadKind::Details) {
        ok = ImportProductResult(m_conn, job.id, text, m_knownBuyers, &m_counts, &why);
    } else {
        openGroup();
        ok = SaveBuyerResult(m_conn, text, job.id, &why);
        if (ok)
            ++m_profiles;
    }
    if (!ok) {
        m_reasons.insert(index, why);
        // An import that failed because the database no longer takes writes (a full disk,
        // say) would fail for every job still to come.
        QString unwritable;
        if (m_pool && !databaseTakesWrites(m_conn, &unwritable))
            m_pool->abandon(
                QStringLiteral("数据库无法写入：%1（%2）")
                    .arg(QDir::toNativeSeparators(m_conn.database()->path()), unwritable));
    }
    return ok;
}

void DownloadSession::openGroup()
{
    if (m_group.isActive() || !groupsCommits())
        return;
    m_group = m_conn.transaction();
    m_countsBeforeGroup = m_counts;
    m_profilesBeforeGroup = m_profiles;
}

bool DownloadSession::importIntoGroup(const DownloadJob& job, const QString& text, QString* why)
{
    // A faulty result is found before anything is written; the group goes on without it.
    const std::optional<ProductResult> result = ReadProductResult(text, why);
    if (!result)
        return false;
    openGroup();
    if (WriteProductResult(m_conn, job.id, *result, m_knownBuyers, &m_counts, why))
        return true;
    // Part of this result is in the group's transaction, which has no savepoint per result:
    // the whole group is rolled back and its products are offered again by the next run.
    dropGroup();
    if (m_pool)
        m_pool->failGroup(QStringLiteral("同批中另一项导入失败，未保存：") + *why);
    return false;
}

bool DownloadSession::groupsCommits() const
{
    return !m_conn.database()->isServer();
}

bool DownloadSession::commitGroup(QString* why)
{
    if (!m_group.isActive())
        return true;
    QString refused;
    if (m_group.commit(&refused))
        return true;
    *why = QStringLiteral("无法提交到数据库：") + refused;
    forgetGroup();
    return false;
}

void DownloadSession::dropGroup()
{
    // Whatever is still open was given up (an abandoned run) or holds only failed imports;
    // the jobs of an abandoned group stay open for the next run.
    if (!m_group.isActive())
        return;
    m_group.rollback();
    forgetGroup();
}

void DownloadSession::forgetGroup()
{
    // Nothing of the group is stored: neither its counts nor the buyer codes it added.
    m_counts = m_countsBeforeGroup;
    m_profiles = m_profilesBeforeGroup;
    m_knownBuyers.load(m_conn);
}

QString DownloadSession::failureReason(int index) const
{
    const QString reason = m_reasons.value(index);
    if (!reason.isEmpty() || !m_pool)
        return reason;
    return m_pool->failureReason(index);
}

QProcessEnvironment DownloadSession::workerEnvironment()
{
    // A market given on quelmar's command line must reach the workers too.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString base = web::Market().itemBase;
    if (!base.isEmpty() && base != web::PublicMarket().itemBase)
        env.insert(QStringLiteral("QUELMAR_MARKET"), base);
    return env;
}

DownloadTotals DownloadSession::totals() const
{
    DownloadTotals t;
    if (m_pool && m_claims) {
        // A shared job may come back to this copy after another copy failed it too: it is
        // one job, counted by how it ended here last.
        QHash<qint64, bool> lastFailed;
        for (const DownloadJob& job : m_pool->jobs()) {
            if (job.state == DownloadJob::Harvested)
                lastFailed.insert(job.id, job.failed);
            else if (!lastFailed.contains(job.id))
                lastFailed.insert(job.id, false);
        }
        QSet<qint64> harvested;
        for (const DownloadJob& job : m_pool->jobs())
            if (job.state == DownloadJob::Harvested)
                harvested.insert(job.id);
        t.jobs = int(lastFailed.size());
        for (const qint64 id : std::as_const(harvested))
            ++(lastFailed.value(id) ? t.failed : t.succeeded);
    } else if (m_pool) {
        t.jobs = int(m_pool->jobs().size());
        t.failed = m_pool->failedJobs();
        t.succeeded = m_pool->finishedJobs() - m_pool->failedJobs();
    }
    t.recordsAdded = m_counts.records;
    t.buyersAdded = m_counts.buyers;
    t.historyNs = m_counts.historyNs;
    t.profilesWritten = m_profiles;
    return t;
}

void DownloadSession::start()
{
    if (!m_pool)
        return;
    // A folder that cannot take the workers' files would fail every job after its download.
    QString why;
    if (!DownloadPool::folderTakesFiles(m_pool->workFolder(), &why)) {
        m_pool->abandon(QStringLiteral("数据文件夹无法写入下载结果：%1（%2）")
                            .arg(QDir::toNativeSeparators(m_pool->workFolder()), why));
        return;
    }
    if (m_claims)
        m_renew.start();
    m_pool->start();
}

void DownloadSession::stop()
{
    m_renew.stop();
    if (m_pool) {
        const bool cutShort = m_pool->isRunning();
        m_pool->stop();
        dropGroup();
        // The jobs this copy held go back to the others at once rather than at the lease's end.
        if (cutShort && m_claims)
            m_claims->releaseAll();
    }
    m_knownBuyers.clear();
}

} // namespace quel::download
