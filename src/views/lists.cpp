#include "views/lists.h"

#include "core/feedback.h"
#include "db/connection.h"
#include "db/database.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/text_measure.h"
#include "store/customer_lookup.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"

#include <QRegularExpression>
#include <algorithm>

namespace quel::views {

namespace {

const QString kProducts = QStringLiteral("产品表");
const QString kWorkTable = QStringLiteral("TEMP_Customer");
const QString kEntryEnd = QStringLiteral("；");
const QString kResultSeparator = QStringLiteral("〗★〖");
const QString kCountingTrades = QStringLiteral("正在统计交易数据……");

struct ListColumns
{
    QStringList fields;
    QStringList titles;
    // Column code per column number; others keep 0.
    QList<std::pair<int, int>> codes;
};

ListColumns columnsOf(ListKind kind)
{
    switch (kind) {
    case ListKind::Products:
        return { { "PCode", "ID", "", "KWord", "SName", "P_Name", "PName", "Price", "MFee",
                     kPriceChangeField, kFollowedField },
            { "产品ID", "ID", "序号", "产品类别", "卖家", "简称", "产品", "价格", "邮费", "调价",
                "关注" },
            { { 7, grid::kCodeNumber }, { 8, grid::kCodeNumber }, { 9, grid::kCodeNumber } } };
    case ListKind::ProductDetails: {
        ListColumns list { { "PCode", "ID", "", "KWord", "SName", "P_Name", "Price", "MFee", "Num9",
                               "SNum", "VTimes", "CTimes", "dDat", kFollowedField },
            { "产品ID", "ID", "序号", "产品类别", "卖家", "产品简称", "价格", "邮费", "近期售出",
                "评价数", "浏览数", "收藏数", "下载日期", "关注" },
            {} };
        for (int c = 6; c <= 12; ++c)
            list.codes.append({ c, grid::kCodeNumber });
        return list;
    }
    case ListKind::Sales:
        return { { "ID", "BCode", "", "P_Name", "PName", "Buyer", "Dat", "Pri", "Num" },
            { "ID", "买家编号", "序号", "产品简称", "产品名称", "买家", "时间", "价格", "数量" },
            { { 7, grid::kCodeNumber }, { 8, grid::kCodeNumber } } };
    case ListKind::Customers:
        return { { "ID", "BCode", "", "Buyer", "BLevel", "SLevel", "Prov", "Regi", "rDat", "lDat",
                     "dDat" },
            { "ID", "买家编号", "序号", "买家", "买家等级", "卖家等级", "省份", "地区", "注册日期",
                "最近登录日期", "最近更新日期" },
            { { 4, grid::kCodeLevel }, { 5, grid::kCodeLevel } } };
    case ListKind::Chooser:
        // The shop tells apart products of the same short name.
        return { { "ID", "PCode", "", "", "PName", "P_Name", "SName", "Num9", "Num1" },
            { "产品ID", "产品编号", "序号", "选择", "产品名称", "产品简称", "店铺", "总销售件数",
                "本期销售件数" },
            { { 3, grid::kCodeLevel }, { 7, grid::kCodeNumber }, { 8, grid::kCodeNumber } } };
    }
    return {};
}

bool isWholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

bool isPlainNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    return number.match(text).hasMatch();
}

} // namespace

void layOutList(grid::GridModel& grid, ListKind kind)
{
    const ListColumns list = columnsOf(kind);
    grid::GridModel::BulkUpdate bulk(grid);
    grid::setGridColumns(grid, list.fields, list.titles);
    grid.setFixedCols(3);
    for (const auto& [col, code] : list.codes)
        grid.setColumnCode(col, code);
}

QString recordCountLine(int shown, long found)
{
    return QStringLiteral("显示产品记录数：%1；共有记录数：%2").arg(shown).arg(found);
}

bool isNumericFilterColumn(ListKind kind, const QString& columnText)
{
    const int col = grid::leadingColumnNumber(columnText);
    if (kind == ListKind::ProductDetails)
        return col > 7 && col < 15;
    return col > 7;
}

QString buildFilterCondition(const grid::GridModel& grid, const QString& columnText,
    const QString& operatorText, const QString& valueText, bool numeric)
{
    const QString value = valueText == QStringLiteral("全部") ? QString() : valueText;
    if (columnText.isEmpty() || operatorText.isEmpty() || value.isEmpty())
        return {};
    QString op = operatorText;
    op.replace(QStringLiteral("＝"), QStringLiteral("="));
    op.replace(QStringLiteral("≠"), QStringLiteral("<>"));
    QString field = grid.fieldName(grid::leadingColumnNumber(columnText));
    if (field.isEmpty())
        return {};
    if (const QString computed = computedFieldSql(field); !computed.isEmpty())
        field = computed;

    // Dates first: the detail list's download date lies among its numeric columns, and a
    // stored date is not a number. The date literal is only used for a value that cannot
    // break out of it.
    if (columnText.contains(QStringLiteral("日期")) && !value.contains(u'#')
        && !value.contains(u'\''))
        return field + op + u'#' + value + u'#';
    if (numeric && isPlainNumber(value))
        return field + op + value;
    return field + op + store::Quote(value);
}

long showProductList(grid::GridModel& grid, ListKind kind, store::DB_Operate& db,
    const FilterTexts& filter, bool fill, const grid::TextMeasure& measure)
{
    const bool numeric = isNumericFilterColumn(kind, filter.column);
    // The filter's field comes from the layout the list is about to get.
    layOutList(grid, kind);
    const QString condition
        = buildFilterCondition(grid, filter.column, filter.op, filter.value, numeric);
    grid::autoSizeColumns(grid, 1, true, db.feedback(), measure);
    if (!fill)
        return 0;
    grid.setTag(kProducts);
    return fillGridFromTable(
        grid, db, condition, QStringLiteral("ID DESC"), kind == ListKind::ProductDetails, measure);
}

bool deleteSelectedProducts(grid::GridModel& grid, store::DB_Operate& db)
{
    int first = grid.currentRow();
    int last = grid.selectionRow();
    if (first < grid.fixedRows() || first >= grid.rows())
        return false;
    grid::orderPair(first, last);
    first = std::max(first, grid.fixedRows());
    last = std::min(last, grid.rows() - 1);
    core::Feedback& feedback = db.feedback();
    const QString question = QStringLiteral("您确定要删除第%1至第%2产品？")
                                 .arg(first - grid.fixedRows() + 1)
                                 .arg(last - grid.fixedRows() + 1);
    if (!feedback.ask(question))
        return false;

    db::Connection conn;
    if (!db.OpenConnection(conn))
        return false;
    feedback.indicatorStart(QStringLiteral("正在删除产品及相应的交易记录……"), last - first + 1, 0);
    // A product, its trades and its price history go together or not at all.
    db::Transaction transaction = conn.transaction();
    bool ok = transaction.isActive();
    for (int r = first; ok && r <= last; ++r) {
        const QString id = grid.text(r, 1).trimmed();
        if (isWholeNumber(id)) {
            // The trades before the product: the overview's sums take them out of the
            // product's category, rather than moving them elsewhere first.
            ok = db.ExecuteSql(QStringLiteral("DELETE * FROM 交易表 WHERE PID=") + id, &conn)
                && db.ExecuteSql(QStringLiteral("DELETE * FROM 产品表 WHERE ID=") + id, &conn)
                && db.ExecuteSql(QStringLiteral("DELETE * FROM 价格历史 WHERE PID=") + id, &conn);
        }
        feedback.indicatorStep(1, QStringLiteral("pages"));
    }
    ok = ok && transaction.commit();
    if (!ok)
        transaction.rollback();
    conn.close();
    feedback.indicatorClose();
    if (!ok) {
        feedback.message(QStringLiteral("删除产品失败，数据库没有被修改。"));
        return false;
    }
    grid::deleteGridRows(grid, first, last, false, feedback);
    return true;
}

QString ChosenProducts::resultText() const
{
    return names + kResultSeparator + ids;
}

ChosenProducts ChosenProducts::fromResultText(const QString& text)
{
    const QStringList parts = text.split(kResultSeparator);
    return { parts.value(0), parts.value(1) };
}

QStringList productIds(const QString& idList)
{
    QStringList ids;
    for (const QString& entry : idList.split(kEntryEnd)) {
        const QString id = entry.trimmed();
        if (isWholeNumber(id))
            ids << id;
    }
    return ids;
}

long showSalesList(grid::GridModel& grid, store::DB_Operate& db, const QString& idList,
    const grid::TextMeasure& measure)
{
    core::Feedback& feedback = db.feedback();
    layOutList(grid, ListKind::Sales);
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return 0;
    db.DropTableIfExists(kWorkTable);
    db.ExecuteSql(QStringLiteral("CREATE TABLE TEMP_Customer (ID COUNTER,PID LONG,BCode STRING,"
                                 "P_Name STRING,PName STRING,Buyer STRING,Dat DATE,Pri DOUBLE,"
                                 "Num LONG)"),
        &conn);
    const QStringList ids = productIds(idList);
    if (!ids.isEmpty()) {
        feedback.indicatorStart(kCountingTrades, ids.size(), 0);
        for (const QString& id : ids) {
            db.ExecuteSql(
                QStringLiteral("INSERT INTO TEMP_Customer SELECT 交易表.*,产品表.PName AS "
                               "PName,产品表.P_Name AS P_Name FROM 交易表,产品表 WHERE "
                               "交易表.PID=产品表.ID AND 产品表.ID=")
                    + id,
                &conn);
            feedback.indicatorStep(1, QStringLiteral("pages"));
        }
    }
    conn.close();
    grid.setTag(kWorkTable);
    const long found = fillGridFromTable(grid, db, {}, QStringLiteral("Num DESC"), false, measure);
    feedback.indicatorClose();
    return found;
}

long showCustomerList(grid::GridModel& grid, store::DB_Operate& db, const QString& idList,
    const grid::TextMeasure& measure)
{
    core::Feedback& feedback = db.feedback();
    layOutList(grid, ListKind::Customers);
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return 0;
    db.DropTableIfExists(kWorkTable);
    const QStringList ids = productIds(idList);
    const QString fromPart
        = QStringLiteral("FROM 客户表,交易表 WHERE 客户表.BCode=交易表.BCode AND 交易表.PID=");
    const QString create
        = QStringLiteral("SELECT 客户表.*,交易表.Buyer AS Buyer INTO TEMP_Customer ") + fromPart;
    const QString add
        = QStringLiteral("INSERT INTO TEMP_Customer SELECT 客户表.*,交易表.Buyer AS Buyer ")
        + fromPart;
    // A file's buyers are looked up in the narrow copy of 客户表: the same rows in the same
    // order from under half the pages. The work table is then made empty, as from 客户表.
    db::Database* database = conn.database();
    const bool narrow = !ids.isEmpty() && database && store::HasCustomerLookup(*database);
    const QString narrowAdd = QStringLiteral("INSERT INTO TEMP_Customer SELECT %1,t.Buyer AS "
                                             "Buyer FROM 交易表 t,%2 s WHERE s.BCode=t.BCode AND "
                                             "t.PID=")
                                  .arg(store::customerLookupColumns(QStringLiteral("s")),
                                      QString::fromUtf8(store::kCustomerLookupTable));
    if (!ids.isEmpty()) {
        feedback.indicatorStart(kCountingTrades, ids.size() + 1, 0);
        // The first product creates the table, the others add to it.
        bool created = narrow && db.ExecuteSql(create + QStringLiteral("NULL"), &conn);
        for (const QString& id : ids) {
            if (!created)
                created = db.ExecuteSql(create + id, &conn);
            else if (narrow)
                database->executeNative(narrowAdd + id);
            else
                db.ExecuteSql(add + id, &conn);
            feedback.indicatorStep(1, QStringLiteral("pages"));
        }
    }
    conn.close();
    long found = 0;
    if (db.TableExists(kWorkTable)) {
        // A buyer who bought several times, or several of the products, is listed once.
        db.DeleteDuplicateRows(kWorkTable, QStringLiteral("Buyer"));
        feedback.indicatorStep(1, QStringLiteral("pages"));
        grid.setTag(kWorkTable);
        found = fillGridFromTable(grid, db, {}, QStringLiteral("BLevel DESC"), true, measure);
    } else {
        grid::autoSizeColumns(grid, 1, true, feedback, measure);
    }
    feedback.indicatorClose();
    return found;
}

void fillProductChoice(
    grid::GridModel& grid, store::DB_Operate& db, const grid::TextMeasure& measure)
{
    core::Feedback& feedback = db.feedback();
    layOutList(grid, ListKind::Chooser);
    feedback.indicatorStart(QStringLiteral("正在加载数据……"), 5, 0);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    grid.setTag(kProducts);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    fillGridFromTable(grid, db, {}, QStringLiteral("Num9 DESC"), false, measure);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    grid::autoSizeColumns(grid, 1, false, feedback, measure);
    // A long item title would push the figures and the shop out of view.
    for (const auto& [field, widest] : { std::pair { "PName", kChoiceTitleTwips },
             std::pair { "P_Name", kChoiceTitleTwips * 2 / 3 } }) {
        const int col = grid.columnOfField(QString::fromLatin1(field));
        if (col >= 0 && grid.columnWidth(col) > widest)
            grid.setColumnWidth(col, widest);
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));
    feedback.indicatorClose();
}

bool productChoiceMatches(const grid::GridModel& grid, int row, const QString& text)
{
    const QString wanted = text.trimmed();
    if (wanted.isEmpty())
        return true;
    for (const char* field : { "PName", "P_Name", "SName", "PCode" }) {
        const int col = grid.columnOfField(QString::fromLatin1(field));
        if (col >= 0 && grid.text(row, col).contains(wanted, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void setProductChoiceMarks(grid::GridModel& grid, const QList<int>& rows, bool ticked)
{
    const int markCol = 3;
    grid::GridModel::BulkUpdate bulk(grid);
    for (int row : rows) {
        if (row >= grid.fixedRows() && row < grid.rows())
            grid.setText(row, markCol, ticked ? grid::kCheckMark : QString());
    }
}

void markChosenProducts(grid::GridModel& grid, const QString& idList)
{
    const int markCol = 3;
    for (const QString& entry : idList.split(kEntryEnd)) {
        if (entry.isEmpty())
            continue;
        for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
            if (grid.text(r, 0) == entry) {
                grid.setText(r, markCol, grid::kCheckMark);
                break;
            }
        }
    }
}

ChosenProducts chosenProducts(const grid::GridModel& grid)
{
    ChosenProducts chosen;
    const int nameCol = std::max(grid.columnOfField(QStringLiteral("PName")), 0);
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        if (grid.text(r, 3).isEmpty())
            continue;
        chosen.names += grid.text(r, nameCol) + kEntryEnd;
        chosen.ids += grid.text(r, 0) + kEntryEnd;
    }
    return chosen;
}

} // namespace quel::views
