#include "analysis/customer_stats.h"

#include "core/feedback.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"
#include "views/grid_model.h"
#include "views/grid_ops.h"

namespace quel::analysis {

namespace {

const QString kBuyerSet = QStringLiteral("TEMP_Trade2");
const QString kCounts = QStringLiteral("TEMP_Trade3");

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
    feedback.indicatorStart(QStringLiteral("正在统计各产品的客户资讯……"), 3, 0);
    WorkTableRun run(db);
    // Only the chosen products' trades, matched by whole identifiers.
    run.drop(QStringLiteral("TEMP_Trade"));
    run.exec(QStringLiteral("SELECT PID,BCode INTO TEMP_Trade FROM 交易表 WHERE BCode<>'' AND "
                            "PID IN (")
        + idSqlList(ids) + u')');
    feedback.indicatorStep(1, QStringLiteral("pages"));
    // Each buyer once, however many trades.
    run.drop(QStringLiteral("TEMP_Trade1"));
    run.exec(QStringLiteral("SELECT BCode INTO TEMP_Trade1 FROM TEMP_Trade GROUP BY BCode"));
    feedback.indicatorStep(1, QStringLiteral("pages"));
    // Buyers whose profile was never downloaded have no name and are left out.
    run.drop(kBuyerSet);
    run.exec(QStringLiteral("SELECT 客户表.* INTO TEMP_Trade2 FROM TEMP_Trade1,客户表 WHERE "
                            "客户表.BCode=TEMP_Trade1.BCode AND 客户表.BName<>''"));
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
        run.exec(QStringLiteral("SELECT %1,COUNT(%1) AS Cou INTO TEMP_Trade3 FROM TEMP_Trade2 "
                                "GROUP BY %1")
                     .arg(field));
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
