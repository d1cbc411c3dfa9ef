// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/shell_feedback.h"
#include "support/app_fixture.h"
#include "widgets/indicator.h"

#include <QLabel>

using namespace quel::shell;
using namespace quel::widgets;

namespace {

class ShellFeedbackTest : public ::testing::Test
{
protected:
    void SetUp() override { quel::test::app(); }
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(10, 0, 0));
    Indicator indicator { [this] { return now; } };

    QString text(const char* name) const
    {
        auto* label = indicator.window()->findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("<missing>");
    }
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
