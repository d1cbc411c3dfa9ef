// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/job_claim_store.h"
#include "db/statement.h"

#include <memory>

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::db_pg {

// The job claims on a server: they live in the schema quelmar_team (created on first use),
// out of sight of the program's table lists, and the copies' statements on them keep apart
// by advisory locks and row locks skipped by the other copies.
class PgJobClaims final : public db::JobClaimStore
{
public:
    PgJobClaims(std::shared_ptr<db::Database> db, const QString& collectionKind, int leaseSeconds,
        const QString& owner);

    bool begin(const std::vector<qint64>& jobIds, QString* error = nullptr) override;
    std::optional<Claimed> claimOrWait(int wanted, QString* error = nullptr) override;
    std::optional<std::vector<qint64>> claim(int wanted, QString* error = nullptr) override;
    int releaseDeadLocalOwners(QString* error = nullptr) override;
    bool finish(qint64 jobId, bool ok, QString* error = nullptr) override;
    bool releaseAll(QString* error = nullptr) override;
    bool renew(QString* error = nullptr) override;
    std::optional<bool> othersBusy(QString* error = nullptr) override;
    bool end(QString* error = nullptr) override;

    qint64 collection() const override { return m_collection; }
    const QString& owner() const override { return m_owner; }
    int lease() const override { return m_lease; }

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

} // namespace quel::db_pg
