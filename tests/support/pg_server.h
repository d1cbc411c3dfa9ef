#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <memory>

namespace quel::db {
class Database;
}

namespace quel::test {

// The address of the throw-away test server's database quelmar_test, read from the file
// named by QUELMAR_PG_ADDRESS_FILE (written by tests/support/pg_cluster); empty when there is
// no server, e.g. when PostgreSQL is not installed or the test runs outside CTest.
QString pgServerAddress();

// The same address with the database name replaced.
QString pgAddressWithDatabase(const QString& address, const QString& database);

// A fresh, empty database on the test server, dropped (with its sessions) when destroyed.
class PgTestDatabase
{
public:
    // Null with error set when the server cannot create one.
    static std::unique_ptr<PgTestDatabase> create(QString* error);
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    QString name() const { return m_name; }
    QString address() const { return m_address; }

private:
    PgTestDatabase(const QString& serverAddress, const QString& name);
    QString m_serverAddress;
    QString m_name;
    QString m_address;
};

// For a test body or SetUp: skips the test when there is no test server.
#define QUEL_SKIP_WITHOUT_PG_SERVER()                                                              \
    if (::quel::test::pgServerAddress().isEmpty())                                                 \
    GTEST_SKIP() << "PostgreSQL tests skipped: no test server"

// A test that gets its own empty database: pgAddress() names it. Skipped without a server.
class PgServerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    QString pgAddress() const { return m_database ? m_database->address() : QString(); }
    // A session of its own on the test database, as another copy of the program would have.
    std::shared_ptr<db::Database> session() const;

private:
    std::unique_ptr<PgTestDatabase> m_database;
};

} // namespace quel::test
