#pragma once

#include "db/connection.h"
#include "db/recordset.h"
#include "db/statement.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <initializer_list>

namespace quel::core {
class Feedback;
}

namespace quel::store {

class Catalogue;

// Doubles every single quote, for text placed between single quotes in a statement.
QString EscapeQuotes(const QString& text);
// The text as a quoted SQL literal: "'" + text with doubled quotes + "'" (Levi's -> 'Levi''s').
QString Quote(const QString& text);
// The values each quoted (quotes doubled) and joined by ",": 'a','','b'. No values: "".
QString QuoteValueList(std::initializer_list<QString> values);
QString QuoteValueList(const QStringList& values);

// Keeps one row per exact value of field in table (the first written); rows without a value
// all stay. False on error.
bool DeleteDuplicateRows(const db::Connection& conn, const QString& table, const QString& field);

// The only way the program reaches its database: connections and recordsets onto the
// current database file of the catalogue, statements in the Jet dialect, schema questions
// and small row utilities. Failures that the user sees go through the Feedback.
class DB_Operate
{
public:
    DB_Operate(const Catalogue& catalogue, core::Feedback& feedback);

    // Path of the database all operations open: data folder + CurrentDatabaseFile, a
    // server address as it is, or the database given for this run.
    QString currentDatabasePath() const;
    // The data folder of the catalogue (its workers' and inspection files), wherever the
    // database itself is.
    QString dataFolder() const;

    // Replaces conn with a connection onto the current database. On failure shows
    // "无法建立数据库连接！" with the file's path and leaves conn closed; returns whether
    // it opened.
    bool OpenConnection(db::Connection& conn);
    // The same without a message: on failure error says which file could not be opened
    // and why ("无法打开数据库：" + path + the reason), for callers that report it
    // themselves (batch runs).
    bool TryOpenConnection(db::Connection& conn, QString* error);
    // Closes rs and conn, opens a new connection and the statement on it, at the first row.
    // On failure shows "数据库打开错误(" + sql + ")！" and leaves rs closed. With maxRows >= 0
    // the recordset holds at most that many of the rows.
    bool OpenRecordset(
        db::Connection& conn, db::Recordset& rs, const QString& sql, long maxRows = -1);
    // Replaces conn with a connection onto the current database and prepares a Jet SELECT
    // on it, for callers that read each row once as it comes instead of holding them all.
    // On failure shows the same message as OpenRecordset and returns an empty statement.
    // With maxRows >= 0 the engine is asked for at most that many rows (an ordered query then
    // keeps only those in order, rather than sorting every row). The statement must go
    // before conn does.
    db::Statement OpenQuery(db::Connection& conn, const QString& sql, long maxRows = -1);
    // Opens the statement on the caller's open connection (never reopens it).
    bool OpenRecordsetOn(const db::Connection& conn, db::Recordset& rs, const QString& sql);
    void CloseRecordset(db::Connection& conn, db::Recordset& rs);
    void CloseRecordset(db::Recordset& rs);

    // Runs one statement, on conn when given (left open) or on a private connection.
    // False on any error, silently.
    bool ExecuteSql(const QString& sql, const db::Connection* conn = nullptr);

    // Exact, case-sensitive comparison with the stored table names.
    bool TableExists(const QString& table);
    // Drops the table when it exists; false when the DROP itself failed.
    bool DropTableIfExists(const QString& table);
    // Drops every table whose name starts with prefix (case-sensitive), in listing order.
    void DropTablesWithPrefix(const QString& prefix);

    // The wanted field of the first row with keyField = key (a text key is quoted, any other
    // written plainly); an empty text when there is no row.
    QVariant LookupValue(const QString& table, const QVariant& key, const QString& keyField,
        const QString& wantedField);
    // Number of distinct values of field (among rows matching condition when not empty).
    long CountGroups(const QString& table, const QString& field, const QString& condition = {});
    // The distinct values, sorted, in elements 1..n; element 0 empty. Errors leave {""}.
    QStringList ReadDistinctValues(
        const QString& table, const QString& field, const QString& condition = {});
    // What FillComboWithDistinct puts into a combo: "全部", then (when table and field are
    // given) every distinct value of the field in order.
    QStringList DistinctValuesForCombo(const QString& table, const QString& field);
    // Keeps one row per exact value of field (the first written); false on error.
    bool DeleteDuplicateRows(const QString& table, const QString& field);
    // Compacts the current database, keeping a backup copy in the temporary folder; a
    // server database gets VACUUM ANALYZE instead.
    bool CompactCurrentDatabase();

    core::Feedback& feedback() const { return m_feedback; }

private:
    std::shared_ptr<db::Database> openDatabase(QString* error) const;

    const Catalogue& m_catalogue;
    core::Feedback& m_feedback;
};

// Shown when a connection cannot be opened (naming the file when given), and around a
// statement that failed to open.
QString connectionFailedMessage(const QString& path = {});
QString openErrorMessage(const QString& sql);

} // namespace quel::store
