#include "support/app_fixture.h"
#include "widgets/indicator.h"
#include "widgets/indicator_window_fixture.h"

#include <QImage>
#include <QLabel>
#include <QWidget>

using namespace quel::widgets;
using quel::test::IndicatorWindowTest;

TEST(FormatDuration, DropsLeadingZeroGroups)
{
    EXPECT_EQ(FormatDuration(5), "0:5");
    EXPECT_EQ(FormatDuration(59), "0:59");
    EXPECT_EQ(FormatDuration(65), "1:5");
    EXPECT_EQ(FormatDuration(3600), "1:0:0");
    EXPECT_EQ(FormatDuration(3725), "1:2:5");
    EXPECT_EQ(FormatDuration(0), "0:0");
    EXPECT_EQ(FormatDuration(-7), "0:0");
    EXPECT_EQ(FormatDuration(59 * 3600 + 59 * 60 + 59), "59:59:59");
    // Past the 60-hour bound the hours keep counting instead of wrapping.
    EXPECT_EQ(FormatDuration(61 * 3600), "61:0:0");
}

TEST(PercentText, CutsToTenths)
{
    EXPECT_EQ(PercentText(1, 3), "33.3%");
    EXPECT_EQ(PercentText(2, 3), "66.6%");
    EXPECT_EQ(PercentText(3, 4), "75%");
    EXPECT_EQ(PercentText(0, 4), "0%");
    EXPECT_EQ(PercentText(1, 2000), "0%");
    EXPECT_EQ(PercentText(3, 10), "30%");
    EXPECT_EQ(PercentText(5, 4), "125%");
    // A total below 1 counts as 1: no division by zero.
    EXPECT_EQ(PercentText(1, 0), "100%");
    EXPECT_EQ(PercentText(1, -5), "100%");
}

class IndicatorStateTest : public ::testing::Test
{
protected:
    QDateTime t0 = QDateTime(QDate(2026, 1, 1), QTime(10, 0, 0));
    IndicatorState state;
};

TEST_F(IndicatorStateTest, PagesModeShowsTimesAndCount)
{
    state.start("搜索", 4, 0, t0);
    auto update = state.step(1, "pages", t0.addSecs(10));
    EXPECT_EQ(update.percent, "25%");
    ASSERT_TRUE(update.time);
    EXPECT_EQ(*update.time, "0:10/0:30/0:40");
    EXPECT_EQ(*update.count, "(1/4)");
    EXPECT_FALSE(update.title);

    // 2 of 3: fraction 0.666, 20 s elapsed -> 30.03 s estimated, rounded to 30.
    state.start("x", 3, 0, t0);
    state.step(1, "pages", t0);
    update = state.step(1, "Pages", t0.addSecs(20));
    ASSERT_TRUE(update.time);
    EXPECT_EQ(*update.time, "0:20/0:10/0:30");
    EXPECT_EQ(*update.count, "(2/3)");
}

TEST_F(IndicatorStateTest, EstimateRoundsHalvesToEven)
{
    // 2 of 5 is 0.4: after 1 s the estimate is 2.5 -> 2, after 3 s it is 7.5 -> 8.
    state.start("x", 5, 0, t0);
    auto update = state.step(2, "pages", t0.addSecs(1));
    EXPECT_EQ(*update.time, "0:1/0:1/0:2");
    state.start("x", 5, 0, t0);
    update = state.step(2, "pages", t0.addSecs(3));
    EXPECT_EQ(*update.time, "0:3/0:5/0:8");
}

TEST_F(IndicatorStateTest, TinyFractionLeavesTimesUnchanged)
{
    state.start("x", 2000, 0, t0);
    const auto update = state.step(1, "pages", t0.addSecs(5));
    EXPECT_EQ(update.percent, "0%");
    EXPECT_FALSE(update.time);
    EXPECT_FALSE(update.count);
}

TEST_F(IndicatorStateTest, OtherModeRenamesAndKeepsPositionRules)
{
    state.start("x", 10, 3, t0);
    const auto update = state.step(0, "正在统计数据……", t0.addSecs(5));
    EXPECT_EQ(update.percent, "30%");
    ASSERT_TRUE(update.title);
    EXPECT_EQ(*update.title, "正在统计数据……");
    EXPECT_FALSE(update.time);
    EXPECT_EQ(state.title(), "正在统计数据……");

    // A negative start position keeps the current one; an empty mode changes only the
    // percentage.
    state.start("y", 10, -1, t0);
    EXPECT_EQ(state.position(), 3);
    const auto plain = state.step(2, "", t0);
    EXPECT_EQ(plain.percent, "50%");
    EXPECT_FALSE(plain.title);
}

TEST_F(IndicatorStateTest, TotalBelowOneCountsAsOne)
{
    state.start("x", 0, 0, t0);
    EXPECT_EQ(state.total(), 1);
    const auto update = state.step(1, "pages", t0.addSecs(2));
    EXPECT_EQ(update.percent, "100%");
    EXPECT_EQ(*update.count, "(1/1)");
}

TEST_F(IndicatorWindowTest, ShowsCaptionTitleAndTexts)
{
    indicator.start("正在删除数据……", 3, 0);
    ASSERT_TRUE(indicator.isOpen());
    IndicatorWindow* window = indicator.window();
    EXPECT_EQ(window->windowTitle(), "Dovrel进度指示器");
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(text("LBL"), "正在删除数据……");
    EXPECT_EQ(text("Percent"), "0%");

    now = now.addSecs(65);
    indicator.step(1, "pages");
    EXPECT_EQ(text("Percent"), "33.3%");
    EXPECT_EQ(text("L2"), "1:5/2:10/3:15");
    EXPECT_EQ(text("L1"), "(1/3)");
    EXPECT_TRUE(window->findChild<QWidget*>("Pic"));
    indicator.close();
    EXPECT_FALSE(indicator.isOpen());
}

TEST_F(IndicatorWindowTest, UserCloseIsCancelAndLaterStepsDoNotFail)
{
    indicator.start("搜索", 10, 0);
    indicator.step(1, "pages");
    // The user's close box.
    indicator.window()->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(indicator.isOpen());
    EXPECT_EQ(indicator.window(), nullptr);
    indicator.step(1, "pages");
    indicator.step(0, "下一阶段");
    indicator.close();
    EXPECT_EQ(indicator.state().position(), 2);

    // The next start opens a fresh window with the new figures.
    indicator.start("再来", 4, 0);
    EXPECT_TRUE(indicator.isOpen());
    EXPECT_EQ(text("Percent"), "0%");
    EXPECT_EQ(text("L1"), "");
    indicator.close();
}

TEST_F(IndicatorWindowTest, RestartWhileOpenReusesWindow)
{
    indicator.start("a", 4, 0);
    indicator.step(3, "pages");
    IndicatorWindow* first = indicator.window();
    indicator.start("b", 10, 0);
    EXPECT_EQ(indicator.window(), first);
    EXPECT_EQ(text("LBL"), "b");
    EXPECT_EQ(text("Percent"), "0%");
    indicator.close();
}

TEST_F(IndicatorWindowTest, BarIsBlueAndOnlyGrowsUntilTheNextStart)
{
    indicator.start("x", 4, 0);
    QWidget* bar = indicator.window()->findChild<QWidget*>("Pic");
    bar->resize(200, 18);
    const auto colourAt = [bar](double share) {
        const QImage image = bar->grab().toImage();
        return QColor(image.pixel(int(share * image.width()), image.height() / 2));
    };
    const QColor blue(0, 0, 255);
    EXPECT_NE(colourAt(0.3), blue);
    indicator.step(3, "pages");
    EXPECT_EQ(colourAt(0.7), blue);
    EXPECT_NE(colourAt(0.8), blue);
    // A step back does not shrink the bar.
    indicator.step(-2, "pages");
    EXPECT_EQ(colourAt(0.7), blue);
    // Past the total the bar fills the box and the percentage goes above 100.
    indicator.step(4, "pages");
    EXPECT_EQ(colourAt(0.98), blue);
    EXPECT_EQ(text("Percent"), "125%");
    indicator.start("y", 4, 0);
    EXPECT_NE(colourAt(0.3), blue);
    indicator.close();
}
