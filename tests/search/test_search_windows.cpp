#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "market/test_server.h"
#include "search/fixture_db.h"
#include "search/ui/get_key_word.h"
#include "search/ui/pclass_sel.h"
#include "search/ui/search_commands.h"
#include "search/ui/search_panel.h"
#include "views/lists.h"
#include "web/browser.h"
#include "web/market.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace quel::search;
using quel::test::FixtureDb;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QWidget* findWindow(const QString& caption)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == caption)
            return w;
    }
    return nullptr;
}

// Answers the next window with this caption once it shows: sets its combo boxes' texts and
// presses a button.
void answerWindow(const QString& caption, QStringList texts, const char* button)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* window = findWindow(caption);
        if (!window)
            return;
        timer->stop();
        timer->deleteLater();
        const auto boxes = window->findChildren<QComboBox*>();
        for (int i = 0; i < texts.size(); ++i) {
            for (QComboBox* box : boxes) {
                if (box->objectName().endsWith(QString::number(i)) || boxes.size() == 1)
                    box->setEditText(texts[i]);
            }
        }
        window->findChild<QPushButton*>(QString::fromLatin1(button))->click();
        // A press that did nothing must fail the test, not hang it.
        if (window->isVisible()) {
            ADD_FAILURE() << "the window stayed open: " << caption.toStdString();
            window->close();
        }
    });
    timer->start(10);
}

class SearchWindowsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_search_windows";
        static char* argv[] = { name, nullptr };
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    FixtureDb m_db;
};

} // namespace

TEST_F(SearchWindowsTest, ConditionWindowOffersTheRememberedListsAndRemembersTheNewOne)
{
    ASSERT_TRUE(SaveKeywordLists(m_db.db(), {}, q("相机"), q("小铺")));
    ASSERT_TRUE(SaveKeywordLists(m_db.db(), LoadKeywordLists(m_db.db()), q("手机"), QString()));
    {
        auto* window = new GetKeyWord(m_db.db());
        window->show();
        EXPECT_EQ(window->windowTitle(), q("搜索条件设置"));
        EXPECT_EQ(window->keywordBox()->currentText(), q("手机"));
        EXPECT_EQ(window->keywordBox()->count(), 2);
        EXPECT_EQ(window->keywordBox()->itemText(1), q("相机"));
        EXPECT_EQ(window->nickBox()->currentText(), QString());
        EXPECT_EQ(window->nickBox()->itemText(1), q("小铺"));
        window->close();
    }

    answerWindow(q("搜索条件设置"), { q(" 相机 "), q("小铺") }, "Com_1");
    EXPECT_EQ(AskSearchCondition(m_db.db(), nullptr), q("相机〗★〖小铺"));
    const KeywordLists lists = LoadKeywordLists(m_db.db());
    EXPECT_EQ(lists.keywords, (QStringList { q(" 相机 "), q("手机"), q("相机") }));
    EXPECT_EQ(lists.nicks, (QStringList { q("小铺"), QString() }));

    // Cancelling hands back nothing and remembers nothing.
    answerWindow(q("搜索条件设置"), { q("别的") }, "Com_0");
    EXPECT_EQ(AskSearchCondition(m_db.db(), nullptr), QString());
    EXPECT_EQ(LoadKeywordLists(m_db.db()).keywords.size(), 3);
}

TEST_F(SearchWindowsTest, EnterInTheConditionWindowConfirmsAndEscapeCancels)
{
    // Enter in either box does what 确定 does; Esc what 取消 does.
    const auto typeAndPress = [](int box, const QString& text, int key) {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, timer, [=] {
            QWidget* window = findWindow(q("搜索条件设置"));
            if (!window)
                return;
            timer->stop();
            timer->deleteLater();
            auto* combo = window->findChild<QComboBox*>(QStringLiteral("TT_%1").arg(box));
            combo->setEditText(text);
            combo->lineEdit()->setFocus();
            QTest::keyClick(combo->lineEdit(), Qt::Key(key));
            if (window->isVisible()) {
                ADD_FAILURE() << "the key did not close the window";
                window->close();
            }
        });
        timer->start(10);
    };
    typeAndPress(0, q("手机"), Qt::Key_Return);
    EXPECT_EQ(AskSearchCondition(m_db.db(), nullptr), q("手机〗★〖"));
    typeAndPress(1, q("小铺"), Qt::Key_Enter);
    EXPECT_EQ(AskSearchCondition(m_db.db(), nullptr), q("手机〗★〖小铺"));
    typeAndPress(0, q("不要"), Qt::Key_Escape);
    EXPECT_EQ(AskSearchCondition(m_db.db(), nullptr), QString());
}

TEST_F(SearchWindowsTest, CategoryWindowOffersAllAndTheCategories)
{
    ASSERT_TRUE(m_db.exec(q("INSERT INTO 产品表(PCode,KWord) VALUES('1','手机')")));
    ASSERT_TRUE(m_db.exec(q("INSERT INTO 产品表(PCode,KWord) VALUES('2','相机')")));
    auto* window = new PClassSel(m_db.db(), q("相机"));
    window->show();
    EXPECT_EQ(window->combo()->count(), 3);
    EXPECT_EQ(window->combo()->itemText(0), q("全部"));
    EXPECT_EQ(window->combo()->currentText(), q("相机"));
    window->close();

    // "全部" is a category like any other.
    answerWindow(q("产品类别选择"), { q("全部") }, "Com_1");
    EXPECT_EQ(AskCategory(m_db.db(), q("手机"), nullptr), q("全部"));

    // Cancelling hands back nothing, and whatever is typed is a category, even the text
    // that once stood for a cancel.
    answerWindow(q("产品类别选择"), { q("别的") }, "Com_0");
    EXPECT_EQ(AskCategory(m_db.db(), q("手机"), nullptr), std::nullopt);
    answerWindow(q("产品类别选择"), { q("〗★〖") }, "Com_1");
    EXPECT_EQ(AskCategory(m_db.db(), q("手机"), nullptr), q("〗★〖"));
}

TEST_F(SearchWindowsTest, ReplaceCategoryCoversTheSelectedRowsEitherWay)
{
    // Item codes that are other products' IDs, and one with "-".
    for (const char* code : { "4", "3", "a-1", "1" })
        ASSERT_TRUE(
            m_db.exec(q("INSERT INTO 产品表(PCode,KWord) VALUES('") + q(code) + q("','旧')")));
    const QStringList ids = m_db.rows(q("SELECT ID FROM 产品表 ORDER BY ID"));
    const QStringList codes = m_db.rows(q("SELECT PCode FROM 产品表 ORDER BY ID"));

    QWidget main;
    QString formParameter;
    SearchCommands commands(&main, m_db.db(), &formParameter);
    // The product list's own layout: PCode, ID, 序号, KWord, ...
    quel::grid::GridModel grid;
    quel::views::layOutList(grid, quel::views::ListKind::Products);
    for (int i = 0; i < ids.size(); ++i)
        grid.appendRow({ codes[i], ids[i], QString::number(i + 1), q("旧") });

    // Rows 2..3 of the data (grid rows 3 and 4), selected from the bottom up.
    grid.setCurrentCell(4, 3);
    grid.setSelectionEnd(3, 3);
    answerWindow(q("产品类别选择"), { q("Levi's") }, "Com_1");
    commands.replaceCategory(grid);
    EXPECT_EQ(formParameter, q("Levi's"));
    EXPECT_EQ(m_db.rows(q("SELECT KWord FROM 产品表 ORDER BY ID")),
        (QStringList { q("旧"), q("Levi's"), q("Levi's"), q("旧") }));
    EXPECT_EQ(grid.text(3, 3), q("Levi's"));
    EXPECT_EQ(grid.text(4, 3), q("Levi's"));
    EXPECT_EQ(grid.text(2, 3), q("旧"));
    EXPECT_TRUE(main.isEnabled());

    // Cancelled: nothing changes.
    answerWindow(q("产品类别选择"), { q("新") }, "Com_0");
    commands.replaceCategory(grid);
    EXPECT_EQ(m_db.rows(q("SELECT COUNT(*) FROM 产品表 WHERE KWord='新'")), QStringList { q("0") });

    // A list without rows keeps its cursor on the titles: no window opens at all.
    quel::grid::GridModel empty;
    quel::views::layOutList(empty, quel::views::ListKind::Products);
    commands.replaceCategory(empty);
    EXPECT_FALSE(findWindow(q("产品类别选择")));
}

TEST_F(SearchWindowsTest, SearchButtonAsksThenSearchesWithThePanelShown)
{
    quel::market::TestServer market;
    ASSERT_TRUE(market.isRunning());
    quel::web::SetMarket(quel::web::MarketAt(QString::fromStdString(market.baseUrl())));

    QMainWindow main;
    main.setCentralWidget(new QWidget(&main));
    main.resize(800, 600);
    main.show();
    QString formParameter;
    SearchCommands commands(&main, m_db.db(), &formParameter);
    bool panelShown = false;
    QString lastAddress;
    QObject::connect(&commands.browser(), &quel::web::Browser::stateChanged, &main, [&] {
        panelShown = panelShown || commands.panel()->isVisible();
        lastAddress = commands.panel()->addressText();
    });

    answerWindow(q("搜索条件设置"),
        { QString::fromStdString(quel::market::Fixtures::threePageKeyword()) }, "Com_1");
    commands.searchProducts();
    EXPECT_TRUE(formParameter.startsWith(q("诺基亚 5200〗★〖")));
    EXPECT_TRUE(panelShown);
    EXPECT_TRUE(lastAddress.contains(q("/search?"))) << lastAddress.toStdString();
    EXPECT_FALSE(commands.panel()->isVisible());
    EXPECT_FALSE(commands.isSearching());
    EXPECT_GT(m_db.rows(q("SELECT COUNT(*) FROM 产品表")).value(0).toInt(), 80);

    // A cancelled condition window searches nothing.
    ASSERT_TRUE(m_db.exec(q("DELETE * FROM 产品表")));
    answerWindow(q("搜索条件设置"), {}, "Com_0");
    commands.searchProducts();
    EXPECT_EQ(formParameter, QString());
    EXPECT_EQ(m_db.rows(q("SELECT COUNT(*) FROM 产品表")), QStringList { q("0") });
}
