#pragma once

#include "grid/grid_model.h"
#include "store/database_pool.h"
#include "views/list_fixture.h"

#include <QStringList>

namespace quel::test {

// A fresh database with helpers that store products, trades and buyers with the values
// the analyses read.
class AnalysisFixture : public ListFixture
{
protected:
    // A product with a chosen ID, short name and shop.
    void product(
        int id, const QString& shortName, const QString& shop, double price = 0, long sold90 = 0)
    {
        exec(QStringLiteral("INSERT INTO 产品表(ID,KWord,PCode,P_Name,PName,SName,Price,Num9) "
                            "VALUES(%1,'手机','c%1',%2,%2,%3,%4,%5)")
                 .arg(id)
                 .arg(store::Quote(shortName), store::Quote(shop))
                 .arg(price)
                 .arg(sold90));
    }

    // A trade at a time written y-m-d h:m.
    void trade(int productId, const QString& when, double price, long quantity,
        const QString& buyerCode = QStringLiteral("b"))
    {
        exec(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                            "VALUES(%1,%2,%2,#%3#,%4,%5)")
                 .arg(productId)
                 .arg(store::Quote(buyerCode), when)
                 .arg(price)
                 .arg(quantity));
    }

    // A buyer; with a nickname the profile counts as downloaded.
    void buyer(const QString& code, const QString& name, const QString& province = {},
        const QString& login = QStringLiteral("2010-4-1"), long level = 0)
    {
        exec(QStringLiteral("INSERT INTO 客户表(BCode,BName,Prov,Regi,BLevel,lDat) "
                            "VALUES(%1,%2,%3,%4,%5,#%6#)")
                 .arg(store::Quote(code), store::Quote(name), store::Quote(province),
                     store::Quote(province + QStringLiteral("区")))
                 .arg(level)
                 .arg(login));
    }

    // Runs native SQLite text on the current database (to break things on purpose).
    void native(const QString& sql)
    {
        const auto database
            = store::DatabasePool::shared().acquire(m_db->currentDatabasePath(), nullptr);
        ASSERT_TRUE(database && database->executeNative(sql)) << sql.toStdString();
        database->schemaChanged();
    }

    static QStringList column(const grid::GridModel& grid, int col)
    {
        QStringList texts;
        for (int r = grid.fixedRows(); r < grid.rows(); ++r)
            texts << grid.text(r, col);
        return texts;
    }
    static QStringList titles(const grid::GridModel& grid)
    {
        QStringList texts;
        for (int c = 0; c < grid.cols(); ++c)
            texts << grid.title(c);
        return texts;
    }
};

} // namespace quel::test
