// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QtGlobal>

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::store {

// Locks that keep the copies of the program writing one server database at once apart, held
// until the transaction ends. A file has one writer at a time: there they are nothing and
// always succeed. False with the server's message when a lock cannot be asked for.

// The product's lock keeps two imports of one product (a job taken over from a machine that
// was only slow) apart, so the second sees the first's trades and stores none of them again.
bool LockProduct(db::Database& db, qint64 productId, QString* error);

// The locks of the buyer codes an import may add, in one order for every machine (so two
// imports never wait on each other in a circle): a code another machine adds meanwhile is
// then seen as stored once its import commits, and is neither added twice nor refused.
bool LockBuyerCodes(db::Database& db, const QStringList& codes, QString* error);

} // namespace quel::store
