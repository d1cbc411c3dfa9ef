#include "store/database.h"

#include "store/jet_sql.h"
#include "store/schema.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace quel::store {

ColumnKind columnKindOfDeclType(const QString& declType)
{
    const QString t = declType.toUpper();
    if (t.isEmpty())
        return ColumnKind::Other;
    if (t.startsWith(QLatin1String("DATE")) || t.startsWith(QLatin1String("TIME")))
        return ColumnKind::Date;
    // SQLite's own affinity rules, in their order.
    if (t.contains(QLatin1String("INT")))
        return ColumnKind::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
        || t.contains(QLatin1String("TEXT")))
        return ColumnKind::Text;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA"))
        || t.contains(QLatin1String("DOUB")))
        return ColumnKind::Real;
    return ColumnKind::Other;
}

Statement::Statement(Statement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr))
    , m_owned(other.m_owned)
{ }

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        release();
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_owned = other.m_owned;
    }
    return *this;
}

Statement::~Statement()
{
    release();
}

void Statement::release()
{
    if (!m_stmt)
        return;
    if (m_owned) {
        sqlite3_finalize(m_stmt);
    } else {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    m_stmt = nullptr;
}

namespace {

QString errorText(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

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

private:
    Database& m_db;
};

constexpr int kStatementCacheLimit = 200;
constexpr int kTranslationCacheLimit = 2000;

} // namespace

Database::Database(sqlite3* db, const QString& path)
    : m_db(db)
    , m_path(path)
{ }

Database::~Database()
{
    close();
}

void Database::close()
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    schemaChanged();
    if (m_db) {
        // The last connection on the file folds the write-ahead log back into it.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

std::shared_ptr<Database> Database::open(
    const QString& path, const QString& key, QString* error, bool create)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return nullptr;
    };
    if (!create && !QFileInfo(path).isFile())
        return fail(QStringLiteral("数据库文件不存在：") + path);
    // SQLite would take an empty file for a new, empty database and the program would
    // carry on as if the user's data were gone. A database of the program is never empty.
    if (!create && QFileInfo(path).size() == 0)
        return fail(QStringLiteral("数据库文件是空的（0 字节），不是有效的数据库：") + path);
    sqlite3* raw = nullptr;
    // CREATE also lets ATTACH make a new file (compaction); the file itself was checked above.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    std::shared_ptr<Database> db(new Database(raw, path));
    if (rc != SQLITE_OK)
        return fail(raw ? errorText(raw) : QStringLiteral("out of memory"));
    QString keyText = key;
    keyText.replace(u'\'', QStringLiteral("''"));
    // The key has to be set before anything reads the file; reading sqlite_master then
    // tells a wrong key (or a file that is no database) at once.
    QString message;
    if (!db->executeNative(QStringLiteral("PRAGMA key = '%1'").arg(keyText), &message))
        return fail(message);
    if (!db->executeNative(QStringLiteral("SELECT count(*) FROM sqlite_master"), &message))
        return fail(QStringLiteral("无法读取数据库（密码错误或文件已损坏）：") + message);
    sqlite3_busy_timeout(raw, 2000);
    // A write-ahead log makes the many small commits of imports cheap (no sync per
    // commit) while a crash still loses no committed work.
    db->executeNative(QStringLiteral("PRAGMA journal_mode=WAL"));
    db->executeNative(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // A year's database is over a gigabyte: imports and deletions touch index pages all over
    // it, and re-reading one means decrypting it again.
    db->executeNative(QStringLiteral("PRAGMA cache_size=-32768"));
    return db;
}

bool Database::executeNative(const QString& sql, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("database closed");
        return false;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error)
            *error = message ? QString::fromUtf8(message) : errorText(m_db);
        sqlite3_free(message);
        return false;
    }
    return true;
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
        const auto translation = translateJet(jetSql, schema, &message);
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
    bool ok = true;
    // A SELECT ... INTO is two statements: both or neither.
    const bool multi = statements.size() > 1;
    const int savepoint = multi ? nextSavepointId() : 0;
    if (multi)
        executeNative(QStringLiteral("SAVEPOINT quel_exec_%1").arg(savepoint));
    for (const QString& sql : std::as_const(statements)) {
        Statement stmt = changesSchema ? prepare(sql, error) : prepareCached(sql, error);
        if (!stmt) {
            ok = false;
            break;
        }
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) { }
        if (rc != SQLITE_DONE) {
            if (error)
                *error = errorText(m_db);
            ok = false;
            break;
        }
    }
    if (multi) {
        if (!ok)
            executeNative(QStringLiteral("ROLLBACK TO quel_exec_%1").arg(savepoint));
        executeNative(QStringLiteral("RELEASE quel_exec_%1").arg(savepoint));
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
    const auto translation = translateJet(jetSql, schema, error);
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

Statement Database::prepare(const QString& sql, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("database closed");
        return {};
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc
        = sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK || !stmt) {
        if (error)
            *error = rc == SQLITE_OK ? QStringLiteral("empty statement") : errorText(m_db);
        sqlite3_finalize(stmt);
        return {};
    }
    // Never run a second statement smuggled into the text.
    for (; tail && *tail; ++tail) {
        if (!isspace(static_cast<unsigned char>(*tail)) && *tail != ';') {
            sqlite3_finalize(stmt);
            if (error)
                *error = QStringLiteral("more than one statement");
            return {};
        }
    }
    return Statement(stmt, true);
}

Statement Database::prepareCached(const QString& sql, QString* error)
{
    if (!m_db)
        return prepare(sql, error);
    auto found = m_statements.find(sql);
    if (found != m_statements.end()) {
        // A statement still in use (a nested caller) is not shared: take a fresh one.
        if (sqlite3_stmt_busy(found.value()))
            return prepare(sql, error);
        return Statement(found.value(), false);
    }
    Statement fresh = prepare(sql, error);
    if (!fresh)
        return {};
    if (m_statements.size() >= kStatementCacheLimit) {
        // Evict statements that are not in use.
        for (auto it = m_statements.begin(); it != m_statements.end();) {
            if (!sqlite3_stmt_busy(it.value())) {
                sqlite3_finalize(it.value());
                it = m_statements.erase(it);
            } else {
                ++it;
            }
        }
    }
    // The cache owns it from now on.
    sqlite3_stmt* raw = fresh.take();
    Statement borrowed(raw, false);
    m_statements.insert(sql, raw);
    return borrowed;
}

std::optional<std::vector<ColumnInfo>> Database::tableColumns(const QString& table)
{
    auto found = m_tables.constFind(table.toLower());
    if (found != m_tables.cend()) {
        if (found->empty())
            return std::nullopt;
        return *found;
    }
    std::vector<ColumnInfo> columns;
    QString escaped = table;
    escaped.replace(u'"', QStringLiteral("\"\""));
    Statement stmt = prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(escaped));
    if (stmt) {
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            ColumnInfo c;
            c.name = QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1)));
            c.declType = QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2)));
            c.kind = columnKindOfDeclType(c.declType);
            columns.push_back(c);
        }
    }
    m_tables.insert(table.toLower(), columns);
    if (columns.empty())
        return std::nullopt;
    return columns;
}

std::optional<std::vector<ColumnInfo>> Database::queryColumns(
    const QString& sql, QString* error, bool withTypes)
{
    Statement stmt = prepare(sql, error);
    if (!stmt)
        return std::nullopt;
    const int count = sqlite3_column_count(stmt.get());
    std::vector<ColumnInfo> columns(static_cast<size_t>(count));
    bool needRow = false;
    for (int i = 0; i < count; ++i) {
        ColumnInfo& c = columns[static_cast<size_t>(i)];
        c.name = QString::fromUtf8(sqlite3_column_name(stmt.get(), i));
        const char* decl = sqlite3_column_decltype(stmt.get(), i);
        c.declType = decl ? QString::fromUtf8(decl) : QString();
        c.kind = columnKindOfDeclType(c.declType);
        needRow = needRow || !decl;
    }
    // Expressions have no declared type: take the type of the first row's value.
    if (withTypes && needRow && sqlite3_step(stmt.get()) == SQLITE_ROW) {
        for (int i = 0; i < count; ++i) {
            ColumnInfo& c = columns[static_cast<size_t>(i)];
            if (!c.declType.isEmpty())
                continue;
            switch (sqlite3_column_type(stmt.get(), i)) {
            case SQLITE_INTEGER:
                c.declType = QStringLiteral("INTEGER");
                c.kind = ColumnKind::Integer;
                break;
            case SQLITE_FLOAT:
                c.declType = QStringLiteral("REAL");
                c.kind = ColumnKind::Real;
                break;
            case SQLITE_TEXT:
                c.declType = QStringLiteral("TEXT");
                c.kind = ColumnKind::Text;
                break;
            default:
                break;
            }
        }
    }
    return columns;
}

QStringList Database::tableNames()
{
    QStringList names;
    Statement stmt
        = prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT "
                                 "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    if (!stmt)
        return names;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        names << QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
    return names;
}

void Database::schemaChanged()
{
    m_tables.clear();
    m_translations.clear();
}

QString Database::lastErrorText() const
{
    return m_db ? errorText(m_db) : QStringLiteral("database closed");
}

int Database::lastErrorCode() const
{
    return m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
}

DatabasePool& DatabasePool::shared()
{
    // The process's handles: one per file, as the key derivation on every open is slow.
    static DatabasePool pool;
    return pool;
}

std::shared_ptr<Database> DatabasePool::acquire(const QString& path, QString* error)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    auto found = m_open.constFind(key);
    if (found != m_open.cend()) {
        // The file may have been deleted or replaced behind the handle's back.
        if ((*found)->isOpen() && QFileInfo(key).isFile())
            return *found;
        m_open.remove(key);
    }
    auto db = Database::open(key, QString::fromLatin1(kDatabasePassword), error);
    if (db) {
        ensureSchema(*db);
        m_open.insert(key, db);
    }
    return db;
}

void DatabasePool::release(const QString& path)
{
    m_open.remove(QFileInfo(path).absoluteFilePath());
}

void DatabasePool::close(const QString& path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    if (auto found = m_open.constFind(key); found != m_open.cend())
        (*found)->close();
    m_open.remove(key);
}

void DatabasePool::releaseAll()
{
    m_open.clear();
}

} // namespace quel::store
