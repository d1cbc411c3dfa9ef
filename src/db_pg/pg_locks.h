// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <vector>

class QString;

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::db_pg {

// Transaction locks on the server (advisory locks, given back at commit or rollback). The
// statement is sent without waiting for its reply: the lock is taken when the server comes
// to it, and the next statement that waits fails if it was not.

// The lock of a pair of numbers (each within the int range), apart from the locks of
// single numbers.
bool LockPair(db::Database& db, qint64 first, qint64 second, QString* error);
// The locks of single numbers, taken in the order given, in one statement.
bool LockNumbers(db::Database& db, const std::vector<qint64>& keys, QString* error);

} // namespace quel::db_pg
