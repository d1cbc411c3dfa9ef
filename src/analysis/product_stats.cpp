#include "analysis/product_stats.h"

#include "core/feedback.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"

#include <algorithm>

namespace quel::analysis {

namespace {

constexpr int kFixedCols = 3;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

const std::array<ProductMeasure, kProductMeasures>& productMeasures()
{
    static const std::array<ProductMeasure, kProductMeasures> measures { {
        { "价格", "对价格进行分析。", "Price", "price" },
        { "邮费", "对邮费进行分析。", "MFee", "postage" },
        { "折扣", "对销售折扣进行分析。", "Dis", "discount" },
        { "本期售出", "对本期售出数量进行分析。", "Num1", "sales" },
        { "90天售出", "对90天内售出数据进行分析。", "Num9", "sales90" },
        { "浏览数", "对产品近期浏览次数进行分析。", "VTimes", "views" },
        { "收藏数", "对产品被收藏次数进行分析。", "CTimes", "favourites" },
    } };
    return measures;
}

const std::array<ProductGrouping, kProductGroupings>& productGroupings()
{
    static const std::array<ProductGrouping, kProductGroupings> groupings { {
        { "产品/店铺", "按每个不同店铺的不同产品作为一个分析对象。", "SName,P_Name",
            "shop-product" },
        { "产品类别", "同一类别的所有产品作为同一个分析对象。", "KWord", "category" },
        { "店铺名称", "", "SName", "shop" },
        { "产品名称", "不同店铺的同一产品简称作为同一个分析对象。", "P_Name", "product" },
    } };
    return groupings;
}

ProductHeadings BuildProductStatisticsHeadings(const ProductStatsOptions& options)
{
    const int g = std::clamp(options.grouping, 0, kProductGroupings - 1);
    const ProductGrouping& grouping = productGroupings()[static_cast<size_t>(g)];
    ProductHeadings h;
    h.titles << QStringLiteral("店铺名称") << grid::kSerialTitle << text(grouping.caption);
    h.fields << QString() << QString() << QString();
    const QStringList parts = text(grouping.tag).split(u',');
    if (parts.size() == 2) {
        h.fields[0] = parts[0];
        h.fields[2] = parts[1];
    } else {
        h.fields[2] = parts[0];
    }
    for (int i = 0; i < kProductMeasures; ++i) {
        if (!options.measures[static_cast<size_t>(i)])
            continue;
        h.titles << text(productMeasures()[static_cast<size_t>(i)].caption);
        h.fields << text(productMeasures()[static_cast<size_t>(i)].column);
    }
    return h;
}

QString ProductStatisticsOrder(const ProductStatsOptions& options, const QString& groupColumns)
{
    for (int i = 0; i < kProductMeasures; ++i) {
        if (options.measures[static_cast<size_t>(i)]) {
            // Groups with equal figures keep the order of their names, whatever order the
            // engine wrote the work table in.
            const QString order
                = text(productMeasures()[static_cast<size_t>(i)].column) + QStringLiteral(" DESC");
            return groupColumns.isEmpty() ? order : order + u',' + groupColumns;
        }
    }
    return {};
}

bool BuildProductAnalysisTable(store::DB_Operate& db, const QString& tag)
{
    db.DropTableIfExists(QStringLiteral("TEMP_PAna"));
    // The grouping columns are text columns of the work table, so its groups compare the way
    // the product table's names do: ignoring letter case.
    QString columns = tag;
    columns.replace(QStringLiteral(","), QStringLiteral(" STRING,"));
    const bool created = db.ExecuteSql(QStringLiteral("CREATE TABLE TEMP_PAna (") + columns
        + QStringLiteral(" STRING,Price DOUBLE,MFee DOUBLE,Dis DOUBLE,Num1 LONG,Num9 LONG,"
                         "SNum LONG,VTimes LONG,CTimes LONG)"));
    const bool filled = db.ExecuteSql(QStringLiteral("INSERT INTO TEMP_PAna SELECT ") + tag
        + QStringLiteral(",AVG(Price) AS Price,AVG(MFee) AS MFee,AVG(Dis) AS Dis,"
                         "SUM(Num1) AS Num1,SUM(Num9) AS Num9,SUM(SNum) AS SNum,"
                         "SUM(VTimes) AS VTimes,SUM(CTimes) AS CTimes FROM 产品表 GROUP BY ")
        + tag);
    return created && filled;
}

QString ProductChartTitle(const QDate& today)
{
    return QStringLiteral(
        "淘宝产品销售情况分析图表\r\n（数据来源：Dovrel软件；统计日期：%1-%2-%3）")
        .arg(today.year())
        .arg(today.month())
        .arg(today.day());
}

QString RunProductStatistics(grid::GridModel& grid, store::DB_Operate& db,
    const ProductStatsOptions& options, const grid::TextMeasure& measure, const QDate& today)
{
    {
        grid::GridModel::BulkUpdate bulk(grid);
        grid.setFixedRows(0);
        grid.setFixedCols(0);
        grid.setRows(0);
        grid.setCols(0);
    }
    const ProductHeadings headings = BuildProductStatisticsHeadings(options);
    grid::setGridColumns(grid, headings.fields, headings.titles);
    // Measures sort as numbers when their heading is clicked and sit right-aligned.
    for (int c = kFixedCols; c < grid.cols(); ++c)
        grid.setColumnCode(c, grid::kCodeNumber);

    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计产品数据……"), 2, 0);
    const int g = std::clamp(options.grouping, 0, kProductGroupings - 1);
    const QString tag = text(productGroupings()[static_cast<size_t>(g)].tag);
    BuildProductAnalysisTable(db, tag);
    feedback.indicatorStep(1, QString());

    grid.setTag(QStringLiteral("TEMP_PAna"));
    views::fillGridFromTable(
        grid, db, QString(), ProductStatisticsOrder(options, tag), false, measure);

    if (!grid.fieldName(0).isEmpty()) {
        {
            grid::GridModel::BulkUpdate bulk(grid);
            for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
                grid.setText(
                    r, 2, grid.text(r, 2) + QLatin1Char('(') + grid.text(r, 0) + QLatin1Char(')'));
            }
        }
        // The labels grew by the shop's name; their column is fitted to them again.
        grid::autoSizeColumn(grid, 2, 1, measure);
    }
    grid.setFixedCols(kFixedCols);
    feedback.indicatorStep(1, QString());
    feedback.indicatorClose();
    return ProductChartTitle(today);
}

bool ParseProductStatsArguments(
    const QStringList& arguments, ProductStatsOptions& options, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    bool haveMeasures = false;
    bool haveGroup = false;
    options = ProductStatsOptions();
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option != QLatin1String("--measures") && option != QLatin1String("--group"))
            return fail(QStringLiteral("unknown option: ") + option);
        if (i + 1 >= arguments.size())
            return fail(option + QStringLiteral(" needs a value"));
        const QString value = arguments[++i];
        if (option == QLatin1String("--measures")) {
            haveMeasures = true;
            for (const QString& name : value.split(u',', Qt::SkipEmptyParts)) {
                int found = -1;
                for (int m = 0; m < kProductMeasures; ++m) {
                    if (name.trimmed()
                        == QLatin1String(productMeasures()[static_cast<size_t>(m)].batchName))
                        found = m;
                }
                if (found < 0)
                    return fail(QStringLiteral("unknown measure: ") + name);
                options.measures[static_cast<size_t>(found)] = true;
            }
        } else {
            haveGroup = true;
            int found = -1;
            for (int g = 0; g < kProductGroupings; ++g) {
                if (value == QLatin1String(productGroupings()[static_cast<size_t>(g)].batchName))
                    found = g;
            }
            if (found < 0)
                return fail(QStringLiteral("unknown grouping: ") + value);
            options.grouping = found;
        }
    }
    if (!haveMeasures)
        return fail(QStringLiteral("--measures is required"));
    if (!haveGroup)
        return fail(QStringLiteral("--group is required"));
    return true;
}

QString ProductStatsUsage()
{
    return QStringLiteral("--measures price,postage,discount,sales,sales90,views,favourites "
                          "--group shop-product|category|shop|product");
}

ChartMark productChartMark(int grouping)
{
    return grouping == 1 || grouping == 2 ? ChartMark::Bar : ChartMark::Line;
}

} // namespace quel::analysis
