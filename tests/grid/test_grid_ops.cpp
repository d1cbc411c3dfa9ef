#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/text_measure.h"
#include "support/fake_feedback.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quel::grid;
using quel::test::FakeFeedback;

namespace {

// A list laid out like the product list: two hidden identifier columns, the serial column,
// then a text column and two numeric ones.
void layOutList(GridModel& grid)
{
    setGridColumns(grid, { "PCode", "ID", "", "SName", "Price", "MFee" },
        { "产品ID", "ID", "序号", "卖家", "价格", "邮费" });
    grid.setFixedCols(3);
    grid.setColumnCode(4, kCodeNumber);
    grid.setColumnCode(5, kCodeNumber);
}

void addRow(GridModel& grid, const QString& name, const QString& price)
{
    const int n = grid.dataRowCount() + 1;
    grid.appendRow(
        { "P" + QString::number(n), QString::number(n), QString::number(n), name, price, "0" });
}

QStringList column(const GridModel& grid, int col)
{
    QStringList texts;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        texts << grid.text(r, col);
    return texts;
}

} // namespace

TEST(GridModel, StaysConsistentForViewsThroughEveryKindOfChange)
{
    GridModel grid;
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
    layOutList(grid);
    EXPECT_EQ(grid.rowCount(), 0);
    EXPECT_EQ(grid.headerData(4, Qt::Horizontal).toString(), "价格");
    EXPECT_EQ(grid.headerData(4, Qt::Horizontal, GridModel::FieldNameRole).toString(), "Price");

    addRow(grid, "b", "3");
    addRow(grid, "a", "1");
    addRow(grid, "c", "2");
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.data(grid.index(0, 3)).toString(), "b");
    EXPECT_EQ(grid.rowHeight(0), 0) << "the field-name row is hidden";

    grid.setRows(grid.rows() + 1);
    grid.setText(grid.rows() - 1, 3, "d");
    sortByColumn(grid, 4);
    setCellColor(grid, 2, 3, Qt::red, false);
    EXPECT_EQ(grid.data(grid.index(0, 3), Qt::BackgroundRole).value<QColor>(), QColor(Qt::red));
    // A bad order is refused whole; a good one moves rows (and persistent indexes) along.
    const QString first = grid.text(2, 3);
    grid.permuteDataRows({ 0, 0, 1, 2 });
    grid.permuteDataRows({ 0, 1 });
    EXPECT_EQ(grid.text(2, 3), first);
    const QPersistentModelIndex kept(grid.index(0, 3));
    grid.permuteDataRows({ 3, 2, 1, 0 });
    EXPECT_EQ(grid.text(5, 3), first);
    EXPECT_EQ(kept.row(), 3);

    grid.removeGridRows(3, 2);
    EXPECT_EQ(grid.rowCount(), 2);
    grid.setRows(2);
    EXPECT_FALSE(grid.hasDataRows());
    EXPECT_EQ(
        grid.data(grid.index(0, 4), Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::Alignment())
        << "no data row left";
}

// A row keeps its texts in one string: every edit must leave each other cell as it was.
TEST(GridModel, CellTextsSurviveEditsAnywhereInTheirRow)
{
    GridModel grid;
    grid.setCols(4);
    grid.appendRow(QList<QString> { "一", "", "三三", "x", "past the last column" });
    EXPECT_EQ(grid.text(0, 3), "x") << "cells beyond the columns are dropped";
    EXPECT_TRUE(grid.text(0, 1).isNull()) << "an empty cell reads as a null text, as before";

    grid.setText(0, 1, "二二二"); // longer, in the middle
    grid.setText(0, 2, "3"); // shorter
    grid.setText(0, 0, "");
    EXPECT_EQ(QStringList({ grid.text(0, 0), grid.text(0, 1), grid.text(0, 2), grid.text(0, 3) }),
        QStringList({ "", "二二二", "3", "x" }));
    // A text read from the same row, and a cell set far past those held.
    grid.setText(0, 0, grid.text(0, 1));
    grid.setRows(2);
    grid.setText(1, 3, "d");
    EXPECT_EQ(grid.text(0, 0), "二二二");
    EXPECT_EQ(grid.text(1, 3), "d");
    EXPECT_TRUE(grid.text(1, 2).isEmpty());
    EXPECT_EQ(grid.textView(1, 3), u"d");
    EXPECT_TRUE(grid.textView(1, 9).isEmpty()) << "out of range";

    // Narrowing drops the last cells; widening brings them back empty.
    grid.setCols(2);
    grid.setCols(4);
    EXPECT_TRUE(grid.text(0, 2).isEmpty());
    EXPECT_TRUE(grid.text(1, 3).isEmpty());
    EXPECT_EQ(grid.text(0, 1), "二二二");
}

TEST(GridHeader, LaysOutHeadingRowsAndColumnPickers)
{
    GridModel grid;
    EXPECT_FALSE(setGridColumns(grid, { "a", "b" }, { "A" }));
    EXPECT_EQ(grid.cols(), 0);

    ASSERT_TRUE(setGridColumns(grid, { "ID", "", "Price" }, { "ID", "序号", "价格" }));
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_EQ(grid.fixedRows(), 2);
    EXPECT_EQ(grid.fixedCols(), 2);
    EXPECT_EQ(grid.fieldName(2), "Price");
    EXPECT_EQ(grid.title(2), "价格");
    EXPECT_EQ(columnComboEntries(grid), QStringList { "2|价格" });

    ASSERT_TRUE(setGridColumns(grid, { "a", "b" }, { "A", "B" }));
    EXPECT_EQ(grid.fixedCols(), 1);

    GridModel list;
    layOutList(list);
    EXPECT_EQ(columnComboEntries(list), (QStringList { "3|卖家", "4|价格", "5|邮费" }));
    EXPECT_EQ(leadingColumnNumber("5|邮费"), 5);
    EXPECT_TRUE(columnComboEntries(GridModel()).isEmpty());
}

TEST(CellTexts, FormatDatesNumbersAndMarks)
{
    const QDateTime never(QDate(1900, 1, 1), QTime(0, 0));
    const QDateTime when(QDate(2010, 4, 12), QTime(10, 20, 33));
    EXPECT_EQ(formatCellValue(never, true), "");
    EXPECT_EQ(formatCellValue(never, false), "");
    EXPECT_EQ(formatCellValue(when, true), "2010.04.12");
    EXPECT_EQ(formatCellValue(when, false), "2010.04.12 10:20");
    EXPECT_EQ(formatCellValue(12.345, false), "12.34") << "halves go to the even neighbour";
    EXPECT_EQ(formatCellValue(12.5, false), "12.5");
    EXPECT_EQ(formatCellValue(true, false), "√");

    EXPECT_EQ(cellTextForValue(12.5, false), "12.50");
    EXPECT_EQ(cellTextForValue(qlonglong(7), false), "7");
    EXPECT_EQ(cellTextForValue(when, true), "2010.04.12");
    EXPECT_EQ(cellTextForValue(QString("Levi's"), false), "Levi's");
    EXPECT_EQ(cellTextForValue(QVariant(), false), "") << "NULL shows as an empty cell";

    EXPECT_EQ(checkMarkText(1), "√");
    EXPECT_EQ(checkMarkText(0), "");
    EXPECT_EQ(checkMarkText(QVariant()), "");
    EXPECT_EQ(toggleCheckMark(""), "√");
    EXPECT_EQ(toggleCheckMark("√"), "");
    EXPECT_EQ(toggleCheckMark("x"), "");

    EXPECT_DOUBLE_EQ(leadingNumber(" 12.5元"), 12.5);
    EXPECT_DOUBLE_EQ(leadingNumber("-3e2x"), -300);
    EXPECT_DOUBLE_EQ(leadingNumber("1e"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(""), 0);
}

TEST(AutoSize, HidesIdentifiersFitsTextsAndCapsWidths)
{
    GridModel grid;
    layOutList(grid);
    grid.setViewWidth(2000);
    const FixedTextMeasure measure(100);
    FakeFeedback feedback;

    addRow(grid, "abc", "");
    addRow(grid, "abcdefghijklmnopqrstuvwxyz", "");
    grid.setText(2, 4, "");
    grid.setText(3, 4, "");
    grid.setText(2, 5, "1");
    grid.setText(3, 5, "12");
    autoSizeColumns(grid, 1, true, feedback, measure);

    EXPECT_EQ(grid.columnWidth(0), 0);
    EXPECT_EQ(grid.columnWidth(1), 0);
    EXPECT_EQ(grid.columnWidth(2), 3 * 100);
    EXPECT_EQ(grid.columnWidth(3), 1000) << "capped at half the grid's width";
    EXPECT_EQ(grid.columnWidth(5), 2 * 100 + 100) << "title 邮费 is as wide as 12";
    EXPECT_TRUE(feedback.titles.isEmpty()) << "no progress for small grids";

    // A column whose cells are all empty is 50 wide whatever its title; from row 2 on the
    // title row itself is not a cell.
    autoSizeColumns(grid, 2, true, feedback, measure);
    EXPECT_EQ(grid.columnWidth(4), 50);

    // Without data rows the headings are what is fitted.
    GridModel empty;
    layOutList(empty);
    autoSizeColumns(empty, 2, true, feedback, measure);
    EXPECT_EQ(empty.columnWidth(4), 5 * 100 + 100) << "the field name Price";

    // All columns at once fit each as fitting it alone does, from any first row.
    for (const int firstRow : { 1, 2, 3, 9 }) {
        autoSizeColumns(grid, firstRow, false, feedback, measure);
        for (int c = 0; c < grid.cols(); ++c) {
            const int together = grid.columnWidth(c);
            autoSizeColumn(grid, c, firstRow, measure);
            EXPECT_EQ(grid.columnWidth(c), together) << "column " << c << " from row " << firstRow;
        }
    }

    for (int i = 0; i < 210; ++i)
        addRow(grid, "x", "1");
    autoSizeColumns(grid, 1, true, feedback, measure);
    EXPECT_EQ(feedback.titles, QStringList { "正在做交易数据表格进行格式设置……" });
    EXPECT_EQ(feedback.totals.value(0), 6);
    EXPECT_EQ(feedback.stepped, 6);
    EXPECT_FALSE(feedback.open);
}

TEST(Sorting, NumbersStartAscendingTextsDescendingAndMarksFollow)
{
    GridModel grid;
    layOutList(grid);
    addRow(grid, "b", "10");
    addRow(grid, "a", "9.5");
    addRow(grid, "C", "100");
    addRow(grid, "c", "");
    FakeFeedback feedback;
    const FixedTextMeasure measure;

    gridHeaderClicked(grid, { 1, 4 }, feedback, measure);
    EXPECT_EQ(column(grid, 4), (QStringList { "", "9.5", "10", "100" }));
    EXPECT_EQ(grid.title(4), "价格△");
    EXPECT_EQ(column(grid, 2), (QStringList { "1", "2", "3", "4" })) << "renumbered";

    sortByColumn(grid, 4);
    EXPECT_EQ(column(grid, 4), (QStringList { "100", "10", "9.5", "" }));
    EXPECT_EQ(grid.title(4), "价格▽");

    sortByColumn(grid, 3);
    EXPECT_EQ(column(grid, 3), (QStringList { "c", "b", "a", "C" })) << "case-sensitive";
    EXPECT_EQ(grid.title(3), "卖家△");
    EXPECT_EQ(grid.title(4), "价格") << "only the sorted column keeps a mark";
    sortByColumn(grid, 3);
    EXPECT_EQ(column(grid, 3), (QStringList { "C", "a", "b", "c" }));
    EXPECT_EQ(grid.title(3), "卖家▽");

    // Rows move whole: identifiers stay with their texts.
    for (int r = 2; r < grid.rows(); ++r)
        EXPECT_EQ(grid.text(r, 0), "P" + grid.text(r, 1));

    // A press on the 序号 heading refits, a press on data does nothing, a column beyond the
    // last sorts the last one.
    grid.setColumnWidth(2, 5);
    gridHeaderClicked(grid, { 1, 2 }, feedback, measure);
    EXPECT_GT(grid.columnWidth(2), 5);
    gridHeaderClicked(grid, { 3, 4 }, feedback, measure);
    EXPECT_EQ(grid.title(4), "价格");
    gridHeaderClicked(grid, { 1, 99 }, feedback, measure);
    EXPECT_EQ(grid.title(5), "邮费△");
}

TEST(CellAtPoint, WalksHeadingsThenVisibleRowsAndColumns)
{
    GridModel grid;
    layOutList(grid);
    for (int i = 0; i < 10; ++i)
        addRow(grid, "x", "1");
    grid.setDefaultRowHeight(300);
    for (int c = 0; c < grid.cols(); ++c)
        grid.setColumnWidth(c, c < 2 ? 0 : 1000);

    EXPECT_EQ(cellAtPoint(grid, 0, 0), (GridCell { 1, 2 }))
        << "row 0 and columns 0-1 are 0 high/wide";
    EXPECT_EQ(cellAtPoint(grid, 1500, 299), (GridCell { 1, 3 }));
    EXPECT_EQ(cellAtPoint(grid, 1500, 300), (GridCell { 2, 3 }));
    EXPECT_EQ(cellAtPoint(grid, 99999, 99999), (GridCell { grid.rows(), grid.cols() }));

    grid.setScrollPosition(5, 4);
    EXPECT_EQ(cellAtPoint(grid, 1500, 300), (GridCell { 5, 4 }))
        << "scrolled: first visible row/col";
}

TEST(DeleteRows, AsksWithDataRowNumbersAndKeepsTheSerialColumn)
{
    GridModel grid;
    layOutList(grid);
    for (const char* name : { "a", "b", "c", "d", "e", "f" })
        addRow(grid, name, "1");
    FakeFeedback feedback;

    feedback.answers = { false };
    EXPECT_FALSE(deleteGridRows(grid, 5, 3, true, feedback));
    EXPECT_EQ(feedback.questions, QStringList { "您确定要删除第2至第4行？" });
    EXPECT_EQ(grid.dataRowCount(), 6);

    feedback.answers = { true };
    EXPECT_TRUE(deleteGridRows(grid, 3, 5, true, feedback));
    EXPECT_EQ(column(grid, 3), (QStringList { "a", "e", "f" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "1", "2", "3" })) << "serial texts stay in place";
    EXPECT_EQ(column(grid, 1), (QStringList { "1", "5", "6" }));

    // Clamped to the data rows; no question without confirmation.
    EXPECT_TRUE(deleteGridRows(grid, 0, 99, false, feedback));
    EXPECT_FALSE(grid.hasDataRows());
    EXPECT_FALSE(deleteGridRows(grid, 2, 2, true, feedback)) << "an empty grid does nothing";
    EXPECT_EQ(feedback.questions.size(), 2);
}

TEST(CheckMarks, SingleMultiHeadingAndShiftTicking)
{
    GridModel grid;
    setGridColumns(grid, { "ID", "PCode", "", "", "PName" },
        { "产品ID", "产品编号", "序号", "选择", "产品名称" });
    grid.setFixedCols(3);
    for (int i = 0; i < 6; ++i)
        grid.appendRow({ QString::number(i), "", QString::number(i + 1), "", "n" });
    const auto marks = [&] { return column(grid, 3).join(','); };

    clickCheckMark(grid, false, { 3, 3 }, false);
    clickCheckMark(grid, false, { 4, 3 }, false);
    EXPECT_EQ(marks(), ",,√,,,") << "one row at a time";

    clickCheckMark(grid, false, { 2, 3 }, true);
    clickCheckMark(grid, false, { 4, 2 }, true);
    EXPECT_EQ(marks(), "√,,,,,") << "multi-select toggles; the serial column counts as well";

    clickCheckMark(grid, false, { 1, 3 }, true);
    EXPECT_EQ(marks(), ",,,,,") << "the heading toggles every row by the first row's mark";
    clickCheckMark(grid, false, { 1, 3 }, true);
    EXPECT_EQ(marks(), "√,√,√,√,√,√");
    clickCheckMark(grid, false, { 1, 3 }, true);

    // Shift: rows between the current row and the pressed one get the toggle of the
    // current row's mark, in either direction.
    grid.setCurrentCell(3, 3);
    clickCheckMark(grid, true, { 6, 3 }, true);
    EXPECT_EQ(marks(), ",√,√,√,√,");
    grid.setCurrentCell(5, 3);
    clickCheckMark(grid, true, { 2, 3 }, true);
    EXPECT_EQ(marks(), ",,,,√,") << "current row ticked, so the range is unticked";

    // Presses outside the selection column range or the grid do nothing.
    clickCheckMark(grid, false, { 3, 4 }, true);
    clickCheckMark(grid, false, { 9, 3 }, true);
    clickCheckMark(grid, false, { 1, 3 }, false);
    EXPECT_EQ(marks(), ",,,,√,");
}

TEST(CellValues, ColoursAndMaximum)
{
    GridModel grid;
    layOutList(grid);
    addRow(grid, "a", "12.5");
    addRow(grid, "b", "-40");
    addRow(grid, "c", "7元");
    grid.setCurrentCell(3, 4);

    setCellColor(grid, 2, 3, QColor(0, 0, 0), true);
    EXPECT_EQ(grid.cellForeground(2, 3), QColor(1, 1, 1)) << "black never means 'default'";
    setCellColor(grid, 2, 3, colourFromBgr(255), false);
    EXPECT_EQ(grid.cellBackground(2, 3), QColor(Qt::red));
    EXPECT_EQ(colourFromBgr(0xBBBBBB), QColor(0xBB, 0xBB, 0xBB));
    EXPECT_EQ(grid.currentRow(), 3) << "colouring leaves the cursor alone";
    sortByColumn(grid, 3);
    EXPECT_EQ(grid.cellBackground(4, 3), QColor(Qt::red)) << "colours move with their row";

    EXPECT_DOUBLE_EQ(maxCellValue(grid, 5, 4, -1, -1), 12.5);
    EXPECT_DOUBLE_EQ(maxCellValue(grid, 4, 4, 3, 3), 0) << "never below 0";
    int a = 5;
    int b = 2;
    orderPair(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 5);
}
