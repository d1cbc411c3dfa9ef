#include "db/database.h"

namespace quel::db {

namespace {

// The translation's view of one database.
class DatabaseSchema : public JetSchema
{
public:
    explicit DatabaseSchema(Database& db)
        : m_db(db)
    { }
    std::optional<std::vector<ColumnInfo>> tableColumns(const QString& table) override
    {
        return m_db.tableColumns(table);
    }
    std::optional<std::vector<ColumnInfo>> queryColumns(const QString& sql, QString* error) override
    {
        return m_db.queryColumns(sql, error);
    }
    std::optional<std::vector<ColumnInfo>> queryColumnNames(
        const QString& sql, QString* error) override
    {
        return m_db.queryColumns(sql, error, false);
    }
    QStringList tableNames() override { return m_db.knownTableNames(); }
    std::vector<QStringList> uniqueKeys(const QString& table) override
    {
        return m_db.uniqueKeys(table);
    }

private:
    Database& m_db;
};

constexpr int kStatementCacheLimit = 200;
constexpr int kTranslationCacheLimit = 2000;

// Statements in the engine's own text share the cache with portable ones under another key.
QString nativeKey(const QString& sql)
{
    return QChar(1) + sql;
}

} // namespace

Database::~Database()
{
    clearStatementCache();
}

void Database::close()
{
    clearStatementCache();
    schemaChanged();
}

void Database::clearStatementCache()
{
    for (StatementCore* stmt : std::as_const(m_statements))
        delete stmt;
    m_statements.clear();
}

bool Database::dropTable(const QString& table, QString* error)
{
    QString name = table;
    name.replace(u'"', QStringLiteral("\"\""));
    return executeNative(QStringLiteral("DROP TABLE \"%1\"").arg(name), error);
}

bool Database::dropWorkTable(const QString& table, QString* error)
{
    return dropTable(table, error);
}

bool Database::execute(const QString& jetSql, QString* error)
{
    QStringList statements;
    bool changesSchema = false;
    auto cached = m_translations.constFind(jetSql);
    if (cached != m_translations.cend()) {
        statements = *cached;
    } else {
        DatabaseSchema schema(*this);
        QString message;
        const auto translation = translate(jetSql, schema, &message);
        if (!translation) {
            if (error)
                *error = message;
            return false;
        }
        statements = translation->statements;
        changesSchema = translation->changesSchema;
        // Statements that change the schema are not cached: their translation depends on it.
        if (!changesSchema) {
            if (m_translations.size() >= kTranslationCacheLimit)
                m_translations.clear();
            m_translations.insert(jetSql, statements);
        }
    }
    return runStatements(statements, changesSchema, error);
}

bool Database::runStatements(const QStringList& statements, bool changesSchema, QString* error)
{
    bool ok = true;
    // A SELECT ... INTO is two statements: both or neither.
    const bool multi = statements.size() > 1;
    const QString savepoint = QStringLiteral("quel_exec_%1").arg(multi ? nextSavepointId() : 0);
    if (multi && !beginSavepoint(savepoint)) {
        if (error)
            *error = lastErrorText();
        return false;
    }
    for (const QString& sql : statements) {
        Statement stmt;
        stmt = changesSchema ? prepareNative(sql, error) : prepareNativeCached(sql, error);
        if (!stmt || !stmt.run()) {
            if (stmt && error)
                *error = stmt.errorText();
            ok = false;
            break;
        }
    }
    if (multi) {
        if (ok)
            ok = releaseSavepoint(savepoint);
        else
            rollbackSavepoint(savepoint);
    }
    if (changesSchema)
        schemaChanged();
    return ok;
}

std::optional<QString> Database::translateQuery(const QString& jetSql, QString* error)
{
    auto cached = m_translations.constFind(jetSql);
    if (cached != m_translations.cend() && cached->size() == 1)
        return cached->front();
    DatabaseSchema schema(*this);
    const auto translation = translate(jetSql, schema, error);
    if (!translation)
        return std::nullopt;
    if (!translation->isQuery) {
        if (error)
            *error = QStringLiteral("not a query");
        return std::nullopt;
    }
    if (m_translations.size() >= kTranslationCacheLimit)
        m_translations.clear();
    m_translations.insert(jetSql, translation->statements);
    return translation->statements.front();
}

bool Database::beginSavepoint(const QString& name)
{
    return executeNative(QStringLiteral("SAVEPOINT ") + name);
}

bool Database::releaseSavepoint(const QString& name)
{
    return executeNative(QStringLiteral("RELEASE ") + name);
}

void Database::rollbackSavepoint(const QString& name)
{
    executeNative(QStringLiteral("ROLLBACK TO ") + name);
    executeNative(QStringLiteral("RELEASE ") + name);
}

Statement Database::prepare(const QString& sql, QString* error)
{
    DatabaseSchema schema(*this);
    const auto native = nativeText(sql, schema, error);
    if (!native)
        return {};
    return compile(*native, error);
}

Statement Database::prepareCached(const QString& sql, QString* error)
{
    return prepareCachedWith(sql, error, [this, &sql](QString* why) { return prepare(sql, why); });
}

Statement Database::prepareNativeCached(const QString& sql, QString* error)
{
    return prepareCachedWith(
        nativeKey(sql), error, [this, &sql](QString* why) { return compile(sql, why); });
}

Statement Database::prepareCachedWith(
    const QString& key, QString* error, const std::function<Statement(QString*)>& make)
{
    if (!isOpen())
        return make(error);
    auto found = m_statements.find(key);
    if (found != m_statements.end()) {
        // A statement still in use (a nested caller) is not shared: take a fresh one.
        if (found.value()->lent || found.value()->busy())
            return make(error);
        found.value()->lent = true;
        return Statement(found.value(), false);
    }
    Statement fresh = make(error);
    if (!fresh)
        return {};
    if (m_statements.size() >= kStatementCacheLimit) {
        // Evict statements that are not in use.
        for (auto it = m_statements.begin(); it != m_statements.end();) {
            if (!it.value()->lent && !it.value()->busy()) {
                delete it.value();
                it = m_statements.erase(it);
            } else {
                ++it;
            }
        }
    }
    // The cache owns it from now on.
    StatementCore* raw = fresh.take();
    raw->keep();
    raw->lent = true;
    m_statements.insert(key, raw);
    return Statement(raw, false);
}

std::optional<std::vector<ColumnInfo>> Database::tableColumns(const QString& table)
{
    auto found = m_tables.constFind(table.toLower());
    if (found != m_tables.cend()) {
        if (found->empty())
            return std::nullopt;
        return *found;
    }
    std::vector<ColumnInfo> columns = readTableColumns(table);
    m_tables.insert(table.toLower(), columns);
    if (columns.empty())
        return std::nullopt;
    return columns;
}

const QStringList& Database::knownTableNames()
{
    if (!m_tableNames)
        m_tableNames = tableNames();
    return *m_tableNames;
}

void Database::schemaChanged()
{
    m_tables.clear();
    m_tableNames.reset();
    m_translations.clear();
}

} // namespace quel::db
