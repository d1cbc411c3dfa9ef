// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/job_claim_store.h"

#include <QString>
#include <memory>

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::store {

// The worker watchdog (1260 s) and a few minutes' margin.
inline constexpr int kDefaultClaimLeaseSeconds = 1500;

// The lease time: QUELMAR_LEASE_SECONDS when set to a whole number of at least 1, else the
// default.
int ClaimLeaseSeconds();
// This copy's name in the claims: the machine and the process.
QString ClaimOwnerName();

// The claims of one collection kind ("details", "details --all", "buyers", ...) on a database
// that machines share; none on a file, where one copy does every job.
std::unique_ptr<db::JobClaimStore> OpenJobClaims(std::shared_ptr<db::Database> db,
    const QString& collectionKind, int leaseSeconds = ClaimLeaseSeconds(),
    const QString& owner = ClaimOwnerName());

} // namespace quel::store
