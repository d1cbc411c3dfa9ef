// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/write_locks.h"

#include "db/database.h"
#include "db_pg/pg_locks.h"

#include <algorithm>
#include <vector>

namespace quel::store {

namespace {

// The lock of one buyer code (in the server's one-number lock space, apart from the
// products'): FNV-1a of its UTF-8 text.
qint64 buyerCodeLockKey(const QByteArray& code)
{
    quint64 h = 1469598103934665603ull;
    for (const char c : code) {
        h ^= quint64(static_cast<unsigned char>(c));
        h *= 1099511628211ull;
    }
    return qint64(h);
}

} // namespace

bool LockProduct(db::Database& db, qint64 productId, QString* error)
{
    if (!db.isServer())
        return true;
    return db_pg::LockPair(db, qint64(quint64(productId) >> 32),
        qint64(qint32(quint32(quint64(productId) & 0xffffffffu))), error);
}

bool LockBuyerCodes(db::Database& db, const QStringList& codes, QString* error)
{
    if (!db.isServer() || codes.isEmpty())
        return true;
    std::vector<qint64> keys;
    keys.reserve(std::size_t(codes.size()));
    for (const QString& code : codes)
        keys.push_back(buyerCodeLockKey(code.toUtf8()));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return db_pg::LockNumbers(db, keys, error);
}

} // namespace quel::store
