// SPDX-License-Identifier: GPL-3.0-or-later
// The 变化 page and the follow items of the product lists through the real main window.
#include "exports/ui/pop_menu.h"
#include "grid/grid_model.h"
#include "grid/ui/grid_view.h"
#include "shell/analysis_page.h"
#include "shell/changes_page.h"
#include "shell_fixture.h"
#include "views/ui/list_views.h"
#include "views/ui/product_chooser.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

using namespace quel;

namespace {

class ChangesInMainWindow : public test::ShellTest
{
protected:
    // Products 1 and 2 of 甲店, a followed product and shop, and two runs: the earlier with
    // one change, the latest with a price cut and a new product.
    void addRuns()
    {
        exec("INSERT INTO 产品表(ID,KWord,SName,PName,P_Name,Price) VALUES(1,'手机','甲店','诺基亚 "
             "N73','N73',95)");
        exec("INSERT INTO 产品表(ID,KWord,SName,PName,P_Name,Price) "
             "VALUES(2,'手机','甲店','英雄钢笔','钢笔',9.9)");
        exec("INSERT INTO 价格历史(PID,Dat,Price) VALUES(1,#2026-12-7#,100)");
        exec("INSERT INTO 价格历史(PID,Dat,Price) VALUES(1,#2026-12-10#,95)");
        exec("INSERT INTO 关注表(Kind,Val,PID,Since) VALUES('product','1',1,#2026-12-6 9:00#)");
        exec("INSERT INTO 关注表(Kind,Val,Since) VALUES('shop','甲店',#2026-12-6 9:30#)");
        exec("INSERT INTO 关注运行(Run,Threshold,Changes,Failed) VALUES(#2026-12-7 6:00#,5,1,0)");
        exec("INSERT INTO 关注运行(Run,Threshold,Changes,Failed) VALUES(#2026-12-10 6:00#,5,2,1)");
        exec("INSERT INTO 变化记录(Run,Kind,PID,SName,PName,Old,New) "
             "VALUES(#2026-12-7 6:00#,'sales',1,'甲店','诺基亚 N73',10,30)");
        exec("INSERT INTO 变化记录(Run,Kind,PID,SName,PName,Old,New,Pct) "
             "VALUES(#2026-12-10 6:00#,'price',1,'甲店','诺基亚 N73',100,95,-5)");
        exec("INSERT INTO 变化记录(Run,Kind,PID,SName,PName,New) "
             "VALUES(#2026-12-10 6:00#,'new',2,'甲店','英雄钢笔',9.9)");
    }

    static QStringList column(const QTableWidget* table, int col)
    {
        QStringList out;
        for (int r = 0; r < table->rowCount(); ++r)
            out << (table->item(r, col) ? table->item(r, col)->text() : QString());
        return out;
    }
};

} // namespace

TEST_F(ChangesInMainWindow, ShowsTheLatestDigestFiltersItAndOpensTheTrend)
{
    addRuns();
    shell::MainWindow& mf = window();
    mf.refreshLists();
    shell::ChangesPage* page = mf.changesPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(mf.tabs()->indexOf(page), 4);
    mf.tabs()->setCurrentWidget(page);

    ASSERT_EQ(page->runPicker()->count(), 2);
    EXPECT_TRUE(
        page->runPicker()->currentText().startsWith("2026-12-10 06:00:00（2 项变化，未完成）"))
        << page->runPicker()->currentText().toStdString();
    EXPECT_EQ(column(page->changeTable(), 0), (QStringList { "调价", "新品" }));
    EXPECT_EQ(column(page->changeTable(), 4), (QStringList { "100", "" }));
    EXPECT_EQ(column(page->changeTable(), 6), (QStringList { "-5", "" }));

    page->kindFilter()->setCurrentIndex(page->kindFilter()->findText("新品"));
    EXPECT_EQ(column(page->changeTable(), 1), QStringList { "2" });
    page->kindFilter()->setCurrentIndex(0);
    page->runPicker()->setCurrentIndex(1);
    EXPECT_EQ(column(page->changeTable(), 0), QStringList { "销量" });
    page->runPicker()->setCurrentIndex(0);

    // The followed items with their dates.
    EXPECT_EQ(column(page->watchTable(), 1), (QStringList { "诺基亚 N73（1）", "甲店" }));
    EXPECT_EQ(
        column(page->watchTable(), 2), (QStringList { "2026-12-06 09:00", "2026-12-06 09:30" }));

    // A double click on the price cut shows the product's trend.
    emit page->changeTable()->cellDoubleClicked(0, 2);
    EXPECT_EQ(mf.tabs()->currentWidget(), mf.analysisPage());
    EXPECT_EQ(mf.analysisPage()->tabs()->currentIndex(), 4);
    EXPECT_EQ(views::productBoxTag(mf.analysisPage()->trendProducts()), "1；");
    const grid::GridModel& trend = *mf.analysisPage()->subPage(4)->gridModel();
    EXPECT_EQ(trend.dataRowCount(), 4) << "the 7th to the 10th";
    EXPECT_EQ(trend.text(5, 1), "95");

    // A searched keyword followed as a category from the page.
    exec("INSERT INTO 关键词(Cls,Con) VALUES(0,'手机')");
    page->refresh();
    ASSERT_EQ(page->categoryPicker()->count(), 1);
    page->followCategoryButton()->click();
    EXPECT_EQ(column(page->watchTable(), 0), (QStringList { "类别", "产品", "店铺" }));
    EXPECT_EQ(page->categoryPicker()->count(), 0) << "a followed keyword is not offered again";
    EXPECT_FALSE(page->followCategoryButton()->isEnabled());
    page->watchTable()->selectRow(0);
    page->unfollowButton()->click();

    // 取消关注 on the shop's row.
    page->watchTable()->selectRow(1);
    page->unfollowButton()->click();
    EXPECT_EQ(column(page->watchTable(), 1), QStringList { "诺基亚 N73（1）" });
    EXPECT_EQ(count("关注表"), 1);
}

TEST_F(ChangesInMainWindow, ARunThatEndedElsewhereRefreshesThePageWithANotice)
{
    addRuns();
    shell::MainWindow& mf = window();
    mf.refreshLists();
    EXPECT_FALSE(mf.checkWatchRuns()) << "nothing new since the page was filled";
    exec("INSERT INTO 关注运行(Run,Threshold,Changes,Failed) VALUES(#2026-12-11 6:00#,5,0,0)");
    EXPECT_TRUE(mf.checkWatchRuns());
    EXPECT_EQ(mf.lastWatchNotice(), "关注运行完成：0 项变化");
    EXPECT_EQ(mf.changesPage()->runPicker()->count(), 3);
    EXPECT_EQ(mf.changesPage()->changeTable()->rowCount(), 0) << "the new run is shown";
    EXPECT_FALSE(mf.checkWatchRuns());
}

TEST_F(ChangesInMainWindow, TheProductListsFollowAndUnfollowFromTheirMenu)
{
    exec("INSERT INTO 产品表(ID,KWord,SName,PName,P_Name,Price) VALUES(1,'手机','甲店','诺基亚 "
         "N73','N73',95)");
    exec("INSERT INTO 产品表(ID,KWord,SName,PName,P_Name,Price) "
         "VALUES(2,'手机','乙店','英雄钢笔','钢笔',9.9)");
    shell::MainWindow& mf = window();
    mf.refreshLists();
    grid::GridView* list = mf.listViews()->grid(0);
    grid::GridModel& grid = *list->grid();
    const int star = grid.columnOfField("Followed");
    ASSERT_GE(star, 0);
    EXPECT_EQ(grid.title(star), "关注");
    const int idCol = grid.columnOfField("ID");
    int rowOf2 = -1;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        if (grid.text(r, idCol) == "2")
            rowOf2 = r;
    }
    ASSERT_GE(rowOf2, 0);
    grid.setCurrentCell(rowOf2, 3);

    QMenu* menu = mf.popMenu()->gridMenu();
    auto* followProduct = menu->findChild<QAction*>("mFollowProduct");
    auto* followShop = menu->findChild<QAction*>("mFollowShop");
    auto* unfollow = menu->findChild<QAction*>("mUnfollowProduct");
    ASSERT_TRUE(followProduct && followShop && unfollow);
    // Offered on the product lists only.
    emit mf.analysisPage()->gridExportRequested(mf.analysisPage()->subPage(0)->gridView(), {});
    menu->hide();
    EXPECT_FALSE(followProduct->isVisible());
    emit list->exportRequested(list, {});
    menu->hide();
    EXPECT_TRUE(followProduct->isVisible());

    followProduct->trigger();
    followShop->trigger();
    EXPECT_EQ(mf.hintLabel()->text(), "已关注 1 个店铺");
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        EXPECT_EQ(grid.text(r, star), grid.text(r, idCol) == "2" ? "★" : "") << r;
    EXPECT_EQ(count("关注表"), 2);
    unfollow->trigger();
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        EXPECT_EQ(grid.text(r, star), "") << r;
    EXPECT_EQ(count("关注表"), 1) << "the shop stays followed";
}
