#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "list_fixture.h"
#include "views/lists.h"
#include "views/ui/list_views.h"
#include "views/ui/product_chooser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace quel::views;
using namespace quel::grid;

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test_list_views";
    static char* argv[] = { name, nullptr };
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// Records the addresses handed to the desktop instead of starting a browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QStringList urls;
public slots:
    void open(const QUrl& url) { urls << url.toString(); }
};

class ListPages : public quel::test::ListFixture
{
protected:
    void SetUp() override
    {
        app();
        ListFixture::SetUp();
        addProduct("101", "甲店", "诺基亚", 100, 10, 5);
        addProduct("102-3", "乙店", "牛仔裤", 12.5, 0, 9);
        addProduct("103", "乙店", "钢笔", 7, 10, 1);
        addTrade(1, "b1", "小明", 4);
        addTrade(2, "b2", "小红", 3);
        exec("INSERT INTO 客户表(BCode) VALUES('b1')");
        exec("INSERT INTO 客户表(BCode) VALUES('b2')");

        m_window = std::make_unique<QWidget>();
        m_window->resize(900, 500);
        for (QComboBox*& combo : m_combos)
            combo = new QComboBox(m_window.get());
        m_box = new QLineEdit(m_window.get());
        m_lists = new ListViews(*m_db, m_window.get());
        m_lists->attachFilter(0, m_combos[0], m_combos[1], m_combos[2]);
        m_lists->attachProductBox(2, m_box);
        m_lists->attachProductBox(3, m_box);
        QDesktopServices::setUrlHandler("http", &m_urls, "open");
        QDesktopServices::setUrlHandler("https", &m_urls, "open");
    }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("https");
        m_window.reset();
        ListFixture::TearDown();
    }

    GridView* show(int list)
    {
        GridView* view = m_lists->grid(list);
        view->setParent(m_window.get());
        view->setGeometry(0, 40, 880, 440);
        view->show();
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        QApplication::processEvents();
        return view;
    }

    // The centre of a data row's cell in the grid's viewport.
    QPoint cellCentre(GridView* view, int gridRow, int col)
    {
        return view->visualRect(view->grid()->index(gridRow - view->grid()->fixedRows(), col))
            .center();
    }

    std::unique_ptr<QWidget> m_window;
    QComboBox* m_combos[3] {};
    QLineEdit* m_box = nullptr;
    ListViews* m_lists = nullptr;
    UrlRecorder m_urls;
};

} // namespace

TEST_F(ListPages, FilterCombosOfferColumnsAndValuesButAcceptNoTyping)
{
    QSignalSpy hints(m_lists, &ListViews::hintChanged);
    m_lists->fill(0);
    ASSERT_EQ(hints.size(), 1);
    EXPECT_EQ(hints.last().at(0).toString(), "显示产品记录数：3；共有记录数：3");
    m_lists->fillColumnCombo(0, false);
    EXPECT_EQ(m_combos[0]->count(), 8);
    EXPECT_EQ(m_combos[0]->itemText(1), "4|卖家");
    EXPECT_EQ(m_combos[0]->itemText(7), "10|关注");
    // The price change is no column of 产品表: its values come from the history (none yet).
    EXPECT_EQ(m_combos[0]->itemText(6), "9|调价");
    m_combos[0]->setCurrentIndex(6);
    emit m_combos[0]->activated(6);
    EXPECT_EQ(m_combos[2]->count(), 2);
    EXPECT_EQ(m_combos[2]->itemText(1), "");
    EXPECT_EQ(m_combos[1]->currentText(), "=") << "the operator starts as =";

    // Choosing a column offers its values; typing changes nothing.
    m_combos[0]->setCurrentIndex(1);
    emit m_combos[0]->activated(1);
    EXPECT_EQ(m_combos[2]->count(), 3);
    EXPECT_EQ(m_combos[2]->itemText(0), "全部");
    EXPECT_EQ(m_combos[2]->itemText(1), "乙店");
    EXPECT_EQ(m_combos[2]->currentText(), "");
    QTest::keyClicks(m_combos[2], "abc");
    QTest::keyClick(m_combos[2], Qt::Key_Down);
    EXPECT_EQ(m_combos[2]->currentText(), "");

    m_combos[2]->setCurrentIndex(1);
    m_lists->fill(0);
    EXPECT_EQ(hints.last().at(0).toString(), "显示产品记录数：2；共有记录数：2");
    m_lists->fillColumnCombo(0, true);
    EXPECT_EQ(m_combos[0]->currentText(), "4|卖家") << "keeps the chosen column";
    m_combos[1]->setCurrentIndex(1);
    m_lists->fill(0);
    EXPECT_EQ(hints.last().at(0).toString(), "显示产品记录数：1；共有记录数：1") << "≠ 乙店";
}

TEST_F(ListPages, GridViewKeepsTitlesAndSerialColumnInSightAndFollowsTheSelection)
{
    m_lists->fill(0);
    GridView* view = show(0);
    GridModel& grid = *view->grid();

    EXPECT_TRUE(view->isColumnHidden(0));
    EXPECT_TRUE(view->isColumnHidden(1));
    EXPECT_TRUE(view->frozenView()->isVisible()) << "the serial column stays at the left";
    EXPECT_FALSE(view->frozenView()->isColumnHidden(2));
    EXPECT_TRUE(view->frozenView()->isColumnHidden(3));
    EXPECT_EQ(view->model()->headerData(6, Qt::Horizontal).toString(), "产品");

    // Press on a heading: sorted with the mark; the serial column renumbered.
    QHeaderView* header = view->horizontalHeader();
    const QPoint priceHeading(header->sectionViewportPosition(7) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, priceHeading);
    EXPECT_EQ(grid.title(7), "价格△");
    EXPECT_EQ(grid.text(2, 7), "7.00");
    EXPECT_EQ(grid.text(2, 2), "1");

    // Click, then Shift-click: the cursor spans the rows like a classic grid's.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCentre(view, 2, 4));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(view, 4, 4));
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(grid.selectionRow(), 4);
    EXPECT_EQ(view->selectionModel()->selectedRows().size(), 3);

    // Any button but the left hands the grid to the export menu.
    QSignalSpy exports(m_lists, &ListViews::exportRequested);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, cellCentre(view, 3, 4));
    ASSERT_EQ(exports.size(), 1);
    EXPECT_EQ(exports.first().at(0).value<GridView*>(), view);
    EXPECT_EQ(grid.currentRow(), 2) << "a right press leaves the selection";
}

TEST_F(ListPages, DoubleClickOpensItemAndBuyerPagesButNotSales)
{
    m_lists->fill(0);
    GridView* products = show(0);
    // A real double-click presses first, which moves the current row.
    QTest::mouseClick(products->viewport(), Qt::LeftButton, {}, cellCentre(products, 3, 4));
    QTest::mouseDClick(products->viewport(), Qt::LeftButton, {}, cellCentre(products, 3, 4));
    ASSERT_EQ(m_urls.urls.size(), 1);
    EXPECT_TRUE(m_urls.urls[0].endsWith("/item.htm?id=102")) << m_urls.urls[0].toStdString();

    setProductBoxTag(m_box, "1；2；");
    m_lists->fill(2);
    GridView* sales = show(2);
    ASSERT_TRUE(sales->grid()->hasDataRows());
    QTest::mouseDClick(sales->viewport(), Qt::LeftButton, {}, cellCentre(sales, 2, 4));
    EXPECT_EQ(m_urls.urls.size(), 1) << "the sales list opens nothing";

    m_lists->fill(3);
    GridView* buyers = show(3);
    ASSERT_EQ(buyers->grid()->dataRowCount(), 2);
    QTest::mouseDClick(buyers->viewport(), Qt::LeftButton, {}, cellCentre(buyers, 2, 3));
    ASSERT_EQ(m_urls.urls.size(), 2);
    EXPECT_TRUE(m_urls.urls[1].contains("user_profile.php?user_id=b"))
        << m_urls.urls[1].toStdString();
}

TEST_F(ListPages, DeletingFromThePageKeepsTheWindowUsable)
{
    m_lists->fill(0);
    GridView* view = show(0);
    view->grid()->setCurrentCell(2, 3);
    m_feedback.answers = { true };
    EXPECT_TRUE(m_lists->deleteSelected(0));
    EXPECT_EQ(count("产品表"), 2);
    EXPECT_EQ(view->grid()->dataRowCount(), 2);
    EXPECT_TRUE(m_window->isEnabled());
}

TEST_F(ListPages, PickingTwoProductsFillsTheSalesListAndCancelKeepsIt)
{
    // The chooser waits for the user; answer it once it is up.
    const auto answer = [this](std::function<void(ProductChooser*)> act) {
        // The chooser is up once its grid is filled; look for it until it is there.
        auto* poll = new QTimer(m_window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* chooser = qobject_cast<ProductChooser*>(w);
                    chooser && chooser->isVisible()) {
                    poll->deleteLater();
                    act(chooser);
                    return;
                }
            }
        });
        poll->start(10);
    };

    answer([](ProductChooser* chooser) {
        EXPECT_EQ(chooser->windowTitle(), "选择产品名称");
        GridModel& grid = *chooser->grid()->grid();
        clickCheckMark(grid, false, { 2, 3 }, true);
        clickCheckMark(grid, false, { 3, 3 }, true);
        chooser->confirmButton()->click();
    });
    EXPECT_TRUE(m_lists->pickAndShow(2));
    EXPECT_EQ(m_box->text(), "牛仔裤；诺基亚；");
    EXPECT_EQ(productBoxTag(m_box), "2；1；");
    EXPECT_EQ(m_lists->grid(2)->grid()->dataRowCount(), 2);
    EXPECT_EQ(m_lists->grid(2)->grid()->text(2, 8), "4");

    // The earlier choice comes back ticked; the close box cancels.
    answer([](ProductChooser* chooser) {
        EXPECT_EQ(chosenProducts(*chooser->grid()->grid()).ids, "2；1；");
        chooser->close();
    });
    EXPECT_FALSE(m_lists->pickAndShow(2));
    EXPECT_EQ(productBoxTag(m_box), "2；1；");

    // Confirming with nothing ticked is a pick of nothing: an empty list.
    answer([](ProductChooser* chooser) {
        clickCheckMark(*chooser->grid()->grid(), false, { 1, 3 }, true);
        chooser->confirmButton()->click();
    });
    EXPECT_TRUE(m_lists->pickAndShow(2));
    EXPECT_EQ(m_box->text(), "");
    EXPECT_FALSE(m_lists->grid(2)->grid()->hasDataRows());
}

#include "test_list_views.moc"
