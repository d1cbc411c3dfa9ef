#pragma once

#include "db/database.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <csignal>
#include <memory>

namespace quel::test {

// "quelmar --data FOLDER --market URL --batch ..." as a process of its own, the way cron
// runs it; workerProgram, when given, stands in for quelfetch (QUELFETCH_PROGRAM).
inline std::unique_ptr<QProcess> startQuelmar(const QString& folder, const QString& market,
    const QStringList& words, const QString& workerProgram = {})
{
    auto p = std::make_unique<QProcess>();
    p->setProgram(binDir() + QStringLiteral("/quelmar"));
    p->setArguments(QStringList { QStringLiteral("--data"), folder, QStringLiteral("--market"),
                        market, QStringLiteral("--batch") }
        + words);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUELFETCH_PROGRAM"));
    if (!workerProgram.isEmpty())
        env.insert(QStringLiteral("QUELFETCH_PROGRAM"), workerProgram);
    p->setProcessEnvironment(env);
    p->start();
    p->waitForStarted(10000);
    return p;
}

struct BatchResult
{
    int exitCode = -1;
    bool crashed = false;
    QString err;
};

inline BatchResult finishQuelmar(QProcess& p, int timeoutMs = 60000)
{
    BatchResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline BatchResult runQuelmar(const QString& folder, const QString& market,
    const QStringList& words, const QString& workerProgram = {}, int timeoutMs = 60000)
{
    auto p = startQuelmar(folder, market, words, workerProgram);
    return finishQuelmar(*p, timeoutMs);
}

inline bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromLatin1(stat.readAll());
    // A zombie has ended; only its parent's bookkeeping is left.
    return text.mid(text.lastIndexOf(QLatin1Char(')')) + 2, 1) != QLatin1String("Z");
}

// The workers' result files (and their temporary forms) in a folder.
inline QStringList workerFiles(const QString& folder)
{
    return QDir(folder).entryList({ QStringLiteral("Temp_*") }, QDir::Files | QDir::Dirs);
}

// The tables of a database file whose names start with "TEMP_", read with a handle of its own.
inline QStringList workTables(const QString& databaseFile)
{
    QString error;
    auto db
        = store::OpenDatabase(databaseFile, QString::fromLatin1(store::kDatabasePassword), &error);
    if (!db)
        return { QStringLiteral("cannot open: ") + error };
    return db->tableNames().filter(QRegularExpression(QStringLiteral("^TEMP_")));
}

} // namespace quel::test
