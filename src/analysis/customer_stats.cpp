#include "analysis/customer_stats.h"

#include "core/feedback.h"
#include "core/text_sort.h"
#include "db/statement.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"

#include <string>
#include <vector>

namespace quel::analysis {

namespace {

const QString kBuyerSet = QStringLiteral("TEMP_Trade2");
const QString kCounts = QStringLiteral("TEMP_Trade3");

// The Jet type of a grouping column in 客户表.
QString customerGroupingType(CustomerGrouping grouping)
{
    switch (grouping) {
    case CustomerGrouping::Credit:
        return QStringLiteral("LONG");
    case CustomerGrouping::Activity:
        return QStringLiteral("DATE");
    default:
        return QStringLiteral("STRING");
    }
}

// Counts the last logins of the set into the recency bands, one row per band (Ord keeps
// their order), also the empty ones.
void countRecencyBands(WorkTableRun& run)
{
    run.exec(QStringLiteral("CREATE TABLE TEMP_Trade3 (lDat STRING,Cou LONG,Ord LONG)"));
    std::vector<std::pair<QDate, qint64>> logins;
    QDate newest;
    if (db::Statement* rows = run.prepare(QStringLiteral(
            "SELECT lDat,COUNT(lDat) FROM TEMP_Trade2 WHERE lDat IS NOT NULL GROUP BY lDat"))) {
        db::StepResult rc;
        while ((rc = rows->step()) == db::StepResult::Row) {
            const QDate day = QDate::fromString(rows->text(0).left(10), Qt::ISODate);
            if (!day.isValid())
                continue;
            logins.emplace_back(day, rows->int64(1));
            if (!newest.isValid() || day > newest)
                newest = day;
        }
        run.endQuery(rows, rc);
    }
    qint64 counts[kRecencyBands] = {};
    for (const auto& [day, count] : logins) {
        const int band = recencyBand(newest, day);
        if (band >= 0)
            counts[band] += count;
    }
    db::Statement* insert
        = run.prepare(QStringLiteral("INSERT INTO TEMP_Trade3(lDat,Cou,Ord) VALUES(?,?,?)"));
    for (int band = 0; band < kRecencyBands && insert && run.ok(); ++band) {
        insert->bindText(1, recencyBandName(band).toUtf8());
        insert->bindInt64(2, counts[band]);
        insert->bindInt64(3, band);
        run.stepDone(insert);
    }
}

// The distinct buyer codes of the chosen products' trades as the engine compares them
// (ASCII letters folded to lower case, as NOCASE does). Empty after a failed read, which
// fails the run.
std::vector<std::string> chosenBuyerCodes(WorkTableRun& run, const QString& idSql)
{
    db::Statement* rows = run.prepare(
        QStringLiteral("SELECT BCode FROM 交易表 WHERE BCode<>'' AND PID IN (%1)").arg(idSql));
    if (!rows)
        return {};
    core::DistinctTexts codes;
    db::StepResult rc;
    while ((rc = rows->step()) == db::StepResult::Row) {
        const QByteArrayView code = rows->utf8(0);
        std::string folded(code.data(), size_t(code.size()));
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        }
        codes.add(std::move(folded));
    }
    if (!run.endQuery(rows, rc))
        return {};
    // In the engine's order for folded text, so that each lookup lands next to the last.
    return codes.take();
}

} // namespace

int recencyBand(const QDate& newest, const QDate& login)
{
    if (!newest.isValid() || !login.isValid())
        return -1;
    if (login >= newest.addDays(-7))
        return 0;
    if (login >= newest.addMonths(-1))
        return 1;
    if (login >= newest.addMonths(-3))
        return 2;
    if (login >= newest.addMonths(-6))
        return 3;
    if (login >= newest.addYears(-1))
        return 4;
    return 5;
}

QString recencyBandName(int band)
{
    static const char* const names[kRecencyBands]
        = { "一周内", "一月内", "三月内", "半年内", "一年内", "更早" };
    return band >= 0 && band < kRecencyBands ? QString::fromUtf8(names[band]) : QString();
}

QString customerGroupingCaption(CustomerGrouping grouping)
{
    switch (grouping) {
    case CustomerGrouping::Province:
        return QStringLiteral("省份");
    case CustomerGrouping::Region:
        return QStringLiteral("区域");
    case CustomerGrouping::Credit:
        return QStringLiteral("信用度");
    case CustomerGrouping::Activity:
        break;
    }
    return QStringLiteral("活跃度");
}

QString customerGroupingField(CustomerGrouping grouping)
{
    switch (grouping) {
    case CustomerGrouping::Province:
        return QStringLiteral("Prov");
    case CustomerGrouping::Region:
        return QStringLiteral("Regi");
    case CustomerGrouping::Credit:
        return QStringLiteral("BLevel");
    case CustomerGrouping::Activity:
        break;
    }
    return QStringLiteral("lDat");
}

QString customerGroupingHeading(CustomerGrouping grouping)
{
    switch (grouping) {
    case CustomerGrouping::Province:
        return QStringLiteral("省份");
    case CustomerGrouping::Region:
        return QStringLiteral("地区");
    case CustomerGrouping::Credit:
        return QStringLiteral("买家信用");
    case CustomerGrouping::Activity:
        break;
    }
    return QStringLiteral("最近登录");
}

bool PrepareCustomerSet(store::DB_Operate& db, const QString& idList)
{
    const std::vector<qint64> ids = chosenProductIds(idList);
    if (ids.empty())
        return false;
    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计各产品的客户资讯……"), 2, 0);
    WorkTableRun run(db);
    // The chosen products' buyers: each buyer once however many trades (whole identifiers
    // only), buyers whose profile was never downloaded (no name) left out. The set keeps
    // the buyer code and the columns a recount groups by.
    run.drop(kBuyerSet);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    const QString idSql = idSqlList(ids);
    db::Database* database = run.database();
    if (database && database->canServeValues()) {
        // Each code looked up once, in the buyer index's order; the engine's own
        // "IN (SELECT ...)" spends more on collecting the codes than on the lookups.
        db::ServedValues codes(*database, chosenBuyerCodes(run, idSql));
        run.exec(QStringLiteral(
            "SELECT 客户表.BCode,Prov,Regi,BLevel,lDat INTO TEMP_Trade2 FROM %1,客户表 WHERE "
            "客户表.BCode=%1.v AND 客户表.BName<>''")
                     .arg(QLatin1String(db::kValueTable)));
    } else {
        run.exec(QStringLiteral("SELECT BCode,Prov,Regi,BLevel,lDat INTO TEMP_Trade2 FROM 客户表 "
                                "WHERE 客户表.BName<>'' AND 客户表.BCode IN (SELECT BCode FROM "
                                "交易表 WHERE BCode<>'' AND PID IN (%1))")
                     .arg(idSql));
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));
    const bool kept = run.commit();
    feedback.indicatorClose();
    if (!kept)
        feedback.message(analysisFailedMessage());
    return kept;
}

AnalysisResult RunCustomerStatistics(grid::GridModel& grid, store::DB_Operate& db,
    CustomerGrouping grouping, const grid::TextMeasure& measure, CustomerOrder order)
{
    if (!db.TableExists(kBuyerSet))
        return {};
    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计数据……"), 2, 0);
    const QString field = customerGroupingField(grouping);
    const QString heading = customerGroupingHeading(grouping);
    const bool bands = grouping == CustomerGrouping::Activity && order == CustomerOrder::Natural;
    {
        WorkTableRun run(db);
        run.drop(kCounts);
        if (bands) {
            countRecencyBands(run);
        } else {
            // Declared first so the column keeps its type; the counting runs once.
            run.exec(QStringLiteral("CREATE TABLE TEMP_Trade3 (%1 %2,Cou LONG)")
                         .arg(field, customerGroupingType(grouping)));
            run.stepDone(
                run.prepare(QStringLiteral("INSERT INTO TEMP_Trade3(%1,Cou) SELECT %1,COUNT(%1) "
                                           "FROM TEMP_Trade2 GROUP BY %1")
                                .arg(field)));
        }
        if (!run.commit()) {
            feedback.indicatorClose();
            feedback.message(analysisFailedMessage());
            return {};
        }
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));

    grid::setGridColumns(grid, { QString(), field, QStringLiteral("Cou") },
        { grid::kSerialTitle, heading, QStringLiteral("用户数") });
    if (grouping == CustomerGrouping::Credit)
        grid.setColumnCode(1, grid::kCodeLevel);
    grid.setColumnCode(2, grid::kCodeNumber);
    grid.setTag(kCounts);
    // Ordered categories stand in their order, the others largest first; equal counts keep
    // one order from run to run. Login dates are days.
    QString sort = QStringLiteral("Cou DESC,") + field;
    if (bands)
        sort = QStringLiteral("Ord");
    else if (grouping == CustomerGrouping::Credit && order == CustomerOrder::Natural)
        sort = field;
    views::fillGridFromTable(grid, db, {}, sort, true, measure);
    feedback.indicatorClose();

    AnalysisResult result;
    result.ready = true;
    result.mark = ChartMark::Bar;
    result.title = QStringLiteral("淘宝产品客户构成情况比较图表\r\n")
        + sourceLine(QStringLiteral("；比较内容：") + heading);
    return result;
}

} // namespace quel::analysis
