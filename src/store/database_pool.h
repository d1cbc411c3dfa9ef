// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/database.h"

#include <QHash>
#include <QString>
#include <memory>

namespace quel::core {
class Feedback;
}

namespace quel::store {

// Opens a database file (or a server address) with the key and reads its table list, so a
// wrong key or a file that is not a database is reported here. A missing file is an error
// unless create is set.
std::shared_ptr<db::Database> OpenDatabase(
    const QString& path, const QString& key, QString* error, bool create = false);

// The process's open handles, one per database file (by absolute path). Handles stay open
// until released, so private connections of single statements do not pay the key
// derivation again. Release a file before replacing or deleting it.
class DatabasePool
{
public:
    static DatabasePool& shared();

    // The handle on the file, opened (and given what an older file lacks, with progress
    // through `feedback` where given) on first use.
    std::shared_ptr<db::Database> acquire(
        const QString& path, QString* error, core::Feedback* feedback = nullptr);
    void release(const QString& path);
    // Closes the process's handle on the file, if any, and forgets it.
    void close(const QString& path);
    void releaseAll();

private:
    QHash<QString, std::shared_ptr<db::Database>> m_open;
};

} // namespace quel::store
