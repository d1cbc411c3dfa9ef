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
QString fieldsToRead(const grid::GridModel& grid, store::DB_Operate& db)
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
        const auto database = store::DatabasePool::shared().acquire(
            db.currentDatabasePath(), nullptr, &db.feedback());
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

// A date cell straight from the stored text: the date as written, without the conversion to
// local time and back that a QDateTime takes.
QString storedDateCellText(const db::Recordset& rs, int field, bool dateOnly)
{
    const QVariant stored = rs.storedValue(field);
    if (stored.typeId() == QMetaType::QString) {
        if (const auto parts = db::parseCanonicalDateParts(stored.toString()))
            return grid::dateCellText(parts->date, parts->time, dateOnly);
    }
    return grid::cellTextForValue(rs.value(field), dateOnly);
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

    QString sql = QStringLiteral("SELECT ") + fieldsToRead(grid, db) + QStringLiteral(" FROM ")
        + grid.tag();
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order;

    db::Connection conn;
    db::Recordset rs;
    // Rows beyond what the grid shows are not read; one past the limit tells that there
    // are more, and only then are they counted.
    if (!db.OpenRecordset(conn, rs, sql, limit + 1))
        return 0;
    long records = rs.recordCount();
    if (records > limit) {
        QString countSql = QStringLiteral("SELECT COUNT(*) FROM ") + grid.tag();
        if (!condition.isEmpty())
            countSql += QStringLiteral(" WHERE ") + condition;
        records = std::max(records, countRows(conn, countSql));
    }
    long toShow = records;
    if (records > limit) {
        db.feedback().message(rowLimitMessage(records, limit));
        toShow = limit;
    }

    // Where each column's value comes from: a field index, or a computed column.
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
        if (field.isEmpty())
            s = grid.title(c) == grid::kSerialTitle ? kSerial : kEmpty;
        else if ((s = rs.fieldIndex(field)) < 0)
            missingField = true;
        else
            dateColumn[static_cast<size_t>(c)] = rs.isDateField(s);
    }
    // A field the table lacks ends the fill, as any other error during it does.
    if (missingField)
        toShow = 0;

    {
        grid::GridModel::BulkUpdate bulk(grid);
        int serialNumber = 0;
        for (long i = 0; i < toShow && !rs.eof(); ++i, rs.moveNext()) {
            QList<QString> cells(cols);
            ++serialNumber;
            for (int c = 0; c < cols; ++c) {
                const int s = source[static_cast<size_t>(c)];
                if (s >= 0 && dateColumn[static_cast<size_t>(c)]) {
                    cells[c] = storedDateCellText(rs, s, dateOnly);
                } else if (s >= 0) {
                    const QVariant value = rs.value(s);
                    cells[c] = grid::cellTextForValue(value, dateOnly);
                    if (signedColumn[static_cast<size_t>(c)] && value.toDouble() > 0)
                        cells[c].prepend(u'+');
                } else if (s == kSerial)
                    cells[c] = QString::number(serialNumber);
            }
            grid.appendRow(std::move(cells));
        }
        grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
    }
    db.CloseRecordset(conn, rs);
    grid::autoSizeColumns(grid, 1, true, db.feedback(), measure);
    return records;
}

} // namespace quel::views
