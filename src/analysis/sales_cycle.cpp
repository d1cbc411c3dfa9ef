#include "analysis/sales_cycle.h"

#include "core/feedback.h"
#include "shell/value_helpers.h"
#include "store/db_operate.h"
#include "views/grid_model.h"
#include "views/grid_ops.h"

#include <sqlite3.h>

namespace quel::analysis {

namespace {

int cycleLength(CycleKind kind)
{
    switch (kind) {
    case CycleKind::DaysOfMonth:
        return 31;
    case CycleKind::DaysOfWeek:
        return 7;
    case CycleKind::HoursOfDay:
        break;
    }
    return 24;
}

QString cycleHeading(CycleKind kind)
{
    switch (kind) {
    case CycleKind::DaysOfMonth:
        return QStringLiteral("月/天");
    case CycleKind::DaysOfWeek:
        return QStringLiteral("周/天");
    case CycleKind::HoursOfDay:
        break;
    }
    return QStringLiteral("天/时");
}

// Label of cycle position i (0-based).
QString positionLabel(CycleKind kind, int i)
{
    switch (kind) {
    case CycleKind::DaysOfMonth:
        return QString::number(i + 1) + QStringLiteral("日");
    case CycleKind::DaysOfWeek:
        return QStringLiteral("周") + QString::number(i + 1);
    case CycleKind::HoursOfDay:
        break;
    }
    return QString::number(i) + QStringLiteral("点");
}

// The 0-based cycle position of a trade's Dat, in SQL: day of month - 1, weekday from
// Monday - 1 (Sunday is the seventh day), hour.
QString positionSql(CycleKind kind)
{
    switch (kind) {
    case CycleKind::DaysOfMonth:
        return QStringLiteral("CAST(strftime('%d',Dat) AS INTEGER)-1");
    case CycleKind::DaysOfWeek:
        return QStringLiteral("(CAST(strftime('%w',Dat) AS INTEGER)+6)%7");
    case CycleKind::HoursOfDay:
        break;
    }
    return QStringLiteral("CAST(strftime('%H',Dat) AS INTEGER)");
}

// A sum as plain decimal text: whole sums without a decimal point, others in the
// shortest form of at most 15 significant digits (12.5, 100, 0).
QString sumText(double value)
{
    QString text = QString::number(value, 'g', 15);
    if (text.contains(u'e'))
        text = QString::number(value, 'f', 0);
    return text;
}

} // namespace

QString cycleCaption(CycleKind kind)
{
    switch (kind) {
    case CycleKind::DaysOfMonth:
        return QStringLiteral("按月/天");
    case CycleKind::DaysOfWeek:
        return QStringLiteral("按周/天");
    case CycleKind::HoursOfDay:
        break;
    }
    return QStringLiteral("按天/时");
}

void SetupCycleGrid(views::GridModel& grid, CycleKind kind, CycleMeasure measure)
{
    views::GridModel::BulkUpdate bulk(grid);
    grid.setRows(0);
    grid.setCols(3);
    grid.setRows(1);
    grid.setFixedRows(1);
    grid.setFixedCols(2);
    grid.setText(0, 0, views::kSerialTitle);
    grid.setText(0, 1, cycleHeading(kind));
    grid.setText(0, 2,
        measure == CycleMeasure::Amount ? QStringLiteral("售出金额") : QStringLiteral("售出件数"));
    grid.setColumnCode(0, views::kCodeText);
    grid.setColumnCode(1, views::kCodeText);
    grid.setColumnCode(2, views::kCodeNumber);
    grid.setTag({});
    for (int i = 0; i < cycleLength(kind); ++i)
        grid.appendRow({ QString::number(i + 1), positionLabel(kind, i), QStringLiteral("0") });
    grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
}

AnalysisResult RunSalesCycleAnalysis(views::GridModel& grid, store::DB_Operate& db,
    const QString& idList, CycleKind kind, CycleMeasure cycleMeasure,
    const views::TextMeasure& measure)
{
    Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在进行统计……"), 3, 0);
    SetupCycleGrid(grid, kind, cycleMeasure);

    const std::vector<qint64> ids = chosenProductIds(idList);
    // Only the chosen products' trades are measured: the others would be copied for
    // nothing.
    const QString chosen = ids.empty() ? QStringLiteral("FALSE")
                                       : QStringLiteral("PID IN (") + idSqlList(ids) + u')';
    const QString value = cycleMeasure == CycleMeasure::Amount ? QStringLiteral("(Pri*Num)")
                                                               : QStringLiteral("Num");
    std::vector<double> sums(static_cast<size_t>(cycleLength(kind)), 0.0);
    {
        WorkTableRun run(db);
        run.drop(QStringLiteral("TEMP_SalesChange"));
        run.exec(
            QStringLiteral("SELECT PID,Dat,%1 AS Sm INTO TEMP_SalesChange FROM 交易表 WHERE %2")
                .arg(value, chosen));
        run.drop(QStringLiteral("TEMP_SalesCyc"));
        run.exec(QStringLiteral("SELECT * INTO TEMP_SalesCyc FROM TEMP_SalesChange WHERE FALSE"));
        run.exec(QStringLiteral("INSERT INTO TEMP_SalesCyc SELECT * FROM TEMP_SalesChange"));
        feedback.indicatorStep(1, QStringLiteral("pages"));
        if (sqlite3_stmt* positions = run.prepare(
                QStringLiteral("SELECT %1 AS P,SUM(Sm) FROM TEMP_SalesCyc WHERE Dat IS NOT NULL "
                               "GROUP BY P")
                    .arg(positionSql(kind)))) {
            int rc;
            while ((rc = sqlite3_step(positions)) == SQLITE_ROW) {
                const qint64 p = sqlite3_column_int64(positions, 0);
                if (p >= 0 && p < static_cast<qint64>(sums.size()))
                    sums[static_cast<size_t>(p)] += sqlite3_column_double(positions, 1);
            }
            run.endQuery(positions, rc);
        }
        if (!run.commit()) {
            feedback.indicatorClose();
            feedback.message(analysisFailedMessage());
            return {};
        }
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));
    {
        views::GridModel::BulkUpdate bulk(grid);
        for (size_t i = 0; i < sums.size(); ++i)
            grid.setText(grid.fixedRows() + static_cast<int>(i), 2, sumText(sums[i]));
    }
    views::autoSizeColumns(grid, grid.fixedRows(), true, feedback, measure);

    // The whole cycle is shown.
    AnalysisResult result;
    result.rangeStart = QStringLiteral("1");
    result.rangeEnd = QStringLiteral("40");
    shell::ClampRowRange(grid.rows(), grid.fixedRows(), result.rangeStart, result.rangeEnd);
    const int firstRow = grid.fixedRows() + result.rangeStart.toInt() - 1;
    const int lastRow = grid.fixedRows() + result.rangeEnd.toInt() - 1;
    const QString cycleText = (cycleMeasure == CycleMeasure::Amount ? QStringLiteral("按金额")
                                                                    : QStringLiteral("按件数"))
        + QStringLiteral("；周期：") + cycleCaption(kind);
    result.title = QStringLiteral("淘宝店铺销售周期性变化规律图\r\n（日期：")
        + grid.text(firstRow, 1) + QStringLiteral("—") + grid.text(lastRow, 1)
        + QStringLiteral("；统计：") + cycleText + QStringLiteral("；统计者：Dovrel软件）");
    result.ready = true;
    feedback.indicatorClose();
    return result;
}

} // namespace quel::analysis
