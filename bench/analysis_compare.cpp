#include "analysis_compare.h"

#include "analysis/customer_stats.h"
#include "analysis/market_overview.h"
#include "analysis/overview_charts.h"
#include "analysis/product_stats.h"
#include "analysis/sales_cycle.h"
#include "analysis/trade_stats.h"
#include "core/feedback.h"
#include "db/database.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"

#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace quel::bench {

namespace {

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// Runs one query to the end; each row's columns joined by "|" (doubles with two decimals).
QStringList query(db::Database& db, const QString& sql)
{
    QStringList rows;
    db::Statement stmt = db.prepare(sql);
    if (!stmt)
        return { QStringLiteral("error: ") + db.lastErrorText() };
    while (stmt.step() == db::StepResult::Row) {
        QStringList cells;
        for (int c = 0; c < stmt.columnCount(); ++c) {
            const QVariant value = stmt.value(c);
            if (value.typeId() == QMetaType::Double)
                cells << QString::number(value.toDouble(), 'f', 2);
            else
                cells << stmt.text(c);
        }
        rows << cells.join(u'|');
    }
    return rows;
}

// Runs one query to the end, reading every value as text and keeping nothing: the least a
// program could do to show the result.
int readAll(db::Database& db, const QString& sql)
{
    db::Statement stmt = db.prepare(sql);
    int rows = 0;
    while (stmt && stmt.step() == db::StepResult::Row) {
        for (int c = 0; c < stmt.columnCount(); ++c)
            stmt.utf8(c);
        ++rows;
    }
    return rows;
}

QStringList gridRows(const grid::GridModel& grid, int firstCol)
{
    QStringList rows;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        QStringList cells;
        for (int c = firstCol; c < grid.cols(); ++c)
            cells << grid.text(r, c);
        rows << cells.join(u'|');
    }
    return rows;
}

QString sqlIds(const std::vector<qint64>& ids)
{
    QStringList list;
    for (const qint64 id : ids)
        list << QString::number(id);
    return list.join(u',');
}

// The analysis and its query, best of `runs` each; then the query's rows once more, untimed,
// for the comparison of results.
AnalysisTiming timeBoth(const AnalysisBench& bench, int runs, const std::function<void()>& ours,
    const QString& sql, QStringList* reference)
{
    AnalysisTiming t;
    t.ours = bestCpuMs(runs, ours);
    t.sql = bestCpuMs(runs, [&] { readAll(bench.db, sql); });
    *reference = query(bench.db, sql);
    t.rows = static_cast<int>(reference->size());
    return t;
}

} // namespace

double bestCpuMs(int runs, const std::function<void()>& work)
{
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        const double start = cpuMs();
        work();
        best = std::min(best, cpuMs() - start);
    }
    return best;
}

QString pickerTag(const std::vector<qint64>& ids)
{
    QString tag;
    for (const qint64 id : ids)
        tag += QString::number(id) + QStringLiteral("；");
    return tag;
}

AnalysisTiming compareProductStatistics(const AnalysisBench& bench, int grouping)
{
    const QString tag
        = QString::fromUtf8(analysis::productGroupings()[static_cast<size_t>(grouping)].tag);
    analysis::ProductStatsOptions options;
    options.measures.fill(true);
    options.grouping = grouping;
    const QString sql = QStringLiteral("SELECT ") + tag
        + QStringLiteral(",AVG(Price),AVG(MFee),AVG(Dis),SUM(Num1),SUM(Num9),SUM(SNum),"
                         "SUM(VTimes),SUM(CTimes) FROM 产品表 GROUP BY ")
        + tag;
    QStringList reference;
    AnalysisTiming t = timeBoth(
        bench, bench.runs,
        [&] { analysis::RunProductStatistics(bench.grid, bench.ops, options, bench.measure); }, sql,
        &reference);
    // One grid row per group, up to what a grid shows.
    const long shown = std::min<long>(t.rows, views::gridRowLimit(bench.grid.cols()));
    t.match = t.rows > 0 && bench.grid.rows() - bench.grid.fixedRows() == shown;
    if (bench.shown)
        bench.shown(QStringLiteral("products ") + tag);
    return t;
}

AnalysisTiming comparePeriods(const AnalysisBench& bench, const std::vector<qint64>& ids)
{
    const QString sql = QStringLiteral(
        "SELECT p.P_Name,date(t.Dat),SUM(t.Pri*t.Num),SUM(t.Num) FROM 交易表 t JOIN 产品表 p "
        "ON p.ID=t.PID WHERE t.PID IN (%1) GROUP BY p.P_Name,date(t.Dat)")
                            .arg(sqlIds(ids));
    QStringList reference;
    AnalysisTiming t = timeBoth(
        bench, bench.runs,
        [&] {
            analysis::CompareTradesByPeriod(bench.grid, bench.ops, pickerTag(ids),
                { analysis::PeriodUnit::Day, analysis::TradeMeasure::Amount,
                    analysis::TradeSeries::Product },
                bench.measure);
        },
        sql, &reference);
    // Every non-zero cell of the grid is one row of the query.
    const grid::GridModel& grid = bench.grid;
    QStringList cells;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        for (int c = grid.fixedCols(); c < grid.cols(); ++c) {
            if (grid.text(r, c) != QStringLiteral("0.00"))
                cells << grid.title(c) + u'|' + grid.text(r, 1).replace(u'.', u'-') + u'|'
                        + grid.text(r, c);
        }
    }
    QStringList expected;
    for (const QString& row : std::as_const(reference))
        expected << row.section(u'|', 0, 2);
    cells.sort();
    expected.sort();
    t.match = !cells.isEmpty() && cells == expected;
    if (bench.shown)
        bench.shown(QStringLiteral("periods"));
    return t;
}

AnalysisTiming compareTotals(const AnalysisBench& bench)
{
    const QString sql = QStringLiteral("SELECT P_Name,SUM(Price*Num9) AS Sm FROM 产品表 GROUP "
                                       "BY P_Name ORDER BY Sm DESC,P_Name");
    QStringList reference;
    // Short and quick: more runs to find the best.
    AnalysisTiming t = timeBoth(
        bench, 3 * bench.runs,
        [&] {
            analysis::CompareTradeTotals(bench.grid, bench.ops, analysis::TotalsGrouping::Product,
                analysis::TotalsMeasure::Amount, bench.measure);
        },
        sql, &reference);
    t.match = !reference.isEmpty() && gridRows(bench.grid, 1) == reference;
    if (bench.shown)
        bench.shown(QStringLiteral("totals"));
    return t;
}

AnalysisTiming compareCustomers(const AnalysisBench& bench, const std::vector<qint64>& ids)
{
    const QString sql = QStringLiteral(
        "SELECT Prov,COUNT(Prov) AS Cou FROM 客户表 WHERE BName<>'' AND BCode IN (SELECT BCode "
        "FROM 交易表 WHERE BCode<>'' AND PID IN (%1)) GROUP BY Prov ORDER BY Cou DESC,Prov")
                            .arg(sqlIds(ids));
    QStringList reference;
    AnalysisTiming t = timeBoth(
        bench, bench.runs,
        [&] {
            analysis::PrepareCustomerSet(bench.ops, pickerTag(ids));
            analysis::RunCustomerStatistics(
                bench.grid, bench.ops, analysis::CustomerGrouping::Province, bench.measure);
        },
        sql, &reference);
    t.match = !reference.isEmpty() && gridRows(bench.grid, 1) == reference;
    if (bench.shown)
        bench.shown(QStringLiteral("buyers"));
    return t;
}

AnalysisTiming compareSalesCycle(const AnalysisBench& bench, const std::vector<qint64>& ids)
{
    const QString sql = QStringLiteral(
        "SELECT CAST(strftime('%d',Dat) AS INTEGER) AS D,SUM(Pri*Num) FROM 交易表 WHERE PID IN "
        "(%1) GROUP BY D ORDER BY D")
                            .arg(sqlIds(ids));
    QStringList reference;
    AnalysisTiming t = timeBoth(
        bench, bench.runs,
        [&] {
            analysis::RunSalesCycleAnalysis(bench.grid, bench.ops, pickerTag(ids),
                analysis::CycleKind::DaysOfMonth, analysis::CycleMeasure::Amount, bench.measure);
        },
        sql, &reference);
    const grid::GridModel& grid = bench.grid;
    QStringList cells;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        cells << QString::number(r) + u'|' + QString::number(grid.text(r, 2).toDouble(), 'f', 2);
    t.match = reference.size() == 31 && cells == reference;
    if (bench.shown)
        bench.shown(QStringLiteral("cycle"));
    return t;
}

AnalysisTiming compareOverview(const AnalysisBench& bench, const QString& category)
{
    analysis::MarketOverview overview;
    QString error;
    const auto ours = [&] {
        if (!analysis::BuildMarketOverview(bench.ops, category, overview, &error))
            return;
        analysis::FillOverviewGrid(bench.grid, overview);
        core::SilentFeedback quiet;
        grid::autoSizeColumns(bench.grid, 1, false, quiet, bench.measure);
        analysis::OverviewCharts(overview);
    };
    ours();
    const bool all = category.isEmpty();
    const QString where
        = all ? QString() : QStringLiteral(" WHERE KWord=") + store::Quote(category);
    const QString andWhere
        = all ? QString() : QStringLiteral(" AND KWord=") + store::Quote(category);
    const QString products = all
        ? QString()
        : QStringLiteral(" AND PID IN (SELECT ID FROM 产品表") + where + QStringLiteral(")");
    const analysis::BandLayout bands = overview.bandLayout;
    const QStringList queries {
        QStringLiteral("SELECT COUNT(*),COUNT(DISTINCT SName),SUM(Num9),SUM(Price*Num9),"
                       "MIN(Price),MAX(Price) FROM 产品表")
            + where,
        QStringLiteral("SELECT Price FROM 产品表") + where
            + QStringLiteral(" ORDER BY Price LIMIT 2 OFFSET %1")
                  .arg(std::max<qint64>(0, (overview.products - 1) / 2)),
        QStringLiteral("SELECT SName,SUM(Price*Num9) AS Sm,SUM(Num9),MAX(Addr) FROM 产品表") + where
            + QStringLiteral(" GROUP BY SName ORDER BY Sm DESC"),
        QStringLiteral("SELECT CAST((Price-%1)/%2 AS INTEGER) AS B,COUNT(*),SUM(Num9),"
                       "SUM(Price*Num9) FROM 产品表")
                .arg(bands.start)
                .arg(bands.width)
            + where + QStringLiteral(" GROUP BY B"),
        QStringLiteral("SELECT %1 AS W,SUM(Pri*Num),SUM(Num) FROM 交易表 WHERE Dat IS NOT NULL")
                .arg(bench.db.periodStartSql(QStringLiteral("Dat"), db::DatePart::Week))
            + products + QStringLiteral(" GROUP BY W ORDER BY W DESC LIMIT 26"),
        QStringLiteral("SELECT COUNT(*) FROM 产品表 WHERE Style<>''") + andWhere,
        QStringLiteral("SELECT Prov,COUNT(*) FROM 客户表 WHERE BName<>'' AND BCode IN (SELECT "
                       "BCode FROM 交易表 WHERE BCode<>''")
            + products + QStringLiteral(") GROUP BY Prov"),
    };
    AnalysisTiming t;
    t.ours = bestCpuMs(bench.runs, ours);
    t.sql = bestCpuMs(bench.runs, [&] {
        for (const QString& sql : queries)
            readAll(bench.db, sql);
    });
    // The figures agree with the queries' totals.
    const QStringList totals = query(bench.db, queries[0]).value(0).split(u'|');
    const QStringList buyers = query(bench.db, queries[6]);
    qint64 buyerCount = 0;
    for (const analysis::ProvinceCount& p : overview.buyerProvinces)
        buyerCount += p.count;
    qint64 buyerRows = 0;
    for (const QString& row : buyers)
        buyerRows += row.section(u'|', 1).toLongLong();
    t.rows = static_cast<int>(overview.products);
    t.match = error.isEmpty() && totals.value(0).toLongLong() == overview.products
        && totals.value(1).toLongLong() == overview.shops
        && totals.value(2).toLongLong() == overview.quantity && buyerRows == buyerCount;
    if (!t.match)
        std::fprintf(stderr, "overview %s: %s; %s against %lld products, %lld shops\n",
            qPrintable(category), qPrintable(error), qPrintable(totals.join(u',')),
            static_cast<long long>(overview.products), static_cast<long long>(overview.shops));
    if (bench.shown)
        bench.shown(QStringLiteral("overview ") + category);
    return t;
}

} // namespace quel::bench
