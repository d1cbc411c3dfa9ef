#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "list_fixture.h"
#include "views/grid_fill.h"

#include <QAbstractItemModelTester>
#include <functional>

using namespace quel::views;
using namespace quel::grid;

namespace {

class GridFill : public quel::test::ListFixture
{
protected:
    // A table of n rows and a grid that shows its ID and Name beside so many computed
    // columns that the row limit is 998.
    void prepareWideGrid(GridModel& grid, int rows)
    {
        exec("CREATE TABLE T (ID COUNTER, Name STRING)");
        writeRows(
            rows, [](int i) { return QStringLiteral("INSERT INTO T(Name) VALUES('n%1')").arg(i); });
        showWide(grid);
    }

    // Runs insert(1) ... insert(rows) in one transaction.
    void writeRows(int rows, const std::function<QString(int)>& insert)
    {
        quel::db::Connection conn;
        ASSERT_TRUE(m_db->OpenConnection(conn));
        auto transaction = conn.transaction();
        for (int i = 1; i <= rows; ++i)
            ASSERT_TRUE(m_db->ExecuteSql(insert(i), &conn));
        ASSERT_TRUE(transaction.commit());
    }

    // T's ID and Name beside so many computed columns that the row limit is 998.
    static void showWide(GridModel& grid)
    {
        QStringList fields { "ID", "", "Name" };
        QStringList titles { "ID", "序号", "名称" };
        while (fields.size() < 350) {
            fields << "";
            titles << "";
        }
        setGridColumns(grid, fields, titles);
        grid.setTag("T");
    }
};

} // namespace

TEST(GridRowLimit, FollowsTheCellBudget)
{
    EXPECT_EQ(gridRowLimit(9), 38886);
    EXPECT_EQ(gridRowLimit(13), 26921);
    EXPECT_EQ(gridRowLimit(8), 43748) << "43749.5 rounds to the even 43750";
    EXPECT_EQ(gridRowLimit(350), 998);
    EXPECT_EQ(gridRowLimit(0), 0);
    EXPECT_EQ(rowLimitMessage(38887, 38886),
        "数据库里共有38887条记录，表格只能显示38886条记录，因此无法全部显示，请修改筛选条件。");
}

TEST_F(GridFill, ExactlyTheRowLimitFillsCompletely)
{
    GridModel grid;
    prepareWideGrid(grid, 998);
    EXPECT_EQ(fillGridFromTable(grid, *m_db, {}, "ID", false, m_measure), 998);
    EXPECT_TRUE(m_feedback.messages.isEmpty());
    EXPECT_EQ(grid.dataRowCount(), 998);
    EXPECT_EQ(grid.text(2 + 997, 2), "n998");
    EXPECT_EQ(grid.text(2 + 997, 1), "998") << "the serial column numbers the rows";
}

TEST_F(GridFill, OneRecordMoreShowsTheMessageAndTheFirstRows)
{
    GridModel grid;
    prepareWideGrid(grid, 999);
    EXPECT_EQ(fillGridFromTable(grid, *m_db, {}, "ID DESC", false, m_measure), 999);
    EXPECT_EQ(m_feedback.messages,
        QStringList {
            "数据库里共有999条记录，表格只能显示998条记录，因此无法全部显示，请修改筛选条件。" });
    EXPECT_EQ(grid.dataRowCount(), 998);
    EXPECT_EQ(grid.text(2, 2), "n999");
}

TEST_F(GridFill, FarMoreRecordsThanTheLimitAreCountedWithTheFilter)
{
    GridModel grid;
    prepareWideGrid(grid, 2500);
    // Only the rows shown are read; the count still covers every matching record.
    EXPECT_EQ(fillGridFromTable(grid, *m_db, "ID>500", "ID DESC", false, m_measure), 2000);
    EXPECT_EQ(m_feedback.messages,
        QStringList {
            "数据库里共有2000条记录，表格只能显示998条记录，因此无法全部显示，请修改筛选条件。" });
    EXPECT_EQ(grid.dataRowCount(), 998);
    EXPECT_EQ(grid.text(2, 2), "n2500");
    EXPECT_EQ(grid.text(2 + 997, 2), "n1503");
}

TEST_F(GridFill, ASortedFillKeepsTiesInWrittenOrderUpToTheLimit)
{
    // Credit levels repeat thousands of times in a customer list: rows of one level stay
    // in the order they were written, whether or not the grid can show them all.
    exec("CREATE TABLE T (ID COUNTER, Name STRING, Lvl LONG)");
    writeRows(2500, [](int i) {
        return QStringLiteral("INSERT INTO T(Name,Lvl) VALUES('n%1',%2)").arg(i).arg(i % 3);
    });
    GridModel grid;
    showWide(grid);

    EXPECT_EQ(fillGridFromTable(grid, *m_db, {}, "Lvl DESC", false, m_measure), 2500);
    ASSERT_EQ(grid.dataRowCount(), 998);
    // 833 rows of level 2 (2, 5, ... 2498), then the first 165 of level 1 (1, 4, ... 493).
    EXPECT_EQ(grid.text(2, 2), "n2");
    EXPECT_EQ(grid.text(2 + 832, 2), "n2498");
    EXPECT_EQ(grid.text(2 + 833, 2), "n1");
    EXPECT_EQ(grid.text(2 + 997, 2), "n493");
    for (int r = 2 + 1; r < 2 + 998; ++r) {
        const int before = grid.text(r - 1, 0).toInt();
        const int here = grid.text(r, 0).toInt();
        if (before % 3 == here % 3) {
            ASSERT_LT(before, here) << "row " << r;
        }
    }
}

TEST_F(GridFill, CellsShowDatesNumbersAndEmptyValues)
{
    exec("CREATE TABLE F (ID COUNTER, D DATE, X DOUBLE, N LONG, S STRING)");
    exec("INSERT INTO F(D,X,N,S) VALUES(#1900-1-1#,12.5,7,'a')");
    exec("INSERT INTO F(D,X,N) VALUES('2010-4-12 10:20:33',0,0)");
    exec("INSERT INTO F(X,N,S) VALUES(1,1,'after the empty date')");

    GridModel grid;
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
    setGridColumns(grid, { "ID", "", "D", "X", "N", "S", "" },
        { "ID", "序号", "日期", "X", "N", "S", "计算" });
    grid.setTag("F");
    EXPECT_EQ(fillGridFromTable(grid, *m_db, {}, "ID", true, m_measure), 3);
    ASSERT_EQ(grid.dataRowCount(), 3);
    EXPECT_EQ(grid.text(2, 2), "") << "1900-1-1 means never";
    EXPECT_EQ(grid.text(2, 3), "12.50");
    EXPECT_EQ(grid.text(2, 4), "7");
    EXPECT_EQ(grid.text(3, 2), "2010.04.12");
    EXPECT_EQ(grid.text(3, 5), "") << "a NULL text is an empty cell, and the fill goes on";
    EXPECT_EQ(grid.text(4, 5), "after the empty date");
    EXPECT_EQ(grid.text(4, 6), "") << "a computed column stays empty";
    EXPECT_EQ(grid.columnWidth(0), 0) << "the identifier column is hidden";

    EXPECT_EQ(fillGridFromTable(grid, *m_db, "ID=2", {}, false, m_measure), 1);
    EXPECT_EQ(grid.text(2, 2), "2010.04.12 10:20");
}

// Date cells are written from the stored text; they read the same as the dates the
// recordset gives, whatever the column holds.
TEST_F(GridFill, DateCellsFromTheStoredTextMatchTheRecordsetsDates)
{
    exec("CREATE TABLE G (ID COUNTER, D DATE)");
    const QStringList stored { "2010-04-12 10:20:33", "2010-04-12", "1900-01-01 00:00:00",
        "0999-12-31 23:59:00", "0030-06-01 08:00:00", "2026-02-30 00:00:00", "2026-02-03 24:00:00",
        "2026-02-03T04:05:06", "2026-2-3 4:05", "yesterday", "" };
    QString error;
    auto database
        = quel::store::DatabasePool::shared().acquire(m_db->currentDatabasePath(), &error);
    ASSERT_TRUE(database) << error.toStdString();
    for (const QString& text : stored)
        ASSERT_TRUE(database->executeNative(
            QStringLiteral("INSERT INTO G(D) VALUES('%1')").arg(text), &error))
            << error.toStdString();
    ASSERT_TRUE(database->executeNative(QStringLiteral("INSERT INTO G(D) VALUES(NULL)")));

    for (const bool dateOnly : { true, false }) {
        GridModel grid;
        setGridColumns(grid, { "ID", "", "D" }, { "ID", "序号", "日期" });
        grid.setTag("G");
        ASSERT_EQ(fillGridFromTable(grid, *m_db, {}, "ID", dateOnly, m_measure), stored.size() + 1);
        quel::db::Connection conn;
        quel::db::Recordset rs;
        ASSERT_TRUE(m_db->OpenRecordset(conn, rs, "SELECT D FROM G ORDER BY ID"));
        for (int r = grid.fixedRows(); !rs.eof(); ++r, rs.moveNext())
            EXPECT_EQ(grid.text(r, 2), cellTextForValue(rs.value(0), dateOnly))
                << stored.value(r - grid.fixedRows(), "NULL").toStdString()
                << (dateOnly ? " date" : " time");
        const int first = grid.fixedRows();
        EXPECT_EQ(grid.text(first, 2), dateOnly ? "2010.04.12" : "2010.04.12 10:20");
        EXPECT_EQ(grid.text(first + 1, 2), dateOnly ? "2010.04.12" : "2010.04.12 00:00");
        EXPECT_EQ(grid.text(first + 2, 2), "") << "never";
        EXPECT_EQ(grid.text(first + 3, 2), dateOnly ? "0999.12.31" : "0999.12.31 23:59");
    }
}

TEST_F(GridFill, MissingTablesFieldsAndBadStatementsLeaveTheHeadings)
{
    GridModel grid;
    setGridColumns(grid, { "ID", "", "PName" }, { "ID", "序号", "产品" });
    grid.appendRow({ "1", "1", "old" });

    grid.setTag("TEMP_Nothing");
    EXPECT_EQ(fillGridFromTable(grid, *m_db, {}, {}, false, m_measure), 0);
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_TRUE(m_feedback.messages.isEmpty()) << "a missing table is not an error";

    addProduct("1", "s", "p", 1, 0);
    grid.setTag("产品表");
    EXPECT_EQ(fillGridFromTable(grid, *m_db, "NoSuchField=1", {}, false, m_measure), 0);
    EXPECT_EQ(m_feedback.messages,
        QStringList { "数据库打开错误(SELECT ID,PName FROM 产品表 WHERE NoSuchField=1)！" });
    EXPECT_EQ(grid.rows(), 2);

    setGridColumns(grid, { "ID", "", "Nope" }, { "ID", "序号", "?" });
    grid.setTag("产品表");
    EXPECT_EQ(fillGridFromTable(grid, *m_db, {}, {}, false, m_measure), 1);
    EXPECT_EQ(grid.rows(), 2) << "a field the table lacks ends the fill";
}

// The rows are read as they come: an error the engine meets only at a later row ends the
// fill the way one at the start does, with the headings alone and the message.
TEST_F(GridFill, AnErrorAtALaterRowLeavesTheHeadings)
{
    exec("CREATE TABLE H (ID COUNTER, N LONG)");
    QString error;
    auto database
        = quel::store::DatabasePool::shared().acquire(m_db->currentDatabasePath(), &error);
    ASSERT_TRUE(database) << error.toStdString();
    // The smallest integer has no absolute value: the engine stops at the third row.
    ASSERT_TRUE(database->executeNative(
        QStringLiteral("INSERT INTO H(N) VALUES(1),(2),(-9223372036854775807-1),(4)"), &error))
        << error.toStdString();
    GridModel grid;
    setGridColumns(grid, { "ID", "", "N" }, { "ID", "序号", "数" });
    grid.setTag("H");
    EXPECT_EQ(fillGridFromTable(grid, *m_db, "ABS(N)>0", "ID", false, m_measure), 0);
    EXPECT_EQ(grid.rows(), grid.fixedRows());
    EXPECT_EQ(m_feedback.messages,
        QStringList { "数据库打开错误(SELECT ID,N FROM H WHERE ABS(N)>0 ORDER BY ID)！" });

    m_feedback.messages.clear();
    EXPECT_EQ(fillGridFromTable(grid, *m_db, "N>0", "ID", false, m_measure), 3);
    EXPECT_EQ(grid.text(grid.fixedRows() + 2, 2), "4");
    EXPECT_TRUE(m_feedback.messages.isEmpty());
}
