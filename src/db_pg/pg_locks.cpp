// SPDX-License-Identifier: GPL-3.0-or-later
#include "db_pg/pg_locks.h"

#include "db/database.h"

#include <QString>

namespace quel::db_pg {

namespace {

bool sent(db::Statement& st, QString* error)
{
    if (st.send())
        return true;
    if (error)
        *error = st.errorText();
    return false;
}

} // namespace

bool LockPair(db::Database& db, qint64 first, qint64 second, QString* error)
{
    db::Statement st = db.prepareNativeCached(
        QStringLiteral("SELECT pg_advisory_xact_lock(?::int, ?::int)"), error);
    if (!st)
        return false;
    st.bindInt64(1, first);
    st.bindInt64(2, second);
    return sent(st, error);
}

bool LockNumbers(db::Database& db, const std::vector<qint64>& keys, QString* error)
{
    if (keys.empty())
        return true;
    QString list = QStringLiteral("{");
    for (std::size_t i = 0; i < keys.size(); ++i)
        list += (i == 0 ? QString() : QStringLiteral(",")) + QString::number(keys[i]);
    list += QLatin1Char('}');
    db::Statement st = db.prepareNativeCached(
        QStringLiteral("SELECT count(pg_advisory_xact_lock(k)) FROM (SELECT k FROM"
                       " unnest(?::bigint[]) WITH ORDINALITY AS t(k, n) ORDER BY n) AS s"),
        error);
    if (!st)
        return false;
    st.bindText(1, list);
    return sent(st, error);
}

} // namespace quel::db_pg
