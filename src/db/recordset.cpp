#include "db/recordset.h"

#include "db/sql_names.h"
#include "db/stored_date.h"

#include <QRegularExpression>
#include <algorithm>

namespace quel::db {

namespace {

// Binds a value the way a Jet field assignment converts it to the column's type.
void bindValue(Statement& stmt, int index, const QVariant& value, ColumnKind kind)
{
    if (!value.isValid() || value.isNull()) {
        stmt.bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid()) {
            stmt.bindNull(index);
            return;
        }
        stmt.bindText(index, canonicalDateText(dt));
        return;
    }
    case QMetaType::QDate:
        if (value.toDate().isValid())
            stmt.bindText(index, canonicalDateText(value.toDate()));
        else
            stmt.bindNull(index);
        return;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        if (kind == ColumnKind::Text)
            stmt.bindText(index, value.toString());
        else
            stmt.bindInt64(index, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        if (kind == ColumnKind::Text)
            stmt.bindText(index, QString::number(value.toDouble(), 'g', 15));
        else
            stmt.bindDouble(index, value.toDouble());
        return;
    case QMetaType::QByteArray:
        if (kind != ColumnKind::Text) {
            stmt.bind(index, value);
            return;
        }
        break;
    default:
        break;
    }
    const QString text = value.toString();
    if (kind == ColumnKind::Date) {
        if (text.trimmed().isEmpty()) {
            stmt.bindNull(index);
            return;
        }
        if (const auto date = parseDateText(text)) {
            stmt.bindText(index, canonicalDateText(*date));
            return;
        }
    } else if (kind == ColumnKind::Integer || kind == ColumnKind::Real) {
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty()) {
            stmt.bindNull(index);
            return;
        }
        bool ok = false;
        const qlonglong whole = trimmed.toLongLong(&ok);
        if (ok && kind == ColumnKind::Integer) {
            stmt.bindInt64(index, whole);
            return;
        }
        const double number = trimmed.toDouble(&ok);
        if (ok) {
            stmt.bindDouble(index, number);
            return;
        }
    }
    stmt.bindText(index, text);
}

// "SELECT <plain columns or *> FROM <one table> [WHERE ...] [ORDER BY ...]": the
// statements whose rows can be written back. Captures the column list and the table.
const QRegularExpression& singleTableSelect()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*SELECT\\s+((?:[^\\s(),'\"]+|\"[^\"]*\"|\\[[^\\]]*\\])(?:\\s*,\\s*(?:[^"
                       "\\s(),'\"]+|\"[^\"]*\"|\\[[^\\]]*\\]))*)\\s+"
                       "FROM\\s+([^\\s,()'\"]+|\"[^\"]*\"|\\[[^\\]]*\\])(?:\\s+(WHERE|ORDER)\\b.*)?"
                       "\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

} // namespace

bool Recordset::open(
    const std::shared_ptr<Database>& db, const QString& jetSql, QString* error, long maxRows)
{
    close();
    if (!db) {
        if (error)
            *error = QStringLiteral("connection not open");
        return false;
    }
    const auto sql = db->translateQuery(jetSql, error);
    if (!sql)
        return false;

    QString table;
    QString query = *sql;
    const auto match = singleTableSelect().match(*sql);
    if (match.hasMatch()) {
        const QString list = match.captured(1);
        // Grouped rows are no table rows: nothing names them for writing back (and a
        // server refuses a row key beside a GROUP BY).
        static const QRegularExpression grouped(QStringLiteral("\\b(GROUP\\s+BY|HAVING)\\b"),
            QRegularExpression::CaseInsensitiveOption);
        const bool distinct
            = list.trimmed().startsWith(QLatin1String("DISTINCT"), Qt::CaseInsensitive)
            || list.contains(QLatin1String(" AS "), Qt::CaseInsensitive)
            || grouped.match(*sql, match.capturedEnd(2)).hasMatch();
        QString name = match.captured(2);
        if (name.startsWith(u'"') || name.startsWith(u'['))
            name = name.mid(1, name.size() - 2);
        if (!distinct && db->tableColumns(name)) {
            table = name;
            const qsizetype selectAt
                = sql->indexOf(QLatin1String("SELECT"), 0, Qt::CaseInsensitive);
            const QString key = db->rowKeyColumn();
            query = sql->left(selectAt + 6) + u' ' + key + u',' + sql->mid(selectAt + 6);
            m_rowSelect
                = QStringLiteral("SELECT %1,%2 FROM %3 WHERE %1=?").arg(key, list, quoteName(name));
        }
    }

    Statement stmt = db->prepareNative(query, error);
    if (!stmt && !table.isEmpty()) {
        // Not a plain table after all (a view, say): read it as it stands.
        table.clear();
        query = *sql;
        stmt = db->prepareNative(query, error);
    }
    if (!stmt)
        return false;
    const int offset = table.isEmpty() ? 0 : 1;
    // The columns are read after the first step: a server tells them with the result then,
    // rather than in a round trip of their own.
    StepResult rc = maxRows == 0 ? StepResult::Done : stmt.step();
    std::vector<ColumnInfo> columns;
    std::vector<Row> rows;
    const int count = rc == StepResult::Error ? 0 : stmt.columnCount();
    for (int i = offset; i < count; ++i)
        columns.push_back(stmt.column(i));
    // Dates stay text here and become QDateTime when read (value()): the conversion to local
    // time is costly and most rows are never looked at.
    while (rc == StepResult::Row) {
        Row row;
        if (offset)
            row.key = stmt.value(0);
        row.values.reserve(columns.size());
        for (int i = offset; i < count; ++i)
            row.values.push_back(stmt.value(i));
        rows.push_back(std::move(row));
        // Stopped at maxRows, more rows may follow.
        if (maxRows >= 0 && static_cast<long>(rows.size()) >= maxRows)
            break;
        rc = stmt.step();
    }
    if (rc == StepResult::Error) {
        if (error)
            *error = stmt.errorText();
        m_rowSelect.clear();
        return false;
    }
    m_db = db;
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_table = table;
    m_current = 0;
    return true;
}

void Recordset::close()
{
    m_db.reset();
    m_columns.clear();
    m_rows.clear();
    m_table.clear();
    m_rowSelect.clear();
    m_current = 0;
    m_deletedCount = 0;
    m_adding = false;
    m_pending.clear();
}

long Recordset::recordCount() const
{
    return static_cast<long>(m_rows.size()) - m_deletedCount;
}

bool Recordset::eof() const
{
    return m_adding ? false : m_current >= static_cast<long>(m_rows.size());
}

bool Recordset::bof() const
{
    return m_current < 0 || m_rows.empty();
}

long Recordset::position() const
{
    if (eof() || m_current < 0)
        return -1;
    long position = 0;
    for (long i = 0; i < m_current; ++i)
        position += m_rows[static_cast<size_t>(i)].deleted ? 0 : 1;
    return position;
}

void Recordset::skipDeletedForward()
{
    while (m_current < static_cast<long>(m_rows.size())
        && m_rows[static_cast<size_t>(m_current)].deleted)
        ++m_current;
}

void Recordset::skipDeletedBackward()
{
    while (m_current >= 0 && m_rows[static_cast<size_t>(m_current)].deleted)
        --m_current;
}

void Recordset::moveFirst()
{
    flushPending();
    m_current = 0;
    skipDeletedForward();
}

void Recordset::moveNext()
{
    flushPending();
    if (m_current < static_cast<long>(m_rows.size()))
        ++m_current;
    skipDeletedForward();
}

void Recordset::movePrevious()
{
    flushPending();
    if (m_current >= 0)
        --m_current;
    if (m_current >= static_cast<long>(m_rows.size()))
        m_current = static_cast<long>(m_rows.size()) - 1;
    skipDeletedBackward();
}

void Recordset::moveLast()
{
    flushPending();
    m_current = static_cast<long>(m_rows.size()) - 1;
    skipDeletedBackward();
    if (m_current < 0)
        m_current = static_cast<long>(m_rows.size());
}

QString Recordset::fieldName(int index) const
{
    if (index < 0 || index >= fieldCount())
        return {};
    return m_columns[static_cast<size_t>(index)].name;
}

int Recordset::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

ColumnKind Recordset::fieldKind(int index) const
{
    if (index < 0 || index >= fieldCount())
        return ColumnKind::Other;
    return m_columns[static_cast<size_t>(index)].kind;
}

QVariant Recordset::field(const QString& name) const
{
    return value(fieldIndex(name));
}

QVariant Recordset::value(int index) const
{
    if (index < 0 || index >= fieldCount())
        return {};
    for (const auto& [column, pending] : m_pending) {
        if (column == index)
            return pending;
    }
    if (m_adding || m_current < 0 || m_current >= static_cast<long>(m_rows.size()))
        return {};
    Row& row = m_rows[static_cast<size_t>(m_current)];
    if (row.deleted || (!row.loaded && !readRow(row)))
        return {};
    QVariant& stored = row.values[static_cast<size_t>(index)];
    if (m_columns[static_cast<size_t>(index)].kind == ColumnKind::Date
        && stored.typeId() == QMetaType::QString) {
        // Converted once; callers walking the rows again compare the same values.
        if (const auto date = parseCanonicalDate(stored.toString()))
            stored = QVariant(*date);
    }
    return stored;
}

bool Recordset::addNew()
{
    if (!m_db || m_table.isEmpty()) {
        m_error = QStringLiteral("recordset is not updatable");
        return false;
    }
    if (!flushPending())
        return false;
    m_adding = true;
    m_pending.clear();
    return true;
}

bool Recordset::setField(const QString& name, const QVariant& value)
{
    const int index = fieldIndex(name);
    if (!m_db || m_table.isEmpty() || index < 0) {
        m_error = index < 0 ? QStringLiteral("unknown field: ") + name
                            : QStringLiteral("recordset is not updatable");
        return false;
    }
    if (!m_adding && (eof() || m_current < 0 || m_rows[static_cast<size_t>(m_current)].deleted)) {
        m_error = QStringLiteral("no current record");
        return false;
    }
    for (auto& [column, pending] : m_pending) {
        if (column == index) {
            pending = value;
            return true;
        }
    }
    m_pending.emplace_back(index, value);
    return true;
}

bool Recordset::update()
{
    return flushPending();
}

void Recordset::cancelUpdate()
{
    m_adding = false;
    m_pending.clear();
}

bool Recordset::readRow(Row& row) const
{
    Statement stmt = m_db->prepareNativeCached(m_rowSelect, &m_error);
    if (!stmt)
        return false;
    stmt.bind(1, row.key);
    if (stmt.step() != StepResult::Row) {
        m_error = QStringLiteral("row not found");
        return false;
    }
    row.values.clear();
    row.values.reserve(m_columns.size());
    for (size_t i = 0; i < m_columns.size(); ++i)
        row.values.push_back(stmt.value(static_cast<int>(i + 1)));
    row.loaded = true;
    return true;
}

QString Recordset::writeStatement()
{
    // Columns in table order, so that one statement serves any order of assignment.
    std::sort(m_pending.begin(), m_pending.end(),
        [](const auto& a, const auto& b) { return a.first < b.first; });
    if (m_writeSqlTable != m_table) {
        m_writeSql.clear();
        m_writeSqlTable = m_table;
    }
    quint64 key = m_adding ? 1 : 0;
    bool cacheable = true;
    for (const auto& [column, pending] : m_pending) {
        cacheable = cacheable && column < 63;
        key |= quint64(1) << (column + 1);
    }
    if (cacheable) {
        auto found = m_writeSql.constFind(key);
        if (found != m_writeSql.cend())
            return *found;
    }
    QStringList names;
    for (const auto& [column, pending] : m_pending)
        names << quoteName(m_columns[static_cast<size_t>(column)].name);
    QString sql;
    if (m_adding) {
        if (names.isEmpty())
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(m_table));
        else
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoteName(m_table), names.join(u','),
                          QStringList(names.size(), QStringLiteral("?")).join(u','));
    } else {
        sql = QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?")
                  .arg(quoteName(m_table), names.join(QStringLiteral("=?,")), m_db->rowKeyColumn());
    }
    sql += m_db->rowKeyReturning();
    if (cacheable)
        m_writeSql.insert(key, sql);
    return sql;
}

bool Recordset::flushPending()
{
    if (!m_adding && m_pending.empty())
        return true;
    if (!m_db || m_table.isEmpty()) {
        cancelUpdate();
        return false;
    }
    Statement stmt = m_db->prepareNativeCached(writeStatement(), &m_error);
    if (!stmt) {
        cancelUpdate();
        return false;
    }
    int index = 1;
    for (const auto& [column, pending] : m_pending)
        bindValue(stmt, index++, pending, m_columns[static_cast<size_t>(column)].kind);
    QVariant key;
    if (!m_adding) {
        key = m_rows[static_cast<size_t>(m_current)].key;
        stmt.bind(index, key);
    }
    // An engine whose row names change on a write hands the new one back as a row.
    StepResult rc = stmt.step();
    if (rc == StepResult::Row) {
        key = stmt.value(0);
        rc = stmt.step();
    } else if (rc == StepResult::Done && m_adding) {
        key = m_db->lastInsertRowKey();
    }
    if (rc != StepResult::Done) {
        m_error = stmt.errorText();
        cancelUpdate();
        return false;
    }
    const bool added = m_adding;
    cancelUpdate();
    // The row is read back (with its counter, defaults and stored forms) when looked at.
    Row row;
    row.key = key;
    row.loaded = false;
    if (added) {
        m_rows.push_back(std::move(row));
        m_current = static_cast<long>(m_rows.size()) - 1;
    } else {
        m_rows[static_cast<size_t>(m_current)] = std::move(row);
    }
    return true;
}

bool Recordset::deleteCurrent()
{
    if (!m_db || m_table.isEmpty()) {
        m_error = QStringLiteral("recordset is not updatable");
        return false;
    }
    if (m_adding) {
        cancelUpdate();
        return true;
    }
    m_pending.clear();
    if (eof() || m_current < 0 || m_rows[static_cast<size_t>(m_current)].deleted) {
        m_error = QStringLiteral("no current record");
        return false;
    }
    Statement stmt = m_db->prepareNativeCached(
        QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(quoteName(m_table), m_db->rowKeyColumn()),
        &m_error);
    if (!stmt)
        return false;
    stmt.bind(1, m_rows[static_cast<size_t>(m_current)].key);
    if (!stmt.run()) {
        m_error = stmt.errorText();
        return false;
    }
    m_rows[static_cast<size_t>(m_current)].deleted = true;
    ++m_deletedCount;
    return true;
}

} // namespace quel::db
