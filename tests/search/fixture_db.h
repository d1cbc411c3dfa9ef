#pragma once

#include "core/feedback.h"
#include "db/database.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace quel::test {

// A fresh encrypted database DATA.mdb with the schema, in its own data folder.
class FixtureDb
{
public:
    FixtureDb()
    {
        feedback.answer = true;
        QString error;
        EXPECT_TRUE(store::writeTemplate(m_dir.file(QStringLiteral("DATA.mdb")), &error))
            << error.toStdString();
        m_catalogue = std::make_unique<store::Catalogue>(m_dir.path());
        m_catalogue->LoadCurrentDatabase();
        m_db = std::make_unique<store::DB_Operate>(*m_catalogue, feedback);
    }
    ~FixtureDb() { store::DatabasePool::shared().releaseAll(); }

    store::DB_Operate& db() { return *m_db; }
    QString folder() const { return m_dir.path(); }

    bool exec(const QString& sql) { return m_db->ExecuteSql(sql); }

    // Every row of a statement, each row's fields joined by "|".
    QStringList rows(const QString& sql)
    {
        QStringList out;
        db::Connection conn;
        db::Recordset rs;
        if (!m_db->OpenRecordset(conn, rs, sql))
            return { QStringLiteral("<error>") };
        for (; !rs.eof(); rs.moveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields.append(rs.value(i).toString());
            out.append(fields.join(QLatin1Char('|')));
        }
        m_db->CloseRecordset(conn, rs);
        return out;
    }

    FakeFeedback feedback; // answers 是 unless a test says otherwise

private:
    TempDir m_dir;
    std::unique_ptr<store::Catalogue> m_catalogue;
    std::unique_ptr<store::DB_Operate> m_db;
};

} // namespace quel::test
