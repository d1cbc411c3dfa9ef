#include "store/db_operate.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db/sql_names.h"
#include "db/statement.h"
#include "db_pg/server_address.h"
#include "jet/jet_sql.h"
#include "store/catalogue.h"
#include "store/compaction.h"
#include "store/database_key.h"
#include "store/database_pool.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <vector>

namespace quel::store {

using db::Connection;
using db::Database;
using db::Recordset;
using db_pg::IsServerAddress;

QString EscapeQuotes(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

QString Quote(const QString& text)
{
    return u'\'' + EscapeQuotes(text) + u'\'';
}

QString QuoteValueList(const QStringList& values)
{
    QStringList quoted;
    quoted.reserve(values.size());
    for (const QString& value : values)
        quoted << Quote(value);
    return quoted.join(u',');
}

QString QuoteValueList(std::initializer_list<QString> values)
{
    return QuoteValueList(QStringList(values));
}

QString connectionFailedMessage(const QString& path)
{
    const QString text = QStringLiteral("无法建立数据库连接！");
    return path.isEmpty() ? text : text + u'\n' + path;
}

QString openErrorMessage(const QString& sql)
{
    return QStringLiteral("数据库打开错误(") + sql + QStringLiteral(")！");
}

DB_Operate::DB_Operate(const Catalogue& catalogue, core::Feedback& feedback)
    : m_catalogue(catalogue)
    , m_feedback(feedback)
{ }

QString DB_Operate::currentDatabasePath() const
{
    return m_catalogue.currentDatabasePath();
}

QString DB_Operate::dataFolder() const
{
    return m_catalogue.folder();
}

std::shared_ptr<Database> DB_Operate::openDatabase(QString* error) const
{
    return DatabasePool::shared().acquire(currentDatabasePath(), error, &m_feedback);
}

bool DB_Operate::OpenConnection(Connection& conn)
{
    conn.close();
    auto db = openDatabase(nullptr);
    if (!db) {
        m_feedback.message(connectionFailedMessage(currentDatabasePath()));
        return false;
    }
    conn = Connection(std::move(db));
    return true;
}

bool DB_Operate::TryOpenConnection(Connection& conn, QString* error)
{
    conn.close();
    const QString current = currentDatabasePath();
    const QString path = IsServerAddress(current) ? current : QFileInfo(current).absoluteFilePath();
    QString why;
    auto db = openDatabase(&why);
    if (!db) {
        // The reasons of a missing or empty file name the file already.
        why.remove(QStringLiteral("：") + path);
        if (error)
            *error = QStringLiteral("无法打开数据库：") + path + QStringLiteral("（") + why
                + QStringLiteral("）");
        return false;
    }
    conn = Connection(std::move(db));
    return true;
}

bool DB_Operate::OpenRecordset(Connection& conn, Recordset& rs, const QString& sql, long maxRows)
{
    CloseRecordset(conn, rs);
    auto db = openDatabase(nullptr);
    QString error;
    if (!db || !rs.open(db, sql, &error, maxRows)) {
        m_feedback.message(openErrorMessage(sql));
        return false;
    }
    conn = Connection(std::move(db));
    return true;
}

db::Statement DB_Operate::OpenQuery(Connection& conn, const QString& sql, long maxRows)
{
    conn.close();
    auto db = openDatabase(nullptr);
    const QString limited
        = maxRows >= 0 ? sql + QStringLiteral(" LIMIT ") + QString::number(maxRows) : sql;
    const auto native = db ? db->translateQuery(limited, nullptr) : std::nullopt;
    db::Statement stmt = native ? db->prepareNative(*native) : db::Statement();
    if (!stmt) {
        m_feedback.message(openErrorMessage(sql));
        return {};
    }
    conn = Connection(std::move(db));
    return stmt;
}

bool DB_Operate::OpenRecordsetOn(const Connection& conn, Recordset& rs, const QString& sql)
{
    rs.close();
    QString error;
    if (!conn.isOpen() || !rs.open(conn.shared(), sql, &error)) {
        m_feedback.message(openErrorMessage(sql));
        return false;
    }
    return true;
}

void DB_Operate::CloseRecordset(Connection& conn, Recordset& rs)
{
    rs.close();
    conn.close();
}

void DB_Operate::CloseRecordset(Recordset& rs)
{
    rs.close();
}

bool DB_Operate::ExecuteSql(const QString& sql, const Connection* conn)
{
    if (conn && conn->isOpen())
        return conn->execute(sql);
    if (conn) // a connection that never opened: the statement fails, as on a closed one
        return false;
    Connection own;
    if (!OpenConnection(own))
        return false;
    return own.execute(sql);
}

bool DB_Operate::TableExists(const QString& table)
{
    auto db = openDatabase(nullptr);
    if (!db)
        return false;
    return db->tableNames().contains(table, Qt::CaseSensitive);
}

bool DB_Operate::DropTableIfExists(const QString& table)
{
    if (!TableExists(table))
        return true;
    Connection conn;
    if (!OpenConnection(conn))
        return false;
    // The work tables (TEMP_*) hold copies of stored rows; any other table is dropped the
    // engine's usual way.
    db::Database* database = conn.database();
    const bool dropped
        = jet::isWorkTable(table) ? database->dropWorkTable(table) : database->dropTable(table);
    database->schemaChanged();
    // Lets the window breathe, while the schema catches up.
    m_feedback.processEvents();
    return dropped;
}

void DB_Operate::DropTablesWithPrefix(const QString& prefix)
{
    auto db = openDatabase(nullptr);
    if (!db)
        return;
    const QStringList names = db->tableNames();
    db.reset();
    for (const QString& name : names) {
        if (name.startsWith(prefix, Qt::CaseSensitive))
            DropTableIfExists(name);
    }
}

QVariant DB_Operate::LookupValue(
    const QString& table, const QVariant& key, const QString& keyField, const QString& wantedField)
{
    const bool textKey = key.typeId() == QMetaType::QString || key.typeId() == QMetaType::QChar
        || key.typeId() == QMetaType::QByteArray;
    const QString keyText = textKey ? Quote(key.toString()) : key.toString();
    Connection conn;
    Recordset rs;
    if (!OpenRecordset(conn, rs,
            QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + keyField + u'='
                + keyText))
        return QString();
    if (rs.eof())
        return QString();
    return rs.field(wantedField);
}

namespace {

QString groupStatement(const QString& table, const QString& field, const QString& condition)
{
    QString sql = QStringLiteral("SELECT ") + field + QStringLiteral(" FROM ") + table;
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    return sql + QStringLiteral(" GROUP BY ") + field;
}

QString displayText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-M-d"))
                                        : dt.toString(QStringLiteral("yyyy-M-d H:mm:ss"));
    }
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

} // namespace

long DB_Operate::CountGroups(const QString& table, const QString& field, const QString& condition)
{
    Connection conn;
    Recordset rs;
    if (!OpenRecordset(conn, rs, groupStatement(table, field, condition)))
        return 0;
    return rs.recordCount();
}

QStringList DB_Operate::ReadDistinctValues(
    const QString& table, const QString& field, const QString& condition)
{
    QStringList values { QString() };
    auto db = openDatabase(nullptr);
    if (!db)
        return values;
    Recordset rs;
    QString error;
    // Errors end it silently.
    if (!rs.open(db, groupStatement(table, field, condition) + QStringLiteral(" ORDER BY ") + field,
            &error))
        return values;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        values << displayText(rs.value(0));
    return values;
}

QStringList DB_Operate::DistinctValuesForCombo(const QString& table, const QString& field)
{
    QStringList values { QStringLiteral("全部") };
    if (table.isEmpty() || field.isEmpty())
        return values;
    Connection conn;
    Recordset rs;
    if (!OpenRecordset(conn, rs,
            QStringLiteral("SELECT ") + field + QStringLiteral(" FROM ") + table
                + QStringLiteral(" GROUP BY ") + field + QStringLiteral(" ORDER BY ") + field))
        return values;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        values << displayText(rs.value(0));
    return values;
}

bool DeleteDuplicateRows(const Connection& conn, const QString& table, const QString& field)
{
    Database* db = conn.database();
    if (!db)
        return false;
    // The rows are read once in the order they were written, and only the repeats are
    // deleted: a best seller's customer list holds tens of thousands of rows of which a few
    // thousand repeat, and grouping all of them in the engine to find those cost three times
    // as much. Values compare exactly (letter case counts); NULL equals nothing.
    const QString key = db->rowKeyColumn();
    const QString quotedTable = db::quoteName(table);
    const QString quotedField = db::quoteName(field);
    std::vector<QVariant> repeats;
    {
        db::Statement rows = db->prepareNative(
            QStringLiteral("SELECT %1,%2 FROM %3 WHERE %2 IS NOT NULL ORDER BY %1")
                .arg(key, quotedField, quotedTable));
        if (!rows)
            return false;
        QSet<QByteArray> seen;
        db::StepResult rc;
        while ((rc = rows.step()) == db::StepResult::Row) {
            const qsizetype known = seen.size();
            seen.insert(rows.utf8(1).toByteArray());
            if (seen.size() == known)
                repeats.push_back(rows.value(0));
        }
        if (rc == db::StepResult::Error)
            return false;
    }
    if (repeats.empty())
        return true;
    db::Transaction tx = conn.transaction();
    db::Statement remove
        = db->prepareNative(QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(quotedTable, key));
    if (!tx.isActive() || !remove)
        return false;
    for (const QVariant& row : repeats) {
        remove.reset();
        remove.bind(1, row);
        if (!remove.run())
            return false;
    }
    return tx.commit();
}

bool DB_Operate::DeleteDuplicateRows(const QString& table, const QString& field)
{
    Connection conn;
    return OpenConnection(conn) && TableExists(table)
        && store::DeleteDuplicateRows(conn, table, field);
}

bool DB_Operate::CompactCurrentDatabase()
{
    return CompactDatabaseFile(
        currentDatabasePath(), QString::fromLatin1(kDatabasePassword), true, m_feedback);
}

} // namespace quel::store
