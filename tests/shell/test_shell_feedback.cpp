// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/shell_feedback.h"
#include "support/app_fixture.h"
#include "widgets/indicator.h"
#include "widgets/indicator_window_fixture.h"

using namespace quel::shell;
using namespace quel::widgets;

namespace {

class ShellFeedbackTest : public quel::test::IndicatorWindowTest
{
};

} // namespace

TEST_F(ShellFeedbackTest, DrivesTheIndicatorItWasGiven)
{
    ShellFeedback feedback(indicator, nullptr);
    feedback.indicatorStart("x", 2, 0);
    EXPECT_TRUE(feedback.isIndicatorOpen());
    feedback.indicatorStep(1, "pages");
    EXPECT_EQ(text("Percent"), "50%");
    feedback.indicatorClose();
    EXPECT_FALSE(feedback.isIndicatorOpen());
}
