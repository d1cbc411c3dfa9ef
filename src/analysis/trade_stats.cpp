#include "analysis/trade_stats.h"

#include "core/feedback.h"
#include "db/stored_date.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"

#include <QHash>
#include <algorithm>

namespace quel::analysis {

namespace {

const QString kPeriodRows = QStringLiteral("TEMP_Trade1");
const QString kTotals = QStringLiteral("TEMP_Total");

QDate columnDate(const db::Statement& stmt, int col)
{
    return QDate::fromString(stmt.text(col).left(10), Qt::ISODate);
}

// Text columns compare ignoring the case of ASCII letters (the engine's NOCASE), so two
// names that differ only so are one series, and series are ordered the way the engine
// orders the names.
QByteArray nocaseKey(const QString& text)
{
    QByteArray key = text.toUtf8();
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// The start of a trade's period, as the engine writes dates ("2010-04-12").
db::DatePart periodPart(PeriodUnit unit)
{
    switch (unit) {
    case PeriodUnit::Day:
        return db::DatePart::Day;
    case PeriodUnit::Week:
        return db::DatePart::Week;
    case PeriodUnit::Month:
        break;
    }
    return db::DatePart::Month;
}

struct PeriodSums
{
    double amount = 0;
    qint64 quantity = 0;
};

struct Series
{
    QString name;
    std::vector<PeriodSums> periods;
};

QString measureText(TradeMeasure measure, const PeriodSums& sums)
{
    switch (measure) {
    case TradeMeasure::Amount:
        return grid::cellTextForValue(sums.amount, false);
    case TradeMeasure::Quantity:
        return QString::number(sums.quantity);
    case TradeMeasure::Average:
        break;
    }
    // A period without trades has no average price: its cell stays empty (a gap in the
    // line), never a price of 0.
    if (sums.quantity <= 0)
        return QString();
    return grid::cellTextForValue(sums.amount / static_cast<double>(sums.quantity), false);
}

// The series of the chosen products: one per distinct name, also for a product without
// trades (it stays at zero like any period without trades).
struct ChosenSeries
{
    std::vector<Series> series;
    QHash<qint64, size_t> seriesOfProduct;
};

ChosenSeries readSeries(WorkTableRun& run, const QString& seriesField, const QString& inList)
{
    ChosenSeries chosen;
    QHash<QByteArray, size_t> seriesOfName;
    if (db::Statement* names
        = run.prepare(QStringLiteral("SELECT ID,%1 FROM 产品表 WHERE ID IN (%2) ORDER BY %1,ID")
                          .arg(seriesField, inList))) {
        db::StepResult rc;
        while ((rc = names->step()) == db::StepResult::Row) {
            const QString name = names->text(1);
            const QByteArray key = nocaseKey(name);
            auto found = seriesOfName.constFind(key);
            if (found == seriesOfName.constEnd()) {
                found = seriesOfName.insert(key, chosen.series.size());
                chosen.series.push_back({ name, {} });
            }
            chosen.seriesOfProduct.insert(names->int64(0), *found);
        }
        run.endQuery(names, rc);
    }
    return chosen;
}

// The chosen products' trades summed per product and period, with the earliest and the
// latest period: the periods run between them for every series.
struct ProductPeriods
{
    struct Row
    {
        size_t series;
        QDate start;
        PeriodSums sums;
    };
    std::vector<Row> rows;
    QDate first;
    QDate last;
};

// One statement; a copy of the trades in a table of their own would only feed this step.
ProductPeriods readProductPeriods(
    WorkTableRun& run, const QString& inList, PeriodUnit unit, const ChosenSeries& chosen)
{
    ProductPeriods sums;
    const QString sumsSql
        = QStringLiteral("SELECT PID,%1 AS P,SUM(Pri*Num),SUM(Num) FROM 交易表 "
                         "WHERE PID IN (%2) AND Dat IS NOT NULL GROUP BY PID,P")
              .arg(run.periodStart(QStringLiteral("Dat"), periodPart(unit)), inList);
    if (db::Statement* rows = run.prepare(sumsSql)) {
        db::StepResult rc;
        while ((rc = rows->step()) == db::StepResult::Row) {
            const auto s = chosen.seriesOfProduct.constFind(rows->int64(0));
            const QDate start = columnDate(*rows, 1);
            if (s == chosen.seriesOfProduct.constEnd() || !start.isValid())
                continue;
            sums.rows.push_back({ *s, start, { rows->real(2), rows->int64(3) } });
            if (!sums.first.isValid() || start < sums.first)
                sums.first = start;
            if (!sums.last.isValid() || start > sums.last)
                sums.last = start;
        }
        run.endQuery(rows, rc);
    }
    return sums;
}

// Adds each product's period sums into its series' cells over all periods.
void sumByPeriod(
    std::vector<Series>& series, const ProductPeriods& sums, const std::vector<QDate>& periods)
{
    QHash<qint64, size_t> periodIndex;
    for (size_t p = 0; p < periods.size(); ++p)
        periodIndex.insert(periods[p].toJulianDay(), p);
    for (Series& s : series)
        s.periods.resize(periods.size());
    for (const ProductPeriods::Row& row : sums.rows) {
        const auto p = periodIndex.constFind(row.start.toJulianDay());
        if (p == periodIndex.constEnd())
            continue;
        PeriodSums& cell = series[row.series].periods[*p];
        cell.amount += row.sums.amount;
        cell.quantity += row.sums.quantity;
    }
}

// The work table TEMP_Trade1: every series over every period, the empty ones with zeros.
void writePeriodTable(
    WorkTableRun& run, const std::vector<Series>& series, const std::vector<QDate>& periods)
{
    run.drop(kPeriodRows);
    run.exec(QStringLiteral("CREATE TABLE TEMP_Trade1 (Name STRING,Dat DATE,Sm DOUBLE,Num LONG,"
                            "Av DOUBLE)"));
    db::Statement* insert = run.prepare(
        QStringLiteral("INSERT INTO TEMP_Trade1(Name,Dat,Sm,Num,Av) VALUES(?,?,?,?,?)"));
    if (!insert)
        return;
    std::vector<QByteArray> periodTexts;
    for (const QDate& start : periods)
        periodTexts.push_back(db::canonicalDateText(start).toUtf8());
    for (const Series& s : series) {
        const QByteArray name = s.name.toUtf8();
        for (size_t p = 0; p < periods.size() && run.ok(); ++p) {
            const PeriodSums& cell = s.periods[p];
            insert->bindText(1, name);
            insert->bindText(2, periodTexts[p]);
            insert->bindDouble(3, cell.amount);
            insert->bindInt64(4, cell.quantity);
            // No trades: no average (NULL), the sums stay 0.
            if (cell.quantity > 0)
                insert->bindDouble(5, cell.amount / static_cast<double>(cell.quantity));
            else
                insert->bindNull(5);
            run.stepDone(insert);
        }
    }
}

void showPeriodGrid(grid::GridModel& grid, const std::vector<Series>& series,
    const std::vector<QDate>& periods, TradeMeasure measure)
{
    QStringList headings { grid::kSerialTitle, QStringLiteral("日期") };
    for (const Series& s : series)
        headings << s.name;
    grid::setGridColumns(grid, headings, headings);
    grid::GridModel::BulkUpdate bulk(grid);
    for (int c = 2; c < grid.cols(); ++c)
        grid.setColumnCode(c, grid::kCodeNumber);
    for (size_t p = 0; p < periods.size(); ++p) {
        QList<QString> cells(grid.cols());
        cells[1] = periods[p].toString(QStringLiteral("yyyy.MM.dd"));
        for (size_t j = 0; j < series.size(); ++j)
            cells[static_cast<qsizetype>(j) + 2] = measureText(measure, series[j].periods[p]);
        grid.appendRow(std::move(cells));
    }
    grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
}

} // namespace

QString tradeMeasureField(TradeMeasure measure)
{
    switch (measure) {
    case TradeMeasure::Amount:
        return QStringLiteral("Sm");
    case TradeMeasure::Quantity:
        return QStringLiteral("Num");
    case TradeMeasure::Average:
        break;
    }
    return QStringLiteral("Av");
}

QString tradeSeriesField(TradeSeries series)
{
    return series == TradeSeries::Product ? QStringLiteral("P_Name") : QStringLiteral("SName");
}

AnalysisResult CompareTradesByPeriod(grid::GridModel& grid, store::DB_Operate& db,
    const QString& idList, const PeriodComparison& options, const grid::TextMeasure& measure)
{
    const std::vector<qint64> ids = chosenProductIds(idList);
    if (ids.empty())
        return {};
    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("开始统计交易数据……"), 4, 0);
    const QString inList = idSqlList(ids);

    WorkTableRun run(db);
    ChosenSeries chosen = readSeries(run, tradeSeriesField(options.series), inList);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    const ProductPeriods sums = readProductPeriods(run, inList, options.unit, chosen);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    if (!run.ok() || sums.rows.empty()) {
        const bool failed = !run.ok();
        run.rollback();
        feedback.indicatorClose();
        if (failed)
            feedback.message(analysisFailedMessage());
        return {};
    }

    const std::vector<QDate> periods = periodStarts(sums.first, sums.last, options.unit);
    sumByPeriod(chosen.series, sums, periods);
    writePeriodTable(run, chosen.series, periods);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    if (!run.commit()) {
        feedback.indicatorClose();
        feedback.message(analysisFailedMessage());
        return {};
    }
    if (chosen.series.empty()) {
        feedback.indicatorClose();
        return {};
    }

    feedback.indicatorStart(QStringLiteral("开始加载交易数据……"), 1, 0);
    std::stable_sort(chosen.series.begin(), chosen.series.end(),
        [](const Series& a, const Series& b) { return nocaseKey(a.name) < nocaseKey(b.name); });
    showPeriodGrid(grid, chosen.series, periods, options.measure);
    grid::renumberSerialColumn(grid);
    grid::autoSizeColumns(grid, 1, true, feedback, measure);
    feedback.indicatorClose();

    AnalysisResult result;
    result.ready = true;
    result.title = QStringLiteral("淘宝产品销售情况比较图表\r\n") + sourceLine();
    result.showHint = true;
    return result;
}

QString totalsGroupingCaption(TotalsGrouping grouping)
{
    return grouping == TotalsGrouping::Product ? QStringLiteral("产品") : QStringLiteral("店铺");
}

QString totalsGroupingField(TotalsGrouping grouping)
{
    return grouping == TotalsGrouping::Product ? QStringLiteral("P_Name") : QStringLiteral("SName");
}

QString totalsMeasureCaption(TotalsMeasure measure)
{
    return measure == TotalsMeasure::Amount ? QStringLiteral("交易金额")
                                            : QStringLiteral("交易数量");
}

QString totalsMeasureField(TotalsMeasure measure)
{
    return measure == TotalsMeasure::Amount ? QStringLiteral("Sm") : QStringLiteral("Num");
}

bool BuildTradeTotalTable(WorkTableRun& run, TotalsGrouping grouping)
{
    const QString field = totalsGroupingField(grouping);
    run.drop(kTotals);
    // Declared first so the columns keep their types; the sums run once.
    run.exec(QStringLiteral("CREATE TABLE TEMP_Total (%1 STRING,Sm DOUBLE,Num LONG)").arg(field));
    return run.stepDone(run.prepare(QStringLiteral("INSERT INTO TEMP_Total(%1,Sm,Num) SELECT "
                                                   "%1,SUM(Price*Num9),SUM(Num9) FROM 产品表 "
                                                   "GROUP BY %1")
                                        .arg(field)));
}

AnalysisResult CompareTradeTotals(grid::GridModel& grid, store::DB_Operate& db,
    TotalsGrouping grouping, TotalsMeasure totalsMeasure, const grid::TextMeasure& measure)
{
    const QString groupField = totalsGroupingField(grouping);
    const QString measureField = totalsMeasureField(totalsMeasure);
    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("开始统计交易数据……"), 2, 0);
    {
        WorkTableRun run(db);
        BuildTradeTotalTable(run, grouping);
        if (!run.commit()) {
            feedback.indicatorClose();
            feedback.message(analysisFailedMessage());
            return {};
        }
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));

    grid::setGridColumns(grid, { QString(), groupField, measureField },
        { grid::kSerialTitle, totalsGroupingCaption(grouping),
            totalsMeasureCaption(totalsMeasure) });
    grid.setColumnCode(2, grid::kCodeNumber);
    grid.setTag(kTotals);
    // Equal totals keep one order from run to run.
    views::fillGridFromTable(
        grid, db, {}, measureField + QStringLiteral(" DESC,") + groupField, false, measure);
    feedback.indicatorClose();

    AnalysisResult result;
    result.ready = true;
    result.title = QStringLiteral("淘宝产品销售情况分析图表\r\n")
        + sourceLine(QStringLiteral("；按") + totalsGroupingCaption(grouping));
    result.showHint = true;
    result.mark = ChartMark::Bar;
    return result;
}

} // namespace quel::analysis
