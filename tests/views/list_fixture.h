#pragma once

#include "db/database.h"
#include "grid/text_measure.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <memory>

namespace quel::test {

// A fresh, empty database (the real template) in a temporary data folder, reached the
// way the program reaches it.
class ListFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(store::writeTemplate(m_dir.file("DATA.mdb"), &error)) << error.toStdString();
        m_catalogue = std::make_unique<store::Catalogue>(m_dir.path());
        m_catalogue->LoadCurrentDatabase();
        m_db = std::make_unique<store::DB_Operate>(*m_catalogue, m_feedback);
    }
    void TearDown() override
    {
        m_db.reset();
        store::DatabasePool::shared().releaseAll();
    }

    // Runs a statement that must succeed.
    void exec(const QString& sql) { ASSERT_TRUE(m_db->ExecuteSql(sql)) << sql.toStdString(); }

    // Stores a product the way the search does; returns nothing, IDs count from 1.
    void addProduct(const QString& code, const QString& seller, const QString& name, double price,
        double postage, long sold90 = 0)
    {
        exec(QStringLiteral("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SName,Price,MFee,Num9,"
                            "dDat) VALUES('手机',%1,%2,%3,%4,%5,%6,%7,'2010-4-12 10:20:33')")
                 .arg(store::Quote(code), store::Quote(name + "简"), store::Quote(name),
                     store::Quote(seller))
                 .arg(price)
                 .arg(postage)
                 .arg(sold90));
    }

    void addTrade(int productId, const QString& buyerCode, const QString& buyer, long quantity)
    {
        exec(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                            "VALUES(%1,%2,%3,#2010-4-12 10:20#,9.5,%4)")
                 .arg(productId)
                 .arg(store::Quote(buyerCode), store::Quote(buyer))
                 .arg(quantity));
    }

    long count(const QString& table, const QString& condition = {})
    {
        db::Connection conn;
        db::Recordset rs;
        QString sql = "SELECT * FROM " + table;
        if (!condition.isEmpty())
            sql += " WHERE " + condition;
        if (!m_db->OpenRecordset(conn, rs, sql))
            return -1;
        return rs.recordCount();
    }

    TempDir m_dir;
    FakeFeedback m_feedback;
    std::unique_ptr<store::Catalogue> m_catalogue;
    std::unique_ptr<store::DB_Operate> m_db;
    grid::FixedTextMeasure m_measure;
};

} // namespace quel::test
