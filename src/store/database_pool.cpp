// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/database_pool.h"

#include "db_pg/pg_database.h"
#include "db_pg/server_address.h"
#include "db_sqlite/sqlite_database.h"
#include "store/database_key.h"
#include "store/schema.h"

#include <QFileInfo>

namespace quel::store {

namespace {

// A file by its absolute path; a server address as written.
QString poolKey(const QString& path)
{
    return db_pg::IsServerAddress(path) ? path : QFileInfo(path).absoluteFilePath();
}

} // namespace

std::shared_ptr<db::Database> OpenDatabase(
    const QString& path, const QString& key, QString* error, bool create)
{
    if (db_pg::IsServerAddress(path))
        return db_pg::PgDatabase::open(path, error,
            { QStringLiteral("产品表"),
                [](db::Database& db, QString* why) { return createSchema(db, why); } });
    return db_sqlite::SqliteDatabase::open(path, key, error, create);
}

DatabasePool& DatabasePool::shared()
{
    // The process's handles: one per file, as the key derivation on every open is slow.
    static DatabasePool pool;
    return pool;
}

std::shared_ptr<db::Database> DatabasePool::acquire(
    const QString& path, QString* error, core::Feedback* feedback)
{
    const QString key = poolKey(path);
    const bool server = db_pg::IsServerAddress(key);
    auto found = m_open.constFind(key);
    if (found != m_open.cend()) {
        // The file may have been deleted or replaced behind the handle's back.
        if ((*found)->isOpen() && (server || QFileInfo(key).isFile()))
            return *found;
        m_open.remove(key);
    }
    auto db = OpenDatabase(key, QString::fromLatin1(kDatabasePassword), error);
    if (db) {
        ensureSchema(*db, feedback);
        m_open.insert(key, db);
    }
    return db;
}

void DatabasePool::release(const QString& path)
{
    m_open.remove(poolKey(path));
}

void DatabasePool::close(const QString& path)
{
    const QString key = poolKey(path);
    if (auto found = m_open.constFind(key); found != m_open.cend())
        (*found)->close();
    m_open.remove(key);
}

void DatabasePool::releaseAll()
{
    m_open.clear();
}

} // namespace quel::store
