// The commands of a session sent without waiting for their replies (libpq's pipeline mode).
#include "db_pg/pg_connection.h"

#include <libpq-fe.h>

namespace quel::db_pg {

// Replies wait in the server's socket while they are not read: a long run of commands is
// collected part way, before the server could block on a full socket while the program
// blocks on sending.
constexpr std::size_t kMostUnanswered = 256;

bool PgConnection::beginSend()
{
    // A refusal collected here fails the transaction's next statement that waits: the
    // server answers it as aborted, and the refusal's message replaces that answer.
    if (m_unanswered.size() >= kMostUnanswered)
        collect();
    if (PQpipelineStatus(m_conn) != PQ_PIPELINE_OFF)
        return true;
    return PQenterPipelineMode(m_conn) == 1;
}

void PgConnection::sent(std::function<void(bool ok)> onReply)
{
    m_unanswered.push_back(std::move(onReply));
}

bool PgConnection::send(const QString& sql)
{
    if (!beginSend()
        || PQsendQueryParams(
               m_conn, sql.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)
            != 1)
        return false;
    sent();
    return true;
}

QString PgConnection::collect(PgResult* last)
{
    if (m_unanswered.empty())
        return {};
    std::vector<std::function<void(bool)>> waiting;
    waiting.swap(m_unanswered);
    QString firstError;
    const auto refused = [&](const QString& why) {
        if (firstError.isEmpty())
            firstError = why.isEmpty() ? QStringLiteral("数据库服务器拒绝了语句") : why;
    };
    if (PQpipelineSync(m_conn) != 1)
        refused(lastError());
    // Each command's results end with a null; a refused one's followers come back aborted.
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        const bool isLast = i + 1 == waiting.size();
        bool ok = true;
        bool any = false;
        while (PGresult* raw = PQgetResult(m_conn)) {
            any = true;
            const ExecStatusType status = PQresultStatus(raw);
            if (status == PGRES_PIPELINE_SYNC) {
                // The connection ended the pipeline early: nothing more comes.
                PQclear(raw);
                refused(lastError());
                ok = false;
                break;
            }
            PgResult result = wrap(raw);
            if (status == PGRES_PIPELINE_ABORTED || !result.ok()) {
                ok = false;
                refused(result.error());
            }
            if (isLast && last)
                *last = std::move(result);
        }
        if (!any) {
            ok = false;
            refused(lastError());
        }
        if (waiting[i])
            waiting[i](ok);
        if (isLast && last && !ok && last->error().isEmpty())
            *last = PgResult::failure(firstError);
    }
    // Then the reply to the sync, and the session waits for each reply again.
    while (PGresult* raw = PQgetResult(m_conn)) {
        const bool sync = PQresultStatus(raw) == PGRES_PIPELINE_SYNC;
        PQclear(raw);
        if (sync)
            break;
    }
    if (PQexitPipelineMode(m_conn) != 1)
        refused(lastError());
    if (!firstError.isEmpty())
        m_queueError = firstError;
    return firstError;
}

} // namespace quel::db_pg
