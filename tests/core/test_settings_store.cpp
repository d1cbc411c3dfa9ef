// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings_store.h"
#include "support/print_qstring.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace quel::core;

TEST(SettingsStore, ValueSurvivesUnderItsKeyPath)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString key = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");
    WriteUserSetting(key, QStringLiteral("Display Inline Images"), QStringLiteral("yes"));
    EXPECT_EQ(ReadUserSetting(key, QStringLiteral("Display Inline Images")), QStringLiteral("yes"));
    EXPECT_EQ(ReadUserSetting(key, QStringLiteral("Other")), QString());
}
