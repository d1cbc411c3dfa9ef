#include "support/app_fixture.h"
#include "widgets/dialogs.h"

using namespace quel::widgets;

class DialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        quel::test::app();
        Dialogs::resetTestState();
        Dialogs::setHeadless(true);
    }
    void TearDown() override { Dialogs::resetTestState(); }
};

TEST_F(DialogsTest, QueuedAnswersAreTakenInOrder)
{
    Dialogs::setNextAnswer(Dialogs::Answer::Yes);
    Dialogs::setNextAnswer(Dialogs::Answer::No);
    EXPECT_TRUE(Dialogs::ask(nullptr, "一"));
    EXPECT_FALSE(Dialogs::ask(nullptr, "二"));
    // Nothing queued: a headless question is answered No, never left waiting.
    EXPECT_FALSE(Dialogs::ask(nullptr, "三"));
    Dialogs::setNextAnswer(Dialogs::Answer::Cancel);
    EXPECT_EQ(Dialogs::askYesNoCancel(nullptr, "四"), Dialogs::Answer::Cancel);
    EXPECT_EQ(Dialogs::takeShownTexts(), QStringList({ "一", "二", "三", "四" }));
    EXPECT_TRUE(Dialogs::takeShownTexts().isEmpty());
}

TEST_F(DialogsTest, TextsAndFileNames)
{
    Dialogs::setNextText(QString("  新库 "));
    Dialogs::setNextText(std::nullopt);
    EXPECT_EQ(Dialogs::inputText(nullptr, "请输入数据库名称："), std::optional<QString>("  新库 "));
    EXPECT_EQ(Dialogs::inputText(nullptr, "请输入数据库名称："), std::nullopt);
    EXPECT_EQ(Dialogs::inputText(nullptr, "请输入数据库名称："), std::nullopt);

    Dialogs::setNextFileName("/tmp/a.csv");
    EXPECT_EQ(Dialogs::saveFileName(nullptr, "导出", "*.csv"), "/tmp/a.csv");
    EXPECT_EQ(Dialogs::saveFileName(nullptr, "导出", "*.csv"), "");
    EXPECT_EQ(Dialogs::openFileName(nullptr, "打开", "*.txt"), "");

    Dialogs::message(nullptr, "完成");
    EXPECT_EQ(Dialogs::takeShownTexts().last(), "完成");
}

TEST_F(DialogsTest, ConsoleModeNeverWaits)
{
    Dialogs::setConsole(true);
    EXPECT_FALSE(Dialogs::ask(nullptr, "继续？"));
    EXPECT_EQ(Dialogs::inputText(nullptr, "名称："), std::nullopt);
    Dialogs::message(nullptr, "完成");
    Dialogs::setConsole(false);
    EXPECT_FALSE(Dialogs::isHeadless());
}
