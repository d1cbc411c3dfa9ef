// SPDX-License-Identifier: GPL-3.0-or-later
#include "db_pg/pg_job_claims.h"

#include "db/connection.h"
#include "db/database.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

namespace quel::db_pg {

namespace {

// First key of the advisory locks that keep two copies from creating the claim tables, or
// opening a collection of one kind, at the same moment.
constexpr int kLockClass = 0x51554c; // "QUL"

const QString kCreateTables = QStringLiteral(
    "SELECT pg_advisory_xact_lock(%1, 0);"
    "CREATE SCHEMA IF NOT EXISTS quelmar_team;"
    "CREATE TABLE IF NOT EXISTS quelmar_team.collections("
    " id bigserial PRIMARY KEY, kind text NOT NULL,"
    " started_at timestamptz NOT NULL DEFAULT now(),"
    " active_at timestamptz NOT NULL DEFAULT now(), closed_at timestamptz);"
    "CREATE TABLE IF NOT EXISTS quelmar_team.claims("
    " collection bigint NOT NULL REFERENCES quelmar_team.collections(id) ON DELETE CASCADE,"
    " job_id bigint NOT NULL, seq bigint NOT NULL, owner text, claimed_at timestamptz,"
    " done_at timestamptz, attempts integer NOT NULL DEFAULT 0, failed_by text,"
    " PRIMARY KEY(collection, job_id));"
    "CREATE INDEX IF NOT EXISTS claims_open ON quelmar_team.claims(collection, seq)"
    " WHERE done_at IS NULL;"
    // A week is long past any collection's end: its claims only take room.
    "DELETE FROM quelmar_team.collections WHERE active_at < now() - interval '7 days';")
                                  .arg(kLockClass);

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool runStatement(db::Statement& st, QString* error)
{
    if (st.run())
        return true;
    return fail(error, st.errorText());
}

QString idArray(const std::vector<qint64>& ids)
{
    QString text = QStringLiteral("{");
    text.reserve(int(ids.size()) * 8 + 2);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += QString::number(ids[i]);
    }
    return text + QLatin1Char('}');
}

} // namespace

PgJobClaims::PgJobClaims(std::shared_ptr<db::Database> db, const QString& collectionKind,
    int leaseSeconds, const QString& owner)
    : m_db(std::move(db))
    , m_kind(collectionKind)
    , m_lease(std::max(1, leaseSeconds))
    , m_owner(owner)
{ }

bool PgJobClaims::run(const QString& sql, QString* error)
{
    return m_db->executeNative(sql, error);
}

bool PgJobClaims::begin(const std::vector<qint64>& jobIds, QString* error)
{
    if (!m_db || !m_db->isServer())
        return fail(error, QStringLiteral("jobs are shared only through a server database"));
    db::Transaction tx(m_db);
    if (!tx.isActive())
        return fail(error, QStringLiteral("cannot begin a transaction"));
    if (!run(kCreateTables, error))
        return false;
    if (!tx.commit())
        return fail(error, QStringLiteral("commit failed"));

    // Joining and opening go one at a time per kind, so two copies started together share
    // one collection.
    db::Transaction join(m_db);
    if (!join.isActive())
        return fail(error, QStringLiteral("cannot begin a transaction"));
    db::Statement lock = m_db->prepareNative(
        QStringLiteral("SELECT pg_advisory_xact_lock(%1, hashtext(?))").arg(kLockClass), error);
    if (!lock)
        return false;
    lock.bindText(1, m_kind);
    if (lock.step() != db::StepResult::Row)
        return fail(error, lock.errorText());
    lock.reset();
    db::Statement current = m_db->prepareNative(
        QStringLiteral("SELECT id FROM quelmar_team.collections WHERE kind=? AND closed_at IS NULL"
                       " AND active_at >= now() - ?::int * interval '1 second'"
                       " ORDER BY id DESC LIMIT 1"),
        error);
    if (!current)
        return false;
    current.bindText(1, m_kind);
    current.bindInt64(2, m_lease);
    switch (current.step()) {
    case db::StepResult::Row:
        m_collection = current.int64(0);
        break;
    case db::StepResult::Done: {
        db::Statement open = m_db->prepareNative(
            QStringLiteral("INSERT INTO quelmar_team.collections(kind) VALUES(?) RETURNING id"),
            error);
        if (!open)
            return false;
        open.bindText(1, m_kind);
        if (open.step() != db::StepResult::Row)
            return fail(error, open.errorText());
        m_collection = open.int64(0);
        break;
    }
    case db::StepResult::Error:
        return fail(error, current.errorText());
    }
    current.reset();
    // A later copy's own jobs queue behind those listed before.
    db::Statement add = m_db->prepareNative(
        QStringLiteral("INSERT INTO quelmar_team.claims(collection, job_id, seq)"
                       " SELECT ?1::bigint, t.id, t.n + coalesce((SELECT max(seq) FROM"
                       " quelmar_team.claims WHERE collection=?1), 0)"
                       " FROM unnest(?2::bigint[]) WITH ORDINALITY"
                       " AS t(id, n) ON CONFLICT DO NOTHING"),
        error);
    if (!add)
        return false;
    add.bindInt64(1, m_collection);
    add.bindText(2, idArray(jobIds));
    if (!runStatement(add, error))
        return false;
    db::Statement touch = m_db->prepareNative(
        QStringLiteral("UPDATE quelmar_team.collections SET active_at=now() WHERE id=?"), error);
    if (!touch)
        return false;
    touch.bindInt64(1, m_collection);
    if (!runStatement(touch, error))
        return false;
    if (!join.commit())
        return fail(error, QStringLiteral("commit failed"));
    // A copy of an earlier run on this machine that died (a lost server, a kill) left claims
    // that would otherwise wait out their lease.
    return releaseDeadLocalOwners(error) >= 0;
}

std::optional<PgJobClaims::Claimed> PgJobClaims::claimOnce(int wanted, QString* error)
{
    // A claim that was not renewed within the lease belongs to a copy that is gone. A job
    // that failed here goes to the other copies; taking it clears that mark, so it may come
    // back here should the copy that took it die. now() is the statement's one clock: a
    // claim of another copy is either lapsed and taken here, or live and waited for.
    db::Statement st = m_db->prepareNativeCached(
        QStringLiteral(
            "WITH s AS (SELECT job_id FROM quelmar_team.claims"
            "  WHERE collection=?1 AND done_at IS NULL AND attempts < %1"
            "   AND (owner IS NULL OR claimed_at < now() - ?3::int * interval '1 second')"
            "   AND failed_by IS DISTINCT FROM ?2"
            "  ORDER BY seq LIMIT ?4 FOR UPDATE SKIP LOCKED),"
            " u AS (UPDATE quelmar_team.claims c SET owner=?2, claimed_at=now(), failed_by=NULL"
            "  FROM s WHERE c.collection=?1 AND c.job_id=s.job_id RETURNING c.job_id, c.seq),"
            " b AS (SELECT count(*) AS n FROM (SELECT 1 FROM quelmar_team.claims"
            "  WHERE collection=?1 AND done_at IS NULL AND owner IS NOT NULL AND owner<>?2"
            "   AND claimed_at >= now() - ?3::int * interval '1 second' LIMIT 1) x)"
            " SELECT u.job_id, u.seq, b.n FROM b LEFT JOIN u ON true")
            .arg(kMaxAttempts),
        error);
    if (!st)
        return std::nullopt;
    st.bindInt64(1, m_collection);
    st.bindText(2, m_owner);
    st.bindInt64(3, m_lease);
    st.bindInt64(4, std::max(1, wanted));
    Claimed answer;
    std::vector<std::pair<qint64, qint64>> claimed; // seq, job
    db::StepResult r;
    while ((r = st.step()) == db::StepResult::Row) {
        answer.othersBusy = st.int64(2) > 0;
        if (!st.isNull(0))
            claimed.emplace_back(st.int64(1), st.int64(0));
    }
    if (r == db::StepResult::Error) {
        fail(error, st.errorText());
        return std::nullopt;
    }
    std::sort(claimed.begin(), claimed.end());
    answer.ids.reserve(claimed.size());
    for (const auto& [seq, id] : claimed)
        answer.ids.push_back(id);
    return answer;
}

std::optional<PgJobClaims::Claimed> PgJobClaims::claimOrWait(int wanted, QString* error)
{
    if (m_collection == 0) {
        fail(error, QStringLiteral("no collection joined"));
        return std::nullopt;
    }
    std::optional<Claimed> answer = claimOnce(wanted, error);
    if (!answer || !answer->ids.empty() || !answer->othersBusy)
        return answer;
    // Held by others: those of a copy on this machine that has died are free at once.
    const int gone = releaseDeadLocalOwners(error);
    if (gone < 0)
        return std::nullopt;
    return gone > 0 ? claimOnce(wanted, error) : answer;
}

std::optional<std::vector<qint64>> PgJobClaims::claim(int wanted, QString* error)
{
    std::optional<Claimed> answer = claimOrWait(wanted, error);
    if (!answer)
        return std::nullopt;
    return std::move(answer->ids);
}

int PgJobClaims::releaseDeadLocalOwners(QString* error)
{
    const qsizetype colon = m_owner.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return 0; // an owner name without machine and process
    const QString host = m_owner.left(colon + 1);
    db::Statement owners = prepareMine(
        QStringLiteral("SELECT DISTINCT owner FROM quelmar_team.claims WHERE collection=?1"
                       " AND done_at IS NULL AND owner<>?2 AND left(owner, ?3::int)=?4"),
        error, host.size());
    if (!owners)
        return -1;
    owners.bindText(4, host);
    QStringList gone;
    db::StepResult r;
    while ((r = owners.step()) == db::StepResult::Row) {
        const QString owner = owners.text(0);
        bool ok = false;
        const qint64 pid = owner.mid(host.size()).toLongLong(&ok);
        // Not a process of this machine's kind of name, or one that still runs (a reused
        // process id is taken for alive: its claims lapse as any other's).
        if (!ok || pid <= 0 || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        gone << owner;
    }
    if (r == db::StepResult::Error) {
        fail(error, owners.errorText());
        return -1;
    }
    owners = {};
    for (const QString& owner : std::as_const(gone)) {
        db::Statement release = m_db->prepareNativeCached(
            QStringLiteral("UPDATE quelmar_team.claims SET owner=NULL, claimed_at=NULL"
                           " WHERE collection=? AND owner=? AND done_at IS NULL"),
            error);
        if (!release)
            return -1;
        release.bindInt64(1, m_collection);
        release.bindText(2, owner);
        if (!runStatement(release, error))
            return -1;
    }
    return int(gone.size());
}

db::Statement PgJobClaims::prepareMine(
    const QString& sql, QString* error, std::optional<qint64> third)
{
    db::Statement st = m_db->prepareNativeCached(sql, error);
    if (!st)
        return st;
    st.bindInt64(1, m_collection);
    st.bindText(2, m_owner);
    if (third)
        st.bindInt64(3, *third);
    return st;
}

bool PgJobClaims::finish(qint64 jobId, bool ok, QString* error)
{
    // A finished job counts as done whoever holds its claim now: a copy that took over a
    // slow one imports nothing new for it.
    const QString sql = ok
        ? QStringLiteral("UPDATE quelmar_team.claims SET done_at=now(), owner=?2"
                         " WHERE collection=?1 AND job_id=?3")
        : QStringLiteral("UPDATE quelmar_team.claims SET owner=NULL, claimed_at=NULL,"
                         " attempts=attempts+1, failed_by=?2"
                         " WHERE collection=?1 AND job_id=?3 AND owner=?2 AND done_at IS NULL");
    db::Statement st = prepareMine(sql, error, jobId);
    return st && runStatement(st, error);
}

bool PgJobClaims::releaseAll(QString* error)
{
    db::Statement st
        = prepareMine(QStringLiteral("UPDATE quelmar_team.claims SET owner=NULL, claimed_at=NULL"
                                     " WHERE collection=?1 AND owner=?2 AND done_at IS NULL"),
            error);
    return st && runStatement(st, error);
}

bool PgJobClaims::renew(QString* error)
{
    db::Statement claims
        = prepareMine(QStringLiteral("UPDATE quelmar_team.claims SET claimed_at=now()"
                                     " WHERE collection=?1 AND owner=?2 AND done_at IS NULL"),
            error);
    if (!claims || !runStatement(claims, error))
        return false;
    claims = {};
    db::Statement touch = m_db->prepareNativeCached(
        QStringLiteral("UPDATE quelmar_team.collections SET active_at=now() WHERE id=?"), error);
    if (!touch)
        return false;
    touch.bindInt64(1, m_collection);
    return runStatement(touch, error);
}

std::optional<bool> PgJobClaims::othersBusy(QString* error)
{
    db::Statement st = prepareMine(
        QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM quelmar_team.claims WHERE collection=?1"
                       " AND done_at IS NULL AND owner IS NOT NULL AND owner<>?2"
                       " AND claimed_at >= now() - ?3::int * interval '1 second' LIMIT 1) s"),
        error, m_lease);
    if (!st)
        return std::nullopt;
    if (st.step() != db::StepResult::Row) {
        fail(error, st.errorText());
        return std::nullopt;
    }
    return st.int64(0) > 0;
}

bool PgJobClaims::end(QString* error)
{
    if (m_collection == 0)
        return true;
    // A job still unfinished, live, lapsed or released, keeps the collection open for a
    // copy that can take it; closed, the collection would leave it in no one's summary.
    db::Statement st = m_db->prepareNativeCached(
        QStringLiteral(
            "UPDATE quelmar_team.collections SET closed_at=now() WHERE id=?1 AND closed_at IS NULL"
            " AND NOT EXISTS(SELECT 1 FROM quelmar_team.claims WHERE collection=?1"
            "  AND done_at IS NULL AND attempts < %1)")
            .arg(kMaxAttempts),
        error);
    if (!st)
        return false;
    st.bindInt64(1, m_collection);
    return runStatement(st, error);
}

} // namespace quel::db_pg
