// SPDX-License-Identifier: GPL-3.0-or-later
// The narrow copy of the buyers' profiles: after every kind of write it gives back exactly
// the rows of 客户表 (value and type), and equals its own rebuild.
#include "db_sqlite/packed_date.h"
#include "store/customer_lookup.h"
#include "support/store_fixture.h"

using namespace quel;
using quel::test::Engine;

namespace {

class CustomerLookup : public quel::test::StoreTest
{
protected:
    // Rows as "type:value|...", read natively so that no layer converts a value.
    QStringList read(const QString& sql)
    {
        QStringList all;
        db::Statement stmt = m_db->prepareNative(sql);
        EXPECT_TRUE(stmt) << sql.toStdString();
        while (stmt && stmt.step() == db::StepResult::Row) {
            QStringList row;
            for (int i = 0; i < stmt.columnCount(); ++i)
                row << stmt.text(i);
            all << row.join(u'|');
        }
        return all;
    }

    // 客户表's rows with a code, in code order.
    QStringList table()
    {
        return read(
            QStringLiteral("SELECT %1 FROM 客户表 WHERE BCode IS NOT NULL ORDER BY BCode, ID")
                .arg(typed()));
    }
    // The copy's rows as the customer list writes them: into a table of 客户表's columns.
    QStringList copy()
    {
        native(QStringLiteral("DROP TABLE IF EXISTS temp.back"));
        native(QStringLiteral("CREATE TEMP TABLE back AS SELECT * FROM 客户表 WHERE 0"));
        native(QStringLiteral("INSERT INTO back SELECT %1 FROM %2 s ORDER BY s.BCode, s.ID")
                   .arg(store::customerLookupColumns(QStringLiteral("s")),
                       QString::fromUtf8(store::kCustomerLookupTable)));
        return read(QStringLiteral("SELECT %1 FROM back ORDER BY rowid").arg(typed()));
    }
    // Every column of 客户表, each value with its type.
    static QString typed()
    {
        QStringList out;
        for (const char* c :
            { "ID", "BCode", "BName", "SLevel", "BLevel", "Prov", "Regi", "rDat", "lDat", "dDat" })
            out << QStringLiteral("typeof(%1)||':'||quote(%1)").arg(QLatin1String(c));
        return out.join(u',');
    }

    void expectSame(const char* after)
    {
        SCOPED_TRACE(after);
        ASSERT_TRUE(store::HasCustomerLookup(*m_db));
        const QStringList kept = copy();
        EXPECT_EQ(kept, table());
        QString error;
        ASSERT_TRUE(store::RebuildCustomerLookup(*m_db, &error)) << error.toStdString();
        EXPECT_EQ(copy(), kept) << "the rebuild";
        ASSERT_TRUE(store::HasCustomerLookup(*m_db));
    }

    void native(const QString& sql)
    {
        QString error;
        ASSERT_TRUE(m_db->executeNative(sql, &error))
            << sql.toStdString() << ": " << error.toStdString();
    }

    // Codes that differ in letter case only, a code stored twice, new buyers with the
    // defaults, profiles with and without times, and dates no packing may change.
    void fillBuyers()
    {
        native(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('b1')"));
        native(QStringLiteral("INSERT INTO 客户表(BCode,BName,SLevel,BLevel,Prov,Regi,rDat,lDat,"
                              "dDat) VALUES('B1','张三',3,12,'浙江','杭州','2008-03-01 00:00:00',"
                              "'2026-12-01 23:59:58','2026-12-09 00:00:00')"));
        native(
            QStringLiteral("INSERT INTO 客户表(BCode,BName,rDat,lDat,dDat) VALUES('b2','李四',"
                           "'0999-12-31 00:00:00','1000-00-00 00:00:00','2026-02-30 08:00:00')"));
        native(QStringLiteral("INSERT INTO 客户表(BCode,rDat,lDat,dDat) VALUES('b3',NULL,'not a "
                              "date','2026-12-09')"));
        native(QStringLiteral("INSERT INTO 客户表(BCode,rDat,lDat,dDat) VALUES('b4',20081201,2.5,"
                              "x'00ff')"));
        native(QStringLiteral("INSERT INTO 客户表(BCode,rDat,lDat) VALUES('b5',' 2008-03-01 "
                              "00:00:00','2008-03-01 00:00:00 ')"));
        native(QStringLiteral("INSERT INTO 客户表(BCode,BName) VALUES(NULL,'没有编号')"));
        native(QStringLiteral("INSERT INTO 客户表(BCode,BName) VALUES('b1','王五')"));
    }
};

INSTANTIATE_TEST_SUITE_P(
    File, CustomerLookup, ::testing::Values(Engine::File), quel::test::engineName);

} // namespace

TEST_P(CustomerLookup, EveryWriteKeepsItEqualToTheTable)
{
    expectSame("an empty table");
    fillBuyers();
    expectSame("the inserts");
    EXPECT_EQ(copy().size(), 7) << "the row without a code is not copied";

    // A downloaded profile, a code given to the row without one, a code changed, a row
    // replaced under its ID.
    native(QStringLiteral("UPDATE 客户表 SET BName='赵六',Prov='广东',lDat='2026-11-30 10:00:00' "
                          "WHERE BCode='b3'"));
    native(QStringLiteral("UPDATE 客户表 SET BCode='b6' WHERE BCode IS NULL"));
    native(QStringLiteral("UPDATE 客户表 SET BCode='B2' WHERE BCode='b2'"));
    native(QStringLiteral("INSERT OR REPLACE INTO 客户表(ID,BCode,BName) VALUES(1,'b7','新')"));
    expectSame("the updates");

    native(QStringLiteral("UPDATE 客户表 SET BCode=NULL WHERE BCode='b7'"));
    native(QStringLiteral("DELETE FROM 客户表 WHERE BCode='b1'"));
    expectSame("the deletions");
    native(QStringLiteral("DELETE FROM 客户表"));
    expectSame("emptied");
}

TEST_P(CustomerLookup, DatesInTheStoredFormArePackedAndOthersKept)
{
    fillBuyers();
    const QString sql = QStringLiteral("SELECT typeof(rDat)||':'||rDat,typeof(lDat)||':'||lDat,"
                                       "typeof(dDat)||':'||dDat FROM %1 WHERE BName='张三'")
                            .arg(QString::fromUtf8(store::kCustomerLookupTable));
    EXPECT_EQ(
        read(sql), QStringList { "integer:20080301|integer:20261201235958|integer:20261209" });
    EXPECT_EQ(read(QStringLiteral("SELECT rDat FROM %1 WHERE BCode='b1' AND BName=''")
                       .arg(QString::fromUtf8(store::kCustomerLookupTable))),
        QStringList { "0" })
        << "the default date";
    EXPECT_EQ(db_sqlite::unpackedDateText(20261201235958LL), "2026-12-01 23:59:58");
    EXPECT_EQ(db_sqlite::unpackedDateText(10000000LL), "1000-00-00 00:00:00");
    EXPECT_EQ(db_sqlite::unpackedDateText(123), "") << "none the packing makes";
}

TEST_P(CustomerLookup, AnOlderDatabaseGetsItWhenOpenedUnlessItsTableDiffers)
{
    QString error;
    fillBuyers();
    ASSERT_TRUE(store::DropCustomerLookup(*m_db, &error)) << error.toStdString();
    EXPECT_FALSE(store::HasCustomerLookup(*m_db));
    store::ensureSchema(*m_db);
    expectSame("the first open");

    // Closing the progress window undoes the rebuild.
    quel::test::FakeFeedback feedback;
    feedback.onStep = [](quel::test::FakeFeedback& f) { f.cancelled = true; };
    feedback.indicatorStart(QStringLiteral("x"), 1, 0);
    native(QStringLiteral("DELETE FROM 客户速查 WHERE BCode='b2'"));
    const QStringList damaged = copy();
    EXPECT_FALSE(store::RebuildCustomerLookup(*m_db, &error, &feedback));
    EXPECT_EQ(copy(), damaged);

    // A 客户表 of other columns is not copied, and opening does not try.
    ASSERT_TRUE(store::DropCustomerLookup(*m_db, &error)) << error.toStdString();
    native(QStringLiteral("ALTER TABLE 客户表 ADD COLUMN Note TEXT"));
    m_db->schemaChanged();
    EXPECT_FALSE(store::CanKeepCustomerLookup(*m_db));
    EXPECT_FALSE(store::RebuildCustomerLookup(*m_db, &error));
    store::ensureSchema(*m_db);
    EXPECT_FALSE(store::HasCustomerLookup(*m_db));
}

TEST_P(CustomerLookup, CompactionKeepsItAndItsTriggers)
{
    fillBuyers();
    const QStringList before = copy();
    ASSERT_NO_FATAL_FAILURE(compactAndReopen());
    EXPECT_EQ(copy(), before);
    native(QStringLiteral("INSERT INTO 客户表(BCode,BName) VALUES('b9','后来')"));
    expectSame("a buyer stored after the compaction");
}
