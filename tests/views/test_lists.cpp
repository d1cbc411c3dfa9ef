#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "list_fixture.h"
#include "store/customer_lookup.h"
#include "views/lists.h"

using namespace quel::views;
using namespace quel::grid;

namespace {

class Lists : public quel::test::ListFixture
{
protected:
    // Three products (IDs 1-3) with trades; buyer b1 bought product 1 twice and product 2
    // once, b2 only product 2, b3 only product 3.
    void addShop()
    {
        addProduct("101", "甲店", "诺基亚", 100, 10, 5);
        addProduct("102-3", "Levi's", "牛仔裤", 12.5, 0, 9);
        addProduct("103", "乙店", "钢笔", 7, 10, 1);
        addTrade(1, "b1", "小明", 1);
        addTrade(1, "b1", "小明", 4);
        addTrade(2, "b1", "小明", 2);
        addTrade(2, "b2", "小红", 3);
        addTrade(3, "b3", "小刚", 1);
        exec("INSERT INTO 客户表(BCode) VALUES('b1')");
        exec("INSERT INTO 客户表(BCode) VALUES('b2')");
        exec("INSERT INTO 客户表(BCode) VALUES('b3')");
        exec("UPDATE 客户表 SET BLevel='9',Prov='浙江',rDat='2008-3-1' WHERE BCode='b2'");
    }

    QStringList column(const GridModel& grid, int col)
    {
        QStringList texts;
        for (int r = grid.fixedRows(); r < grid.rows(); ++r)
            texts << grid.text(r, col);
        return texts;
    }
};

} // namespace

TEST_F(Lists, ProductListsHaveTheirColumnsOrderAndCodes)
{
    addShop();
    GridModel grid;
    EXPECT_EQ(showProductList(grid, ListKind::Products, *m_db, {}, true, m_measure), 3);
    EXPECT_EQ(grid.cols(), 11);
    EXPECT_EQ(grid.fixedCols(), 3);
    EXPECT_EQ(grid.title(9), "调价");
    EXPECT_EQ(grid.title(10), "关注");
    EXPECT_EQ(column(grid, 10), (QStringList { "", "", "" })) << "nothing followed yet";
    EXPECT_EQ(column(grid, 9), (QStringList { "", "", "" })) << "no history yet";
    EXPECT_EQ(grid.title(6), "产品");
    EXPECT_EQ(grid.columnCode(8), kCodeNumber);
    EXPECT_EQ(column(grid, 6), (QStringList { "钢笔", "牛仔裤", "诺基亚" })) << "newest first";
    EXPECT_EQ(column(grid, 7), (QStringList { "7.00", "12.50", "100.00" }));
    EXPECT_EQ(grid.columnWidth(1), 0) << "identifiers are hidden";
    EXPECT_EQ(columnComboEntries(grid).first(), "3|产品类别");
    EXPECT_EQ(recordCountLine(grid.dataRowCount(), 3), "显示产品记录数：3；共有记录数：3");

    GridModel details;
    EXPECT_EQ(showProductList(details, ListKind::ProductDetails, *m_db, {}, true, m_measure), 3);
    EXPECT_EQ(details.cols(), 14);
    EXPECT_EQ(details.title(13), "关注");
    EXPECT_EQ(details.title(12), "下载日期");
    EXPECT_EQ(details.text(2, 12), "2010.04.12") << "dates only";
    EXPECT_EQ(details.text(2, 8), "1");

    // Without the fill flag only the layout is made.
    EXPECT_EQ(showProductList(details, ListKind::ProductDetails, *m_db, {}, false, m_measure), 0);
    EXPECT_FALSE(details.hasDataRows());
}

TEST_F(Lists, FiltersBuildConditionsFromTheCombos)
{
    GridModel grid;
    layOutList(grid, ListKind::Products);
    EXPECT_EQ(buildFilterCondition(grid, "4|卖家", "=", "全部", false), "");
    EXPECT_EQ(buildFilterCondition(grid, "", "=", "甲店", false), "");
    EXPECT_EQ(buildFilterCondition(grid, "4|卖家", "", "甲店", false), "");
    EXPECT_EQ(buildFilterCondition(grid, "4|卖家", "＝", "甲店", false), "SName='甲店'");
    EXPECT_EQ(buildFilterCondition(grid, "4|卖家", "≠", "甲店", false), "SName<>'甲店'");
    EXPECT_EQ(buildFilterCondition(grid, "4|卖家", "=", "Levi's", false), "SName='Levi''s'");
    EXPECT_EQ(buildFilterCondition(grid, "8|邮费", "=", "10", true), "MFee=10");
    EXPECT_EQ(buildFilterCondition(grid, "8|邮费", "=", "1 OR 1=1", true), "MFee='1 OR 1=1'")
        << "only plain numbers are written bare";
    EXPECT_TRUE(isNumericFilterColumn(ListKind::Products, "8|邮费"));
    EXPECT_FALSE(isNumericFilterColumn(ListKind::Products, "7|价格"));
    EXPECT_TRUE(isNumericFilterColumn(ListKind::ProductDetails, "12|下载日期"));
    EXPECT_FALSE(isNumericFilterColumn(ListKind::ProductDetails, "5|产品简称"));

    GridModel details;
    layOutList(details, ListKind::ProductDetails);
    EXPECT_EQ(buildFilterCondition(details, "12|下载日期", "=", "2010-4-12 10:20:33", true),
        "dDat=#2010-4-12 10:20:33#");
}

TEST_F(Lists, FilteredProductListsShowTheMatchingRows)
{
    addShop();
    GridModel grid;
    EXPECT_EQ(
        showProductList(grid, ListKind::Products, *m_db, { "8|邮费", "=", "10" }, true, m_measure),
        2);
    EXPECT_EQ(column(grid, 4), (QStringList { "乙店", "甲店" }));

    EXPECT_EQ(showProductList(
                  grid, ListKind::Products, *m_db, { "4|卖家", "≠", "甲店" }, true, m_measure),
        2);
    EXPECT_EQ(column(grid, 4), (QStringList { "乙店", "Levi's" }));

    // A value holding a quote is compared as text, not rejected.
    EXPECT_EQ(showProductList(
                  grid, ListKind::Products, *m_db, { "4|卖家", "＝", "Levi's" }, true, m_measure),
        1);
    EXPECT_EQ(column(grid, 6), QStringList { "牛仔裤" });

    EXPECT_EQ(showProductList(
                  grid, ListKind::Products, *m_db, { "4|卖家", "=", "全部" }, true, m_measure),
        3);

    // The values the value combo offers compare equal to the stored dates.
    const QStringList dates = m_db->DistinctValuesForCombo("产品表", "dDat");
    ASSERT_EQ(dates.size(), 2);
    EXPECT_EQ(showProductList(grid, ListKind::ProductDetails, *m_db,
                  { "12|下载日期", "=", dates[1] }, true, m_measure),
        3);
    EXPECT_TRUE(m_feedback.messages.isEmpty()) << m_feedback.messages.join('\n').toStdString();
}

TEST_F(Lists, PriceChangeShowsTheSignedDifferenceSinceThePreviousObservation)
{
    addShop();
    const char* const history[] = {
        "1,#2026-12-1#,100", "1,#2026-12-3#,90", // a cut
        "2,#2026-12-3#,12.5", // one observation only
        "3,#2026-12-1#,7", "3,#2026-12-4#,7.5", // a rise
    };
    for (const char* row : history)
        exec(QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(%1)").arg(row));
    // A later day that saw only sales figures leaves the price change as it was.
    exec("INSERT INTO 价格历史(PID,Dat,Num9) VALUES(3,#2026-12-5#,40)");
    GridModel grid;
    EXPECT_EQ(showProductList(grid, ListKind::Products, *m_db, {}, true, m_measure), 3);
    EXPECT_EQ(column(grid, 9), (QStringList { "+0.50", "", "-10.00" }));

    // The column filters like any numeric column: the products that got cheaper.
    EXPECT_EQ(
        showProductList(grid, ListKind::Products, *m_db, { "9|调价", "<", "0" }, true, m_measure),
        1);
    EXPECT_EQ(column(grid, 6), QStringList { "诺基亚" });
    EXPECT_TRUE(m_feedback.messages.isEmpty()) << m_feedback.messages.join('\n').toStdString();
}

TEST_F(Lists, DeletingRowsOneToThreeRemovesProductsAndTradesButKeepsBuyers)
{
    addShop();
    addProduct("104", "丙店", "台灯", 30, 0);
    addTrade(4, "b1", "小明", 1);
    for (int pid = 1; pid <= 4; ++pid)
        exec(QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(%1,#2026-12-7#,9)")
                 .arg(pid));
    GridModel grid;
    showProductList(grid, ListKind::Products, *m_db, {}, true, m_measure);
    ASSERT_EQ(column(grid, 1), (QStringList { "4", "3", "2", "1" }));

    grid.setCurrentCell(4, 3);
    grid.setSelectionEnd(2, 3);
    m_feedback.answers = { false };
    EXPECT_FALSE(deleteSelectedProducts(grid, *m_db));
    EXPECT_EQ(m_feedback.questions, QStringList { "您确定要删除第1至第3产品？" });
    EXPECT_EQ(count("产品表"), 4) << "No keeps everything";

    m_feedback.answers = { true };
    EXPECT_TRUE(deleteSelectedProducts(grid, *m_db));
    EXPECT_EQ(count("产品表"), 1);
    EXPECT_EQ(count("交易表"), 2);
    EXPECT_EQ(count("交易表", "PID=1"), 2);
    EXPECT_EQ(count("价格历史"), 1) << "the deleted products' history goes with them";
    EXPECT_EQ(count("价格历史", "PID=1"), 1);
    EXPECT_EQ(count("客户表"), 3) << "buyers stay";
    EXPECT_EQ(column(grid, 1), QStringList { "1" });
    EXPECT_EQ(column(grid, 2), QStringList { "1" });
    EXPECT_EQ(m_feedback.titles.last(), "正在删除产品及相应的交易记录……");
    EXPECT_EQ(m_feedback.totals.last(), 3);
    EXPECT_FALSE(m_feedback.open);

    // No data row current: nothing happens, nothing is asked.
    GridModel empty;
    layOutList(empty, ListKind::Products);
    EXPECT_FALSE(deleteSelectedProducts(empty, *m_db));
    EXPECT_EQ(m_feedback.questions.size(), 2);
}

TEST_F(Lists, SalesListShowsTheTradesOfThePickedProducts)
{
    addShop();
    GridModel grid;
    EXPECT_EQ(showSalesList(grid, *m_db, "1；2；", m_measure), 4);
    EXPECT_EQ(column(grid, 8), (QStringList { "4", "3", "2", "1" })) << "largest quantity first";
    EXPECT_EQ(column(grid, 5), (QStringList { "小明", "小红", "小明", "小明" }));
    EXPECT_EQ(grid.text(2, 3), "诺基亚简");
    EXPECT_EQ(grid.text(2, 4), "诺基亚");
    EXPECT_EQ(grid.text(2, 6), "2010.04.12 10:20");
    EXPECT_EQ(grid.text(2, 7), "9.50");
    EXPECT_EQ(m_feedback.titles.first(), "正在统计交易数据……");

    // A pick of nothing gives an empty list; stray entries are ignored.
    EXPECT_EQ(showSalesList(grid, *m_db, "", m_measure), 0);
    EXPECT_FALSE(grid.hasDataRows());
    EXPECT_EQ(showSalesList(grid, *m_db, "；3 OR 1=1；", m_measure), 0);
    EXPECT_TRUE(m_feedback.messages.isEmpty()) << m_feedback.messages.join('\n').toStdString();
}

TEST_F(Lists, CustomerListShowsEachBuyerOnceWithEmptyDatesForUnprofiledOnes)
{
    addShop();
    GridModel grid;
    EXPECT_EQ(showCustomerList(grid, *m_db, "1；2；", m_measure), 2);
    EXPECT_EQ(column(grid, 3), (QStringList { "小红", "小明" })) << "higher buyer credit first";
    EXPECT_EQ(grid.text(2, 6), "浙江");
    EXPECT_EQ(grid.text(2, 8), "2008.03.01");
    EXPECT_EQ(grid.text(3, 8), "") << "never profiled";
    EXPECT_EQ(grid.text(3, 10), "");
    EXPECT_EQ(grid.columnCode(4), kCodeLevel);

    // An ID list whose first entry is empty still builds the table.
    EXPECT_EQ(showCustomerList(grid, *m_db, "；3；", m_measure), 1);
    EXPECT_EQ(column(grid, 3), QStringList { "小刚" });

    EXPECT_EQ(showCustomerList(grid, *m_db, "", m_measure), 0);
    EXPECT_FALSE(grid.hasDataRows());
    EXPECT_FALSE(m_db->TableExists("TEMP_Customer"));
}

TEST_F(Lists, CustomerListReadsTheNarrowCopyAsItWouldTheTable)
{
    // Codes stored twice and in two letter cases, a buyer under two codes, a trade whose code
    // has no row, dates with and without times, and a date of another form.
    addShop();
    addTrade(1, "B3", "小刚", 1);
    addTrade(2, "b4", "小李", 1);
    addTrade(3, "b5", "小明", 1);
    exec("INSERT INTO 客户表(BCode,BName,BLevel,lDat) VALUES('B1','明',9,'2026-12-01 10:20:30')");
    exec("INSERT INTO 客户表(BCode,BName,BLevel,dDat) VALUES('b5','明二',9,'2026-12-09 00:00:00')");
    exec("UPDATE 客户表 SET BLevel=9,Regi='杭州' WHERE BCode='b1'");
    exec("UPDATE 客户表 SET lDat='2026-12-01 10:20:39' WHERE BCode='b2'");
    ASSERT_TRUE(m_db->ExecuteSql("UPDATE 客户表 SET rDat='昨天' WHERE BCode='b3'"));

    const auto shown = [&](GridModel& grid) {
        QStringList all;
        for (int r = 0; r < grid.rows(); ++r) {
            QStringList row;
            for (int c = 0; c < grid.cols(); ++c)
                row << grid.text(r, c);
            all << row.join(u'|');
        }
        quel::db::Connection conn;
        quel::db::Recordset rs;
        EXPECT_TRUE(m_db->OpenRecordset(conn, rs, "SELECT * FROM TEMP_Customer"));
        for (; !rs.eof(); rs.moveNext()) {
            QStringList row;
            for (int i = 0; i < rs.fieldCount(); ++i)
                row << rs.value(i).toString() + u':' + QString::number(rs.value(i).typeId());
            all << row.join(u'|');
        }
        return all;
    };
    GridModel narrow;
    ASSERT_EQ(showCustomerList(narrow, *m_db, "1；2；3；", m_measure), 3) << "b4 has no row";
    const QStringList fromCopy = shown(narrow);

    quel::db::Connection conn;
    ASSERT_TRUE(m_db->OpenConnection(conn));
    ASSERT_TRUE(quel::store::HasCustomerLookup(*conn.database()));
    QString error;
    ASSERT_TRUE(quel::store::DropCustomerLookup(*conn.database(), &error)) << error.toStdString();
    conn.close();
    GridModel plain;
    ASSERT_EQ(showCustomerList(plain, *m_db, "1；2；3；", m_measure), 3);
    EXPECT_EQ(shown(plain), fromCopy);
    EXPECT_EQ(column(plain, 3), (QStringList { "小明", "小红", "小刚" }))
        << "equal credit in the order written";
    EXPECT_EQ(plain.text(2, 7), "杭州") << "the first row of the first trade that has one";
}

TEST_F(Lists, ChooserMarksAndReturnsThePickedProducts)
{
    addShop();
    GridModel grid;
    fillProductChoice(grid, *m_db, m_measure);
    EXPECT_EQ(column(grid, 7), (QStringList { "9", "5", "1" })) << "best sellers first";
    EXPECT_EQ(grid.title(6), "店铺");
    EXPECT_EQ(grid.columnCode(3), kCodeLevel);

    markChosenProducts(grid, "3；1；");
    EXPECT_EQ(column(grid, 3), (QStringList { "", "√", "√" }));
    const ChosenProducts two = chosenProducts(grid);
    EXPECT_EQ(two.names, "诺基亚；钢笔；");
    EXPECT_EQ(two.ids, "1；3；");
    EXPECT_EQ(two.resultText(), "诺基亚；钢笔；〗★〖1；3；");

    clickCheckMark(grid, false, { 1, 3 }, true);
    clickCheckMark(grid, false, { 1, 3 }, true);
    const ChosenProducts none = chosenProducts(grid);
    EXPECT_EQ(none.resultText(), "〗★〖");
    const ChosenProducts back = ChosenProducts::fromResultText("a；〗★〖7；");
    EXPECT_EQ(back.names, "a；");
    EXPECT_EQ(back.ids, "7；");
    EXPECT_EQ(productIds("7；；x；12"), (QStringList { "7", "12" }));
}
