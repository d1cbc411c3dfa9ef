// The main window around its longer jobs, driven as a user drives it: the category change
// of the product list, a search and a download window, each followed by what the lists
// and the hint label show afterwards.
#include "download/ui/download_window.h"
#include "grid/grid_model.h"
#include "grid/ui/grid_view.h"
#include "market/fixtures.h"
#include "market/test_server.h"
#include "shell/list_pages.h"
#include "shell_fixture.h"
#include "store/database_pool.h"
#include "views/ui/list_views.h"
#include "web/market.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

using namespace quel;

namespace {

using test::answerWindow;

class MainWindowJobs : public test::ShellTest
{
protected:
    grid::GridModel& grid(int list)
    {
        return *window().findChild<grid::GridView*>(QStringLiteral("MSF_%1").arg(list))->grid();
    }
    qint64 addProduct(const QString& code, const QString& category)
    {
        exec("INSERT INTO 产品表(PCode,KWord,PName) VALUES('" + code + "','" + category + "','"
            + code + "')");
        db::Connection conn;
        db::Recordset rs;
        window().db().OpenRecordset(conn, rs, "SELECT MAX(ID) AS n FROM 产品表");
        return rs.field("n").toLongLong();
    }
    QString categoryOf(qint64 id)
    {
        return window().db().LookupValue("产品表", id, "ID", "KWord").toString();
    }
    // The grid row of the product list that shows a product.
    int rowOf(qint64 id)
    {
        grid::GridModel& list = grid(0);
        const int idColumn = list.columnOfField("ID");
        for (int r = list.fixedRows(); r < list.rows(); ++r) {
            if (list.text(r, idColumn) == QString::number(id))
                return r;
        }
        return -1;
    }
    QString shownCategory(qint64 id)
    {
        grid::GridModel& list = grid(0);
        const int row = rowOf(id);
        return row < 0 ? QStringLiteral("(not shown)")
                       : list.text(row, list.columnOfField("KWord"));
    }
    void selectRows(int from, int to)
    {
        grid(0).setCurrentCell(from, 4);
        grid(0).setSelectionEnd(to, 4);
    }
    void restart()
    {
        m_window.reset();
        store::DatabasePool::shared().releaseAll();
    }
};

} // namespace

TEST_F(MainWindowJobs, CategoryChangeStoresExactlyTheSelectedProducts)
{
    // Item codes that look like other products' IDs, and one with "-".
    const qint64 first = addProduct("9", "旧");
    const qint64 dashed = addProduct("38-4417", "旧");
    const qint64 lookalike = addProduct(QString::number(first), "旧");
    const qint64 last = addProduct("7", "旧");
    window().runCommand(1);
    ASSERT_EQ(grid(0).fieldName(0), "PCode");
    ASSERT_EQ(grid(0).fieldName(1), "ID");

    // Two rows, selected from the bottom up: the lookalike and the dashed code.
    selectRows(rowOf(dashed), rowOf(lookalike));
    answerWindow("产品类别选择", { "新类别" }, "Com_1");
    window().com(2)->click();
    EXPECT_EQ(categoryOf(dashed), "新类别");
    EXPECT_EQ(categoryOf(lookalike), "新类别");
    EXPECT_EQ(categoryOf(first), "旧") << "the product whose ID equals an item code";
    EXPECT_EQ(categoryOf(last), "旧");
    EXPECT_EQ(shownCategory(dashed), "新类别");
    EXPECT_EQ(shownCategory(lookalike), "新类别");
    EXPECT_EQ(shownCategory(first), "旧");
    EXPECT_TRUE(window().isEnabled());

    // Cancelled: nothing changes.
    selectRows(rowOf(last), rowOf(last));
    answerWindow("产品类别选择", { "不要" }, "Com_0");
    window().com(2)->click();
    EXPECT_EQ(categoryOf(last), "旧");
    EXPECT_EQ(shownCategory(last), "旧");

    // A product deleted behind the list's back is not shown with a category it never got.
    exec("DELETE * FROM 产品表 WHERE ID=" + QString::number(last));
    selectRows(rowOf(last), rowOf(lookalike));
    answerWindow("产品类别选择", { "第三" }, "Com_1");
    window().com(2)->click();
    EXPECT_EQ(shownCategory(last), "旧");
    EXPECT_EQ(shownCategory(lookalike), "第三");
    EXPECT_EQ(categoryOf(lookalike), "第三");

    // The categories stay after a refresh and after the program starts again.
    window().runCommand(1);
    EXPECT_EQ(shownCategory(dashed), "新类别");
    EXPECT_EQ(shownCategory(lookalike), "第三");
    EXPECT_EQ(shownCategory(first), "旧");
    restart();
    EXPECT_EQ(shownCategory(dashed), "新类别");
    EXPECT_EQ(shownCategory(lookalike), "第三");
    EXPECT_EQ(shownCategory(first), "旧");
}

TEST_F(MainWindowJobs, SearchShowsItsProductsAndSummary)
{
    market::TestServer market;
    ASSERT_TRUE(market.isRunning());
    web::SetMarket(web::MarketAt(QString::fromStdString(market.baseUrl())));
    addProduct("1", "旧");
    window().runCommand(1);
    ASSERT_EQ(grid(0).dataRowCount(), 1);

    answerWindow("搜索条件设置",
        { QString::fromStdString(market::Fixtures::threePageKeyword()), QString() }, "Com_1");
    window().com(0)->click();
    const long stored = count("产品表");
    ASSERT_GT(stored, 80);
    // The list in view shows the new products without a refresh.
    EXPECT_EQ(grid(0).dataRowCount(), stored);
    const QString hint = window().hintLabel()->text();
    EXPECT_TRUE(
        hint.startsWith(QString("产品搜索完成：新增产品 %1 个，更新产品 0 个。").arg(stored - 1)))
        << hint.toStdString();
    EXPECT_TRUE(hint.contains(QString("共有记录数：%1").arg(stored))) << hint.toStdString();

    // The same search again updates what it finds.
    window().tabs()->setCurrentIndex(1);
    answerWindow("搜索条件设置",
        { QString::fromStdString(market::Fixtures::threePageKeyword()), QString() }, "Com_1");
    window().runCommand(0);
    EXPECT_TRUE(window().hintLabel()->text().startsWith(
        QString("产品搜索完成：新增产品 0 个，更新产品 %1 个。").arg(stored - 1)))
        << window().hintLabel()->text().toStdString();
    EXPECT_EQ(grid(1).dataRowCount(), stored);
    web::SetMarket(web::PublicMarket());
}

TEST_F(MainWindowJobs, DownloadWindowOpensCentredAndLeavesItsResultInView)
{
    qputenv("QUELFETCH_PROGRAM", QUEL_FAKE_WORKER);
    // The window asks the marketplace first; the stand-in worker never goes there.
    market::TestServer market;
    ASSERT_TRUE(market.isRunning());
    web::SetMarket(web::MarketAt(QString::fromStdString(market.baseUrl())));
    QDir::setCurrent(folder());
    const qint64 a = addProduct("item:2", "笔");
    addProduct("die", "笔");
    addProduct("item:1", "笔");
    window().show();
    window().tabs()->setCurrentIndex(1);
    grid::GridModel& details = grid(1);
    const int dateColumn = details.columnOfField("dDat");
    ASSERT_EQ(details.dataRowCount(), 3);
    EXPECT_TRUE(details.text(details.fixedRows() + 2, dateColumn).isEmpty());

    window().com(13)->click();
    QPointer<download::DownloadWindow> down = download::DownloadWindow::current();
    ASSERT_TRUE(down);
    const QRect area = down->screen()->availableGeometry();
    EXPECT_LE(std::abs(down->frameGeometry().center().x() - area.center().x()), 2);
    EXPECT_LE(std::abs(down->frameGeometry().center().y() - area.center().y()), 2);

    QElapsedTimer clock;
    clock.start();
    while (down && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(down) << "the download window did not close itself";

    // The detail list shows the downloaded figures, and the failure stays told.
    const int row = details.fixedRows() + 2; // ID DESC: the first product is last
    ASSERT_EQ(details.text(row, details.columnOfField("ID")), QString::number(a));
    EXPECT_FALSE(details.text(row, dateColumn).isEmpty());
    EXPECT_EQ(details.text(row, details.columnOfField("Num9")), "9");
    EXPECT_EQ(window().hintLabel()->text(),
        "产品详情下载结束：完成 2 个，失败 1 个，新增交易记录 3 条，新增买家 3 个；"
        "这 1 个会在下次“下载未下载过产品”时重试。  显示产品记录数：3；共有记录数：3");
    window().hide();
    qunsetenv("QUELFETCH_PROGRAM");
    web::SetMarket(web::PublicMarket());
}
