// SPDX-License-Identifier: GPL-3.0-or-later
// The watch list and the digest of what changed between watch runs, on a file and on a
// server: thresholds, products missed once and twice, new products and shops, sales jumps,
// a second run of the day and a run that did not reach everything.
#include "db/connection.h"
#include "db/database.h"
#include "db/stored_date.h"
#include "store/change_digest.h"
#include "store/watch_list.h"
#include "support/store_fixture.h"

#include <gtest/gtest.h>

using namespace quel::store;
using namespace quel::db;

namespace {

// The digest's view of a database: products written as a run's search and downloads
// leave them, and the digest of a run.
struct WatchDb
{
    std::shared_ptr<Database> db;
    Connection conn;

    explicit WatchDb(std::shared_ptr<Database> database)
        : db(std::move(database))
        , conn(db)
    { }

    void exec(const QString& sql)
    {
        QString error;
        EXPECT_TRUE(conn.execute(sql, &error)) << sql.toStdString() << ": " << error.toStdString();
    }

    void addProduct(int id, const char* kWord, const char* shop, double price)
    {
        exec(QStringLiteral("INSERT INTO 产品表(ID,KWord,PCode,PName,SName,Price,Dat) "
                            "VALUES(%1,'%2','c%1','产品%1','%3',%4,'2026-12-1 8:00:00')")
                 .arg(id)
                 .arg(QString::fromUtf8(kWord), QString::fromUtf8(shop))
                 .arg(price));
    }

    // What a run's search does to a listed product on that day, and a detail download.
    void list(int id, const QDate& day, double price, int hour = 9)
    {
        exec(QStringLiteral("UPDATE 产品表 SET Price=%1,Dat='%2 %3:00:00' WHERE ID=%4")
                 .arg(price)
                 .arg(day.toString(QStringLiteral("yyyy-M-d")))
                 .arg(hour)
                 .arg(id));
    }
    void detail(int id, const QDate& day, qint64 num9)
    {
        exec(QStringLiteral("UPDATE 产品表 SET Num9=%1,dDat=#%2# WHERE ID=%3")
                 .arg(num9)
                 .arg(day.toString(QStringLiteral("yyyy-M-d")))
                 .arg(id));
    }

    DigestOutcome digest(const QDate& day, int hour, bool categoryWhole = true,
        bool shopWhole = true, double threshold = 5)
    {
        WatchRunScope scope;
        scope.started = QDateTime(day, QTime(hour, 0));
        scope.day = day;
        scope.threshold = threshold;
        if (categoryWhole)
            scope.completeCategories.insert(QStringLiteral("手机"));
        if (shopWhole)
            scope.completeShops.insert(QStringLiteral("甲店"));
        scope.failed = !categoryWhole || !shopWhole;
        DigestOutcome out = ComputeDigest(conn, scope);
        EXPECT_TRUE(out.ok) << out.error.toStdString();
        return out;
    }
};

// "kind id old>new pct" per change, in the order found.
QStringList brief(const QList<Change>& changes)
{
    QStringList out;
    const auto n = [](const std::optional<double>& v) {
        return v ? QString::number(*v) : QStringLiteral("-");
    };
    for (const Change& c : changes)
        out << QStringLiteral("%1 %2 %3>%4 %5")
                   .arg(c.kind)
                   .arg(c.productId)
                   .arg(n(c.oldValue), n(c.newValue), n(c.percent));
    return out;
}

const QDate kDay1(2026, 12, 7);
const QDate kDay2(2026, 12, 8);
const QDate kDay3(2026, 12, 9);
const QDate kDay4(2026, 12, 10);

} // namespace

class WatchDigest : public quel::test::StoreTest
{
};
QUEL_ON_BOTH_ENGINES(WatchDigest);

TEST_P(WatchDigest, FollowTakesOnlyStoredValuesAndUnfollowSaysWhatItDid)
{
    WatchDb t(m_db);
    t.addProduct(7, "手机", "甲店", 10);
    t.exec(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(0,'手机')"));
    const QDateTime since(kDay1, QTime(8, 0));
    EXPECT_EQ(Follow(t.conn, WatchKind::Product, QStringLiteral("8"), since),
        FollowOutcome::UnknownValue);
    EXPECT_EQ(Follow(t.conn, WatchKind::Product, QStringLiteral("甲"), since),
        FollowOutcome::UnknownValue);
    EXPECT_EQ(Follow(t.conn, WatchKind::Shop, QStringLiteral("乙店"), since),
        FollowOutcome::UnknownValue);
    EXPECT_EQ(Follow(t.conn, WatchKind::Category, QStringLiteral("电脑"), since),
        FollowOutcome::UnknownValue);
    EXPECT_EQ(
        Follow(t.conn, WatchKind::Product, QStringLiteral(" 07 "), since), FollowOutcome::Added);
    EXPECT_EQ(Follow(t.conn, WatchKind::Product, QStringLiteral("7"), since),
        FollowOutcome::AlreadyFollowed);
    EXPECT_EQ(Follow(t.conn, WatchKind::Shop, QStringLiteral("甲店"), since), FollowOutcome::Added);
    EXPECT_EQ(
        Follow(t.conn, WatchKind::Category, QStringLiteral("手机"), since), FollowOutcome::Added);

    const auto items = WatchedItems(t.conn);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3);
    EXPECT_EQ(items->at(0).kind, WatchKind::Category);
    EXPECT_EQ(items->at(1).value, QStringLiteral("7"));
    EXPECT_EQ(items->at(1).label, QStringLiteral("产品7")) << "a product is shown by its name";
    EXPECT_EQ(items->at(1).since, since);
    EXPECT_EQ(WatchDetailCondition(t.conn),
        QStringLiteral("ID IN (SELECT PID FROM 关注表 WHERE Kind='product') OR SName IN ('甲店') "
                       "OR (KWord IN ('手机') AND ID NOT IN "
                       "(SELECT PID FROM 关注快照))"));

    EXPECT_EQ(Unfollow(t.conn, WatchKind::Product, QStringLiteral("7")), FollowOutcome::Removed);
    EXPECT_EQ(
        Unfollow(t.conn, WatchKind::Product, QStringLiteral("7")), FollowOutcome::NotFollowed);
    EXPECT_EQ(
        Unfollow(t.conn, WatchKind::Shop, QStringLiteral("丁店")), FollowOutcome::UnknownValue);
    EXPECT_EQ(WatchedItems(t.conn)->size(), 2);
}

TEST_P(WatchDigest, ChangesBetweenRunsAgainstEachProductsLastBaseline)
{
    WatchDb t(m_db);
    t.exec(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(0,'手机')"));
    t.addProduct(1, "手机", "乙店", 100); // cut by exactly the threshold
    t.addProduct(2, "手机", "乙店", 100); // cut just below it
    t.addProduct(3, "手机", "乙店", 50); // vanishes from the list
    t.addProduct(4, "手机", "乙店", 20); // sales up by 4 pieces only
    t.addProduct(5, "手机", "甲店", 30); // the followed shop's; sales jump
    const QDateTime since(kDay1, QTime(7, 0));
    ASSERT_EQ(
        Follow(t.conn, WatchKind::Category, QStringLiteral("手机"), since), FollowOutcome::Added);
    ASSERT_EQ(Follow(t.conn, WatchKind::Shop, QStringLiteral("甲店"), since), FollowOutcome::Added);

    // The first run only takes the baseline.
    for (int id = 1; id <= 5; ++id)
        t.list(id, kDay1, id <= 2 ? 100 : id == 3 ? 50 : id == 4 ? 20 : 30);
    t.detail(4, kDay1, 10);
    t.detail(5, kDay1, 10);
    DigestOutcome run = t.digest(kDay1, 8);
    EXPECT_TRUE(run.firstRun);
    EXPECT_TRUE(run.changes.isEmpty()) << brief(run.changes).join(u'\n').toStdString();

    // The next day: 1 at -5 %, 2 at -4.99 %, 3 missed once, 4 +4 pieces, 5 doubled, and a
    // new product 6 of a shop the category did not list before.
    t.list(1, kDay2, 95);
    t.list(2, kDay2, 95.01);
    t.list(4, kDay2, 20);
    t.list(5, kDay2, 30);
    t.detail(4, kDay2, 14);
    t.detail(5, kDay2, 20);
    t.addProduct(6, "手机", "丙店", 9.9);
    t.list(6, kDay2, 9.9);
    run = t.digest(kDay2, 8);
    EXPECT_FALSE(run.firstRun);
    EXPECT_EQ(brief(run.changes),
        (QStringList {
            "price 1 100>95 -5", "sales 5 10>20 100", "new 6 ->9.9 -", "new_shop 6 ->1 -" }));
    const auto stored = ChangesOfRun(t.conn, run.run);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, run.changes) << "what was found is what is stored";
    EXPECT_EQ(stored->at(0).shop, QStringLiteral("乙店"));
    EXPECT_EQ(stored->at(0).name, QStringLiteral("产品1"));

    // A second run the same day lists the same: 3 is missed again, but on a day already
    // counted, and no change is found twice.
    t.list(1, kDay2, 95, 13);
    t.list(2, kDay2, 95.01, 13);
    t.list(4, kDay2, 20, 13);
    t.list(5, kDay2, 30, 13);
    t.list(6, kDay2, 9.9, 13);
    run = t.digest(kDay2, 12);
    EXPECT_TRUE(run.changes.isEmpty()) << brief(run.changes).join(u'\n').toStdString();

    // The third day: 3 missed on a second day is gone; the shop's search did not finish
    // and 5 was not reached, so 5 keeps its baseline of the second day.
    for (int id : { 1, 2, 4, 6 })
        t.list(id, kDay3, id == 6 ? 9.9 : id == 4 ? 20 : 95);
    run = t.digest(kDay3, 8, true, false);
    EXPECT_EQ(brief(run.changes), (QStringList { "gone 3 50>- -" }));

    // The fourth day reaches 5 again: its change counts from the second day's baseline. 3
    // stays gone without being reported again.
    for (int id : { 1, 2, 4, 6 })
        t.list(id, kDay4, id == 6 ? 9.9 : id == 4 ? 20 : 95);
    t.list(5, kDay4, 27);
    t.detail(5, kDay4, 12);
    run = t.digest(kDay4, 8);
    EXPECT_EQ(brief(run.changes), (QStringList { "price 5 30>27 -10" }))
        << "-8 pieces is 40 per cent: not a jump";

    const auto runs = WatchRuns(t.conn);
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 5);
    EXPECT_EQ(runs->at(0).run, QDateTime(kDay4, QTime(8, 0)));
    EXPECT_EQ(runs->at(0).changes, 1);
    EXPECT_TRUE(runs->at(1).failed);
    EXPECT_FALSE(runs->at(0).failed);
}

TEST(ChangePercentTest, RoundsToCentsSoTheThresholdIsExact)
{
    EXPECT_EQ(ChangePercent(100, 95), -5.0);
    EXPECT_EQ(ChangePercent(19.9, 18.905), -5.0) << "a float quotient of 0.0499999...";
    EXPECT_EQ(ChangePercent(100, 95.01), -4.99);
    EXPECT_FALSE(ChangePercent(0, 5)) << "no per cent of a price that was 0";
}

TEST_P(WatchDigest, ManyFollowedShopsAreReadInOnePassWithTheSameResult)
{
    WatchDb t(m_db);
    // Six followed shops (one table pass), their products and one of a shop not followed.
    const QDateTime since(kDay1, QTime(7, 0));
    for (int i = 1; i <= 7; ++i) {
        const QByteArray shop = QStringLiteral("店%1").arg(i).toUtf8();
        t.addProduct(i, "手机", shop.constData(), 100);
        if (i <= 6) {
            ASSERT_EQ(Follow(t.conn, WatchKind::Shop, QString::fromUtf8(shop), since),
                FollowOutcome::Added);
        }
    }
    for (int id = 1; id <= 7; ++id)
        t.list(id, kDay1, 100);
    ASSERT_TRUE(t.digest(kDay1, 8).firstRun);
    for (int id = 1; id <= 7; ++id)
        t.list(id, kDay2, id == 2 || id == 7 ? 90 : 100);
    const DigestOutcome run = t.digest(kDay2, 8);
    EXPECT_EQ(brief(run.changes), QStringList { "price 2 100>90 -10" })
        << "product 7's shop is not followed";
}

TEST_P(WatchDigest, NewShopsOfACategoryReadInOnePassAndOneBaselineRowPerProduct)
{
    WatchDb t(m_db);
    t.exec(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(0,'手机')"));
    // The category and five shops followed: the products are read in one table pass.
    const QDateTime since(kDay1, QTime(7, 0));
    ASSERT_EQ(
        Follow(t.conn, WatchKind::Category, QStringLiteral("手机"), since), FollowOutcome::Added);
    for (int i = 1; i <= 5; ++i) {
        const QByteArray shop = QStringLiteral("店%1").arg(i).toUtf8();
        t.addProduct(i, "手机", shop.constData(), 100);
        ASSERT_EQ(
            Follow(t.conn, WatchKind::Shop, QString::fromUtf8(shop), since), FollowOutcome::Added);
        t.list(i, kDay1, 100);
    }
    ASSERT_TRUE(t.digest(kDay1, 8).firstRun);

    // The next day two products of a shop the category never listed, one of a known shop
    // (listed before the new shop's second), and product 1 cheaper.
    t.addProduct(6, "手机", "新店", 50);
    t.addProduct(7, "手机", "店2", 60);
    t.addProduct(8, "手机", "新店", 70);
    for (int id = 1; id <= 8; ++id)
        t.list(id, kDay2, id == 1 ? 80 : id == 6 ? 50 : id == 7 ? 60 : id == 8 ? 70 : 100);
    DigestOutcome run = t.digest(kDay2, 8);
    EXPECT_EQ(brief(run.changes),
        (QStringList { "price 1 100>80 -20", "new 6 ->50 -", "new 7 ->60 -", "new 8 ->70 -",
            "new_shop 6 ->2 -" }));

    // The third day: the new shop is known now; product 6 changes from its first baseline.
    for (int id = 1; id <= 8; ++id)
        t.list(id, kDay3, id == 6 ? 40 : id == 1 ? 80 : id == 7 ? 60 : id == 8 ? 70 : 100);
    run = t.digest(kDay3, 8);
    EXPECT_EQ(brief(run.changes), (QStringList { "price 6 50>40 -20" }));

    QString error;
    Statement rows = t.db->prepare(
        QStringLiteral("SELECT COUNT(*),COUNT(DISTINCT PID),MIN(Price) FROM 关注快照"), &error);
    ASSERT_TRUE(rows) << error.toStdString();
    ASSERT_EQ(rows.step(), StepResult::Row);
    EXPECT_EQ(rows.int64(0), 8) << "a changed baseline replaces its row";
    EXPECT_EQ(rows.int64(1), 8);
    EXPECT_EQ(rows.real(2), 40);
}
