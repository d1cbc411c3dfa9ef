#include "analysis/ui/chart_view.h"
#include "analysis/ui/trade_panels.h"
#include "exports/ui/pop_menu.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "shell/analysis_page.h"
#include "shell_fixture.h"
#include "views/ui/product_chooser.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>

using namespace quel;

namespace {

class TradesInMainWindow : public test::ShellTest
{
protected:
    // Products 1 (诺基亚, 甲店), 2 (钢笔, 乙店) and 3 (诺基亚, 乙店) with trades and buyers.
    void addShop()
    {
        exec("INSERT INTO 产品表(ID,P_Name,SName,PName,Price,Num9) "
             "VALUES(1,'诺基亚','甲店','诺基亚 N73',10,5)");
        exec("INSERT INTO 产品表(ID,P_Name,SName,PName,Price,Num9) "
             "VALUES(2,'钢笔','乙店','英雄钢笔',100,1)");
        exec("INSERT INTO 产品表(ID,P_Name,SName,PName,Price,Num9) "
             "VALUES(3,'诺基亚','乙店','诺基亚 N73 行货',10,6)");
        exec("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(1,'b1','甲',#2010-1-31 "
             "23:59#,10,1)");
        exec("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(3,'b2','乙',#2010-3-7 "
             "08:00#,10,2)");
        exec("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(2,'b2','乙',#2010-3-8 "
             "09:00#,100,1)");
        exec("INSERT INTO 客户表(BCode,BName,Prov,Regi) VALUES('b1','甲','浙江','华东')");
        exec("INSERT INTO 客户表(BCode,BName,Prov,Regi) VALUES('b2','乙','浙江','华东')");
    }

    // Ticks the chooser's rows (grid rows) and confirms as soon as the chooser shows up.
    void answerChooser(std::initializer_list<int> rows)
    {
        const std::vector<int> ticked(rows);
        auto* poll = new QTimer(&window());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, ticked] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* chooser = qobject_cast<views::ProductChooser*>(w);
                    chooser && chooser->isVisible()) {
                    poll->deleteLater();
                    for (int row : ticked)
                        grid::clickCheckMark(*chooser->grid()->grid(), false, { row, 3 }, true);
                    chooser->confirmButton()->click();
                    return;
                }
            }
        });
        poll->start(10);
    }

    shell::AnalysisSubPage* page(int i) { return window().analysisPage()->subPage(i); }
    grid::GridModel& grid(int i) { return *page(i)->gridModel(); }
    void click(const char* name)
    {
        auto* option = window().findChild<QRadioButton*>(name);
        ASSERT_NE(option, nullptr) << name;
        option->click();
    }
};

} // namespace

TEST_F(TradesInMainWindow, TradePageComparesTotalsAndPeriods)
{
    addShop();
    shell::MainWindow& mf = window();
    mf.tabs()->setCurrentWidget(mf.analysisPage());

    // The totals: Com(41) by amount, Com(42) by quantity, a grouping click by amount again.
    mf.runCommand(41);
    EXPECT_EQ(grid(1).text(2, 1), "诺基亚");
    EXPECT_EQ(grid(1).text(2, 2), "110.00") << "both shops' 诺基亚 together";
    mf.runCommand(42);
    EXPECT_EQ(grid(1).text(2, 1), "诺基亚");
    EXPECT_EQ(grid(1).text(2, 2), "11");
    click("OP41_1");
    EXPECT_EQ(grid(1).title(1), "店铺");
    EXPECT_EQ(grid(1).title(2), "交易金额");
    EXPECT_TRUE(page(1)->chart()->storedTitle().endsWith("；按店铺）"));
    EXPECT_TRUE(mf.hintLabel()->text().startsWith("操作提示："));

    // The picker fills tPName2 (grid rows are best sellers first: 3, 1, 2).
    answerChooser({ 2, 3 });
    mf.runCommand(43);
    EXPECT_EQ(mf.findChild<QLineEdit*>("tPName2")->text(), "诺基亚 N73 行货；诺基亚 N73；");

    // A period, measure or series click runs the comparison with the chosen products.
    click("OP41_3");
    EXPECT_EQ(grid(1).title(2), "诺基亚");
    EXPECT_EQ(grid(1).dataRowCount(), 3) << "January to March by month";
    EXPECT_EQ(grid(1).text(3, 2), "0") << "February";
    EXPECT_EQ(grid(1).text(4, 2), "2");
    click("OP41_9");
    EXPECT_EQ(grid(1).cols(), 4) << "two shops";
    click("OP41_6");
    EXPECT_EQ(grid(1).text(2, 1), "2010.01.25");
    EXPECT_TRUE(page(1)->chart()->storedTitle().startsWith("淘宝产品销售情况比较图表"));
}

TEST_F(TradesInMainWindow, BuyerPageCountsOnceAndRecountsOnEveryTarget)
{
    addShop();
    shell::MainWindow& mf = window();
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    answerChooser({ 2, 3, 4 });
    mf.runCommand(51);
    EXPECT_EQ(grid(2).title(1), "省份");
    EXPECT_EQ(grid(2).text(2, 1), "浙江");
    EXPECT_EQ(grid(2).text(2, 2), "2") << "b2 bought twice";
    click("Op42_1");
    EXPECT_EQ(grid(2).title(1), "地区");
    EXPECT_EQ(grid(2).text(2, 1), "华东");
    EXPECT_TRUE(page(2)->chart()->storedTitle().endsWith("；比较内容：地区）"));
}

TEST_F(TradesInMainWindow, CyclePageRunsOnTheButtonAndShowsTheWholeCycle)
{
    addShop();
    shell::MainWindow& mf = window();
    mf.resize(1280, 800);
    mf.show();
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    mf.analysisPage()->tabs()->setCurrentIndex(3);
    QCoreApplication::processEvents();
    answerChooser({ 2, 3 });
    mf.runCommand(52);
    click("Op43_2"); // 按周/天: waits for the button
    EXPECT_FALSE(grid(3).hasDataRows());
    mf.runCommand(44);
    ASSERT_EQ(grid(3).dataRowCount(), 7);
    EXPECT_EQ(grid(3).text(7, 2), "30") << "31 January and 7 March were Sundays";
    EXPECT_EQ(grid(3).text(7, 1), "周7");
    EXPECT_EQ(page(3)->endBox()->text(), "7");
    EXPECT_TRUE(
        page(3)->chart()->storedTitle().contains("（日期：周1—周7；统计：按金额；周期：按周/天"));
    click("Op43_3"); // 按数量
    mf.runCommand(44);
    EXPECT_EQ(grid(3).title(2), "售出件数");
    EXPECT_EQ(grid(3).text(7, 2), "3");
    click("Op43_4");
    mf.runCommand(44);

    // The chart and the grid of the page offer their exports.
    exports::PopMenu* menu = mf.popMenu();
    analysis::ChartView* chart = page(3)->chart();
    emit chart->exportRequested(chart, QPoint(10, 10));
    EXPECT_TRUE(menu->pictureMenu()->isVisible());
    menu->pictureMenu()->hide();
    widgets::Dialogs::setNextFileName(file("cycle"));
    EXPECT_TRUE(menu->exportPicture());
    EXPECT_TRUE(QFile::exists(file("cycle.jpg")));
    grid::GridView* view = page(3)->gridView();
    emit view->exportRequested(view, QPoint(10, 10));
    EXPECT_TRUE(menu->gridMenu()->isVisible());
    menu->gridMenu()->hide();
    widgets::Dialogs::setNextFileName(file("cycle.csv"));
    ASSERT_TRUE(menu->exportGrid());
    QFile csv(file("cycle.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(csv.readAll()).contains("周7,30"));
}
