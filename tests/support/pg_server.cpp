#include "support/pg_server.h"

#include "db/database.h"
#include "db_pg/pg_connection.h"
#include "store/database_key.h"
#include "store/database_pool.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

namespace quel::test {

QString pgServerAddress()
{
    const QString file = qEnvironmentVariable("QUELMAR_PG_ADDRESS_FILE");
    if (file.isEmpty())
        return QString();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(in.readAll()).trimmed();
}

QString pgAddressWithDatabase(const QString& address, const QString& database)
{
    // postgresql://user@host:port/dbname?params: the name sits between the first '/' after
    // the host part and the parameters.
    const int schemeEnd = address.indexOf(QLatin1String("://"));
    if (schemeEnd < 0)
        return address + QStringLiteral(" dbname=") + database;
    const int queryStart = [&] {
        const int q = address.indexOf(u'?', schemeEnd + 3);
        return q < 0 ? int(address.size()) : q;
    }();
    int pathStart = address.indexOf(u'/', schemeEnd + 3);
    if (pathStart < 0 || pathStart > queryStart)
        pathStart = queryStart;
    return address.left(pathStart) + u'/' + database + address.mid(queryStart);
}

std::unique_ptr<PgTestDatabase> PgTestDatabase::create(QString* error)
{
    static QAtomicInt counter;
    const QString server = pgServerAddress();
    if (server.isEmpty()) {
        *error = QStringLiteral("no test server");
        return nullptr;
    }
    auto connection = db_pg::PgConnection::connect(server, error);
    if (!connection)
        return nullptr;
    // Unique across the test processes that CTest runs side by side.
    const QString name = QStringLiteral("quelmar_t%1_%2_%3")
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1))
                             .arg(QRandomGenerator::global()->bounded(1000000));
    const db_pg::PgResult created
        = connection->exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
    if (!created.ok()) {
        *error = created.error();
        return nullptr;
    }
    return std::unique_ptr<PgTestDatabase>(new PgTestDatabase(server, name));
}

PgTestDatabase::PgTestDatabase(const QString& serverAddress, const QString& name)
    : m_serverAddress(serverAddress)
    , m_name(name)
    , m_address(pgAddressWithDatabase(serverAddress, name))
{ }

PgTestDatabase::~PgTestDatabase()
{
    QString error;
    auto connection = db_pg::PgConnection::connect(m_serverAddress, &error);
    if (!connection) {
        ADD_FAILURE() << "cannot drop test database " << m_name.toStdString() << ": "
                      << error.toStdString();
        return;
    }
    const db_pg::PgResult dropped = connection->exec(
        QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_name));
    if (!dropped.ok())
        ADD_FAILURE() << "cannot drop test database " << m_name.toStdString() << ": "
                      << dropped.error().toStdString();
}

void PgServerTest::SetUp()
{
    QUEL_SKIP_WITHOUT_PG_SERVER();
    QString error;
    m_database = PgTestDatabase::create(&error);
    ASSERT_TRUE(m_database) << "cannot create a test database: " << error.toStdString();
}

std::shared_ptr<db::Database> PgServerTest::session() const
{
    QString error;
    auto db = store::OpenDatabase(
        pgAddress(), QString::fromLatin1(store::kDatabasePassword), &error, true);
    EXPECT_TRUE(db) << error.toStdString();
    return db;
}

void PgServerTest::TearDown()
{
    m_database.reset();
}

} // namespace quel::test
