#include "store/database_copy.h"

#include "db/connection.h"
#include "db/database.h"
#include "db_pg/pg_dialect.h"
#include "store/schema.h"

#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <optional>

namespace quel::store {

using db::ColumnInfo;
using db::Database;
using db::Statement;
using db::StepResult;
using db::Transaction;
using db_pg::postgresIdentityResyncSql;

namespace {

// Rows a progress report waits for.
constexpr qint64 kProgressRows = 10000;
// Rows a server cursor hands over at a time: the whole table is never held in memory.
constexpr int kFetchRows = 5000;
// Parameters one statement may carry: the embedded engine's oldest limit, the server's.
constexpr int kFileParameters = 999;
constexpr int kServerParameters = 30000;
constexpr int kMaxRowsPerInsert = 1000;

QString quoted(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

bool runNative(Database& db, const QString& sql, QString* error)
{
    QString why;
    if (db.executeNative(sql, &why))
        return true;
    if (error)
        *error = why.isEmpty() ? db.lastErrorText() : why;
    return false;
}

// One number from a query in the engine's own text; -1 with error on failure.
qint64 scalar(Database& db, const QString& sql, QString* error)
{
    QString why;
    Statement stmt = db.prepareNative(sql, &why);
    if (!stmt) {
        if (error)
            *error = why;
        return -1;
    }
    if (stmt.step() != StepResult::Row) {
        if (error)
            *error = stmt.errorText();
        return -1;
    }
    return stmt.int64(0);
}

qint64 countRows(Database& db, const QString& table, QString* error)
{
    return scalar(db, QStringLiteral("SELECT COUNT(*) FROM ") + quoted(table), error);
}

// Reads a query's rows in order without holding them all: a file's statement steps through
// them; on a server a cursor hands them over a few thousand at a time (the transaction the
// copy reads in keeps it open).
class RowReader
{
public:
    RowReader(Database& db, const QString& sql, QString* error)
        : m_db(db)
    {
        if (!db.isServer()) {
            m_rows = db.prepareNative(sql, error);
            return;
        }
        if (!runNative(
                db, QStringLiteral("DECLARE quel_copy_rows NO SCROLL CURSOR FOR ") + sql, error))
            return;
        m_cursorOpen = true;
        m_rows = db.prepareNative(
            QStringLiteral("FETCH FORWARD %1 FROM quel_copy_rows").arg(kFetchRows), error);
    }
    ~RowReader()
    {
        m_rows = Statement();
        if (m_cursorOpen)
            m_db.executeNative(QStringLiteral("CLOSE quel_copy_rows"));
    }
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    bool isValid() const { return static_cast<bool>(m_rows); }
    Statement& row() { return m_rows; }

    StepResult next()
    {
        StepResult r = m_rows.step();
        if (!m_cursorOpen || r != StepResult::Done)
            return count(r);
        // The fetched rows are used up: fetch the next lot, until one comes back empty.
        if (m_inFetch == 0)
            return StepResult::Done;
        m_inFetch = 0;
        m_rows.reset();
        return count(m_rows.step());
    }

private:
    StepResult count(StepResult r)
    {
        if (r == StepResult::Row)
            ++m_inFetch;
        return r;
    }

    Database& m_db;
    Statement m_rows;
    bool m_cursorOpen = false;
    qint64 m_inFetch = 0;
};

// Multi-row INSERTs of one table's rows with their own values: rows are gathered until a
// statement's worth is there, so a server sees one round trip per few hundred rows.
class RowWriter
{
public:
    RowWriter(Database& db, const QString& table, const QStringList& columns)
        : m_db(db)
        , m_columns(columns.size())
    {
        QStringList names;
        for (const QString& c : columns)
            names << quoted(c);
        m_head = QStringLiteral("INSERT INTO ") + quoted(table) + QStringLiteral(" (")
            + names.join(u',') + QStringLiteral(") VALUES ");
        const int limit = db.isServer() ? kServerParameters : kFileParameters;
        m_rowsPerInsert = std::max(1, std::min(kMaxRowsPerInsert, limit / std::max(1, m_columns)));
        m_values.reserve(static_cast<size_t>(m_rowsPerInsert * m_columns));
    }

    // Takes the current row of source; false with error when a full statement failed.
    bool add(const Statement& source, QString* error)
    {
        for (int i = 0; i < m_columns; ++i)
            m_values.push_back(source.value(i));
        if (static_cast<int>(m_values.size()) < m_rowsPerInsert * m_columns)
            return true;
        return flush(error);
    }

    // Writes what is gathered.
    bool flush(QString* error)
    {
        const int rows = static_cast<int>(m_values.size()) / std::max(1, m_columns);
        if (rows == 0)
            return true;
        Statement& stmt = rows == m_rowsPerInsert ? m_full : m_rest;
        if (!stmt) {
            stmt = m_db.prepareNative(insertText(rows), error);
            if (!stmt)
                return false;
        }
        for (size_t i = 0; i < m_values.size(); ++i)
            stmt.bind(static_cast<int>(i) + 1, m_values[i]);
        const bool ok = stmt.run();
        if (!ok && error)
            *error = stmt.errorText();
        stmt.reset();
        m_written += ok ? rows : 0;
        m_values.clear();
        // The shorter statement only ends a table: the next table makes its own.
        if (&stmt == &m_rest)
            m_rest = Statement();
        return ok;
    }

    qint64 written() const { return m_written; }

private:
    QString insertText(int rows) const
    {
        QString row = QStringLiteral("(");
        for (int i = 0; i < m_columns; ++i)
            row += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
        row += u')';
        QString sql = m_head;
        sql.reserve(m_head.size() + rows * (row.size() + 1));
        for (int r = 0; r < rows; ++r) {
            if (r > 0)
                sql += u',';
            sql += row;
        }
        return sql;
    }

    Database& m_db;
    int m_columns;
    int m_rowsPerInsert = 1;
    QString m_head;
    std::vector<QVariant> m_values;
    Statement m_full;
    Statement m_rest;
    qint64 m_written = 0;
};

// The column names as the target spells them, in the source's order; the source's columns
// must all be there.
std::optional<QStringList> matchingColumns(const std::vector<ColumnInfo>& source,
    const std::vector<ColumnInfo>& target, const QString& table, QString* error)
{
    QStringList names;
    for (const ColumnInfo& s : source) {
        auto found = std::find_if(target.begin(), target.end(),
            [&](const ColumnInfo& t) { return t.name.compare(s.name, Qt::CaseInsensitive) == 0; });
        if (found == target.end()) {
            if (error)
                *error = QStringLiteral("目标数据库的%1缺少字段 %2").arg(table, s.name);
            return std::nullopt;
        }
        names << found->name;
    }
    return names;
}

class Copier
{
public:
    Copier(Database& from, Database& to, const CopyProgressFn& progress)
        : m_from(from)
        , m_to(to)
        , m_progress(progress)
    { }

    // Copies one table; false with m_outcome's error or cancel set.
    bool copyTable(const QString& table)
    {
        const auto sourceColumns = m_from.tableColumns(table);
        const auto targetColumns = m_to.tableColumns(table);
        if (!sourceColumns || !targetColumns)
            return fail(
                QStringLiteral("%1数据库缺少数据表 %2")
                    .arg(sourceColumns ? QStringLiteral("目标") : QStringLiteral("源"), table));
        QString error;
        const auto columns = matchingColumns(*sourceColumns, *targetColumns, table, &error);
        if (!columns)
            return fail(error);
        const qint64 total = countRows(m_from, table, &error);
        if (total < 0)
            return fail(QStringLiteral("无法统计源数据库%1的行数：%2").arg(table, error));
        if (!report(table, 0, total))
            return false;

        QStringList sourceNames;
        bool hasId = false;
        for (const ColumnInfo& c : *sourceColumns) {
            sourceNames << quoted(c.name);
            hasId = hasId || c.name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0;
        }
        // In ID order, so the target's rows come in the order they were made.
        const QString select = QStringLiteral("SELECT ") + sourceNames.join(u',')
            + QStringLiteral(" FROM ") + quoted(table)
            + (hasId ? QStringLiteral(" ORDER BY \"ID\"") : QString());
        RowReader reader(m_from, select, &error);
        if (!reader.isValid())
            return fail(QStringLiteral("无法读取源数据库的%1：%2").arg(table, error));
        RowWriter writer(m_to, table, *columns);
        qint64 read = 0;
        qint64 reported = 0;
        for (;;) {
            const StepResult r = reader.next();
            if (r == StepResult::Error)
                return fail(QStringLiteral("读取源数据库的%1失败：%2")
                                .arg(table, reader.row().errorText()));
            if (r == StepResult::Done)
                break;
            ++read;
            if (!writer.add(reader.row(), &error))
                return fail(QStringLiteral("写入%1失败：%2").arg(table, error));
            if (writer.written() - reported >= kProgressRows) {
                reported = writer.written();
                if (!report(table, reported, total))
                    return false;
            }
        }
        if (!writer.flush(&error))
            return fail(QStringLiteral("写入%1失败：%2").arg(table, error));
        if (!report(table, writer.written(), total))
            return false;

        // What the target now holds must be what the source held, row for row.
        const qint64 landed = countRows(m_to, table, &error);
        if (landed != total || read != total || writer.written() != total)
            return fail(QStringLiteral("%1的行数不符：源数据库 %2 行，读出 %3 行，目标数据库 %4 行")
                            .arg(table)
                            .arg(total)
                            .arg(read)
                            .arg(landed));
        if (hasId && m_to.isServer()
            && !runNative(m_to, postgresIdentityResyncSql(table, idName(*targetColumns)), &error))
            return fail(QStringLiteral("无法更新%1的编号计数：%2").arg(table, error));
        m_outcome.tables.push_back({ table, total });
        return true;
    }

    bool fail(const QString& error)
    {
        m_outcome.error = error;
        return false;
    }

    CopyOutcome& outcome() { return m_outcome; }

private:
    static QString idName(const std::vector<ColumnInfo>& columns)
    {
        for (const ColumnInfo& c : columns) {
            if (c.name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
                return c.name;
        }
        return QStringLiteral("ID");
    }

    bool report(const QString& table, qint64 copied, qint64 total)
    {
        if (!m_progress || m_progress({ table, copied, total }))
            return true;
        m_outcome.cancelled = true;
        m_outcome.error = QStringLiteral("复制已取消，目标数据库未作改动");
        return false;
    }

    Database& m_from;
    Database& m_to;
    const CopyProgressFn& m_progress;
    CopyOutcome m_outcome;
};

QString describeTables(const std::vector<CopiedTable>& tables)
{
    QStringList parts;
    for (const CopiedTable& t : tables)
        parts << QStringLiteral("%1 %2 行").arg(t.table).arg(t.rows);
    return parts.join(QStringLiteral("，"));
}

} // namespace

std::vector<CopiedTable> NonEmptyTables(Database& db, QString* error)
{
    std::vector<CopiedTable> found;
    for (const QString& table : permanentTables()) {
        if (!db.tableColumns(table))
            continue;
        const qint64 rows = countRows(db, table, error);
        if (rows < 0)
            return {};
        if (rows > 0)
            found.push_back({ table, rows });
    }
    return found;
}

CopyOutcome CopyDatabase(const std::shared_ptr<Database>& from, const std::shared_ptr<Database>& to,
    const CopyProgressFn& progress)
{
    CopyOutcome outcome;
    if (!from || !to || !from->isOpen() || !to->isOpen()) {
        outcome.error = QStringLiteral("数据库未打开");
        return outcome;
    }
    if (from == to) {
        outcome.error = QStringLiteral("源数据库和目标数据库是同一个");
        return outcome;
    }
    // One snapshot of the source for the whole copy, so rows that collectors add meanwhile
    // neither slip in half way nor upset the row counts.
    QString error;
    if (!runNative(*from,
            from->isServer() ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                             : QStringLiteral("BEGIN"),
            &error)) {
        outcome.error = QStringLiteral("无法读取源数据库：") + error;
        return outcome;
    }
    Copier copier(*from, *to, progress);
    {
        Transaction transaction(to);
        if (!transaction.isActive()) {
            copier.fail(QStringLiteral("无法在目标数据库上开始事务：") + to->lastErrorText());
        } else {
            bool ok = true;
            // Nobody else may write the tables between the emptiness check and the commit.
            if (to->isServer()) {
                QStringList names;
                for (const QString& table : permanentTables())
                    names << quoted(table);
                ok = runNative(*to,
                    QStringLiteral("LOCK TABLE ") + names.join(u',')
                        + QStringLiteral(" IN SHARE ROW EXCLUSIVE MODE"),
                    &error);
                if (!ok)
                    copier.fail(QStringLiteral("无法锁定目标数据库的数据表：") + error);
            }
            if (ok) {
                error.clear();
                const auto occupied = NonEmptyTables(*to, &error);
                if (!error.isEmpty()) {
                    ok = copier.fail(QStringLiteral("无法检查目标数据库：") + error);
                } else if (!occupied.empty()) {
                    ok = copier.fail(QStringLiteral("目标数据库已有数据（%1），两个数据库的数据不能"
                                                    "混在一起，未复制任何数据。请换一个空数据库。")
                                         .arg(describeTables(occupied)));
                }
            }
            for (const QString& table : permanentTables()) {
                if (!ok)
                    break;
                ok = copier.copyTable(table);
            }
            if (ok && !transaction.commit())
                copier.fail(QStringLiteral("目标数据库未能保存复制的数据：") + to->lastErrorText());
            else if (ok)
                copier.outcome().ok = true;
        }
    }
    from->executeNative(QStringLiteral("COMMIT"));
    outcome = copier.outcome();
    if (!outcome.ok)
        outcome.tables.clear();
    return outcome;
}

} // namespace quel::store
