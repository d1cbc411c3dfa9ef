// SPDX-License-Identifier: GPL-3.0-or-later
// Imports of two copies of the program into one server database at once that meet on the
// same buyer codes.
#include "db/connection.h"
#include "db/database.h"
#include "db/statement.h"
#include "download/product_import.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/schema.h"
#include "support/pg_server.h"

#include <QStringList>
#include <atomic>
#include <barrier>
#include <thread>

using namespace quel::download;
using quel::db::Database;
using quel::store::OpenDatabase;

namespace {

class TeamImportTest : public quel::test::PgServerTest
{
};

} // namespace

TEST_F(TeamImportTest, TwoCopiesImportingTheSameNewBuyersAtOnceStoreEachOnce)
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    constexpr int kProducts = 40;
    constexpr int kCodes = 30;
    {
        auto db = session();
        ASSERT_TRUE(db);
        QString error;
        // The server database gets its tables on first use; a second call would fail.
        if (!db->tableColumns(QStringLiteral("产品表"))) {
            ASSERT_TRUE(quel::store::createSchema(*db, &error)) << error.toStdString();
        }
        quel::db::Connection conn(db);
        for (int i = 1; i <= 2 * kProducts; ++i)
            ASSERT_TRUE(conn.execute(
                QStringLiteral("INSERT INTO 产品表(PCode,Style) VALUES('p%1','')").arg(i), &error))
                << error.toStdString();
    }
    const QString s = QStringLiteral("〗★〖");
    // Step i of each copy sells to the same buyers, new ones at every step, in an order of
    // the copy's own.
    const auto resultFor = [&](int step, int which) {
        QStringList lines { QStringList { "25", "90", "12", "全新", "300", "40", "12.5" }.join(s) };
        for (int k = 0; k < kCodes; ++k) {
            const int code = which == 0 ? k : kCodes - 1 - k;
            lines << QStringList { "9.5", "1",
                QStringLiteral("2026-11-%1 10:00:00").arg(1 + k % 28),
                QStringLiteral("c%1-%2").arg(step).arg(code), QStringLiteral("买家%1").arg(code) }
                         .join(s);
        }
        return lines.join(QStringLiteral("\r\n"));
    };
    std::barrier together(2);
    std::atomic<int> failures { 0 };
    std::vector<std::string> errors(2);
    const auto copy = [&](int which) {
        QString error;
        auto db = OpenDatabase(
            pgAddress(), QString::fromLatin1(quel::store::kDatabasePassword), &error);
        if (!db) {
            errors[std::size_t(which)] = error.toStdString();
            ++failures;
            together.arrive_and_drop();
            return;
        }
        quel::db::Connection conn(db);
        KnownBuyerCodes known;
        known.load(conn);
        for (int i = 0; i < kProducts; ++i) {
            const int product = which * kProducts + i + 1;
            const QString text = resultFor(i, which);
            together.arrive_and_wait();
            if (!ImportProductResult(
                    conn, product, text, known, nullptr, &error, QDate(2026, 12, 7))) {
                errors[std::size_t(which)] = error.toStdString();
                ++failures;
            }
        }
    };
    std::thread first(copy, 0);
    std::thread second(copy, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0) << errors[0] << " / " << errors[1];

    auto db = session();
    auto count = db->prepare(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT BCode) FROM 客户表"));
    ASSERT_TRUE(count);
    ASSERT_EQ(count.step(), quel::db::StepResult::Row);
    EXPECT_EQ(count.int64(0), kProducts * kCodes);
    EXPECT_EQ(count.int64(1), kProducts * kCodes);
    auto trades = db->prepare(QStringLiteral("SELECT COUNT(*) FROM 交易表"));
    ASSERT_EQ(trades.step(), quel::db::StepResult::Row);
    EXPECT_EQ(trades.int64(0), 2 * kProducts * kCodes);
}
