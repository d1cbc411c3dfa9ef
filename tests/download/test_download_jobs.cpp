#include "download/download_jobs.h"
#include "download/download_session.h"
#include "download_test_db.h"

using namespace quel::download;
using quel::test::FakeFeedback;
using quel::test::TestDb;

namespace {

const QString S = QStringLiteral("〗★〖");
const QDate kToday(2026, 12, 7);

QString profile(const QStringList& fields)
{
    return fields.join(S);
}

struct BuyerDb : TestDb
{
    qint64 addCustomer(const QString& code, const QString& prov = QString())
    {
        exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('") + code + QStringLiteral("')"));
        if (!prov.isEmpty())
            exec(QStringLiteral("UPDATE 客户表 SET Prov='") + prov
                + QStringLiteral("' WHERE BCode='") + code + QStringLiteral("'"));
        return rows(
            QStringLiteral("SELECT ID FROM 客户表 WHERE BCode='") + code + QStringLiteral("'"))
            .front()
            .value("ID")
            .toLongLong();
    }

    void addTrade(qint64 pid, const QString& code, const QString& buyer)
    {
        exec(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(")
            + QString::number(pid) + QStringLiteral(",'") + code + QStringLiteral("','") + buyer
            + QStringLiteral("',#2010-4-12#,10,1)"));
    }

    QVariantMap customer(qint64 id) const
    {
        return rows(QStringLiteral("SELECT * FROM 客户表 WHERE ID=") + QString::number(id)).front();
    }

    QStringList listedBuyers(const QString& condition = QString())
    {
        FakeFeedback feedback { FakeFeedback::AlwaysOpen };
        QStringList out;
        EXPECT_TRUE(PrepareBuyerTable(conn));
        const auto jobs = FillBuyerJobs(conn, condition, feedback,
            [](const QString& code) { return QStringLiteral("url:") + code; });
        EXPECT_TRUE(jobs.has_value());
        for (const DownloadJob& j : jobs.value_or(std::vector<DownloadJob> {}))
            out << j.title + "=" + j.job;
        return out;
    }
};

} // namespace

TEST(SaveBuyerResult, WritesProfileWithItsDateAndCreditRules)
{
    BuyerDb t;
    const qint64 id = t.addCustomer(QStringLiteral("b1"));
    ASSERT_TRUE(SaveBuyerResult(t.conn,
        profile({ "张三", "12", "", "浙江", "杭州", "2003年12月1日", "" }), id, nullptr, kToday));
    QVariantMap c = t.customer(id);
    EXPECT_EQ(c.value("BName").toString(), QStringLiteral("张三"));
    EXPECT_EQ(c.value("SLevel").toString(), QStringLiteral("12"));
    EXPECT_EQ(c.value("BLevel").toString(), QStringLiteral("0"));
    EXPECT_EQ(c.value("Prov").toString(), QStringLiteral("浙江"));
    EXPECT_EQ(c.value("Regi").toString(), QStringLiteral("杭州"));
    EXPECT_EQ(c.value("rDat").toDateTime().date(), QDate(2003, 12, 1));
    EXPECT_EQ(c.value("lDat").toDateTime().date(), QDate(1900, 1, 1));
    EXPECT_EQ(c.value("dDat").toDateTime().date(), kToday);

    // An empty name keeps the stored one; everything else is replaced.
    ASSERT_TRUE(SaveBuyerResult(t.conn,
        profile({ "", "-1", "-1", "查封", "查封", "1900-1-1", "1900-1-1" }), id, nullptr, kToday));
    c = t.customer(id);
    EXPECT_EQ(c.value("BName").toString(), QStringLiteral("张三"));
    EXPECT_EQ(c.value("Prov").toString(), QStringLiteral("查封"));
    EXPECT_EQ(c.value("rDat").toDateTime().date(), QDate(1900, 1, 1));
}

TEST(SaveBuyerResult, RefusesShortOrUnreadableResults)
{
    BuyerDb t;
    const qint64 id = t.addCustomer(QStringLiteral("b1"));
    EXPECT_FALSE(SaveBuyerResult(t.conn, QString(), id));
    EXPECT_FALSE(
        SaveBuyerResult(t.conn, profile({ "a", "1", "2", "浙江", "杭州", "2003-1-1" }), id));
    EXPECT_FALSE(SaveBuyerResult(
        t.conn, profile({ "a", "1", "2", "浙江", "杭州", "去年", "2003-1-1" }), id));
    const QVariantMap c = t.customer(id);
    EXPECT_EQ(c.value("Prov").toString(), QString());
    EXPECT_EQ(c.value("BName").toString(), QString());
    // A name with a quote is stored, not a broken statement.
    EXPECT_TRUE(SaveBuyerResult(
        t.conn, profile({ "O'Brien", "1", "2", "海外", "美国", "2003-1-1", "2009-5-6" }), id));
    EXPECT_EQ(t.customer(id).value("BName").toString(), QStringLiteral("O'Brien"));
}

TEST(BuyerJobs, ListsBuyersWithoutProfileOncePerNickname)
{
    BuyerDb t;
    const qint64 p1 = t.addProduct(QStringLiteral("1"));
    const qint64 p2 = t.addProduct(QStringLiteral("2"));
    t.addCustomer(QStringLiteral("a"));
    t.addCustomer(QStringLiteral("b"));
    t.addCustomer(QStringLiteral("done"), QStringLiteral("浙江"));
    t.addTrade(p1, QStringLiteral("a"), QStringLiteral("阿甲"));
    t.addTrade(p2, QStringLiteral("a"), QStringLiteral("阿甲")); // bought twice: one row
    t.addTrade(p1, QStringLiteral("b"), QStringLiteral("阿乙"));
    t.addTrade(p1, QStringLiteral("done"), QStringLiteral("已下载"));
    t.addTrade(p1, QString(), QStringLiteral("无编号"));
    QStringList listed = t.listedBuyers(DownloadSession::conditionFor(DownloadKind::Buyers, false));
    listed.sort();
    EXPECT_EQ(listed, (QStringList { "阿乙=url:b", "阿甲=url:a" }));
    EXPECT_EQ(t.listedBuyers().size(), 2);

    // The table is a snapshot: a left-over one of the right shape is used as it stands.
    t.exec(QStringLiteral("DELETE * FROM TEMP_Customer WHERE Buyer='阿乙'"));
    EXPECT_EQ(t.listedBuyers(), QStringList { "阿甲=url:a" });

    // The trade list's table of the same name has other columns and is rebuilt.
    t.exec(QStringLiteral("DROP TABLE TEMP_Customer"));
    t.exec(QStringLiteral(
        "CREATE TABLE TEMP_Customer (ID COUNTER,PID LONG,BCode STRING,P_Name STRING,PName "
        "STRING,Buyer STRING,Dat DATE,Pri DOUBLE,Num LONG)"));
    EXPECT_EQ(t.listedBuyers().size(), 2);
}

TEST(BuyerJobs, NoBuyerToProfileSaysSo)
{
    BuyerDb t;
    FakeFeedback feedback { FakeFeedback::AlwaysOpen };
    ASSERT_TRUE(PrepareBuyerTable(t.conn));
    const auto jobs = FillBuyerJobs(t.conn, QString(), feedback, {});
    ASSERT_TRUE(jobs.has_value());
    EXPECT_TRUE(jobs->empty());
    EXPECT_EQ(feedback.messages, QStringList { QStringLiteral("没有需要下载资讯的客户！") });
}

TEST(ProductJobs, ListsProductsByConditionMostRecentlyDownloadedFirst)
{
    TestDb t;
    const qint64 never = t.addProduct(QStringLiteral("n1"), QStringLiteral("未下载"));
    const qint64 old = t.addProduct(QStringLiteral("o1"), QStringLiteral("旧的"));
    const qint64 recent = t.addProduct(QStringLiteral("r1"), QStringLiteral("新的"));
    t.exec(QStringLiteral("UPDATE 产品表 SET Style='x',dDat=#2020-1-1# WHERE ID=")
        + QString::number(old));
    t.exec(QStringLiteral("UPDATE 产品表 SET Style='x',dDat=#2026-1-1# WHERE ID=")
        + QString::number(recent));
    FakeFeedback feedback { FakeFeedback::AlwaysOpen };
    const auto all = FillProductJobs(t.conn, QString(), feedback);
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 3u);
    EXPECT_EQ((*all)[0].id, recent);
    EXPECT_EQ((*all)[1].id, old);
    EXPECT_EQ((*all)[2].id, never);
    EXPECT_EQ((*all)[2].job, QStringLiteral("n1"));
    EXPECT_EQ((*all)[2].title, QStringLiteral("未下载"));

    const auto fresh = FillProductJobs(
        t.conn, DownloadSession::conditionFor(DownloadKind::Details, false), feedback);
    ASSERT_EQ(fresh->size(), 1u);
    EXPECT_EQ(fresh->front().id, never);
    EXPECT_TRUE(feedback.messages.isEmpty());
    EXPECT_EQ(DownloadRowLimit(), 69998);
}
