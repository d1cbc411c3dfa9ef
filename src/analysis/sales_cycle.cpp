#include "analysis/sales_cycle.h"

#include "core/feedback.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"

#include <algorithm>

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

// The 0-based cycle position of a stored date ("2010-04-12 23:59:00"): day of month - 1,
// weekday from Monday - 1 (Sunday is the seventh day), or hour; -1 for anything else.
int cyclePosition(CycleKind kind, const char* text, int size)
{
    if (size < 13)
        return -1;
    auto number = [text](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    switch (kind) {
    case CycleKind::DaysOfMonth: {
        const int day = number(8, 2);
        return day >= 1 && day <= 31 ? day - 1 : -1;
    }
    case CycleKind::DaysOfWeek: {
        const QDate date(number(0, 4), number(5, 2), number(8, 2));
        return date.isValid() ? date.dayOfWeek() - 1 : -1;
    }
    case CycleKind::HoursOfDay:
        break;
    }
    const int hour = number(11, 2);
    return hour >= 0 && hour <= 23 ? hour : -1;
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

void SetupCycleGrid(grid::GridModel& grid, CycleKind kind, CycleMeasure measure)
{
    grid::GridModel::BulkUpdate bulk(grid);
    grid.setRows(0);
    grid.setCols(3);
    grid.setRows(1);
    grid.setFixedRows(1);
    grid.setFixedCols(2);
    grid.setText(0, 0, grid::kSerialTitle);
    grid.setText(0, 1, cycleHeading(kind));
    grid.setText(0, 2,
        measure == CycleMeasure::Amount ? QStringLiteral("售出金额") : QStringLiteral("售出件数"));
    grid.setColumnCode(0, grid::kCodeText);
    grid.setColumnCode(1, grid::kCodeText);
    grid.setColumnCode(2, grid::kCodeNumber);
    grid.setTag({});
    for (int i = 0; i < cycleLength(kind); ++i)
        grid.appendRow({ QString::number(i + 1), positionLabel(kind, i), QStringLiteral("0") });
    grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
}

AnalysisResult RunSalesCycleAnalysis(grid::GridModel& grid, store::DB_Operate& db,
    const QString& idList, CycleKind kind, CycleMeasure cycleMeasure,
    const grid::TextMeasure& measure)
{
    core::Feedback& feedback = db.feedback();
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
        // Only the chosen products' trades are measured, straight into TEMP_SalesCyc: a
        // measured copy of every trade in between would only be filtered again.
        run.drop(QStringLiteral("TEMP_SalesChange"));
        run.drop(QStringLiteral("TEMP_SalesCyc"));
        run.exec(QStringLiteral("SELECT PID,Dat,%1 AS Sm INTO TEMP_SalesCyc FROM 交易表 WHERE %2")
                     .arg(value, chosen));
        feedback.indicatorStep(1, QStringLiteral("pages"));
        // One pass adds every record to its position (no sorting needed).
        if (db::Statement* records = run.prepare(
                QStringLiteral("SELECT Dat,Sm FROM TEMP_SalesCyc WHERE Dat IS NOT NULL"))) {
            db::StepResult rc;
            while ((rc = records->step()) == db::StepResult::Row) {
                const QByteArrayView text = records->utf8(0);
                const int p = cyclePosition(kind, text.data(), int(text.size()));
                if (p >= 0 && p < static_cast<int>(sums.size()))
                    sums[static_cast<size_t>(p)] += records->real(1);
            }
            run.endQuery(records, rc);
        }
        if (!run.commit()) {
            feedback.indicatorClose();
            feedback.message(analysisFailedMessage());
            return {};
        }
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));
    {
        grid::GridModel::BulkUpdate bulk(grid);
        for (size_t i = 0; i < sums.size(); ++i)
            grid.setText(grid.fixedRows() + static_cast<int>(i), 2, sumText(sums[i]));
    }
    grid::autoSizeColumns(grid, grid.fixedRows(), true, feedback, measure);

    // The whole cycle is shown: the range boxes' "1" and "40", kept within the rows.
    AnalysisResult result;
    result.mark = ChartMark::Bar;
    result.rangeStart = QStringLiteral("1");
    result.rangeEnd = QString::number(std::min(40, grid.dataRowCount()));
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
