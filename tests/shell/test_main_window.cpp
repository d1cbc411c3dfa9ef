#include "analysis/ui/chart_view.h"
#include "core/console_feedback.h"
#include "grid/grid_model.h"
#include "grid/ui/grid_view.h"
#include "shell/analysis_page.h"
#include "shell/batch.h"
#include "shell/command_line.h"
#include "shell/command_table.h"
#include "shell/list_pages.h"
#include "shell_fixture.h"
#include "views/ui/list_views.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTabWidget>

using namespace quel;
using quel::test::ShellTest;

using MainWindowTest = ShellTest;

TEST_F(MainWindowTest, StartsWithoutCatalogueOnTheDefaultDatabase)
{
    shell::MainWindow& mf = window();
    EXPECT_EQ(mf.objectName(), "MF");
    EXPECT_EQ(mf.windowTitle(), "quelmar软件1.21");
    EXPECT_EQ(mf.catalogue().currentDatabaseFile(), "DATA.mdb");
    EXPECT_EQ(mf.databaseLabel()->text(), "默认");
    EXPECT_EQ(mf.databaseLabel()->toolTip(), "当前使用的数据库名称。");
    EXPECT_EQ(mf.findChild<QLabel*>("lDBName")->text(), "当前数据库：");
    EXPECT_EQ(mf.tabs()->currentIndex(), 0);
    // Each list writes its record-count line when it is built; the buyer list comes last.
    EXPECT_EQ(mf.hintLabel()->text(), "显示产品记录数：0；共有记录数：0");
    EXPECT_FALSE(QFile::exists(file("DB.txt")));
}

TEST_F(MainWindowTest, StartsOnTheDatabaseTheCatalogueNamesFirst)
{
    writeCatalogue({ "甲库", folder() + "/DATA1.mdb", "默认", folder() + "/DATA.mdb" });
    QFile::copy(file("Null_Data.mdb"), file("DATA1.mdb"));
    EXPECT_EQ(window().catalogue().currentDatabaseFile(), "DATA1.mdb");
    EXPECT_EQ(window().databaseLabel()->text(), "甲库");
    EXPECT_EQ(count("产品表"), 0);
}

TEST_F(MainWindowTest, EmptyCatalogueCountsAsMissing)
{
    m_dir.write("DB.txt", "");
    EXPECT_EQ(window().catalogue().currentDatabaseFile(), "DATA.mdb");
    EXPECT_EQ(window().databaseLabel()->text(), "默认");
}

TEST_F(MainWindowTest, UnopenableDatabaseStillOpensTheWindow)
{
    writeCatalogue({ "丢失", folder() + "/DATA7.mdb", "默认", folder() + "/DATA.mdb" });
    shell::MainWindow& mf = window();
    EXPECT_EQ(mf.databaseLabel()->text(), "丢失");
    // Said once, naming the file; the lists stay empty.
    EXPECT_EQ(widgets::Dialogs::takeShownTexts(),
        QStringList { "无法建立数据库连接！\n" + folder() + "/DATA7.mdb" });
    EXPECT_EQ(mf.listViews()->grid(0)->grid()->dataRowCount(), 0);
    mf.show();
    EXPECT_TRUE(mf.isVisible());
    mf.hide();
}

TEST_F(MainWindowTest, ListsShowTheDatabaseAndClearingEmptiesThem)
{
    exec("INSERT INTO 产品表 (PCode, P_Name, Price) VALUES ('1', '甲', 5)");
    exec("INSERT INTO 产品表 (PCode, P_Name, Price) VALUES ('2', '乙', 6)");
    window().startUp();
    grid::GridModel* products = window().listViews()->grid(0)->grid();
    EXPECT_EQ(products->dataRowCount(), 2);
    EXPECT_EQ(window().findChild<QWidget*>("MSF_0"), window().listViews()->grid(0));

    window().ClearDB();
    for (int list = 0; list < 4; ++list) {
        grid::GridModel* grid = window().listViews()->grid(list)->grid();
        EXPECT_EQ(grid->rows(), grid->fixedRows()) << list;
    }
    EXPECT_EQ(count("产品表"), 0);
}

TEST_F(MainWindowTest, EveryNamedControlExists)
{
    shell::MainWindow& mf = window();
    const char* const names[] = { "SST", "SST1", "DBName", "lDBName", "LBL", "WB", "EWB", "tPName",
        "tPName1", "tPName2", "tPName3", "tPName4" };
    for (const char* name : names)
        EXPECT_NE(mf.findChild<QWidget*>(name), nullptr) << name;
    for (int i = 0; i < 6; ++i)
        EXPECT_NE(mf.findChild<QWidget*>(QString("Pic_%1").arg(i)), nullptr) << i;
    for (int i = 0; i < 4; ++i) {
        for (const char* array : { "MSF_%1", "MSF1_%1", "GP_%1", "Pic1_%1" })
            EXPECT_NE(mf.findChild<QWidget*>(QString(array).arg(i)), nullptr) << array << i;
    }
    for (int i = 0; i < 6; ++i)
        EXPECT_NE(mf.findChild<QComboBox*>(QString("Cmb_%1").arg(i)), nullptr) << i;
    EXPECT_EQ(mf.findChild<QLineEdit*>("SRow_0")->text(), "1");
    EXPECT_EQ(mf.findChild<QLineEdit*>("ERow_0")->text(), "40");
    EXPECT_EQ(mf.tabs()->count(), 7);
    EXPECT_EQ(mf.tabs()->tabText(4), "变化") << "after 买家资讯";
    EXPECT_EQ(mf.tabs()->tabText(6), "使用帮助");
    EXPECT_EQ(mf.analysisPage()->tabs()->count(), 6);
    EXPECT_EQ(mf.analysisPage()->tabs()->tabText(4), "价格走势");

    // Every button: on its page, no caption, its picture and tooltip.
    for (const shell::CommandEntry& entry : shell::commandEntries()) {
        QAbstractButton* button = mf.com(entry.index);
        ASSERT_NE(button, nullptr) << entry.index;
        EXPECT_TRUE(button->text().isEmpty());
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(entry.tooltip));
        EXPECT_TRUE(mf.tabs()->widget(entry.page)->isAncestorOf(button)) << entry.index;
        if (entry.subPage >= 0) {
            EXPECT_TRUE(mf.analysisPage()->subPage(entry.subPage)->isAncestorOf(button));
        }
    }
    EXPECT_EQ(mf.com(0)->toolTip(), "按用户输入的关键词搜索产品，并下载基本资讯。");
}

TEST_F(MainWindowTest, OnePicturePerActionOnEveryPageAndMenu)
{
    shell::MainWindow& mf = window();
    const auto picture = [](const QIcon& icon) { return icon.pixmap(24, 24).toImage(); };
    const auto& entries = shell::commandEntries();
    for (const shell::CommandEntry& a : entries) {
        const QImage shown = picture(mf.com(a.index)->icon());
        ASSERT_FALSE(shown.isNull()) << a.index;
        for (const shell::CommandEntry& b : entries) {
            const bool same = shown == picture(mf.com(b.index)->icon());
            EXPECT_EQ(same, a.action == b.action) << a.index << " and " << b.index;
        }
    }
    // Refresh and the two downloads, as the user met them mixed up.
    const auto action = [](int index) { return shell::findCommandEntry(index)->action; };
    EXPECT_EQ(action(1), action(11));
    EXPECT_EQ(action(10), action(32));
    EXPECT_EQ(action(13), action(31));
    EXPECT_NE(action(1), action(10));
    EXPECT_NE(action(2), action(11));
    const std::pair<const char*, int> items[] = { { "M_DownDetail", 13 }, { "M_RedownDetail", 10 },
        { "M_DownCustomer", 31 }, { "M_RedownCustomer", 32 } };
    for (const auto& [name, index] : items) {
        EXPECT_EQ(picture(mf.findChild<QAction*>(name)->icon()), picture(mf.com(index)->icon()))
            << name;
    }
}

TEST_F(MainWindowTest, MenusCarryTheirCaptions)
{
    const std::pair<const char*, const char*> items[] = {
        { "M_ClearDB", "清空数据库" },
        { "M_CompDB", "压缩数据库" },
        { "M_NewDB", "新建数据库" },
        { "M_SelDB", "选择数据库" },
        { "M_DelDB", "删除数据库" },
        { "M_Exit", "退      出" },
        { "M_DownByKey", "按关键词下载产品" },
        { "M_DownDetail", "下载未下载过产品" },
        { "M_RedownDetail", "更新所有产品详情" },
        { "M_DownCustomer", "下载新客户资讯" },
        { "M_RedownCustomer", "更新客户资讯" },
        { "m_Replace", "产品替换设置" },
        { "M_UserHelp", "使用说明" },
        { "M_QQHelp1", "QQ在线帮助1" },
        { "M_QQHelp2", "QQ在线帮助2" },
    };
    for (const auto& [name, text] : items) {
        auto* action = window().findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->text(), QString::fromUtf8(text)) << name;
    }
    EXPECT_NE(window().findChild<QAction*>("M_About"), nullptr);
    const std::pair<const char*, const char*> menus[]
        = { { "m_File", "文件" }, { "M_Down", "下载" }, { "m_Set", "设置" }, { "M_Help", "帮助" } };
    for (const auto& [name, title] : menus) {
        auto* menu = window().findChild<QMenu*>(name);
        ASSERT_NE(menu, nullptr) << name;
        EXPECT_EQ(menu->title(), QString::fromUtf8(title));
    }
}

TEST_F(MainWindowTest, DispatchByIndexAndMenuItems)
{
    shell::MainWindow& mf = window();
    mf.com(13)->click();
    EXPECT_EQ(mf.formParameter(), "Style=''");
    mf.com(10)->click();
    EXPECT_EQ(mf.formParameter(), "");
    mf.com(31)->click();
    EXPECT_EQ(mf.formParameter(), "rDat=#1900-1-1#");
    trigger("M_RedownCustomer");
    EXPECT_EQ(mf.formParameter(), "");
    trigger("M_DownDetail");
    EXPECT_EQ(mf.formParameter(), "Style=''");
    trigger("m_Replace");
    EXPECT_EQ(mf.formParameter(), "替换表");

    // Later features replace entries; indices without one do nothing.
    int ran = 0;
    mf.commands().set(40, [&ran] { ++ran; });
    mf.com(40)->click();
    mf.runCommand(99);
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(mf.commands().run(98));
}

TEST_F(MainWindowTest, PageChangesRefreshOnlyProductAndDetailLists)
{
    shell::MainWindow& mf = window();
    std::vector<int> filled;
    mf.listHooks().fill = [&filled](int list) { filled.push_back(list); };
    mf.tabs()->setCurrentIndex(1);
    mf.hintLabel()->setText("Dovrel提示：说明");
    mf.tabs()->setCurrentIndex(0);
    EXPECT_TRUE(mf.hintLabel()->text().isEmpty());
    // The list refreshed by the switch reports its own count afterwards.
    mf.listHooks().fill = [&filled, &mf](int list) {
        filled.push_back(list);
        mf.hintLabel()->setText(QString("显示产品记录数：%1").arg(list));
    };
    mf.tabs()->setCurrentIndex(1);
    EXPECT_EQ(mf.hintLabel()->text(), "显示产品记录数：1");
    mf.tabs()->setCurrentIndex(0);
    mf.tabs()->setCurrentIndex(2);
    // A page that is not refreshed keeps no hint from the page before.
    mf.hintLabel()->setText("Dovrel提示：说明");
    mf.tabs()->setCurrentIndex(3);
    EXPECT_TRUE(mf.hintLabel()->text().isEmpty());
    mf.tabs()->setCurrentIndex(4); // 变化
    mf.tabs()->setCurrentIndex(5);
    mf.tabs()->setCurrentIndex(6);
    EXPECT_EQ(filled, (std::vector<int> { 1, 0, 1, 0 }));

    filled.clear();
    std::vector<int> combos;
    mf.listHooks().fillColumnCombo = [&combos](int list) { combos.push_back(list); };
    mf.startUp();
    EXPECT_EQ(mf.tabs()->currentIndex(), 0);
    // Start-up fills all four lists; the page switch back to 0 refreshed the products too.
    EXPECT_EQ(filled.back(), 3);
    EXPECT_EQ(combos, (std::vector<int> { 0, 1 }));
    // The hint shows the count of the list in view, not of the last one filled.
    EXPECT_EQ(mf.hintLabel()->text(), "显示产品记录数：0");
    mf.tabs()->setCurrentIndex(3);
    mf.refreshLists();
    EXPECT_EQ(mf.hintLabel()->text(), "显示产品记录数：3");
}

TEST_F(MainWindowTest, LayoutKeepsProportionsAndSurvivesTinySizes)
{
    shell::MainWindow& mf = window();
    mf.resize(1280, 800);
    mf.show();
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    QCoreApplication::processEvents();
    shell::AnalysisSubPage* page = mf.analysisPage()->subPage(0);
    const double ratio = double(page->chart()->width()) / page->gridView()->width();
    EXPECT_NEAR(ratio, 3.0, 0.1);
    EXPECT_TRUE(page->isVisible());
    EXPECT_FALSE(mf.analysisPage()->subPage(1)->isVisible());
    EXPECT_FALSE(mf.listPage(0)->isVisible());

    // The list grid fills most of its page.
    mf.tabs()->setCurrentIndex(0);
    QCoreApplication::processEvents();
    QWidget* grid = mf.listPage(0)->grid();
    EXPECT_GT(grid->height(), mf.listPage(0)->height() * 3 / 4);
    EXPECT_GE(grid->width(), mf.listPage(0)->width() - 8);

    // The name stays right-aligned; a longer name pushes the caption left.
    QLabel* caption = mf.findChild<QLabel*>("lDBName");
    const int captionLeft = caption->mapTo(&mf, QPoint(0, 0)).x();
    mf.showDatabaseName("一个名字很长很长的数据库");
    QCoreApplication::processEvents();
    EXPECT_LT(caption->mapTo(&mf, QPoint(0, 0)).x(), captionLeft);
    const int right = mf.databaseLabel()->mapTo(&mf, QPoint(mf.databaseLabel()->width(), 0)).x();
    EXPECT_GT(right, mf.width() - 20);

    mf.resize(1, 1);
    QCoreApplication::processEvents();
    mf.resize(1280, 800);
    QCoreApplication::processEvents();
    EXPECT_NEAR(double(page->chart()->width()) / page->grid()->width(), 3.0, 0.1);
    mf.hide();
}

TEST(CommandLine, OptionsAndBatch)
{
    auto line = shell::ParseCommandLine({ "--data", "/d", "--market", "http://127.0.0.1:9" });
    EXPECT_TRUE(line.error.isEmpty());
    EXPECT_FALSE(line.batch);
    EXPECT_EQ(line.options, QStringList({ "--data", "/d", "--market", "http://127.0.0.1:9" }));

    line = shell::ParseCommandLine({ "--data=/d", "--batch", "search", "手机", "--nick", "x" });
    EXPECT_TRUE(line.batch);
    EXPECT_EQ(line.options, QStringList({ "--data=/d" }));
    EXPECT_EQ(line.batchArguments, QStringList({ "search", "手机", "--nick", "x" }));

    EXPECT_FALSE(shell::ParseCommandLine({ "--data" }).error.isEmpty());
    EXPECT_FALSE(shell::ParseCommandLine({ "--market", "--data", "x" }).error.isEmpty());
    EXPECT_FALSE(shell::ParseCommandLine({ "--bogus" }).error.isEmpty());
    EXPECT_TRUE(shell::ParseCommandLine({ "--help" }).help);

    // --db names this run's database: a path as given, or a server address without password.
    line = shell::ParseCommandLine({ "--db", "other/team.mdb", "--data", "/d", "--batch", "x" });
    EXPECT_TRUE(line.error.isEmpty());
    EXPECT_EQ(line.database, "other/team.mdb");
    EXPECT_EQ(line.options, QStringList({ "--data", "/d" }));
    EXPECT_EQ(shell::ParseCommandLine({ "--db=postgresql://ana@h:5432/team" }).database,
        "postgresql://ana@h:5432/team");
    for (const QStringList& missing :
        { QStringList { "--db" }, QStringList { "--db=" }, QStringList { "--db", "--batch", "x" } })
        EXPECT_EQ(shell::ParseCommandLine(missing).error, "参数 --db 缺少取值。");
    EXPECT_TRUE(shell::ParseCommandLine({ "--db", "postgresql://ana:pw@h/team" })
                    .error.contains("PGPASSWORD"));
    EXPECT_TRUE(shell::commandLineUsage().contains("--db"));
}

TEST_F(MainWindowTest, UnknownBatchCommandIsRefused)
{
    core::ConsoleFeedback feedback;
    shell::BatchContext context { folder(), window().catalogue(), window().db(), feedback };
    EXPECT_EQ(shell::RunBatch({}, context), 2);
    EXPECT_EQ(shell::RunBatch({ "no-such-command" }, context), 2);
}

TEST_F(MainWindowTest, ProgramStartsAndAnswersItsCommandLine)
{
    const QString program = test::binDir() + "/quelmar";
    ASSERT_TRUE(QFile::exists(program));
    const auto run = [&program](const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(20000));
        return std::make_pair(
            process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()));
    };
    EXPECT_EQ(run({ "--bogus" }).first, 2);
    EXPECT_EQ(run({ "--data" }).first, 2);
    const auto [code, text] = run({ "--data", folder(), "--batch", "no-such-command" });
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(text.contains("search")) << text.toStdString();

    // The window program comes up on a fresh folder and keeps running until closed.
    QProcess gui;
    gui.start(program, { "--data", file("fresh") });
    ASSERT_TRUE(gui.waitForStarted(10000));
    EXPECT_FALSE(gui.waitForFinished(1500));
    EXPECT_TRUE(QFile::exists(file("fresh/DATA.mdb")));
    gui.kill();
    gui.waitForFinished(5000);
}
