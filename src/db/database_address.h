#pragma once

#include <QString>

namespace quel::db {

// A database is named by a file path or by a server address
// ("postgresql://user@host:port/dbname"). The address never holds a password: libpq takes
// it from ~/.pgpass or PGPASSWORD.
inline bool IsServerAddress(const QString& pathOrAddress)
{
    return pathOrAddress.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || pathOrAddress.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

} // namespace quel::db
