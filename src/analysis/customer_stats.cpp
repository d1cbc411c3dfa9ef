#include "analysis/customer_stats.h"

#include "core/feedback.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"

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

} // namespace

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
    Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计各产品的客户资讯……"), 2, 0);
    WorkTableRun run(db);
    // The chosen products' buyers in one statement: each buyer once however many trades
    // (whole identifiers only), buyers whose profile was never downloaded (no name) left
    // out. The set keeps the buyer code and the columns a recount groups by; copies of the
    // trades and of their distinct buyer codes in tables of their own would only feed
    // this step.
    run.drop(kBuyerSet);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    run.exec(QStringLiteral(
        "SELECT BCode,Prov,Regi,BLevel,lDat INTO TEMP_Trade2 FROM 客户表 WHERE 客户表.BName<>'' "
        "AND 客户表.BCode IN (SELECT BCode FROM 交易表 WHERE BCode<>'' AND "
        "PID IN (%1))")
                 .arg(idSqlList(ids)));
    feedback.indicatorStep(1, QStringLiteral("pages"));
    const bool kept = run.commit();
    feedback.indicatorClose();
    if (!kept)
        feedback.message(analysisFailedMessage());
    return kept;
}

AnalysisResult RunCustomerStatistics(views::GridModel& grid, store::DB_Operate& db,
    CustomerGrouping grouping, const views::TextMeasure& measure)
{
    if (!db.TableExists(kBuyerSet))
        return {};
    Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计数据……"), 2, 0);
    const QString field = customerGroupingField(grouping);
    const QString heading = customerGroupingHeading(grouping);
    {
        WorkTableRun run(db);
        run.drop(kCounts);
        // Declared first so the column keeps its type; the counting runs once.
        run.exec(QStringLiteral("CREATE TABLE TEMP_Trade3 (%1 %2,Cou LONG)")
                     .arg(field, customerGroupingType(grouping)));
        run.stepDone(
            run.prepare(QStringLiteral("INSERT INTO TEMP_Trade3(%1,Cou) SELECT %1,COUNT(%1) "
                                       "FROM TEMP_Trade2 GROUP BY %1")
                            .arg(field)));
        if (!run.commit()) {
            feedback.indicatorClose();
            feedback.message(analysisFailedMessage());
            return {};
        }
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));

    views::setGridColumns(grid, { QString(), field, QStringLiteral("Cou") },
        { views::kSerialTitle, heading, QStringLiteral("用户数") });
    if (grouping == CustomerGrouping::Credit)
        grid.setColumnCode(1, views::kCodeLevel);
    grid.setColumnCode(2, views::kCodeNumber);
    grid.setTag(kCounts);
    // Login dates are days; equal counts keep one order from run to run.
    views::fillGridFromTable(grid, db, {}, QStringLiteral("Cou DESC,") + field, true, measure);
    feedback.indicatorClose();

    AnalysisResult result;
    result.ready = true;
    result.title = QStringLiteral("淘宝产品客户构成情况比较图表\r\n")
        + sourceLine(QStringLiteral("；比较内容：") + heading);
    return result;
}

} // namespace quel::analysis
