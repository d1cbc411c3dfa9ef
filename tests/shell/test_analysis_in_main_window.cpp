#include "analysis/ui/chart_view.h"
#include "analysis/ui/overview_page.h"
#include "analysis/ui/product_panel.h"
#include "exports/ui/pop_menu.h"
#include "grid/grid_model.h"
#include "grid/ui/grid_view.h"
#include "shell/analysis_page.h"
#include "shell_fixture.h"
#include "views/ui/list_views.h"
#include "views/ui/product_chooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

using namespace quel;
using AnalysisInMainWindowTest = test::ShellTest;

TEST_F(AnalysisInMainWindowTest, ProductStatisticsRunOnEveryClickAndChartTheResult)
{
    shell::MainWindow& mf = window();
    exec(
        "INSERT INTO 产品表(KWord,P_Name,SName,Price,Num1) VALUES('手机','N73','数码小铺',1600,3)");
    exec(
        "INSERT INTO 产品表(KWord,P_Name,SName,Price,Num1) VALUES('手机','n73','手机之家',1700,5)");
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    shell::AnalysisSubPage* page = mf.analysisPage()->subPage(0);

    // A click on a measure box runs the analysis without the button.
    mf.findChild<QRadioButton*>("OP40_3")->click();
    ASSERT_EQ(page->gridModel()->dataRowCount(), 1);
    EXPECT_EQ(page->gridModel()->text(2, 3), "1650.00");
    mf.findChild<QCheckBox*>("CK40_3")->click();
    EXPECT_EQ(page->gridModel()->cols(), 5);
    EXPECT_EQ(page->gridModel()->text(2, 4), "8");
    EXPECT_TRUE(page->chart()->storedTitle().startsWith("淘宝产品销售情况分析图表"));
    EXPECT_TRUE(mf.hintLabel()->text().startsWith("操作提示："));

    mf.findChild<QRadioButton*>("OP40_0")->click();
    EXPECT_EQ(page->gridModel()->dataRowCount(), 2);
    EXPECT_TRUE(page->gridModel()->text(2, 2).endsWith("(手机之家)"));
}

TEST_F(AnalysisInMainWindowTest, TrendPageChartsTheChosenProductsDayByDay)
{
    shell::MainWindow& mf = window();
    exec("INSERT INTO 产品表(P_Name,SName,Price) VALUES('N73','数码小铺',1500)");
    exec("INSERT INTO 产品表(P_Name,SName,Price) VALUES('E258','手机之家',560)");
    for (const char* row :
        { "1,#2026-12-1#,1600,3", "1,#2026-12-4#,1500,9", "2,#2026-12-2#,560,NULL" })
        exec(QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price,Num1) VALUES(%1)").arg(row));
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    shell::AnalysisPage* analysis = mf.analysisPage();
    analysis->tabs()->setCurrentIndex(4);
    shell::AnalysisSubPage* page = analysis->subPage(4);
    ASSERT_NE(page, nullptr);
    QLineEdit* box = analysis->trendProducts();
    ASSERT_EQ(box, mf.findChild<QLineEdit*>("tPName5"));
    box->setText("N73；E258；");
    views::setProductBoxTag(box, "1；2；");

    // A click on a measure draws at once: four days, the gaps carried over.
    mf.findChild<QRadioButton*>("OP45_0")->click();
    const grid::GridModel& grid = *page->gridModel();
    ASSERT_EQ(grid.dataRowCount(), 4);
    EXPECT_EQ(grid.title(1), "N73(数码小铺)");
    EXPECT_EQ(grid.text(4, 1), "1600") << "the 3rd repeats the 1st";
    EXPECT_EQ(grid.text(2, 2), "") << "nothing before the first observation";
    EXPECT_EQ(grid.text(5, 2), "560");
    EXPECT_TRUE(page->chart()->storedTitle().startsWith("淘宝产品价格走势图表"));

    mf.findChild<QRadioButton*>("OP45_1")->click();
    EXPECT_EQ(grid.dataRowCount(), 4);
    EXPECT_EQ(grid.text(5, 1), "9");
    EXPECT_TRUE(page->chart()->storedTitle().startsWith("淘宝产品本期售出走势图表"));
}

TEST_F(AnalysisInMainWindowTest, RightPressesOnGridsAndChartsOfferTheExports)
{
    shell::MainWindow& mf = window();
    exec("INSERT INTO 产品表(KWord,P_Name,SName,PName,Price) "
         "VALUES('手机','N73','数码小铺','诺基亚',1)");
    mf.refreshLists();
    mf.resize(1280, 800);
    mf.show();
    exports::PopMenu* menu = mf.popMenu();
    ASSERT_NE(menu, nullptr);

    // A list grid: the table menu, and its item writes the list.
    grid::GridView* list = mf.listViews()->grid(0);
    emit list->exportRequested(list, QPoint(10, 10));
    EXPECT_TRUE(menu->gridMenu()->isVisible());
    menu->gridMenu()->hide();
    widgets::Dialogs::setNextFileName(file("list.csv"));
    ASSERT_TRUE(menu->exportGrid());
    QFile csv(file("list.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(csv.readAll()).contains("诺基亚"));

    // A chart: the picture menu.
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    QCoreApplication::processEvents();
    analysis::ChartView* chart = mf.analysisPage()->subPage(0)->chart();
    emit chart->exportRequested(chart, QPoint(10, 10));
    EXPECT_TRUE(menu->pictureMenu()->isVisible());
    menu->pictureMenu()->hide();
    widgets::Dialogs::setNextFileName(file("chart"));
    EXPECT_TRUE(menu->exportPicture());
    EXPECT_TRUE(QFile::exists(file("chart.jpg")));
}

TEST_F(AnalysisInMainWindowTest, OverviewPageShowsTheCategoryAndWritesItsReport)
{
    shell::MainWindow& mf = window();
    exec("INSERT INTO 产品表(KWord,SName,Addr,Price,Num9,Style) VALUES('手机','甲店','广东 深圳',"
         "100,3,'1')");
    exec("INSERT INTO 产品表(KWord,SName,Addr,Price,Num9,Style) VALUES('手机','乙店','北京',"
         "300,1,'1')");
    exec("INSERT INTO 产品表(KWord,SName,Addr,Price,Num9) VALUES('台灯','丙店','上海',20,0)");
    mf.show();
    mf.tabs()->setCurrentIndex(5);
    shell::AnalysisPage* analysis = mf.analysisPage();
    ASSERT_EQ(analysis->tabs()->tabText(5), "市场概览");
    analysis->tabs()->setCurrentIndex(5);
    analysis::OverviewPage* page = analysis->overviewPage();
    ASSERT_EQ(analysis->tabs()->currentWidget(), page);

    // Shown, the page offers every stored category after "全部".
    QComboBox* box = mf.findChild<QComboBox*>("cOverviewCategory");
    ASSERT_EQ(box, page->categoryBox());
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), "全部");
    EXPECT_FALSE(page->reportButton()->isEnabled()) << "nothing to report yet";
    // Before the first count every figure has its caption and no value.
    const auto* caption = page->findChild<QLabel*>("caption_top10_share");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "前十店铺销售额占比");
    EXPECT_EQ(page->figureText("top10_share"), "-");

    box->setCurrentIndex(box->findText("手机"));
    page->runButton()->click();
    ASSERT_NE(page->overview(), nullptr);
    EXPECT_EQ(page->figureText("products"), "2");
    EXPECT_EQ(page->figureText("sales90_amount"), "600.00");
    EXPECT_EQ(page->figureText("hhi"), "5000（集中）");
    const grid::GridModel& grid = *page->gridView()->grid();
    EXPECT_GT(grid.dataRowCount(), 8);
    EXPECT_EQ(grid.text(grid.fixedRows(), 1), "概况：手机");
    // Charts with something to show are drawn; the weeks (no trades) and the buyers (no
    // profiles) say they have nothing.
    for (int c : { 0, 1, 3 }) {
        EXPECT_FALSE(page->chart(c)->storedTitle().isEmpty()) << c;
        EXPECT_TRUE(page->chartCaption(c)->isHidden()) << c;
    }
    EXPECT_FALSE(page->chartCaption(2)->isHidden());
    EXPECT_EQ(page->chartCaption(2)->text(), "每周销售（无数据）");
    EXPECT_TRUE(page->chart(1)->storedTitle().endsWith("\r\n集中度指数(HHI) 5000：集中"));
    EXPECT_EQ(page->chartCaption(4)->text(), "买家所在省份（无数据）");

    // The report goes where the user says; a name without a known ending becomes a PDF.
    widgets::Dialogs::setNextFileName(file("market"));
    page->reportButton()->click();
    EXPECT_TRUE(QFile(file("market.pdf")).size() > 1000);
    widgets::Dialogs::setNextFileName(file("market.csv"));
    page->reportButton()->click();
    QFile csv(file("market.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().contains("\r\nhhi,5000\r\n"));
    EXPECT_TRUE(widgets::Dialogs::takeShownTexts().isEmpty()) << "no message on the way";
}
