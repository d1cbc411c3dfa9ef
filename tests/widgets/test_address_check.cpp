// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/address_check.h"
#include "widgets/desktop_open.h"

#include <gtest/gtest.h>

using namespace quel::widgets;

TEST(Addresses, OnlyWebAddressesLeaveTheProgram)
{
    EXPECT_TRUE(IsWebAddress(QStringLiteral("http://127.0.0.1:8080/item.htm?id=7")));
    EXPECT_TRUE(IsWebAddress(QStringLiteral(" HTTPS://market.test/ ")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("javascript:alert(1)")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("/usr/bin/xterm")));
    EXPECT_FALSE(IsWebAddress(QStringLiteral("http:///")));
    EXPECT_FALSE(IsWebAddress(QString()));
    // Refused before the desktop is asked, so no program starts here.
    EXPECT_FALSE(OpenInDefaultBrowser(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(OpenInDefaultBrowser(QStringLiteral("calc.exe")));
}
