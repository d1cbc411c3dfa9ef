#pragma once

#include "core/feedback.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/recordset.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"

#include <QStringList>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <vector>

namespace quel::test {

// A listed product, never downloaded, as a search stores it; its ID (-1 on failure).
inline qint64 addTestProduct(
    const db::Connection& conn, const QString& code, const QString& title = QStringLiteral("商品"))
{
    QString error;
    EXPECT_TRUE(conn.execute(
        QStringLiteral("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SCode,SName,Dat,Addr,Price,VIP,"
                       "MFee,PMode,Dis,Service,Return,Num1,Num9,Style,VTimes,CTimes,SNum,dDat) "
                       "VALUES('k',")
            + store::Quote(code) + QStringLiteral(",'',") + store::Quote(title)
            + QStringLiteral(",'s','shop','2026-1-1','杭州','10','0','0','','0','','','3','0','','"
                             "0','0','0',#1900-1-1#)"),
        &error))
        << error.toStdString();
    db::Recordset rs;
    if (!rs.open(conn.shared(),
            QStringLiteral("SELECT ID FROM 产品表 WHERE PCode=") + store::Quote(code), &error)
        || rs.eof())
        return -1;
    return rs.value(0).toLongLong();
}

// A fresh encrypted database with the permanent tables, in its own folder.
struct TestDb
{
    TempDir dir;
    std::shared_ptr<db::Database> db;
    db::Connection conn;

    TestDb()
    {
        QString error;
        db = store::OpenDatabase(dir.file(QStringLiteral("DATA.mdb")),
            QString::fromLatin1(store::kDatabasePassword), &error, true);
        EXPECT_TRUE(db) << error.toStdString();
        if (db) {
            EXPECT_TRUE(store::createSchema(*db, &error)) << error.toStdString();
            conn = db::Connection(db);
        }
    }

    void exec(const QString& sql)
    {
        QString error;
        ASSERT_TRUE(conn.execute(sql, &error)) << sql.toStdString() << ": " << error.toStdString();
    }

    std::vector<QVariantMap> rows(const QString& sql) const
    {
        std::vector<QVariantMap> out;
        db::Recordset rs;
        QString error;
        EXPECT_TRUE(rs.open(db, sql, &error)) << sql.toStdString() << ": " << error.toStdString();
        for (; rs.isOpen() && !rs.eof(); rs.moveNext()) {
            QVariantMap row;
            for (int i = 0; i < rs.fieldCount(); ++i)
                row.insert(rs.fieldName(i), rs.value(i));
            out.push_back(row);
        }
        return out;
    }

    long count(const QString& table) const
    {
        return long(rows(QStringLiteral("SELECT * FROM ") + table).size());
    }

    // Adds a product never detail-downloaded and returns its ID.
    qint64 addProduct(const QString& code, const QString& title = QStringLiteral("商品"))
    {
        return addTestProduct(conn, code, title);
    }
};

} // namespace quel::test
