// One history row per product and day: what a later look replaces and what it keeps.
#include "db/connection.h"
#include "db/database.h"
#include "db/recordset.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/price_history.h"
#include "store/schema.h"
#include "support/pg_server.h"
#include "support/store_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace quel::store;
using namespace quel::db;

namespace {

struct HistoryDb
{
    quel::test::TempDir dir;
    std::unique_ptr<quel::test::PgTestDatabase> server;
    std::shared_ptr<Database> db;
    Connection conn;

    explicit HistoryDb(quel::test::Engine engine)
    {
        QString error;
        if (engine == quel::test::Engine::Server) {
            server = quel::test::PgTestDatabase::create(&error);
            EXPECT_TRUE(server) << error.toStdString();
            db = server ? OpenDatabase(server->address(), {}, &error) : nullptr;
        } else {
            const QString path = dir.file(QStringLiteral("DATA.mdb"));
            EXPECT_TRUE(writeTemplate(path, &error)) << error.toStdString();
            db = OpenDatabase(path, QString::fromLatin1(kDatabasePassword), &error);
        }
        EXPECT_TRUE(db) << error.toStdString();
        conn = Connection(db);
        for (const char* code : { "a1", "A2", "a3" })
            EXPECT_TRUE(conn.execute(
                QStringLiteral("INSERT INTO 产品表(PCode) VALUES('%1')").arg(QLatin1String(code))));
    }

    // "day price num1 num9 views favourites" per row of a product, empty figures as "-".
    QStringList rows(qint64 pid)
    {
        QStringList out;
        Recordset rs;
        EXPECT_TRUE(rs.open(db,
            QStringLiteral("SELECT Dat,Price,Num1,Num9,VTimes,CTimes FROM 价格历史 WHERE PID=%1 "
                           "ORDER BY Dat")
                .arg(pid),
            nullptr));
        for (; rs.isOpen() && !rs.eof(); rs.moveNext()) {
            QStringList cells { rs.value(0).toDate().toString(QStringLiteral("M-d")) };
            for (int i = 1; i < 6; ++i)
                cells << (rs.value(i).isNull() ? QStringLiteral("-") : rs.value(i).toString());
            out << cells.join(u' ');
        }
        return out;
    }
};

PriceObservation look(int day, std::optional<double> price, std::optional<qint64> num1 = {},
    std::optional<qint64> num9 = {})
{
    PriceObservation o;
    o.day = QDate(2026, 12, day);
    o.price = price;
    o.num1 = num1;
    o.num9 = num9;
    return o;
}

} // namespace

class PriceHistory : public ::testing::TestWithParam<quel::test::Engine>
{
protected:
    void SetUp() override
    {
        if (GetParam() == quel::test::Engine::Server)
            QUEL_SKIP_WITHOUT_PG_SERVER();
    }
};
QUEL_ON_BOTH_ENGINES(PriceHistory);

TEST_P(PriceHistory, OneRowPerProductAndDayKeepingWhatALaterLookDidNotSee)
{
    HistoryDb t(GetParam());
    ASSERT_TRUE(RecordObservation(t.conn, 1, look(7, 10.5, 3)));
    // The same day again: the price it saw replaces, the sales it did not see stay.
    ASSERT_TRUE(RecordObservation(t.conn, 1, look(7, 9.5, {}, 40)));
    ASSERT_TRUE(RecordObservation(t.conn, 1, look(9, 11)));
    EXPECT_EQ(t.rows(1), (QStringList { "12-7 9.5 3 40 - -", "12-9 11 - - - -" }));

    // A result list, by item code (without regard to letter case, as every code comparison):
    // an item listed twice is two looks in list order, unknown codes leave nothing behind,
    // and a product's row of the day keeps what the list did not show.
    const QDate day(2026, 12, 9);
    ASSERT_TRUE(RecordListedItems(t.conn, day,
        { { QStringLiteral("a2"), 5, 1 }, { QStringLiteral("zz"), 1, {} },
            { QStringLiteral("A1"), 12, {} }, { QStringLiteral("a2"), 6, {} } }));
    EXPECT_EQ(t.rows(2), QStringList { "12-9 6 1 - - -" });
    EXPECT_EQ(t.rows(1), (QStringList { "12-7 9.5 3 40 - -", "12-9 12 - - - -" }));
    ASSERT_TRUE(RecordListedItems(t.conn, day, { { QStringLiteral("a1"), 13, 2 } }));
    EXPECT_EQ(t.rows(1).last(), "12-9 13 2 - - -");
    // A product that is not stored gets nothing; a look without a day is refused.
    ASSERT_TRUE(RecordObservation(t.conn, 99, look(7, 1)));
    EXPECT_TRUE(t.rows(99).isEmpty());
    QString error;
    EXPECT_FALSE(RecordObservation(t.conn, 3, PriceObservation {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(t.rows(3).isEmpty());
}

TEST_P(PriceHistory, PriceChangeComparesTheLastTwoLooksThatSawAPrice)
{
    HistoryDb t(GetParam());
    const QString sql = QStringLiteral("SELECT ID,")
        + PriceChangeExpression(QStringLiteral("产品表"))
        + QStringLiteral(" AS Change FROM 产品表 ORDER BY ID");
    auto changes = [&] {
        QStringList out;
        Recordset rs;
        EXPECT_TRUE(rs.open(t.db, sql, nullptr));
        for (; rs.isOpen() && !rs.eof(); rs.moveNext())
            out << (rs.value(1).isNull() ? QStringLiteral("-") : rs.value(1).toString());
        return out;
    };
    EXPECT_EQ(changes(), (QStringList { "-", "-", "-" }));
    ASSERT_TRUE(RecordObservation(t.conn, 1, look(1, 12.3)));
    ASSERT_TRUE(RecordObservation(t.conn, 2, look(1, 8)));
    EXPECT_EQ(changes(), (QStringList { "-", "-", "-" })) << "one observation: no change yet";
    ASSERT_TRUE(RecordObservation(t.conn, 1, look(3, 10.1)));
    // A later look without a price (sales only) does not count as one.
    ASSERT_TRUE(RecordObservation(t.conn, 1, look(5, {}, 4)));
    ASSERT_TRUE(RecordObservation(t.conn, 2, look(2, 8)));
    EXPECT_EQ(changes(), (QStringList { "-2.2", "0", "-" }));
}
