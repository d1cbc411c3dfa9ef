// The lists as the running program shows them: the real main window, its buttons, combos,
// pages and hint label, with dialogs answered through the test hooks.
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "shell/shell_fixture.h"
#include "views/ui/list_views.h"
#include "views/ui/product_chooser.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

using namespace quel;

namespace {

class ListsInMainWindow : public test::ShellTest
{
protected:
    void addProducts()
    {
        exec("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SName,Price,MFee,Num9) "
             "VALUES('笔','1','A','钢笔','甲店',5,0,3)");
        exec("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SName,Price,MFee,Num9) "
             "VALUES('笔','2','B','铅笔','乙店',1,10,8)");
        exec("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
             "VALUES(1,'b1','小明',#2010-4-12#,5,2)");
        exec("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
             "VALUES(2,'b2','小红',#2010-4-13#,1,6)");
        exec("INSERT INTO 客户表(BCode) VALUES('b1')");
        exec("INSERT INTO 客户表(BCode) VALUES('b2')");
    }
    grid::GridModel& grid(int list)
    {
        return *window().findChild<grid::GridView*>(QStringLiteral("MSF_%1").arg(list))->grid();
    }
    QComboBox* combo(int index)
    {
        return window().findChild<QComboBox*>(QStringLiteral("Cmb_%1").arg(index));
    }
};

} // namespace

TEST_F(ListsInMainWindow, ButtonsPagesAndFiltersRebuildTheProductLists)
{
    addProducts();
    window().runCommand(1);
    EXPECT_EQ(grid(0).dataRowCount(), 2);
    EXPECT_EQ(window().hintLabel()->text(), "显示产品记录数：2；共有记录数：2");
    EXPECT_EQ(combo(0)->itemText(0), "3|产品类别") << "the column combo was filled at start-up";

    // 邮费 = 10 through the combos, as the user picks them.
    combo(0)->setCurrentIndex(combo(0)->findText("8|邮费"));
    emit combo(0)->activated(combo(0)->currentIndex());
    combo(2)->setCurrentIndex(combo(2)->findText("10"));
    window().runCommand(1);
    EXPECT_EQ(grid(0).dataRowCount(), 1);
    EXPECT_EQ(grid(0).text(2, 6), "铅笔");

    // Showing the details page refreshes the detail list.
    window().tabs()->setCurrentIndex(1);
    EXPECT_EQ(grid(1).dataRowCount(), 2);
    window().tabs()->setCurrentIndex(0);
    EXPECT_EQ(grid(0).dataRowCount(), 1) << "the filter still holds";
}

TEST_F(ListsInMainWindow, DeleteButtonsRemoveTheSelectedProductsAfterYes)
{
    addProducts();
    window().runCommand(11);
    grid(1).setCurrentCell(2, 3);
    grid(1).setSelectionEnd(3, 3);
    widgets::Dialogs::setNextAnswer(widgets::Dialogs::Answer::Yes);
    window().runCommand(12);
    EXPECT_EQ(widgets::Dialogs::takeShownTexts(), QStringList { "您确定要删除第1至第2产品？" });
    EXPECT_EQ(count("产品表"), 0);
    EXPECT_EQ(count("交易表"), 0);
    EXPECT_EQ(count("客户表"), 2);
    EXPECT_FALSE(grid(1).hasDataRows());
    EXPECT_TRUE(window().isEnabled());
}

TEST_F(ListsInMainWindow, PickButtonsFillTheSalesAndBuyerLists)
{
    addProducts();
    for (int command : { 21, 30 }) {
        // The chooser shows up once its grid is filled (the progress window lets events
        // run meanwhile), so look for it until it is there.
        auto* poll = new QTimer(&window());
        QObject::connect(poll, &QTimer::timeout, poll, [poll] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* chooser = qobject_cast<views::ProductChooser*>(w);
                    chooser && chooser->isVisible()) {
                    poll->deleteLater();
                    grid::clickCheckMark(*chooser->grid()->grid(), false, { 1, 3 }, true);
                    chooser->confirmButton()->click();
                    return;
                }
            }
        });
        poll->start(10);
        window().runCommand(command);
    }
    EXPECT_EQ(window().textBox("tPName")->text(), "铅笔；钢笔；");
    EXPECT_EQ(grid(2).dataRowCount(), 2);
    EXPECT_EQ(grid(2).text(2, 8), "6") << "largest quantity first";
    EXPECT_EQ(grid(3).dataRowCount(), 2);
    EXPECT_EQ(window().hintLabel()->text(), "显示产品记录数：2；共有记录数：2");
}
