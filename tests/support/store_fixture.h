#pragma once

#include "core/feedback.h"
#include "db/database.h"
#include "db/recordset.h"
#include "store/compaction.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/schema.h"
#include "support/fake_feedback.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <QStringList>
#include <gtest/gtest.h>

// Readable QString and QStringList values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{' << list.join(QStringLiteral(" | ")).toStdString() << '}';
}

namespace quel::test {

// Where a store test keeps its database: an encrypted file, or a database on the test server.
enum class Engine
{
    File,
    Server
};

inline std::string engineName(const ::testing::TestParamInfo<Engine>& info)
{
    return info.param == Engine::File ? "File" : "Server";
}

// Runs every test of a fixture on both engines (the server's are skipped without one).
#define QUEL_ON_BOTH_ENGINES(Fixture)                                                              \
    INSTANTIATE_TEST_SUITE_P(Engines, Fixture,                                                     \
        ::testing::Values(::quel::test::Engine::File, ::quel::test::Engine::Server),               \
        ::quel::test::engineName)

// A database with the permanent tables: a fresh file in a fresh folder, or a fresh
// database on the test server (m_path then holds its address).
class StoreTest : public ::testing::TestWithParam<Engine>
{
protected:
    void SetUp() override
    {
        QString error;
        if (GetParam() == Engine::Server) {
            QUEL_SKIP_WITHOUT_PG_SERVER();
            m_server = PgTestDatabase::create(&error);
            ASSERT_TRUE(m_server) << error.toStdString();
            m_path = m_server->address();
            // The server makes the permanent tables on a database's first use.
            m_db = store::OpenDatabase(m_path, {}, &error);
            ASSERT_TRUE(m_db) << error.toStdString();
            return;
        }
        m_path = m_dir.file(QStringLiteral("DATA.mdb"));
        m_db = store::OpenDatabase(
            m_path, QString::fromLatin1(store::kDatabasePassword), &error, true);
        ASSERT_TRUE(m_db) << error.toStdString();
        ASSERT_TRUE(store::createSchema(*m_db, &error)) << error.toStdString();
    }
    void TearDown() override
    {
        m_db.reset();
        store::DatabasePool::shared().releaseAll();
        m_server.reset();
    }
    bool onServer() const { return GetParam() == Engine::Server; }

    void exec(const QString& sql)
    {
        QString error;
        ASSERT_TRUE(m_db->execute(sql, &error)) << sql.toStdString() << ": " << error.toStdString();
    }

    // All rows of a query, each value as the recordset gives it.
    std::vector<std::vector<QVariant>> rows(const QString& sql)
    {
        db::Recordset rs;
        QString error;
        std::vector<std::vector<QVariant>> out;
        EXPECT_TRUE(rs.open(m_db, sql, &error)) << sql.toStdString() << ": " << error.toStdString();
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            std::vector<QVariant> row;
            for (int i = 0; i < rs.fieldCount(); ++i)
                row.push_back(rs.value(i));
            out.push_back(row);
        }
        return out;
    }

    // Compacts the file as the program does, its copy in this test's own folder rather than
    // the shared temporary one, and opens the result.
    void compactAndReopen()
    {
        m_db.reset();
        store::DatabasePool::shared().releaseAll();
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_dir.path().toUtf8());
        FakeFeedback feedback;
        const bool compacted = store::CompactDatabaseFile(
            m_path, QString::fromLatin1(store::kDatabasePassword), false, feedback);
        qputenv("TMPDIR", oldTemp);
        ASSERT_TRUE(compacted) << feedback.messages.join(u' ').toStdString();
        store::DatabasePool::shared().releaseAll();
        QString error;
        m_db = store::OpenDatabase(m_path, QString::fromLatin1(store::kDatabasePassword), &error);
        ASSERT_TRUE(m_db) << error.toStdString();
    }

    QVariant scalar(const QString& sql)
    {
        const auto all = rows(sql);
        return all.empty() || all.front().empty() ? QVariant() : all.front().front();
    }

    TempDir m_dir;
    std::unique_ptr<PgTestDatabase> m_server;
    QString m_path;
    std::shared_ptr<db::Database> m_db;
};

} // namespace quel::test
