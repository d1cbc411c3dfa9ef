#include "core/feedback.h"
#include "db/database.h"
#include "shell/batch_analyse.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/app_fixture.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <gtest/gtest.h>

namespace quel::shell {
namespace {

// The analyse command run as a user would: the built program over a data folder with a
// few products.
class BatchAnalyseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(store::initialiseDataFolder(m_dir.path(), test::binDir(), &error))
            << error.toStdString();
        store::Catalogue catalogue(m_dir.path());
        catalogue.LoadCurrentDatabase();
        core::SilentFeedback feedback;
        store::DB_Operate db(catalogue, feedback);
        const char* rows[] = {
            "'手机','N73','数码小铺',1600,10,30",
            "'手机','N73','手机之家',1700,20,50",
            "'手机','E258','数码小铺',560,12,70",
            "'配件','电池, 大号','Levi''s',45,5,400",
        };
        for (const char* row : rows) {
            ASSERT_TRUE(db.ExecuteSql(
                QStringLiteral("INSERT INTO 产品表(KWord,P_Name,SName,Price,MFee,Num9) VALUES(")
                + QString::fromUtf8(row) + ")"));
        }
        // Prices of the first two products over a week with gaps.
        const char* history[] = { "1,#2026-12-1#,1600", "1,#2026-12-4#,1500", "2,#2026-12-2#,1700",
            "2,#2026-12-3#,1650" };
        for (const char* row : history) {
            ASSERT_TRUE(db.ExecuteSql(QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(")
                + QString::fromUtf8(row) + ")"));
        }
        store::DatabasePool::shared().releaseAll();
    }

    std::pair<int, QString> run(const QStringList& arguments)
    {
        QProcess process;
        process.start(test::binDir() + "/quelmar",
            QStringList { "--data", m_dir.path(), "--batch", "analyse" } + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return { process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()) };
    }

    test::TempDir m_dir;
};

TEST_F(BatchAnalyseTest, WritesTheTableAsCsvWithTheCaptionsFirst)
{
    const QString out = m_dir.file("p.csv");
    const auto [code, text] = run(
        { "products", "--measures", "sales90,price", "--group", "shop-product", "--out", out });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QStringList lines = QString::fromUtf8(m_dir.read("p.csv").mid(3)).split("\r\n");
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "序号,产品/店铺,价格,90天售出");
    EXPECT_EQ(lines[1], "1,N73(手机之家),1700.00,50");
    EXPECT_EQ(lines[4], "4,\"电池, 大号(Levi's)\",45.00,400");
}

TEST_F(BatchAnalyseTest, HistoryWritesOneRowPerDayAndOneColumnPerProduct)
{
    const QString out = m_dir.file("h.csv");
    const auto [code, text] = run({ "history", "--products", "2,1", "--out", out, "--chart",
        m_dir.file("h.jpg"), "--size", "640x480" });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QStringList lines = QString::fromUtf8(m_dir.read("h.csv").mid(3)).split("\r\n");
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "日期,N73(手机之家),N73(数码小铺)");
    EXPECT_EQ(lines[1], "2026-12-1,,1600");
    EXPECT_EQ(lines[2], "2026-12-2,1700,1600");
    EXPECT_EQ(lines[3], "2026-12-3,1650,1600");
    EXPECT_EQ(lines[4], "2026-12-4,1650,1500");
    EXPECT_EQ(QImageReader(m_dir.file("h.jpg")).size(), QSize(640, 480));

    // A measure without observations writes the headings only; an ID that is no product,
    // or none at all, fails.
    EXPECT_EQ(run({ "history", "--products", "1", "--measure", "sales90", "--out", out }).first, 0);
    EXPECT_EQ(run({ "history", "--products", "1,42", "--out", out }).first, 1);
    const auto [bad, usage] = run({ "history", "--measure", "price", "--out", out });
    EXPECT_EQ(bad, 2);
    EXPECT_TRUE(usage.contains("usage: quelmar --batch analyse history --products"))
        << usage.toStdString();
}

TEST_F(BatchAnalyseTest, WritesAWorkbookAndAChartOfTheGivenSize)
{
    const QString out = m_dir.file("p.xlsx");
    const QString chart = m_dir.file("chart");
    const auto [code, text] = run({ "products", "--measures", "price,postage", "--group", "product",
        "--out", out, "--chart", chart, "--size", "640x480" });
    ASSERT_EQ(code, 0) << text.toStdString();
    EXPECT_TRUE(m_dir.read("p.xlsx").startsWith("PK"));
    QImageReader reader(chart + ".jpg");
    EXPECT_EQ(reader.format(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(640, 480));

    // Without --size the chart is 900 by 600.
    ASSERT_EQ(run({ "products", "--measures", "price", "--group", "shop", "--out", out, "--chart",
                      m_dir.file("c2.jpg") })
                  .first,
        0);
    EXPECT_EQ(QImageReader(m_dir.file("c2.jpg")).size(), QSize(900, 600));
}

TEST_F(BatchAnalyseTest, ChartsArePngOrSvgByTheirNameInTheAskedStyle)
{
    const QString out = m_dir.file("p.csv");
    const QString png = m_dir.file("c.PNG");
    ASSERT_EQ(run({ "products", "--measures", "price,sales90", "--group", "shop", "--out", out,
                      "--chart", png, "--size", "500x300" })
                  .first,
        0);
    QImageReader reader(png);
    EXPECT_EQ(reader.format(), "png");
    EXPECT_EQ(reader.size(), QSize(500, 300));
    // Bars by shop: the first series' colour fills whole areas of the picture.
    const QImage bars = reader.read();
    ASSERT_FALSE(bars.isNull());

    const QString svg = m_dir.file("c.svg");
    const auto [code, text] = run({ "products", "--measures", "price,sales90", "--group", "shop",
        "--out", out, "--chart", svg, "--style", "panels" });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QString vector = QString::fromUtf8(m_dir.read("c.svg"));
    EXPECT_TRUE(vector.contains("<svg")) << "an SVG document";
    EXPECT_TRUE(vector.contains("数码小铺")) << "its text kept as text";

    // Lines by hand: the same data, another picture.
    ASSERT_EQ(run({ "products", "--measures", "price,sales90", "--group", "shop", "--out", out,
                      "--chart", m_dir.file("l.png"), "--size", "500x300", "--style", "lines" })
                  .first,
        0);
    EXPECT_NE(QImage(m_dir.file("l.png")), bars);

    const auto [bad, usage] = run(
        { "products", "--measures", "price", "--group", "shop", "--out", out, "--style", "pie" });
    EXPECT_EQ(bad, 2);
    EXPECT_TRUE(usage.contains("--style takes lines, bars, panels or single"))
        << usage.toStdString();
}

TEST_F(BatchAnalyseTest, BadArgumentsGiveTheUsageAndAMissingDatabaseExitCodeOne)
{
    const QString out = m_dir.file("x.csv");
    for (const QStringList& arguments : { QStringList {}, QStringList { "weather" },
             QStringList { "products", "--measures", "price", "--group", "shop" },
             QStringList { "products", "--measures", "price", "--group", "town", "--out", out },
             QStringList { "products", "--measures", "price", "--group", "shop", "--out", out,
                 "--size", "0x5" } }) {
        const auto [code, text] = run(arguments);
        EXPECT_EQ(code, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(text.contains("usage: quelmar --batch analyse products")) << text.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));

    m_dir.write("DATA.mdb", "not a database");
    const auto [code, text]
        = run({ "products", "--measures", "price", "--group", "shop", "--out", out });
    EXPECT_EQ(code, 1) << text.toStdString();
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(BatchAnalyseTest, DbNamesTheRunsDatabaseWithoutTouchingTheCatalogue)
{
    // The products are only in a file outside the data folder; the catalogue's own current
    // database cannot be opened, so a run that fell back to it would fail.
    test::TempDir elsewhere;
    ASSERT_TRUE(QDir().mkpath(elsewhere.file("sub")));
    ASSERT_TRUE(QFile::copy(m_dir.file("DATA.mdb"), elsewhere.file("sub/team.mdb")));
    m_dir.write("DATA.mdb", "not a database");
    const QByteArray catalogue = QStringLiteral("默认〗★〖%1〗★〖乙〗★〖%2")
                                     .arg(m_dir.file("DATA.mdb"), m_dir.file("DATA1.mdb"))
                                     .toUtf8();
    m_dir.write("DB.txt", catalogue);

    const auto runIn = [](const QString& folder, const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(test::binDir() + "/quelmar", arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return std::make_pair(
            process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()));
    };
    const QString out = m_dir.file("p.csv");
    const QStringList analyse { "--batch", "analyse", "products", "--measures", "price", "--group",
        "shop", "--out", out };

    // A relative path counts from where the program starts, not from the data folder.
    const auto [code, text] = runIn(
        elsewhere.path(), QStringList { "--data", m_dir.path(), "--db", "sub/team.mdb" } + analyse);
    ASSERT_EQ(code, 0) << text.toStdString();
    const QString table = QString::fromUtf8(m_dir.read("p.csv"));
    EXPECT_TRUE(table.contains("数码小铺") && table.contains("Levi's")) << table.toStdString();
    EXPECT_EQ(m_dir.read("DB.txt"), catalogue);
    EXPECT_FALSE(QFile::exists(m_dir.file("sub/team.mdb")));

    // A file that is not there is reported, not created.
    const auto [missingCode, missingText] = runIn(
        elsewhere.path(), QStringList { "--data", m_dir.path(), "--db", "none.mdb" } + analyse);
    EXPECT_EQ(missingCode, 1) << missingText.toStdString();
    EXPECT_FALSE(QFile::exists(elsewhere.file("none.mdb")));
    EXPECT_EQ(m_dir.read("DB.txt"), catalogue);

    // --db without its value, or with a password in the address, is a usage error.
    for (const QStringList& bad : { QStringList { "--data", m_dir.path(), "--db" },
             QStringList { "--data", m_dir.path(), "--db", "--batch", "analyse" },
             QStringList {
                 "--db", "postgresql://ana:pw@127.0.0.1:1/team", "--batch", "analyse" } }) {
        const auto [badCode, badText] = runIn(elsewhere.path(), bad);
        EXPECT_EQ(badCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(badText.contains("用法：quelmar")) << badText.toStdString();
        EXPECT_FALSE(badText.contains("pw@")) << badText.toStdString();
    }
    EXPECT_EQ(m_dir.read("DB.txt"), catalogue);
}

// A server database named with --db, on the throw-away test server.
class BatchOnServerTest : public test::PgServerTest
{
protected:
    void TearDown() override
    {
        store::DatabasePool::shared().releaseAll();
        PgServerTest::TearDown();
    }
    test::TempDir m_dir;
};

TEST_F(BatchOnServerTest, DbTakesAServerAddressAsItIs)
{
    QString error;
    ASSERT_TRUE(store::initialiseDataFolder(m_dir.path(), test::binDir(), &error))
        << error.toStdString();
    store::Catalogue catalogue(m_dir.path());
    catalogue.useDatabaseForRun(pgAddress());
    core::SilentFeedback feedback;
    store::DB_Operate db(catalogue, feedback);
    ASSERT_TRUE(db.ExecuteSql(QStringLiteral(
        "INSERT INTO 产品表(KWord,P_Name,SName,Price) VALUES('手机','N73','服务器小铺',1600)")));
    store::DatabasePool::shared().releaseAll();

    const QString out = m_dir.file("s.csv");
    QProcess process;
    process.start(test::binDir() + "/quelmar",
        { "--data", m_dir.path(), "--db", pgAddress(), "--batch", "analyse", "products",
            "--measures", "price", "--group", "shop", "--out", out });
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(m_dir.read("s.csv")).contains("服务器小铺"));
    EXPECT_FALSE(QFile::exists(m_dir.file("DB.txt")));
}

TEST(AnalyseOutputArguments, SharedOptionsAreTakenOutForEveryKind)
{
    AnalyseOutput output;
    QStringList rest;
    QString error;
    ASSERT_TRUE(ParseAnalyseOutput({ "--group", "shop", "--out", "a.csv", "--size", "300x200",
                                       "--rows", "2-9", "--chart", "c.jpg" },
        output, rest, &error));
    EXPECT_EQ(rest, QStringList({ "--group", "shop" }));
    EXPECT_EQ(output.out, "a.csv");
    EXPECT_EQ(output.chart, "c.jpg");
    EXPECT_EQ(output.size, QSize(300, 200));
    EXPECT_EQ(output.lastRow, 9);
    for (const QStringList& bad :
        { QStringList { "--chart", "c.jpg" }, QStringList { "--out", "a", "--size", "big" },
            QStringList { "--out", "a", "--rows", "5-2" }, QStringList { "--out" } }) {
        AnalyseOutput fresh;
        EXPECT_FALSE(ParseAnalyseOutput(bad, fresh, rest, &error)) << bad.join(' ').toStdString();
    }
    ASSERT_FALSE(analyseKinds().empty());
    EXPECT_EQ(analyseKinds().front().name, "products");
}

} // namespace
} // namespace quel::shell
