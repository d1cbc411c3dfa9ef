#pragma once

#include "db/database.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace quel::db {

// The rows of one SELECT, read when it is opened (a keyset: the membership is fixed, rows
// added through AddNew are appended at the end). Statements on a single table are
// updatable: assignments, addNew/update and deleteCurrent write through to that table by
// rowid. Values come as QVariant: qlonglong, double, QString, a null QVariant for NULL, and
// QDateTime for DATE columns.
class Recordset
{
public:
    Recordset() = default;

    // Opens the Jet statement on the database; false and the engine's message on failure
    // (the recordset stays closed). Positions on the first row. With maxRows >= 0 only the
    // first maxRows rows are read (a grid that cannot show more need not hold them).
    bool open(const std::shared_ptr<Database>& db, const QString& jetSql, QString* error,
        long maxRows = -1);
    bool isOpen() const { return m_db != nullptr; }
    // Discards a pending addNew or assignment.
    void close();

    long recordCount() const;
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    // 0-based position among the rows that are not deleted; -1 at EOF.
    long position() const;

    int fieldCount() const { return static_cast<int>(m_columns.size()); }
    QString fieldName(int index) const;
    int fieldIndex(const QString& name) const; // case-insensitive; -1 when unknown
    ColumnKind fieldKind(int index) const;
    bool isDateField(int index) const { return fieldKind(index) == ColumnKind::Date; }

    // The current row's value (or the pending assignment); null QVariant at EOF/unknown.
    QVariant field(const QString& name) const;
    QVariant value(int index) const;

    // Whether addNew/assign/deleteCurrent can write through (a single-table statement).
    bool isUpdatable() const { return !m_table.isEmpty(); }
    QString baseTable() const { return m_table; }

    // Starts a new row; assignments go to it until update().
    bool addNew();
    // Assigns a field of the current or new row; written on update() (or on the next move,
    // as Jet cursors do).
    bool setField(const QString& name, const QVariant& value);
    // Writes the pending new row or assignments. A new row gets its counter and becomes
    // the current row, at the end of the recordset.
    bool update();
    void cancelUpdate();
    // Deletes the current row from its table; the position stays until the next move.
    bool deleteCurrent();

    QString lastError() const { return m_error; }

private:
    struct Row
    {
        QVariant key; // the engine's name of the row in its table
        std::vector<QVariant> values;
        bool deleted = false;
        bool loaded = true; // false after a write: read back from the table when looked at
    };
    bool flushPending();
    bool readRow(Row& row) const;
    QString writeStatement();
    void skipDeletedForward();
    void skipDeletedBackward();

    std::shared_ptr<Database> m_db;
    std::vector<ColumnInfo> m_columns;
    mutable std::vector<Row> m_rows;
    QString m_table;
    QString m_rowSelect; // re-reads one row by its key after a write
    long m_current = 0;
    long m_deletedCount = 0;
    bool m_adding = false;
    std::vector<std::pair<int, QVariant>> m_pending;
    mutable QString m_error;
    QHash<quint64, QString> m_writeSql; // by the assigned columns, for m_writeSqlTable
    QString m_writeSqlTable;
};

} // namespace quel::db
