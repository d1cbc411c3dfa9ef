#include "analysis/product_stats.h"
#include "core/feedback.h"
#include "db/database.h"
#include "db/recordset.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace quel::analysis {
namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

// One program instance against the shared server database: its own data folder, catalogue
// and session (the process keeps one session per address, so each instance is given the
// address with its own application name, as two programs on two machines have two).
struct Instance
{
    Instance(const QString& address, const QString& name)
        : catalogue(dir.path())
        , db(catalogue, feedback)
    {
        const QChar joint = address.contains(u'?') ? u'&' : u'?';
        catalogue.useDatabaseForRun(address + joint + QStringLiteral("application_name=") + name);
    }

    // Every row of the instance's product statistics table, fields joined by "|", sorted.
    QStringList workTable()
    {
        db::Connection conn;
        db::Recordset rs;
        QStringList rows;
        if (!db.OpenRecordset(conn, rs, QStringLiteral("SELECT * FROM TEMP_PAna")))
            return { QStringLiteral("no work table") };
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields << rs.fieldName(i) + u'=' + rs.value(i).toString();
            rows << fields.join(u'|');
        }
        rows.sort();
        return rows;
    }

    test::TempDir dir;
    core::SilentFeedback feedback;
    store::Catalogue catalogue;
    store::DB_Operate db;
};

class ProductStatsSessionsTest : public test::PgServerTest
{
protected:
    void SetUp() override
    {
        test::PgServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        QString error;
        auto db = store::OpenDatabase(pgAddress(), {}, &error);
        ASSERT_TRUE(db) << s(error);
        const char* rows[] = {
            "'手机','N73','数码小铺',1600,30",
            "'手机','N73','手机之家',1700,50",
            "'手机','E258','数码小铺',560,70",
            "'配件','电池','手机之家',45,400",
            "'配件','电池','手机之家',55,100",
        };
        for (const char* row : rows) {
            const QString sql
                = QStringLiteral("INSERT INTO 产品表(KWord,P_Name,SName,Price,Num9) VALUES(")
                + QString::fromUtf8(row) + u')';
            ASSERT_TRUE(db->execute(sql, &error)) << s(error);
        }
    }
    void TearDown() override
    {
        store::DatabasePool::shared().releaseAll();
        test::PgServerTest::TearDown();
    }
};

TEST_F(ProductStatsSessionsTest, TwoInstancesKeepTheirOwnStatisticsTable)
{
    Instance byShop(pgAddress(), "quelmar_a");
    Instance byCategory(pgAddress(), "quelmar_b");

    // Both build their statistics before either reads them, as two analysts at once.
    ASSERT_TRUE(BuildProductAnalysisTable(byShop.db, "SName"));
    ASSERT_TRUE(BuildProductAnalysisTable(byCategory.db, "KWord"));

    const QStringList shops = byShop.workTable();
    ASSERT_EQ(shops.size(), 2) << s(shops.join(", "));
    EXPECT_TRUE(shops[0].startsWith("SName=手机之家|Price=")) << s(shops[0]);
    EXPECT_TRUE(shops[0].contains("|Num9=550|")) << s(shops[0]);
    EXPECT_TRUE(shops[1].startsWith("SName=数码小铺|Price=1080|")) << s(shops[1]);

    const QStringList categories = byCategory.workTable();
    ASSERT_EQ(categories.size(), 2) << s(categories.join(", "));
    EXPECT_TRUE(categories[0].startsWith("KWord=手机|Price=1286.66")) << s(categories[0]);
    EXPECT_TRUE(categories[1].startsWith("KWord=配件|Price=50|")) << s(categories[1]);

    // One instance building again changes nothing for the other.
    ASSERT_TRUE(BuildProductAnalysisTable(byShop.db, "SName,P_Name"));
    EXPECT_EQ(byCategory.workTable(), categories);
    EXPECT_EQ(byShop.workTable().size(), 4);

    // A third instance has no statistics table of its own yet.
    Instance fresh(pgAddress(), "quelmar_c");
    EXPECT_FALSE(fresh.db.TableExists("TEMP_PAna"));
}

} // namespace
} // namespace quel::analysis
