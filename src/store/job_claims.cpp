// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/job_claims.h"

#include "db/database.h"
#include "db_pg/pg_job_claims.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace quel::store {

int ClaimLeaseSeconds()
{
    bool ok = false;
    const int given = qEnvironmentVariableIntValue("QUELMAR_LEASE_SECONDS", &ok);
    return ok && given >= 1 ? given : kDefaultClaimLeaseSeconds;
}

QString ClaimOwnerName()
{
    return QSysInfo::machineHostName() + QLatin1Char(':')
        + QString::number(QCoreApplication::applicationPid());
}

std::unique_ptr<db::JobClaimStore> OpenJobClaims(std::shared_ptr<db::Database> db,
    const QString& collectionKind, int leaseSeconds, const QString& owner)
{
    if (!db || !db->isServer())
        return nullptr;
    return std::make_unique<db_pg::PgJobClaims>(std::move(db), collectionKind, leaseSeconds, owner);
}

} // namespace quel::store
