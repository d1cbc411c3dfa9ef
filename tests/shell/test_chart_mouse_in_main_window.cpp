// SPDX-License-Identifier: GPL-3.0-or-later
// The chart of the product statistics page under the mouse: the pointer's point named,
// the wheel zooming and a drag scrolling through the range boxes; and the drawing options
// of the page.
#include "analysis/ui/chart_view.h"
#include "exports/ui/pop_menu.h"
#include "grid/grid_model.h"
#include "shell/analysis_page.h"
#include "shell_fixture.h"

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

using namespace quel;
using ChartMouseInMainWindowTest = test::ShellTest;

namespace {

void wheel(QWidget* widget, const QPointF& pos, int steps)
{
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

TEST_F(ChartMouseInMainWindowTest, HoverWheelAndDragActThroughTheRangeBoxes)
{
    shell::MainWindow& mf = window();
    // Sixty products with prices 1000 .. 1590 and sales in the thousands.
    for (int i = 0; i < 60; ++i)
        exec(QStringLiteral("INSERT INTO 产品表(KWord,P_Name,SName,Price,Num9) "
                            "VALUES('手机','型号%1','店%1',%2,%3)")
                 .arg(i)
                 .arg(1590 - i * 10)
                 .arg(3000 + i * 7));
    mf.resize(1366, 768);
    mf.show();
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    shell::AnalysisSubPage* page = mf.analysisPage()->subPage(0);
    mf.findChild<QRadioButton*>("OP40_3")->click();
    mf.findChild<QCheckBox*>("CK40_4")->click();
    ASSERT_EQ(page->gridModel()->dataRowCount(), 60);
    QCoreApplication::processEvents();
    analysis::ChartView* chart = page->chart();
    QLineEdit* start = mf.findChild<QLineEdit*>("SRow_0");
    QLineEdit* end = mf.findChild<QLineEdit*>("ERow_0");
    ASSERT_EQ(start->text(), "1");
    ASSERT_EQ(end->text(), "40");

    // Price near 1,500 and sales near 3,000 differ by less than ten times: one axis; the
    // box follows what the data chose.
    QCheckBox* panels = mf.findChild<QCheckBox*>("Panels_0");
    ASSERT_NE(panels, nullptr);
    EXPECT_EQ(chart->lastDrawing().panels, 1);
    EXPECT_FALSE(panels->isChecked());

    // Hover over the first point of the price line: its series, label and value.
    const analysis::ChartDrawing& d = chart->lastDrawing();
    const QPoint origin = chart->contentsRect().topLeft();
    const QPoint first
        = origin + QPointF(d.points.xs[0], d.points.ys[0][0]).toPoint() + QPoint(1, 0);
    QTest::mouseMove(chart, first);
    EXPECT_EQ(chart->hoverText(), "价格\n型号0：1590.00");
    const QPoint lastSales = origin + QPointF(d.points.xs.back(), d.points.ys[1].back()).toPoint();
    QTest::mouseMove(chart, lastSales);
    EXPECT_EQ(chart->hoverText(), "90天售出\n型号39：3273");

    // The wheel towards the user at the left end zooms in, keeping the first point.
    wheel(chart, QPointF(first), 1);
    EXPECT_EQ(start->text(), "1");
    EXPECT_EQ(end->text(), "32");
    EXPECT_EQ(chart->lastDrawing().lastRow - chart->lastDrawing().firstRow + 1, 32);
    // A drag to the left moves to later points; at the end of the data it stops there.
    const double slot = chart->lastDrawing().spacing / 15;
    const QPoint from = chart->rect().center();
    QTest::mousePress(chart, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(chart, from - QPoint(int(slot * 5.5), 0));
    EXPECT_EQ(start->text(), "6");
    EXPECT_EQ(end->text(), "37");
    QTest::mouseMove(chart, from - QPoint(int(slot * 200), 0));
    EXPECT_EQ(start->text(), "29");
    EXPECT_EQ(end->text(), "60");
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::NoModifier, from - QPoint(int(slot * 200), 0));
    // The wheel away from the user at the right end zooms out up to all the data.
    wheel(chart, QPointF(chart->rect().center()), -10);
    EXPECT_EQ(start->text(), "1");
    EXPECT_EQ(end->text(), "60");
    // The keys still act on the same boxes.
    QTest::keyClick(chart, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(end->text(), "59");

    // Panels by hand stay so for the next analysis; the single axis is one click away.
    panels->click();
    EXPECT_EQ(chart->lastDrawing().panels, 2);
    mf.findChild<QCheckBox*>("CK40_0")->click(); // price off
    mf.findChild<QCheckBox*>("CK40_0")->click(); // and on again
    EXPECT_TRUE(panels->isChecked());
    EXPECT_EQ(chart->lastDrawing().panels, 2);
    panels->click();
    EXPECT_EQ(chart->lastDrawing().panels, 1);
}

TEST_F(ChartMouseInMainWindowTest, CategoriesDrawBarsProductsLinesAndTheButtonSwitches)
{
    shell::MainWindow& mf = window();
    exec("INSERT INTO 产品表(KWord,P_Name,SName,Price,Num9) "
         "VALUES('手机','N73','数码小铺',1600,30)");
    exec("INSERT INTO 产品表(KWord,P_Name,SName,Price,Num9) "
         "VALUES('配件','电池','手机之家',45,400)");
    mf.resize(1366, 768);
    mf.show();
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    QCoreApplication::processEvents();
    shell::AnalysisSubPage* page = mf.analysisPage()->subPage(0);
    analysis::ChartView* chart = page->chart();
    mf.findChild<QRadioButton*>("OP40_3")->click();
    EXPECT_EQ(chart->lastDrawing().mark, analysis::ChartMark::Line) << "products";
    mf.findChild<QRadioButton*>("OP40_1")->click();
    EXPECT_EQ(chart->lastDrawing().mark, analysis::ChartMark::Bar) << "categories";
    EXPECT_GT(chart->lastDrawing().bars, 0);
    QPushButton* mark = mf.findChild<QPushButton*>("Mark_0");
    ASSERT_NE(mark, nullptr);
    mark->click();
    EXPECT_EQ(chart->lastDrawing().mark, analysis::ChartMark::Line);
    // The switch holds while the page keeps drawing bars, and ends with a line analysis.
    mf.findChild<QRadioButton*>("OP40_2")->click();
    EXPECT_EQ(chart->lastDrawing().mark, analysis::ChartMark::Line);
    mf.findChild<QRadioButton*>("OP40_3")->click();
    EXPECT_EQ(chart->lastDrawing().mark, analysis::ChartMark::Line);
    mf.findChild<QRadioButton*>("OP40_1")->click();
    EXPECT_EQ(chart->lastDrawing().mark, analysis::ChartMark::Bar);
    // The trend page has no such options; the others have.
    EXPECT_EQ(mf.findChild<QPushButton*>("Mark_4"), nullptr);
    EXPECT_NE(mf.findChild<QPushButton*>("Mark_3"), nullptr);
    EXPECT_EQ(mf.findChild<QCheckBox*>("Panels_2"), nullptr);

    // On a screen of twice the density the picture has twice the pixels.
    EXPECT_EQ(chart->picture().devicePixelRatio(), chart->devicePixelRatioF());
    EXPECT_EQ(chart->picture().size(), chart->contentsRect().size() * chart->devicePixelRatioF());
}
