// SPDX-License-Identifier: GPL-3.0-or-later
// A first use on a laptop screen of 1366x768 (the test runs on such an offscreen screen), as
// a newcomer meets the program: the whole window and its hint label in sight, a place that
// is kept but always fits the screen, a marketplace that does not answer told once and
// never behind the progress window, exports that land where the user expects, and a product
// chooser that can find, tick all and tick none.
#include "analysis/ui/chart_view.h"
#include "download/ui/download_window.h"
#include "exports/export_path.h"
#include "exports/ui/pop_menu.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "market/test_server.h"
#include "search/ui/search_panel.h"
#include "shell/analysis_page.h"
#include "shell_fixture.h"
#include "views/lists.h"
#include "views/ui/list_views.h"
#include "views/ui/product_chooser.h"
#include "web/market.h"
#include "widgets/indicator.h"
#include "widgets/window_helpers.h"
#include "widgets/window_placement.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>

using namespace quel;

namespace {

const QString kIndicatorCaption = QStringLiteral("Dovrel进度指示器");

void settle(int ms = 400)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The whole of a widget, on the screen.
QRect onScreen(const QWidget* widget)
{
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

class FirstUse : public test::ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // What the user was told, and what of it came while the progress window was up.
        widgets::Dialogs::setShownObserver([this](const QString& text) {
            m_told << text;
            if (widgets::IsWindowOpen(kIndicatorCaption))
                m_behindProgress << text;
        });
    }
    void TearDown() override
    {
        web::SetMarket(web::PublicMarket());
        ShellTest::TearDown();
    }

    static QRect workArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    // The address of a marketplace that has just gone away: nothing listens there.
    static QString goneMarket()
    {
        std::string base;
        {
            market::TestServer gone;
            base = gone.baseUrl();
        }
        return QString::fromStdString(base);
    }
    qint64 addProduct(const QString& code, const QString& name, const QString& shop, int sold)
    {
        exec(QStringLiteral("INSERT INTO 产品表(PCode,KWord,PName,P_Name,SName,Num9,Style) "
                            "VALUES('%1','笔','%2','%2','%3',%4,'')")
                 .arg(code, name, shop)
                 .arg(sold));
        db::Connection conn;
        db::Recordset rs;
        window().db().OpenRecordset(conn, rs, "SELECT MAX(ID) AS n FROM 产品表");
        return rs.field("n").toLongLong();
    }
    long notDownloaded() { return count("产品表 WHERE Style=''"); }

    QStringList m_told;
    QStringList m_behindProgress;
};

} // namespace

TEST_F(FirstUse, TheWindowAndItsHintLabelFitALaptopScreen)
{
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1366, 768))
        << "the test needs its laptop screen";
    shell::MainWindow& mf = window();
    mf.show();
    settle();
    EXPECT_TRUE(workArea().contains(mf.frameGeometry()))
        << mf.frameGeometry().width() << "x" << mf.frameGeometry().height();
    ASSERT_TRUE(mf.hintLabel()->isVisible());
    EXPECT_TRUE(workArea().contains(onScreen(mf.hintLabel())));

    // On every page, down to the smallest window allowed, the hint label stays in the window
    // and the analysis pages' range boxes can be reached.
    mf.resize(mf.minimumSize());
    settle(100);
    EXPECT_EQ(mf.size(), mf.minimumSize());
    for (int page = 0; page < mf.tabs()->count(); ++page) {
        mf.tabs()->setCurrentIndex(page);
        QCoreApplication::processEvents();
        EXPECT_TRUE(mf.rect().contains(
            QRect(mf.hintLabel()->mapTo(&mf, QPoint(0, 0)), mf.hintLabel()->size())))
            << "page " << page;
    }
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    for (int i = 0; i < 5; ++i) {
        mf.analysisPage()->tabs()->setCurrentIndex(i);
        QCoreApplication::processEvents();
        shell::AnalysisSubPage* page = mf.analysisPage()->subPage(i);
        EXPECT_GE(page->chart()->height(), 200) << "analysis page " << i;
        QLineEdit* end = page->endBox();
        ASSERT_TRUE(end->isVisible()) << "analysis page " << i;
        end->setFocus();
        // A box out of view is scrolled to, as a user tabbing to it would find it.
        auto* scroll = page->findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        scroll->ensureWidgetVisible(end);
        QCoreApplication::processEvents();
        EXPECT_TRUE(mf.rect().contains(QRect(end->mapTo(&mf, QPoint(0, 0)), end->size())))
            << "analysis page " << i;
    }
    mf.hide();
}

TEST_F(FirstUse, ThePlaceIsKeptAndClampedOntoTheScreenItLandsOn)
{
    // Left on a larger screen, bottom right: brought back whole onto this one.
    widgets::SaveWindowFrame(QStringLiteral("MF"), QRect(700, 400, 1920, 1080));
    window().show();
    settle();
    EXPECT_TRUE(workArea().contains(window().frameGeometry()));
    EXPECT_EQ(window().frameGeometry().size(), workArea().size());

    // Moved and resized by the user, it comes back there next time.
    window().setGeometry(QRect(120, 60, 900, 600));
    settle(100);
    const QRect left = window().frameGeometry();
    window().hide();
    m_window.reset();
    window().show();
    settle();
    EXPECT_EQ(window().frameGeometry(), left);
    window().hide();

    // The clamping itself: moved in first, shrunk only where it must be.
    const QRect area(0, 0, 1366, 738);
    EXPECT_EQ(
        widgets::FitFrameIntoArea(QRect(1000, 500, 800, 600), area), QRect(566, 138, 800, 600));
    EXPECT_EQ(widgets::FitFrameIntoArea(QRect(-50, -20, 2000, 900), area), area);
    EXPECT_EQ(widgets::FitFrameIntoArea(QRect(10, 10, 300, 200), area), QRect(10, 10, 300, 200));
    // Nothing saved: the default size, centred in the work area.
    const QRect first = widgets::PlacedFrame(std::nullopt, QSize(1280, 800));
    EXPECT_EQ(first.size(), QSize(1280, 768).boundedTo(workArea().size()));
    EXPECT_LE(std::abs(first.center().x() - workArea().center().x()), 1);
}

TEST_F(FirstUse, ASearchOfAnUnreachableMarketSaysWhyOnceAndGivesThePagesBack)
{
    const QString gone = goneMarket();
    web::SetMarket(web::MarketAt(gone));
    shell::MainWindow& mf = window();
    mf.show();
    test::answerWindow("搜索条件设置", { "手机", QString() }, "Com_1");
    mf.com(0)->click();

    ASSERT_EQ(m_told.size(), 1) << m_told.join(" | ").toStdString();
    EXPECT_TRUE(m_told[0].startsWith("下载网页失败！\n地址：" + gone)) << m_told[0].toStdString();
    EXPECT_TRUE(m_told[0].endsWith("原因：无法连接（连接被拒绝）")) << m_told[0].toStdString();
    EXPECT_TRUE(m_behindProgress.isEmpty());
    EXPECT_FALSE(widgets::IsWindowOpen(kIndicatorCaption));
    // The page view over the tabs has gone; the tab pages are back.
    for (const auto* panel : mf.findChildren<search::SearchPanel*>())
        EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(mf.tabs()->currentWidget()->isVisible());
    EXPECT_TRUE(mf.hintLabel()->text().startsWith("产品搜索失败：下载网页失败（" + gone))
        << mf.hintLabel()->text().toStdString();
    EXPECT_EQ(count("产品表"), 0);
    mf.hide();
}

TEST_F(FirstUse, DownloadsOfAnUnreachableMarketStartNothingAndMarkNothing)
{
    addProduct("101", "钢笔", "红店", 3);
    addProduct("102", "铅笔", "蓝店", 5);
    const QString gone = goneMarket();
    web::SetMarket(web::MarketAt(gone));
    shell::MainWindow& mf = window();
    mf.show();
    mf.tabs()->setCurrentIndex(1);
    const long waiting = notDownloaded();
    ASSERT_EQ(waiting, 2);

    QElapsedTimer clock;
    clock.start();
    for (int command : { 13, 10 }) {
        m_told.clear();
        mf.com(command)->click();
        EXPECT_EQ(download::DownloadWindow::current(), nullptr) << "Com " << command;
        ASSERT_EQ(m_told.size(), 1) << "Com " << command;
        EXPECT_TRUE(m_told[0].startsWith("无法连接市场：" + gone)) << m_told[0].toStdString();
        EXPECT_TRUE(m_told[0].contains("连接被拒绝")) << m_told[0].toStdString();
    }
    EXPECT_LT(clock.elapsed(), 5000) << "a refused connection is known at once";
    EXPECT_TRUE(m_behindProgress.isEmpty());
    EXPECT_EQ(notDownloaded(), waiting) << "no product was marked as tried";
    mf.hide();
}

TEST_F(FirstUse, AMessageClosesTheProgressWindowBeforeItShows)
{
    core::Feedback& feedback = window().feedback();
    feedback.indicatorStart("正在统计数据……", 10, 0);
    ASSERT_TRUE(widgets::IsWindowOpen(kIndicatorCaption));
    feedback.message("数据库打开错误！");
    EXPECT_EQ(m_told, QStringList { "数据库打开错误！" });
    EXPECT_TRUE(m_behindProgress.isEmpty());
    EXPECT_FALSE(feedback.isIndicatorOpen());
    // Steps after it do no harm and open nothing again.
    feedback.indicatorStep(1, "pages");
    EXPECT_FALSE(widgets::IsWindowOpen(kIndicatorCaption));
}

TEST_F(FirstUse, ExportsTakeTheChosenExtensionTheLastFolderAndSayWhere)
{
    // The typed name's own extension wins; a name without one gets the chosen filter's.
    const QString xlsx = "MS Excel文件  (*.xlsx)";
    EXPECT_EQ(exports::WithFilterExtension("/d/stats", xlsx), "/d/stats.xlsx");
    EXPECT_EQ(exports::WithFilterExtension("/d/stats.", xlsx), "/d/stats.xlsx");
    EXPECT_EQ(exports::WithFilterExtension("/d/stats.csv", xlsx), "/d/stats.csv");
    EXPECT_EQ(
        exports::WithFilterExtension("/d.v2/stats", "CSV (逗号分隔)(*.csv)"), "/d.v2/stats.csv");
    EXPECT_EQ(exports::WithFilterExtension("/d/stats", "所有文件 (*)"), "/d/stats");

    addProduct("101", "钢笔", "红店", 3);
    shell::MainWindow& mf = window();
    mf.runCommand(1);
    exports::PopMenu* menu = mf.popMenu();
    menu->setGrid(mf.listViews()->grid(0)->grid());
    ASSERT_TRUE(QDir(folder()).mkpath("out"));
    const QString out = file("out");

    widgets::Dialogs::setNextFileName(out + "/stats", xlsx);
    ASSERT_TRUE(menu->exportGrid());
    ASSERT_TRUE(QFile::exists(out + "/stats.xlsx"));
    EXPECT_FALSE(QFile::exists(out + "/stats"));
    EXPECT_EQ(mf.hintLabel()->text(), "已导出到 " + QDir::toNativeSeparators(out + "/stats.xlsx"));
    // The next dialog opens where this file went, also after a restart.
    EXPECT_EQ(exports::PopMenu::exportFolder(), out);

    widgets::Dialogs::setNextFileName(out + "/list", "CSV (逗号分隔)(*.csv)");
    ASSERT_TRUE(menu->exportGrid());
    QFile csv(out + "/list.csv");
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(csv.readAll()).contains("钢笔"));

    // The chart's picture goes the same way.
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    menu->setPicture(mf.analysisPage()->subPage(0)->chart());
    widgets::Dialogs::setNextFileName(out + "/chart", "JPG格式(*.jpg)");
    ASSERT_TRUE(menu->exportPicture());
    EXPECT_TRUE(QFile::exists(out + "/chart.jpg"));
    EXPECT_EQ(mf.hintLabel()->text(), "已导出到 " + QDir::toNativeSeparators(out + "/chart.jpg"));
    EXPECT_TRUE(m_told.isEmpty()) << m_told.join(" | ").toStdString();
}

TEST_F(FirstUse, TheChooserFindsTicksAllOrNoneAndShowsShopAndSales)
{
    const qint64 red1 = addProduct("101", "钢笔", "红店", 3);
    addProduct("102", "钢笔", "蓝店", 9);
    const qint64 red2 = addProduct("103", "铅笔", "红店", 5);
    auto* chooser = new views::ProductChooser(window().db(), QString());
    QPointer<views::ProductChooser> guard(chooser);
    chooser->show();
    settle(100);
    grid::GridModel& grid = *chooser->grid()->grid();
    const int shop = grid.columnOfField("SName");
    const int sold = grid.columnOfField("Num9");
    ASSERT_GE(shop, 0);
    EXPECT_EQ(grid.title(shop), "店铺");
    // Products of the same short name are told apart by their shop, and the sales figure
    // is in view without scrolling.
    const grid::GridView* view = chooser->grid();
    EXPECT_LE(
        view->columnViewportPosition(sold) + view->columnWidth(sold), view->viewport()->width());

    // Finding narrows the rows; 全选 ticks just those, 全不选 clears all.
    chooser->findBox()->setText("红店");
    EXPECT_EQ(chooser->shownRows().size(), 2);
    chooser->findChild<QAbstractButton*>("Com_2")->click();
    EXPECT_EQ(views::productIds(views::chosenProducts(grid).ids),
        (QStringList { QString::number(red2), QString::number(red1) }))
        << "best sellers first";
    // A sort by a heading keeps the search.
    grid::sortByColumn(grid, sold);
    EXPECT_EQ(chooser->shownRows().size(), 2);
    for (int row : chooser->shownRows())
        EXPECT_EQ(grid.text(row, shop), "红店");
    chooser->findBox()->clear();
    EXPECT_EQ(chooser->shownRows().size(), 3);
    chooser->findChild<QAbstractButton*>("Com_2")->click();
    EXPECT_EQ(views::productIds(views::chosenProducts(grid).ids).size(), 3);
    chooser->findChild<QAbstractButton*>("Com_3")->click();
    EXPECT_TRUE(views::chosenProducts(grid).ids.isEmpty());
    chooser->findBox()->setText("铅");
    EXPECT_EQ(chooser->shownRows().size(), 1);
    chooser->close();
    settle(50);
    EXPECT_FALSE(guard);
}

TEST_F(FirstUse, AnalysisPagesOfferTheLastChoiceAndAskForProductsFirst)
{
    const qint64 pen = addProduct("101", "钢笔", "红店", 3);
    addProduct("102", "铅笔", "蓝店", 9);
    shell::MainWindow& mf = window();
    mf.tabs()->setCurrentWidget(mf.analysisPage());
    // The sales cycle without products says so instead of drawing an empty chart.
    mf.runCommand(44);
    EXPECT_EQ(m_told, QStringList { "请先选择产品" });
    EXPECT_FALSE(mf.analysisPage()->subPage(3)->gridModel()->hasDataRows());

    // Chosen on the trade page, offered ticked on the sales-cycle page.
    QString offered;
    const auto answer = [&offered](bool tickPen, qint64 id) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, &offered, tickPen, id] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* chooser = qobject_cast<views::ProductChooser*>(w);
                if (!chooser || !chooser->isVisible())
                    continue;
                poll->deleteLater();
                grid::GridModel& grid = *chooser->grid()->grid();
                offered = views::chosenProducts(grid).ids;
                if (tickPen) {
                    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
                        if (grid.text(r, 0) == QString::number(id))
                            views::setProductChoiceMarks(grid, { r }, true);
                    }
                }
                chooser->confirmButton()->click();
                return;
            }
        });
        poll->start(10);
    };
    answer(true, pen);
    mf.runCommand(43);
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_EQ(views::productBoxTag(mf.textBox("tPName2")), QString::number(pen) + "；");
    answer(false, pen);
    mf.runCommand(52);
    EXPECT_EQ(offered, QString::number(pen) + "；");
    EXPECT_EQ(views::productBoxTag(mf.textBox("tPName4")), QString::number(pen) + "；");
}
