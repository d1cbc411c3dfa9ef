#pragma once

#include "db/statement.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::download {

// Shares the jobs of one download between the copies of the program that run it against one
// server database, so that several machines collect without doing a job twice and without
// losing one when a machine dies.
//
// A collection is one pass over a list of jobs of one kind ("details", "details --all",
// "buyers", ...). A run joins the collection of its kind that is still under way (not closed,
// and some copy claimed or finished a job in it within the lease time); otherwise it opens a
// new one. Every run adds its own job list to the collection, so two runs started with --all
// share one list and each product is done once, however far apart the two were started
// within the collection. A collection closes when its last running copy has nothing left to
// claim; the next run after that opens a new one and starts from the whole list again.
//
// The claims live on the server in the schema quelmar_team (created on first use), out of
// sight of the program's table lists. A job is claimed for this copy for the lease time;
// the claims of a running copy are renewed, so only those of a copy that stopped renewing
// (it died, or its machine did) expire and are taken over. A job that failed is released
// for the other copies (not for the copy it failed on) until it has failed kMaxAttempts
// times in the collection.
class JobClaims
{
public:
    // How often a job may fail in one collection before it is left for the next one.
    static constexpr int kMaxAttempts = 3;
    // The worker watchdog (1260 s) and a few minutes' margin.
    static constexpr int kDefaultLeaseSeconds = 1500;

    // The lease time: QUELMAR_LEASE_SECONDS when set to a whole number of at least 1, else
    // the default.
    static int leaseSeconds();
    // This copy's name in the claims: the machine and the process.
    static QString defaultOwner();

    JobClaims(std::shared_ptr<db::Database> db, const QString& collectionKind,
        int leaseSeconds = JobClaims::leaseSeconds(), const QString& owner = defaultOwner());

    // Joins or opens the collection and adds the jobs (by ID, in the order they should be
    // done) to it. False with a reason when the server refuses.
    bool begin(const std::vector<qint64>& jobIds, QString* error = nullptr);
    // What one claim found: the jobs now this copy's, in list order, and whether another copy
    // holds a claim that has not lapsed, both on the one clock of a single statement (a
    // claim that lapses between two statements would be neither taken nor waited for).
    struct Claimed
    {
        std::vector<qint64> ids;
        bool othersBusy = false;
    };
    // Claims up to wanted jobs for this copy; nullopt on an error. When none was free, the
    // claims of owners on this machine whose process is gone are given back first, so that
    // a rerun after a crash does not wait out their lease.
    std::optional<Claimed> claimOrWait(int wanted, QString* error = nullptr);
    // claimOrWait's jobs alone.
    std::optional<std::vector<qint64>> claim(int wanted, QString* error = nullptr);
    // Gives back the unfinished claims of owners on this machine (same host name) whose
    // process no longer runs; returns how many owners were found gone, or -1 on an error.
    int releaseDeadLocalOwners(QString* error = nullptr);
    // A job of ours ended: done, or failed and released for the other copies.
    bool finish(qint64 jobId, bool ok, QString* error = nullptr);
    // Gives every unfinished job of ours back at once (a run that is stopped).
    bool releaseAll(QString* error = nullptr);
    // Keeps this copy's claims from expiring.
    bool renew(QString* error = nullptr);
    // Whether another copy holds a claim that has not expired: while it does, this copy
    // waits rather than ends, to take the claim over should that copy die.
    std::optional<bool> othersBusy(QString* error = nullptr);
    // Closes the collection when no job of it is left open: none unfinished that may still
    // be tried, held by a copy or not (the last copy to finish closes it).
    bool end(QString* error = nullptr);

    qint64 collection() const { return m_collection; }
    const QString& owner() const { return m_owner; }
    int lease() const { return m_lease; }

private:
    bool run(const QString& sql, QString* error);
    // A kept statement on this copy's claims: ?1 the collection, ?2 this copy, ?3 third.
    db::Statement prepareMine(
        const QString& sql, QString* error, std::optional<qint64> third = std::nullopt);
    std::optional<Claimed> claimOnce(int wanted, QString* error);

    std::shared_ptr<db::Database> m_db;
    QString m_kind;
    int m_lease;
    QString m_owner;
    qint64 m_collection = 0;
};

} // namespace quel::download
