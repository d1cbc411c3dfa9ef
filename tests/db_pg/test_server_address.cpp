// SPDX-License-Identifier: GPL-3.0-or-later
// The one reading of database addresses: what is a server, what may be shown, and which
// addresses are refused for holding a password.

#include "db_pg/server_address.h"

#include <gtest/gtest.h>

using namespace quel::db_pg;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

TEST(ServerAddressReading, ServersAreNamedByTheirScheme)
{
    EXPECT_TRUE(IsServerAddress("postgresql://ana@h/db"));
    EXPECT_TRUE(IsServerAddress("POSTGRES://h/db"));
    for (const char* path :
        { "/data/DATA.mdb", "postgresql:/h/db", "DATA.mdb", "", "./postgresql://x" })
        EXPECT_FALSE(IsServerAddress(QString::fromUtf8(path))) << path;
}

// What is refused and what is taken out come from one reading, so an address is never
// stored with a password that its shown form would hide, nor shown with one it refuses.
TEST(ServerAddressReading, TheRefusalAndTheRedactionAgree)
{
    for (const char* address : { "postgresql://ana:s3cret@h/db", "postgres://ana:@h:5432/db",
             "postgresql://ana:p@ss/w@h1,h2/shop", "postgresql://ana@h/db?PASSWORD=x",
             "postgresql://ana@h/db?pass%77ord=x", "host=h password=x dbname=d" }) {
        const ServerAddressParts parts = SplitServerAddress(QString::fromUtf8(address));
        EXPECT_TRUE(parts.passwordWritten) << address;
        EXPECT_TRUE(ServerAddressHoldsPassword(QString::fromUtf8(address))) << address;
        EXPECT_FALSE(parts.shown.contains(QStringLiteral("s3cret"))) << address;
        EXPECT_FALSE(parts.shown.contains(QStringLiteral("=x"))) << address;
    }
    // A password holding '/' (not percent-encoded) is a password too, not part of the path.
    EXPECT_TRUE(ServerAddressHoldsPassword("postgresql://ana:se/cret@h/db"));
    EXPECT_EQ(s(RedactedAddress("postgresql://ana:se/cret@h/db")), "postgresql://ana@h/db");
    const ServerAddressParts plain = SplitServerAddress("postgresql://ana@[::1]:5432/db");
    EXPECT_FALSE(plain.passwordWritten);
    EXPECT_TRUE(plain.secrets.isEmpty());
    EXPECT_EQ(s(plain.shown), "postgresql://ana@[::1]:5432/db");
}

} // namespace
