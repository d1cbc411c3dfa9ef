#include "download/download_session.h"

#include "core/feedback.h"
#include "download/download_jobs.h"
#include "web/market.h"

#include <QProcessEnvironment>

namespace quel::download {

DownloadSession::DownloadSession(DownloadKind kind, store::Connection conn, QObject* parent)
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

bool DownloadSession::prepare(const QString& condition, Feedback& feedback)
{
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
    m_pool
        = std::make_unique<DownloadPool>(std::move(*jobs), m_kind == DownloadKind::Details ? 0 : 1);
    m_pool->setMaxWorkers(initialWorkers(m_kind));
    m_pool->setWorkerEnvironment(workerEnvironment());
    m_pool->setImporter([this](int index, const DownloadJob& job, const QString& text) {
        return importResult(index, job, text);
    });
    connect(m_pool.get(), &DownloadPool::finished, this, &DownloadSession::finished);
    return true;
}

bool DownloadSession::importResult(int index, const DownloadJob& job, const QString& text)
{
    QString why;
    bool ok = false;
    if (m_kind == DownloadKind::Details) {
        ok = ImportProductResult(m_conn, job.id, text, m_knownBuyers, &m_counts, &why);
    } else {
        ok = SaveBuyerResult(m_conn, text, job.id, &why);
        if (ok)
            ++m_profiles;
    }
    if (!ok)
        m_reasons.insert(index, why);
    return ok;
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
    if (m_pool) {
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
    if (m_pool)
        m_pool->start();
}

void DownloadSession::stop()
{
    if (m_pool)
        m_pool->stop();
    m_knownBuyers.clear();
}

} // namespace quel::download
