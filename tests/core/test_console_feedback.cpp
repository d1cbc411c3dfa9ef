// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/console_feedback.h"
#include "support/print_qstring.h"

#include <gtest/gtest.h>

using quel::core::ConsoleFeedback;

TEST(ConsoleFeedback, PrintsMessagesQuestionsAndProgressAsLines)
{
    QString text;
    QTextStream out(&text);
    ConsoleFeedback feedback(out);
    feedback.message(QStringLiteral("新建成功"));
    EXPECT_FALSE(feedback.ask(QStringLiteral("是否删除？")));
    feedback.indicatorStart(QStringLiteral("下载"), 0, 0);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    feedback.indicatorStep(1, QString());
    feedback.indicatorStep(1, QStringLiteral("导入"));
    feedback.indicatorStep(2, QStringLiteral("Pages"));
    EXPECT_EQ(
        text, QStringLiteral("新建成功\n是否删除？ -> 否\n下载\n下载 (1/1)\n导入\n导入 (5/1)\n"));
    EXPECT_EQ(feedback.messages(), QStringList({ "新建成功", "是否删除？" }));
    EXPECT_TRUE(feedback.isIndicatorOpen());
}

TEST(ConsoleFeedback, ClosedOnceAStopIsRequested)
{
    QString text;
    QTextStream out(&text);
    bool stop = false;
    ConsoleFeedback feedback(out, [&stop] { return stop; });
    EXPECT_TRUE(feedback.isIndicatorOpen());
    stop = true;
    EXPECT_FALSE(feedback.isIndicatorOpen());
    // A position given at the start is kept; a negative one leaves it as it was.
    feedback.indicatorStart(QStringLiteral("A"), 10, 4);
    feedback.indicatorStart(QStringLiteral("B"), 10, -1);
    feedback.indicatorStep(1, QStringLiteral("pages"));
    EXPECT_TRUE(text.endsWith(QStringLiteral("B (5/10)\n"))) << text.toStdString();
}
