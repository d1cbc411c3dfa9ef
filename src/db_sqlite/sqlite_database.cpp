#include "db_sqlite/sqlite_database.h"

#include "db_sqlite/packed_date.h"
#include "db_sqlite/sqlite_dialect.h"
#include "db_sqlite/vector_state.h"
#include "jet/jet_sql.h"

#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>
#include <unistd.h>

namespace quel::db_sqlite {

using db::ColumnInfo;
using db::ColumnKind;
using db::columnKindOfDeclType;
using db::Database;
using db::DatePart;
using db::JetSchema;
using db::JetTranslation;
using db::Statement;
using db::StatementCore;
using db::StepResult;
using jet::translateJet;

namespace {

qint64 physicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
}

QString errorText(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

class SqliteStatement final : public StatementCore
{
public:
    SqliteStatement(sqlite3_stmt* stmt, sqlite3* db)
        : m_stmt(stmt)
        , m_db(db)
    { }
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bindNull(int index) override { sqlite3_bind_null(m_stmt, index); }
    void bindInt64(int index, qint64 value) override { sqlite3_bind_int64(m_stmt, index, value); }
    void bindDouble(int index, double value) override { sqlite3_bind_double(m_stmt, index, value); }
    void bindText(int index, QByteArrayView utf8) override
    {
        // An empty view may carry no pointer, and SQLite would take that for NULL.
        sqlite3_bind_text(
            m_stmt, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindBlob(int index, QByteArrayView bytes) override
    {
        sqlite3_bind_blob(
            m_stmt, index, bytes.data() ? bytes.data() : "", int(bytes.size()), SQLITE_TRANSIENT);
    }

    StepResult step() override
    {
        clearUpperVectorState();
        switch (sqlite3_step(m_stmt)) {
        case SQLITE_ROW:
            return StepResult::Row;
        case SQLITE_DONE:
            m_changes = sqlite3_changes(m_db);
            return StepResult::Done;
        default:
            return StepResult::Error;
        }
    }
    void reset() override { sqlite3_reset(m_stmt); }
    void clearBindings() override { sqlite3_clear_bindings(m_stmt); }
    bool busy() const override { return sqlite3_stmt_busy(m_stmt) != 0; }

    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    ColumnInfo column(int index) const override
    {
        ColumnInfo c;
        c.name = QString::fromUtf8(sqlite3_column_name(m_stmt, index));
        const char* decl = sqlite3_column_decltype(m_stmt, index);
        c.declType = decl ? QString::fromUtf8(decl) : QString();
        c.kind = columnKindOfDeclType(c.declType);
        return c;
    }
    bool isNull(int index) const override
    {
        return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
    }
    qint64 int64(int index) const override { return sqlite3_column_int64(m_stmt, index); }
    double real(int index) const override { return sqlite3_column_double(m_stmt, index); }
    QByteArrayView utf8(int index) const override
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
        return QByteArrayView(text, text ? sqlite3_column_bytes(m_stmt, index) : 0);
    }
    QVariant value(int index) const override
    {
        switch (sqlite3_column_type(m_stmt, index)) {
        case SQLITE_INTEGER:
            return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, index)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_stmt, index));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(utf8(index)));
        case SQLITE_BLOB: {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, index));
            return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, index)));
        }
        default:
            return QVariant();
        }
    }

    qint64 changes() const override { return m_changes; }
    QString errorText() const override { return quel::db_sqlite::errorText(m_db); }

private:
    sqlite3_stmt* m_stmt;
    sqlite3* m_db;
    qint64 m_changes = 0;
};

} // namespace

SqliteDatabase::SqliteDatabase(sqlite3* db, const QString& path)
    : Database(path)
    , m_db(db)
{ }

SqliteDatabase::~SqliteDatabase()
{
    close();
}

void SqliteDatabase::close()
{
    Database::close();
    if (m_db) {
        // The last connection on the file folds the write-ahead log back into it.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

qint64 pageCacheBytes(qint64 fileBytes, qint64 physicalBytes)
{
    // A little over the file, for the pages a write adds.
    const qint64 wanted = fileBytes + fileBytes / 8;
    const qint64 bound
        = physicalBytes > 0 ? std::min(physicalBytes / 4, kMaxPageCacheBytes) : kMinPageCacheBytes;
    return std::max(kMinPageCacheBytes, std::min(wanted, bound));
}

std::shared_ptr<Database> SqliteDatabase::open(
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
    std::shared_ptr<SqliteDatabase> db(new SqliteDatabase(raw, path));
    if (rc != SQLITE_OK)
        return fail(raw ? errorText(raw) : QStringLiteral("out of memory"));
    QString keyText = key;
    keyText.replace(u'\'', QStringLiteral("''"));
    // The key has to be set before anything reads the file; reading sqlite_master then
    // tells a wrong key (or a file that is no database) at once.
    QString message;
    if (!db->executeNative(QStringLiteral("PRAGMA key = '%1'").arg(keyText), &message))
        return fail(message);
    // A page read with the wrong page size fails its check like a wrong key, so the file's
    // page size is found by trying: the current one first, then the older one. The key is
    // derived once; the second try costs a few milliseconds.
    const auto readsWithPage = [&](int bytes) {
        return db->executeNative(QStringLiteral("PRAGMA cipher_page_size = %1").arg(bytes))
            && db->executeNative(QStringLiteral("SELECT count(*) FROM sqlite_master"), &message);
    };
    if (!readsWithPage(kCipherPageBytes) && !readsWithPage(kOlderCipherPageBytes))
        return fail(QStringLiteral("无法读取数据库（密码错误或文件已损坏）：") + message);
    sqlite3_busy_timeout(raw, 2000);
    db->m_valuesReadable = registerValueTable(raw, &db->m_values);
    // The narrow copies of tables keep dates packed; reading them back needs this.
    if (!registerUnpackDateFunction(raw))
        return fail(errorText(raw));
    // A write-ahead log makes the many small commits of imports cheap (no sync per
    // commit) while a crash still loses no committed work.
    db->executeNative(QStringLiteral("PRAGMA journal_mode=WAL"));
    db->executeNative(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // A commit of grouped imports writes a few thousand index pages, and the same pages again
    // in the next group: checkpointing only every 10,000 pages (40 MB of log) copies each
    // page back into the file once for several commits instead of once per commit.
    db->executeNative(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(kWalCheckpointPages));
    // A year's database is over a gigabyte: imports and deletions touch index pages all over
    // it, the analyses read the product table and the buyers' profiles again and again, and
    // every page read again is decrypted again. The cache only takes memory for pages read.
    const qint64 cacheKb = pageCacheBytes(QFileInfo(path).size(), physicalMemoryBytes()) / 1024;
    db->executeNative(QStringLiteral("PRAGMA cache_size=-%1").arg(cacheKb));
    // A row that INSERT OR REPLACE takes out runs the delete triggers (the overview's sums),
    // as a DELETE would.
    db->executeNative(QStringLiteral("PRAGMA recursive_triggers=ON"));
    return db;
}

bool SqliteDatabase::executeNative(const QString& sql, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("database closed");
        return false;
    }
    char* message = nullptr;
    clearUpperVectorState();
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error)
            *error = message ? QString::fromUtf8(message) : errorText(m_db);
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool SqliteDatabase::dropWorkTable(const QString& table, QString* error)
{
    // The build overwrites freed pages by default; the setting is the connection's and
    // comes back at once, so stored rows deleted later are overwritten as before.
    Statement setting = compile(QStringLiteral("PRAGMA secure_delete"), nullptr);
    const bool overwrites = setting && setting.step() == StepResult::Row && setting.int64(0) != 0;
    setting = Statement();
    if (overwrites)
        executeNative(QStringLiteral("PRAGMA secure_delete=0"));
    const bool dropped = dropTable(table, error);
    if (overwrites)
        executeNative(QStringLiteral("PRAGMA secure_delete=1"));
    return dropped;
}

std::optional<JetTranslation> SqliteDatabase::translate(
    const QString& jetSql, JetSchema& schema, QString* error)
{
    static const SqliteDialect dialect;
    return translateJet(jetSql, schema, error, dialect);
}

Statement SqliteDatabase::compile(const QString& sql, QString* error)
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
    return Statement(new SqliteStatement(stmt, m_db), true);
}

std::vector<ColumnInfo> SqliteDatabase::readTableColumns(const QString& table)
{
    std::vector<ColumnInfo> columns;
    QString escaped = table;
    escaped.replace(u'"', QStringLiteral("\"\""));
    Statement stmt
        = prepareNative(QStringLiteral("PRAGMA table_info(\"%1\")").arg(escaped), nullptr);
    if (stmt) {
        while (stmt.step() == StepResult::Row) {
            ColumnInfo c;
            c.name = stmt.text(1);
            c.declType = stmt.text(2);
            c.kind = columnKindOfDeclType(c.declType);
            columns.push_back(c);
        }
    }
    return columns;
}

std::optional<std::vector<ColumnInfo>> SqliteDatabase::queryColumns(
    const QString& sql, QString* error, bool withTypes)
{
    Statement stmt = prepareNative(sql, error);
    if (!stmt)
        return std::nullopt;
    const int count = stmt.columnCount();
    std::vector<ColumnInfo> columns(static_cast<size_t>(count));
    bool needRow = false;
    for (int i = 0; i < count; ++i) {
        ColumnInfo& c = columns[static_cast<size_t>(i)];
        c = stmt.column(i);
        needRow = needRow || c.declType.isEmpty();
    }
    // Expressions have no declared type: take the type of the first row's value.
    if (withTypes && needRow && stmt.step() == StepResult::Row) {
        for (int i = 0; i < count; ++i) {
            ColumnInfo& c = columns[static_cast<size_t>(i)];
            if (!c.declType.isEmpty())
                continue;
            switch (stmt.value(i).typeId()) {
            case QMetaType::LongLong:
                c.declType = QStringLiteral("INTEGER");
                c.kind = ColumnKind::Integer;
                break;
            case QMetaType::Double:
                c.declType = QStringLiteral("REAL");
                c.kind = ColumnKind::Real;
                break;
            case QMetaType::QString:
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

QStringList SqliteDatabase::tableNames()
{
    QStringList names;
    // The stored tables in creation order, then the connection's work tables.
    Statement stmt = prepareNative(
        QStringLiteral("SELECT name FROM (SELECT 0 AS s,rowid AS r,name,type FROM sqlite_master "
                       "UNION ALL SELECT 1,rowid,name,type FROM sqlite_temp_master) WHERE "
                       "type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY s,r"),
        nullptr);
    if (!stmt)
        return names;
    while (stmt.step() == StepResult::Row)
        names << stmt.text(0);
    return names;
}

QStringList SqliteDatabase::indexNames()
{
    QStringList names;
    Statement stmt = prepareNative(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
        nullptr);
    while (stmt && stmt.step() == StepResult::Row)
        names << stmt.text(0);
    return names;
}

QString SqliteDatabase::lastErrorText() const
{
    return m_db ? errorText(m_db) : QStringLiteral("database closed");
}

int SqliteDatabase::lastErrorCode() const
{
    return m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
}

QVariant SqliteDatabase::lastInsertRowKey() const
{
    return m_db ? QVariant(static_cast<qlonglong>(sqlite3_last_insert_rowid(m_db))) : QVariant();
}

QString SqliteDatabase::periodStartSql(const QString& column, DatePart part) const
{
    switch (part) {
    case DatePart::Day:
        return QStringLiteral("date(%1)").arg(column);
    case DatePart::Week:
        // On to the Sunday that ends the week (a Sunday stays), back to its Monday.
        return QStringLiteral("date(%1,'weekday 0','-6 days')").arg(column);
    case DatePart::Month:
        break;
    }
    return QStringLiteral("date(%1,'start of month')").arg(column);
}

} // namespace quel::db_sqlite
