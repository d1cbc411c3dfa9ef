// Copying a database to a server and back: a generated database of 100,000 trades copied
// into an empty server database (copy-to) and from there into a fresh file (copy-from),
// in rows per second. The server is QUELMAR_PG_ADDRESS (an empty database) when set, else
// a throw-away one started on a Unix socket for the run (fsync off, like the tests').
#include "db/database.h"
#include "scale_generator.h"
#include "store/database_copy.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

using namespace quel;

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Runs the test suite's cluster script; its address file names the database.
class ThrowAwayServer
{
public:
    explicit ThrowAwayServer(const QString& dir)
        : m_dir(dir)
    {
        QProcess::execute(QStringLiteral(QUEL_PG_CLUSTER_SCRIPT), { "start", m_dir });
        QFile file(m_dir + "/address");
        if (file.open(QIODevice::ReadOnly))
            m_address = QString::fromUtf8(file.readAll()).trimmed();
    }
    ~ThrowAwayServer()
    {
        QProcess::execute(QStringLiteral(QUEL_PG_CLUSTER_SCRIPT), { "stop", m_dir });
    }
    QString address() const { return m_address; }

private:
    QString m_dir;
    QString m_address;
};

bool timedCopy(const char* name, const std::shared_ptr<db::Database>& from,
    const std::shared_ptr<db::Database>& to)
{
    QElapsedTimer timer;
    timer.start();
    const store::CopyOutcome outcome = store::CopyDatabase(from, to);
    const double seconds = std::max(1e-3, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (!outcome.ok) {
        QTextStream(stderr) << name << " failed: " << outcome.error << Qt::endl;
        return false;
    }
    qint64 rows = 0;
    for (const store::CopiedTable& t : outcome.tables)
        rows += t.rows;
    out() << name << "_rows: " << rows << " rows" << Qt::endl;
    out() << name << "_rate: " << qRound64(static_cast<double>(rows) / seconds) << " rows/s"
          << Qt::endl;
    out() << name << "_time: " << QString::number(seconds, 'f', 2) << " s" << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString error;
    bench::ScaleSize size;
    size.products = 5000;
    size.trades = 100000;
    size.buyers = 20000;
    const QString source = dir.filePath("DATA.mdb");
    if (!bench::generateScaleDatabase(source, size, &error)) {
        QTextStream(stderr) << "generate: " << error << Qt::endl;
        return 1;
    }

    std::unique_ptr<ThrowAwayServer> server;
    QString address = qEnvironmentVariable("QUELMAR_PG_ADDRESS");
    if (address.isEmpty()) {
        // Under root the server runs as the postgres user, which must reach its folder.
        QFile::setPermissions(dir.path(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        server = std::make_unique<ThrowAwayServer>(dir.filePath("pg"));
        address = server->address();
    }
    if (address.isEmpty()) {
        QTextStream(stderr) << "no PostgreSQL server (install the postgresql package)" << Qt::endl;
        return 1;
    }

    const QString key = QString::fromLatin1(store::kDatabasePassword);
    auto local = store::OpenDatabase(source, key, &error);
    auto remote = store::OpenDatabase(address, {}, &error);
    auto back = store::OpenDatabase(dir.filePath("BACK.mdb"), key, &error, true);
    if (!local || !remote || !back || !store::createSchema(*back, &error)) {
        QTextStream(stderr) << "open: " << error << Qt::endl;
        return 1;
    }
    const bool ok
        = timedCopy("copy_to_server", local, remote) && timedCopy("copy_from_server", remote, back);
    remote.reset();
    return ok ? 0 : 1;
}
