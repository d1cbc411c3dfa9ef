// Inserting sales records: through the access layer the way the importer does it (a
// recordset per imported result of 100 rows, written straight into the group's transaction,
// a commit per group of 100 results) against a plain prepared-statement loop on the raw handle in
// one transaction, and against the same loop committing as often as the importer: the first ratio
// is what the import's commits and the access layer cost in all, the second what the access layer
// costs over the raw handle. The access layer committing every result, as the importer did
// before it grouped them, is timed once more for comparison.
#include "core/feedback.h"
#include "db/database.h"
#include "download/download_session.h"
#include "store/catalogue.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <sqlite3.h>
#include <sys/resource.h>

using namespace quel;
using namespace quel::store;
using namespace quel::db;

namespace {

constexpr int kRowsPerImport = 100;
constexpr int kImportsPerCommit = download::DownloadSession::kResultsPerCommit;

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// Rows per second of wall time and of this process's processor time (user and system): the
// disk and the neighbours on a shared machine weigh in the first, not in the second.
struct Rates
{
    double wall = 0;
    double cpu = 0;
};

class RateClock
{
public:
    RateClock()
        : m_cpu(cpuMs())
    {
        m_wall.start();
    }
    Rates rates(qint64 rows) const
    {
        return { rows * 1000.0 / std::max<qint64>(1, m_wall.elapsed()),
            rows * 1000.0 / std::max(1.0, cpuMs() - m_cpu) };
    }

private:
    QElapsedTimer m_wall;
    double m_cpu;
};

struct TradeRow
{
    qint64 pid;
    QString bcode;
    QString buyer;
    QDateTime dat;
    double pri;
    qint64 num;
};

TradeRow makeRow(qint64 n)
{
    static const QDateTime base(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    return { n / kRowsPerImport + 1, QStringLiteral("b%1").arg(n % 5000),
        QStringLiteral("买家%1").arg(n), base.addSecs(n * 7), 10 + (n % 100) * 0.5, 1 + n % 3 };
}

Rates layerRate(const QString& folder, qint64 rows, int importsPerCommit)
{
    Catalogue catalogue(folder);
    core::SilentFeedback feedback;
    DB_Operate ops(catalogue, feedback);
    Connection conn;
    if (!ops.OpenConnection(conn))
        return {};
    const RateClock clock;
    Recordset rs;
    Transaction group;
    for (qint64 first = 0; first < rows; first += kRowsPerImport) {
        if (!group.isActive())
            group = conn.transaction();
        const qint64 pid = first / kRowsPerImport + 1;
        ops.OpenRecordsetOn(conn, rs,
            QStringLiteral("SELECT * FROM 交易表 WHERE PID=") + QString::number(pid)
                + QStringLiteral(" ORDER BY Dat DESC,Buyer DESC"));
        for (qint64 n = first; n < std::min(rows, first + kRowsPerImport); ++n) {
            const TradeRow row = makeRow(n);
            rs.addNew();
            rs.setField(QStringLiteral("PID"), row.pid);
            rs.setField(QStringLiteral("Buyer"), row.buyer);
            rs.setField(QStringLiteral("BCode"), row.bcode);
            rs.setField(QStringLiteral("Dat"), row.dat);
            rs.setField(QStringLiteral("Pri"), row.pri);
            rs.setField(QStringLiteral("Num"), row.num);
            if (!rs.update())
                return {};
        }
        ops.CloseRecordset(rs);
        if ((first / kRowsPerImport + 1) % importsPerCommit == 0)
            group.commit();
    }
    group.commit();
    return clock.rates(rows);
}

void bindText(sqlite3_stmt* stmt, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(
        stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// rowsPerCommit 0: all rows in one transaction.
Rates rawRate(const QString& path, qint64 rows, qint64 rowsPerCommit)
{
    QString error;
    auto db = OpenDatabase(path, QString::fromLatin1(kDatabasePassword), &error);
    if (!db)
        return {};
    sqlite3* handle = db->handle();
    const RateClock clock;
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(handle,
        "INSERT INTO 交易表(PID,Buyer,BCode,Dat,Pri,Num) VALUES(?,?,?,?,?,?)", -1, &stmt, nullptr);
    for (qint64 n = 0; n < rows; ++n) {
        const TradeRow row = makeRow(n);
        sqlite3_bind_int64(stmt, 1, row.pid);
        bindText(stmt, 2, row.buyer);
        bindText(stmt, 3, row.bcode);
        bindText(stmt, 4, row.dat.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        sqlite3_bind_double(stmt, 5, row.pri);
        sqlite3_bind_int64(stmt, 6, row.num);
        if (sqlite3_step(stmt) != SQLITE_DONE)
            return {};
        sqlite3_reset(stmt);
        if (rowsPerCommit > 0 && (n + 1) % rowsPerCommit == 0)
            sqlite3_exec(handle, "COMMIT; BEGIN", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
    return clock.rates(rows);
}

QString ratioText(double part, double whole)
{
    return QString::number(whole > 0 ? part / whole : 0, 'f', 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    QTemporaryDir layerDir;
    QTemporaryDir perImportDir;
    QTemporaryDir rawDir;
    QTemporaryDir committingDir;
    QString error;
    for (const QTemporaryDir* dir : { &layerDir, &perImportDir, &rawDir, &committingDir }) {
        if (!writeTemplate(dir->filePath(QStringLiteral("DATA.mdb")), &error)) {
            out << "error: " << error << "\n";
            return 1;
        }
    }
    const Rates layer = layerRate(layerDir.path(), rows, kImportsPerCommit);
    DatabasePool::shared().releaseAll();
    const Rates perImport = layerRate(perImportDir.path(), rows, 1);
    DatabasePool::shared().releaseAll();
    const Rates raw = rawRate(rawDir.filePath(QStringLiteral("DATA.mdb")), rows, 0);
    const Rates committing = rawRate(committingDir.filePath(QStringLiteral("DATA.mdb")), rows,
        qint64(kRowsPerImport) * kImportsPerCommit);
    out << "layer: " << qRound64(layer.wall) << " rows/s\n";
    out << "raw: " << qRound64(raw.wall) << " rows/s\n";
    out << "ratio: " << ratioText(layer.wall, raw.wall) << " x\n";
    out << "layer_cpu: " << qRound64(layer.cpu) << " rows/s\n";
    out << "raw_cpu: " << qRound64(raw.cpu) << " rows/s\n";
    out << "cpu_ratio: " << ratioText(layer.cpu, raw.cpu) << " x\n";
    out << "raw_per_group: " << qRound64(committing.wall) << " rows/s\n";
    out << "ratio_per_group: " << ratioText(layer.wall, committing.wall) << " x\n";
    out << "layer_commit_per_import: " << qRound64(perImport.wall) << " rows/s\n";
    out << "ratio_commit_per_import: " << ratioText(perImport.wall, raw.wall) << " x\n";
    return layer.wall > 0 && perImport.wall > 0 && raw.wall > 0 && committing.wall > 0 ? 0 : 1;
}
