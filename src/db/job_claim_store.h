// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace quel::db {

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
// A job is claimed for this copy for the lease time;
// the claims of a running copy are renewed, so only those of a copy that stopped renewing
// (it died, or its machine did) expire and are taken over. A job that failed is released
// for the other copies (not for the copy it failed on) until it has failed kMaxAttempts
// times in the collection.
//
// An engine that can share a database between machines implements it; a file has one
// writer, which does every job itself.
class JobClaimStore
{
public:
    // How often a job may fail in one collection before it is left for the next one.
    static constexpr int kMaxAttempts = 3;

    virtual ~JobClaimStore() = default;

    // Joins or opens the collection and adds the jobs (by ID, in the order they should be
    // done) to it. False with a reason when the server refuses.
    virtual bool begin(const std::vector<qint64>& jobIds, QString* error = nullptr) = 0;
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
    virtual std::optional<Claimed> claimOrWait(int wanted, QString* error = nullptr) = 0;
    // claimOrWait's jobs alone.
    virtual std::optional<std::vector<qint64>> claim(int wanted, QString* error = nullptr) = 0;
    // Gives back the unfinished claims of owners on this machine (same host name) whose
    // process no longer runs; returns how many owners were found gone, or -1 on an error.
    virtual int releaseDeadLocalOwners(QString* error = nullptr) = 0;
    // A job of ours ended: done, or failed and released for the other copies.
    virtual bool finish(qint64 jobId, bool ok, QString* error = nullptr) = 0;
    // Gives every unfinished job of ours back at once (a run that is stopped).
    virtual bool releaseAll(QString* error = nullptr) = 0;
    // Keeps this copy's claims from expiring.
    virtual bool renew(QString* error = nullptr) = 0;
    // Whether another copy holds a claim that has not expired: while it does, this copy
    // waits rather than ends, to take the claim over should that copy die.
    virtual std::optional<bool> othersBusy(QString* error = nullptr) = 0;
    // Closes the collection when no job of it is left open: none unfinished that may still
    // be tried, held by a copy or not (the last copy to finish closes it).
    virtual bool end(QString* error = nullptr) = 0;

    virtual qint64 collection() const = 0;
    // This copy's name in the claims.
    virtual const QString& owner() const = 0;
    // Seconds a claim holds without being renewed.
    virtual int lease() const = 0;
};

} // namespace quel::db
