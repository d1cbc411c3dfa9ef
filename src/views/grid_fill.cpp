#include "views/grid_fill.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db/recordset.h"
#include "db/stored_date.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/price_history.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <vector>

namespace quel::views {

namespace {

// The fields a fill reads: only those the grid shows, when all of them are plain names of
// the table's columns. Reading every column of a wide table costs more than the rest of a
// large fill together. Anything unusual reads "*", so that a field the table lacks still
// ends the fill the way it always did. Computed fields are read as "expression AS field".
QString fieldsToRead(const grid::GridModel& grid, db::Database* database)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QStringList fields;
    QStringList computed;
    bool readAll = false;
    for (int c = 0; c < grid.cols(); ++c) {
        const QString field = grid.fieldName(c);
        if (field.isEmpty())
            continue;
        if (const QString sql = computedFieldSql(field); !sql.isEmpty()) {
            computed << sql + QStringLiteral(" AS ") + field;
            continue;
        }
        if (!plainName.match(field).hasMatch())
            readAll = true;
        else if (!fields.contains(field, Qt::CaseInsensitive))
            fields << field;
    }
    if (fields.isEmpty())
        readAll = true;
    if (!readAll) {
        const auto columns = database ? database->tableColumns(grid.tag()) : std::nullopt;
        if (!columns)
            readAll = true;
        for (qsizetype i = 0; !readAll && i < fields.size(); ++i) {
            readAll = std::none_of(columns->begin(), columns->end(), [&](const auto& column) {
                return column.name.compare(fields[i], Qt::CaseInsensitive) == 0;
            });
        }
    }
    if (readAll)
        fields = QStringList { QStringLiteral("*") };
    return (fields + computed).join(u',');
}

// The number a COUNT(*) statement gives; 0 when it cannot be run.
long countRows(const db::Connection& conn, const QString& jetSql)
{
    db::Recordset rs;
    if (!conn.isOpen() || !rs.open(conn.shared(), jetSql, nullptr) || rs.eof())
        return 0;
    return static_cast<long>(rs.value(0).toLongLong());
}

// One cell as the grid shows it, from the current row of a statement. A date column's
// stored text is written as it stands, without the conversion to local time and back that a
// QDateTime takes; a computed price change shows its sign.
QString cellText(const db::Statement& stmt, int index, bool date, bool signedNumber, bool dateOnly)
{
    const QVariant value = stmt.value(index);
    if (date) {
        if (value.typeId() == QMetaType::QString) {
            const QString stored = value.toString();
            if (const auto parts = db::parseCanonicalDateParts(stored))
                return grid::dateCellText(parts->date, parts->time, dateOnly);
            // Other spellings the store reads as dates, as a recordset gives them.
            if (const auto when = db::parseCanonicalDate(stored))
                return grid::cellTextForValue(QVariant(*when), dateOnly);
        }
        return grid::cellTextForValue(value, dateOnly);
    }
    QString text = grid::cellTextForValue(value, dateOnly);
    if (signedNumber && value.toDouble() > 0)
        text.prepend(u'+');
    return text;
}

} // namespace

QString computedFieldSql(const QString& field)
{
    if (field.compare(kPriceChangeField, Qt::CaseInsensitive) == 0)
        return store::PriceChangeExpression(QStringLiteral("产品表"));
    if (field.compare(kFollowedField, Qt::CaseInsensitive) == 0)
        return QStringLiteral("(SELECT MAX('★') FROM 关注表 AS W WHERE W.Kind='product' AND "
                              "W.PID=产品表.ID)");
    return {};
}

long gridRowLimit(int cols)
{
    if (cols <= 0)
        return 0;
    const double exact = static_cast<double>(kCellBudget) / cols - 0.5;
    return static_cast<long>(std::nearbyint(exact)) - 2;
}

QString rowLimitMessage(long records, long limit)
{
    return QStringLiteral(
        "数据库里共有%1条记录，表格只能显示%2条记录，因此无法全部显示，请修改筛选条件。")
        .arg(records)
        .arg(limit);
}

long fillGridFromTable(grid::GridModel& grid, store::DB_Operate& db, const QString& condition,
    const QString& order, bool dateOnly, const grid::TextMeasure& measure)
{
    // Emptied first, so a failed query leaves only the headings. Messages are shown before
    // the bulk update starts: views must not paint while the model is being reset.
    grid.setRows(grid.fixedRows());
    const int cols = grid.cols();
    const long limit = gridRowLimit(cols);

    if (cols == 0 || grid.tag().isEmpty() || !db.TableExists(grid.tag()))
        return 0;

    const auto database
        = store::DatabasePool::shared().acquire(db.currentDatabasePath(), nullptr, &db.feedback());
    QString sql = QStringLiteral("SELECT ") + fieldsToRead(grid, database.get())
        + QStringLiteral(" FROM ") + grid.tag();
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order;

    // The rows are read once, straight into cell texts: a copy of every value held for
    // the whole fill cost more than the texts themselves. Rows beyond what the grid shows
    // are not read; one past the limit tells that there are more, and only then are they
    // counted. A server is told the limit, so that it sends no more. The embedded engine is
    // not told it when the rows are sorted: it runs ORDER BY with a LIMIT as an index of the
    // rows kept so far, a b-tree insert for every row, which costs more than sorting them all
    // (55,000 customers of whom 31,817 are shown: 77 against 50 ms).
    const bool sortsEverything = !order.isEmpty() && database && !database->isServer();
    db::Connection conn;
    db::Statement stmt = db.OpenQuery(conn, sql, sortsEverything ? -1 : limit + 1);
    if (!stmt)
        return 0;
    // The columns are known after the first step: a server tells them with the result.
    db::StepResult rc = stmt.step();
    std::vector<db::ColumnInfo> columns;
    for (int i = 0; rc != db::StepResult::Error && i < stmt.columnCount(); ++i)
        columns.push_back(stmt.column(i));

    // Where each column's value comes from: a result column, or a computed grid column.
    enum : int
    {
        kEmpty = -1,
        kSerial = -2
    };
    std::vector<int> source(static_cast<size_t>(cols));
    std::vector<bool> signedColumn(static_cast<size_t>(cols), false);
    std::vector<bool> dateColumn(static_cast<size_t>(cols), false);
    bool missingField = false;
    for (int c = 0; c < cols; ++c) {
        const QString field = grid.fieldName(c);
        signedColumn[static_cast<size_t>(c)] = !computedFieldSql(field).isEmpty();
        int& s = source[static_cast<size_t>(c)];
        if (field.isEmpty()) {
            s = grid.title(c) == grid::kSerialTitle ? kSerial : kEmpty;
            continue;
        }
        const auto found = std::find_if(columns.begin(), columns.end(), [&](const auto& column) {
            return column.name.compare(field, Qt::CaseInsensitive) == 0;
        });
        if (found == columns.end()) {
            missingField = true;
            continue;
        }
        s = static_cast<int>(found - columns.begin());
        dateColumn[static_cast<size_t>(c)] = found->kind == db::ColumnKind::Date;
    }

    // A field the table lacks ends the fill, as any other error during it does; the rows
    // are still counted.
    // Each row's texts are packed as soon as they are read; the one list of cell texts is
    // reused, so the texts of a row live only until the next.
    std::vector<grid::RowTexts> shown;
    QList<QString> cells(cols);
    long records = 0;
    for (; rc == db::StepResult::Row; rc = stmt.step()) {
        if (++records > limit)
            break;
        if (missingField)
            continue;
        for (int c = 0; c < cols; ++c) {
            const int s = source[static_cast<size_t>(c)];
            if (s >= 0) {
                cells[c] = cellText(stmt, s, dateColumn[static_cast<size_t>(c)],
                    signedColumn[static_cast<size_t>(c)], dateOnly);
            } else if (s == kSerial) {
                cells[c] = QString::number(records);
            }
        }
        shown.emplace_back(cells);
    }
    if (rc == db::StepResult::Error) {
        db.feedback().message(store::openErrorMessage(sql));
        return 0;
    }
    // Finished before anything else runs on the connection: a server answers one
    // statement at a time.
    stmt = db::Statement();
    if (records > limit) {
        QString countSql = QStringLiteral("SELECT COUNT(*) FROM ") + grid.tag();
        if (!condition.isEmpty())
            countSql += QStringLiteral(" WHERE ") + condition;
        records = std::max(records, countRows(conn, countSql));
        db.feedback().message(rowLimitMessage(records, limit));
    }

    {
        grid::GridModel::BulkUpdate bulk(grid);
        for (grid::RowTexts& row : shown)
            grid.appendRow(std::move(row));
        grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
    }
    conn.close();
    grid::autoSizeColumns(grid, 1, true, db.feedback(), measure);
    return records;
}

} // namespace quel::views
