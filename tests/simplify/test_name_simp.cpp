#include "grid/grid_model.h"
#include "search/fixture_db.h"
#include "simplify/rule_store.h"
#include "simplify/ui/name_simp.h"
#include "simplify/ui/simp_input.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quel::simplify;
using quel::test::FixtureDb;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Types text as the keyboard would (QTest's key clicks know only ASCII).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

class NameSimpTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_name_simp";
        static char* argv[] = { name, nullptr };
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    NameSimp* openEditor()
    {
        auto* editor = new NameSimp(m_db.db(), kReplacementTable);
        editor->show();
        return editor;
    }

    static void click(QWidget* window, const char* name)
    {
        auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }

    // Adds a rule through the input dialog as a user would type it.
    void addThroughDialog(NameSimp* editor, const QString& match, const QString& shortText)
    {
        click(editor, "Com_3");
        ASSERT_TRUE(editor->input());
        typeText(editor->input()->matchEdit(), match);
        if (!shortText.isNull())
            editor->input()->shortEdit()->setText(shortText);
        click(editor->input(), "Com_0");
    }

    QStringList productNames() { return m_db.rows(q("SELECT P_Name FROM 产品表 ORDER BY ID")); }

    FixtureDb m_db;
};

} // namespace

TEST_F(NameSimpTest, ListsRulesAndAddsThroughTheDialog)
{
    ASSERT_EQ(SaveNameRule(m_db.db(), kReplacementTable, q("诺基亚 5200"), q("诺基亚5200手机"),
                  std::nullopt),
        SaveRuleResult::Saved);
    NameSimp* editor = openEditor();
    EXPECT_EQ(editor->windowTitle(), q("产品名称替换设置"));
    quel::grid::GridModel& grid = editor->grid();
    ASSERT_EQ(grid.rows(), 3);
    EXPECT_EQ(grid.title(1), q("序号"));
    EXPECT_EQ(grid.title(2), q("匹配词"));
    EXPECT_EQ(grid.title(3), q("简化后名称"));
    EXPECT_EQ(grid.text(2, 1), q("1"));
    EXPECT_EQ(grid.text(2, 2), q("诺基亚 5200"));
    EXPECT_EQ(grid.tag(), q("替换表"));
    EXPECT_FALSE(editor->rulesChanged());

    // The short name follows the match text while it is typed.
    click(editor, "Com_3");
    ASSERT_TRUE(editor->input());
    EXPECT_EQ(editor->input()->windowTitle(), q("添加简化记录"));
    typeText(editor->input()->matchEdit(), q(" 摩托罗拉 "));
    EXPECT_EQ(editor->input()->shortEdit()->text(), q(" 摩托罗拉 "));
    editor->input()->shortEdit()->setText(q("摩托"));
    click(editor->input(), "Com_0");
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->input());
    EXPECT_TRUE(editor->rulesChanged());
    ASSERT_EQ(grid.rows(), 4);
    EXPECT_EQ(grid.text(3, 2), q("摩托罗拉")) << "match text trimmed";
    EXPECT_EQ(grid.text(3, 3), q("摩托"));

    // A duplicate is refused and the dialog stays open for correction.
    addThroughDialog(editor, q("摩托罗拉"), QString());
    EXPECT_EQ(
        m_db.feedback.messages, QStringList { q("需要简化的内容已经存在，请不要重复输入！") });
    ASSERT_TRUE(editor->input());
    EXPECT_TRUE(editor->input()->isVisible());
    click(editor->input(), "Com_1");
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.rows(), 4);

    // Blanks only save nothing and close.
    addThroughDialog(editor, q("   "), QString());
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->input());
    EXPECT_EQ(grid.rows(), 4);
    editor->close();
}

TEST_F(NameSimpTest, ChangingARuleEditsItInPlace)
{
    ASSERT_EQ(SaveNameRule(m_db.db(), kReplacementTable, q("a"), q("A"), std::nullopt),
        SaveRuleResult::Saved);
    ASSERT_EQ(SaveNameRule(m_db.db(), kReplacementTable, q("b"), q("B"), std::nullopt),
        SaveRuleResult::Saved);
    NameSimp* editor = openEditor();
    editor->grid().setCurrentCell(3, 2);
    click(editor, "Com_0");
    ASSERT_TRUE(editor->input());
    EXPECT_EQ(editor->input()->matchEdit()->text(), q("b"));
    EXPECT_EQ(editor->input()->shortEdit()->text(), q("B"));
    editor->input()->matchEdit()->setText(q("c"));
    editor->input()->shortEdit()->setText(q("C"));
    click(editor->input(), "Com_0");
    QCoreApplication::processEvents();
    EXPECT_EQ(m_db.rows(q("SELECT Con,Sim FROM 替换表 ORDER BY ID")),
        (QStringList { q("a|A"), q("c|C") }));
    EXPECT_EQ(editor->grid().text(3, 2), q("c"));
    editor->close();
}

TEST_F(NameSimpTest, OnlyTheCloseButtonRederivesShortNames)
{
    ASSERT_TRUE(m_db.exec(
        q("INSERT INTO 产品表(PCode,PName,P_Name) VALUES('1','诺基亚 N73 5200型','旧')")));

    // Closing with the window's own close box leaves the products alone.
    NameSimp* editor = openEditor();
    addThroughDialog(editor, q("诺基亚 5200"), q("诺基亚5200手机"));
    EXPECT_TRUE(editor->rulesChanged());
    editor->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(productNames(), QStringList { q("旧") });

    // Closing with the close button without a change does not either.
    editor = openEditor();
    click(editor, "Com_2");
    QCoreApplication::processEvents();
    EXPECT_EQ(productNames(), QStringList { q("旧") });

    // A change and the close button rewrite every short name, with every rule (the rule
    // added first gives the name; the new one no longer finds "N73" in it).
    editor = openEditor();
    addThroughDialog(editor, q("N73"), q("N73手机"));
    click(editor, "Com_2");
    QCoreApplication::processEvents();
    EXPECT_EQ(productNames(), QStringList { q("诺基亚5200手机") });
    EXPECT_EQ(m_db.feedback.titles.value(0), q("正在简化商品名称……"));
}

TEST_F(NameSimpTest, DeletingTheLastRuleLeavesTheHeadings)
{
    ASSERT_EQ(SaveNameRule(m_db.db(), kReplacementTable, q("a"), q("A"), std::nullopt),
        SaveRuleResult::Saved);
    ASSERT_EQ(SaveNameRule(m_db.db(), kReplacementTable, q("b"), q("B"), std::nullopt),
        SaveRuleResult::Saved);
    NameSimp* editor = openEditor();
    // A selection made from the bottom up.
    editor->grid().setCurrentCell(3, 2);
    editor->grid().setSelectionEnd(2, 2);
    m_db.feedback.answer = false;
    click(editor, "Com_4");
    EXPECT_EQ(m_db.feedback.questions, QStringList { q("您确定要删除第1至第2行记录？") });
    EXPECT_EQ(editor->grid().rows(), 4);
    EXPECT_FALSE(editor->rulesChanged());

    m_db.feedback.answer = true;
    click(editor, "Com_4");
    EXPECT_EQ(editor->grid().rows(), 2);
    EXPECT_TRUE(editor->rulesChanged());
    EXPECT_TRUE(m_db.rows(q("SELECT * FROM 替换表")).isEmpty());
    editor->close();
}
