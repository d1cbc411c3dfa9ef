#include "db/connection.h"

#include "db/database.h"

namespace quel::db {

Transaction::Transaction(std::shared_ptr<Database> db)
{
    if (!db)
        return;
    // Savepoints nest, so a guarded step may run inside a larger guarded operation.
    const QString name = QStringLiteral("quel_tx_%1").arg(db->nextSavepointId());
    if (db->beginSavepoint(name)) {
        m_db = std::move(db);
        m_name = name;
    }
}

Transaction::Transaction(Transaction&& other) noexcept
    : m_db(std::move(other.m_db))
    , m_name(std::move(other.m_name))
{
    other.m_db.reset();
}

Transaction& Transaction::operator=(Transaction&& other) noexcept
{
    if (this != &other) {
        rollback();
        m_db = std::move(other.m_db);
        m_name = std::move(other.m_name);
        other.m_db.reset();
    }
    return *this;
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::commit(QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("no transaction");
        return false;
    }
    const bool ok = m_db->releaseSavepoint(m_name);
    if (!ok) {
        if (error)
            *error = m_db->lastErrorText();
        rollback();
        return false;
    }
    m_db.reset();
    return true;
}

void Transaction::rollback()
{
    if (!m_db)
        return;
    m_db->rollbackSavepoint(m_name);
    // Tables made or dropped inside are undone too: forget what was learnt about them.
    m_db->schemaChanged();
    m_db.reset();
}

bool Connection::execute(const QString& jetSql, QString* error) const
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("connection not open");
        return false;
    }
    return m_db->execute(jetSql, error);
}

Transaction Connection::transaction() const
{
    return Transaction(m_db);
}

} // namespace quel::db
