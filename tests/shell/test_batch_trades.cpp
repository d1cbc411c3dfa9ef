#include "core/feedback.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/database.h"
#include "store/db_operate.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The trade, buyer and cycle analyses through the built program's analyse command, over a
// data folder with products 1, 2, 12 and 112, their trades and buyers.
class BatchTradesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(quel::store::initialiseDataFolder(m_dir.path(), quel::test::binDir(), &error))
            << error.toStdString();
        quel::store::Catalogue catalogue(m_dir.path());
        catalogue.LoadCurrentDatabase();
        quel::SilentFeedback feedback;
        quel::store::DB_Operate db(catalogue, feedback);
        const char* statements[] = {
            "INSERT INTO 产品表(ID,P_Name,SName,Price,Num9) VALUES(1,'诺基亚','甲店',10,5)",
            "INSERT INTO 产品表(ID,P_Name,SName,Price,Num9) VALUES(2,'诺基亚','乙店',20,1)",
            "INSERT INTO 产品表(ID,P_Name,SName,Price,Num9) VALUES(12,'Levi''s 501','乙店',3,2)",
            "INSERT INTO 产品表(ID,P_Name,SName,Price,Num9) VALUES(112,'钢笔','丙店',1,1)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(1,'b1','甲',#2010-1-31 "
            "23:59#,10,1)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(2,'b1','甲',#2010-3-1 "
            "00:00#,20,2)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(12,'b2','乙',#2010-3-7 "
            "12:00#,3,1)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(112,'b3','丙',#2010-3-7 "
            "12:00#,1,9)",
            "INSERT INTO 客户表(BCode,BName,Prov) VALUES('b1','甲','浙江')",
            "INSERT INTO 客户表(BCode,BName,Prov) VALUES('b2','乙','上海')",
            "INSERT INTO 客户表(BCode,BName,Prov) VALUES('b3','丙','北京')",
        };
        for (const char* sql : statements)
            ASSERT_TRUE(db.ExecuteSql(QString::fromUtf8(sql))) << sql;
        quel::store::DatabasePool::shared().releaseAll();
    }

    std::pair<int, QString> run(const QStringList& arguments)
    {
        QProcess process;
        process.start(quel::test::binDir() + "/quelmar",
            QStringList { "--data", m_dir.path(), "--batch", "analyse" } + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return { process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()) };
    }
    QStringList csvLines(const QString& name)
    {
        return QString::fromUtf8(m_dir.read(name).mid(3)).split("\r\n", Qt::SkipEmptyParts);
    }

    quel::test::TempDir m_dir;
};

} // namespace

TEST_F(BatchTradesTest, TotalsRankTheProductTable)
{
    const auto [code, text]
        = run({ "totals", "--by", "shop", "--measure", "amount", "--out", m_dir.file("t.csv") });
    ASSERT_EQ(code, 0) << text.toStdString();
    EXPECT_EQ(csvLines("t.csv"),
        (QStringList { "序号,店铺,交易金额", "1,甲店,50.00", "2,乙店,26.00", "3,丙店,1.00" }));
}

TEST_F(BatchTradesTest, PeriodsShareOneAxisAndDrawAChart)
{
    const QString chart = m_dir.file("p.jpg");
    const auto [code, text] = run(
        { "periods", "--products", "1,2,12", "--unit", "month", "--measure", "quantity", "--series",
            "product", "--out", m_dir.file("p.csv"), "--chart", chart, "--size", "640x480" });
    ASSERT_EQ(code, 0) << text.toStdString();
    EXPECT_EQ(csvLines("p.csv"),
        (QStringList { "序号,日期,Levi's 501,诺基亚", "1,2010.01.01,0,1", "2,2010.02.01,0,0",
            "3,2010.03.01,1,2" }));
    EXPECT_EQ(QImageReader(chart).size(), QSize(640, 480));

    // Average prices: a month without trades has none, an empty cell in the file.
    const auto [average, why] = run({ "periods", "--products", "1,2,12", "--unit", "month",
        "--measure", "average", "--series", "product", "--out", m_dir.file("a.csv"), "--chart",
        m_dir.file("a.png") });
    ASSERT_EQ(average, 0) << why.toStdString();
    EXPECT_EQ(csvLines("a.csv"),
        (QStringList { "序号,日期,Levi's 501,诺基亚", "1,2010.01.01,,10.00", "2,2010.02.01,,",
            "3,2010.03.01,3.00,20.00" }));
    EXPECT_EQ(QImageReader(m_dir.file("a.png")).format(), "png");

    // Products without trades: nothing to write, and the command says so.
    const auto [empty, message] = run({ "periods", "--products", "999", "--unit", "day",
        "--measure", "amount", "--series", "shop", "--out", m_dir.file("e.csv") });
    EXPECT_EQ(empty, 1);
    EXPECT_FALSE(message.isEmpty());
    EXPECT_FALSE(QFile::exists(m_dir.file("e.csv")));
}

TEST_F(BatchTradesTest, BuyersAndCycleMatchIdentifiersWhole)
{
    auto [code, text] = run(
        { "buyers", "--products", "12,1,2", "--by", "province", "--out", m_dir.file("b.csv") });
    ASSERT_EQ(code, 0) << text.toStdString();
    EXPECT_EQ(csvLines("b.csv"), (QStringList { "序号,省份,用户数", "1,上海,1", "2,浙江,1" }));

    std::tie(code, text) = run({ "cycle", "--products", "12", "--cycle", "week", "--measure",
        "quantity", "--out", m_dir.file("c.csv") });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QStringList lines = csvLines("c.csv");
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], "序号,周/天,售出件数");
    EXPECT_EQ(lines[7], "7,周7,1") << "7 March 2010 was a Sunday; 112 is not 12";
}

TEST_F(BatchTradesTest, BadArgumentsGiveTheUsage)
{
    const QString out = m_dir.file("x.csv");
    for (const QStringList& arguments : { QStringList { "totals", "--by", "shop", "--out", out },
             QStringList { "periods", "--products", "1;2", "--unit", "day", "--measure", "amount",
                 "--series", "shop", "--out", out },
             QStringList { "buyers", "--products", "1", "--by", "age", "--out", out },
             QStringList { "cycle", "--products", "1", "--cycle", "year", "--measure", "amount",
                 "--out", out } }) {
        const auto [code, text] = run(arguments);
        EXPECT_EQ(code, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(text.contains("usage: quelmar --batch analyse cycle --products IDS"))
            << text.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
