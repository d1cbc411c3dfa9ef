// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/app_fixture.h"
#include "widgets/indicator.h"

#include <QDateTime>
#include <QLabel>

namespace quel::test {

// An indicator on a clock the test sets, and the texts of its window's labels.
class IndicatorWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { quel::test::app(); }
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(10, 0, 0));
    widgets::Indicator indicator { [this] { return now; } };

    QString text(const char* name) const
    {
        auto* label = indicator.window()->findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("<missing>");
    }
};

} // namespace quel::test
