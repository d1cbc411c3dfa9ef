#include "core/feedback.h"
#include "db/database.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace quel::shell {
namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

struct RunResult
{
    int code = -1;
    QString err;
};

// The copy commands run as a user would: the built program over data folders, against a
// fresh database on the test server.
class BatchCopyTest : public test::PgServerTest
{
protected:
    void SetUp() override
    {
        test::PgServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        initialise(m_local);
        store::Catalogue catalogue(m_local.path());
        catalogue.LoadCurrentDatabase();
        core::SilentFeedback feedback;
        store::DB_Operate db(catalogue, feedback);
        const char* products[] = {
            "'手机','N73','数码小铺',1600,10,30",
            "'手机','n73','手机之家',1700,20,50",
            "'手机','E258','数码小铺',560,12,70",
            "'配件','电池, 大号','Levi''s',45,5,400",
            // One spelling per shop: of a group whose members differ only in letter case the
            // engines may show different members.
            "'配件','电池, 大号','Levi''s',47.5,6,10",
        };
        for (const char* row : products) {
            ASSERT_TRUE(db.ExecuteSql(
                QStringLiteral("INSERT INTO 产品表(KWord,P_Name,SName,Price,MFee,Num9) VALUES(")
                + QString::fromUtf8(row) + ")"));
        }
        for (int i = 0; i < 40; ++i) {
            ASSERT_TRUE(
                db.ExecuteSql(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                                             "VALUES(%1,'b%2','买家%2',#2026-11-%3#,%4,%5)")
                                  .arg(1 + i % 5)
                                  .arg(i % 7)
                                  .arg(1 + i % 28)
                                  .arg(10.5 * i)
                                  .arg(1 + i % 3)));
        }
        ASSERT_TRUE(
            db.ExecuteSql("INSERT INTO 客户表(BCode,BName,Prov) VALUES('b1','买家1','浙江')"));
        store::DatabasePool::shared().releaseAll();
    }

    static void initialise(const test::TempDir& dir)
    {
        QString error;
        ASSERT_TRUE(store::initialiseDataFolder(dir.path(), test::binDir(), &error)) << s(error);
    }

    static RunResult run(const test::TempDir& dir, const QStringList& arguments)
    {
        QProcess process;
        process.start(test::binDir() + "/quelmar",
            QStringList { "--data", dir.path(), "--batch" } + arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        return { process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()) };
    }

    test::TempDir m_local;
};

TEST_F(BatchCopyTest, CopiesToTheServerAndBackIntoAnEmptyDatabase)
{
    RunResult r = run(m_local, { "copy-to", pgAddress() });
    ASSERT_EQ(r.code, 0) << s(r.err);
    EXPECT_TRUE(r.err.contains("产品表：0/5 行")) << s(r.err);
    EXPECT_TRUE(r.err.contains("交易表：40/40 行")) << s(r.err);
    EXPECT_TRUE(r.err.contains("复制完成：11 个数据表，共 46 行")) << s(r.err);

    // A second copy would mix two databases.
    r = run(m_local, { "copy-to", pgAddress() });
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("已有数据")) << s(r.err);
    // Nor is a database with data overwritten from the server.
    r = run(m_local, { "copy-from", pgAddress() });
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("已有数据")) << s(r.err);

    // --db names another, empty file for the run: the copy goes there, the catalogue's
    // current database stays as it was.
    const QString empty = m_local.file("EMPTY.mdb");
    ASSERT_TRUE(QFile::copy(test::binDir() + "/Null_Data.mdb", empty));
    QProcess withDb;
    withDb.start(test::binDir() + "/quelmar",
        { "--data", m_local.path(), "--db", empty, "--batch", "copy-from", pgAddress() });
    ASSERT_TRUE(withDb.waitForFinished(120000));
    EXPECT_EQ(withDb.exitCode(), 0) << s(QString::fromLocal8Bit(withDb.readAllStandardError()));
    {
        QString error;
        auto copied
            = store::OpenDatabase(empty, QString::fromLatin1(store::kDatabasePassword), &error);
        ASSERT_TRUE(copied) << s(error);
        db::Statement count = copied->prepare("SELECT COUNT(*) FROM 交易表");
        ASSERT_TRUE(count && count.step() == db::StepResult::Row);
        EXPECT_EQ(count.int64(0), 40);
    }

    test::TempDir other;
    initialise(other);
    r = run(other, { "copy-from", pgAddress() });
    ASSERT_EQ(r.code, 0) << s(r.err);

    // The copy answers an analysis exactly as the original does.
    for (const QString group : { "shop-product", "shop" }) {
        const QStringList analyse
            = { "analyse", "products", "--measures", "sales90,price,postage", "--group", group };
        ASSERT_EQ(run(m_local, analyse + QStringList { "--out", m_local.file("a.csv") }).code, 0);
        ASSERT_EQ(run(other, analyse + QStringList { "--out", other.file("a.csv") }).code, 0);
        EXPECT_FALSE(m_local.read("a.csv").isEmpty());
        EXPECT_EQ(m_local.read("a.csv"), other.read("a.csv")) << s(group);
    }
}

TEST_F(BatchCopyTest, TwoInstancesAnalyseTheServerAtOnceAndMatchTheLocalDatabase)
{
    ASSERT_EQ(run(m_local, { "copy-to", pgAddress() }).code, 0);
    const QStringList groups = { "shop-product", "category" };
    const auto analyse = [&](const QString& group, const QString& out) {
        return QStringList { "analyse", "products", "--measures", "sales90,price,postage",
            "--group", group, "--out", out };
    };

    // Two program instances, each with its own data folder, at the same time on the server.
    test::TempDir folders[2];
    QProcess instances[2];
    for (int i = 0; i < 2; ++i) {
        initialise(folders[i]);
        instances[i].start(test::binDir() + "/quelmar",
            QStringList { "--data", folders[i].path(), "--db", pgAddress(), "--batch" }
                + analyse(groups[i], folders[i].file("server.csv")));
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(instances[i].waitForFinished(120000));
        EXPECT_EQ(instances[i].exitCode(), 0)
            << s(QString::fromLocal8Bit(instances[i].readAllStandardError()));
    }

    // Each got its own grouping, exactly as the local database answers it.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(run(m_local, analyse(groups[i], m_local.file("local.csv"))).code, 0);
        const QByteArray local = m_local.read("local.csv");
        EXPECT_FALSE(local.isEmpty());
        EXPECT_EQ(folders[i].read("server.csv").toStdString(), local.toStdString()) << s(groups[i]);
    }
}

TEST_F(BatchCopyTest, BadAddressesAreUsageErrorsAndAnUnreachableServerIsFatal)
{
    RunResult r = run(m_local, { "copy-to" });
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("缺少数据库服务器地址")) << s(r.err);
    r = run(m_local, { "copy-from", m_local.file("OTHER.mdb") });
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("不是数据库服务器地址")) << s(r.err);
    r = run(m_local, { "copy-to", pgAddress(), "extra" });
    EXPECT_EQ(r.code, 2);

    r = run(
        m_local, { "copy-to", "postgresql://ana:Sekr1t@/shop?host=/nonexistent-quelmar-socket" });
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("无法连接数据库服务器")) << s(r.err);
    EXPECT_FALSE(r.err.contains("Sekr1t")) << s(r.err);
}

} // namespace
} // namespace quel::shell
