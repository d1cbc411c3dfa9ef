#pragma once

#include "download/download_session.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace quel::store {
class DB_Operate;
}

namespace quel::download {

// Options of "quelmar --batch details|buyers [--all] [--workers N]".
struct BatchDownloadOptions
{
    DownloadKind kind = DownloadKind::Details;
    bool all = false;
    int workers = 0; // 0: the window's initial pool size
    QString workerProgram; // empty: quelfetch beside the program
};

// Reads the words after "--batch": the command ("details" or "buyers") and its options.
// False with a usage text in error for anything else.
bool ParseBatchDownloadArguments(
    const QStringList& words, BatchDownloadOptions& options, QString* error);

// Runs one download as the window would, without a window: the job list, the worker pool in
// workFolder (the data folder), a progress line on err whenever a job is harvested, and a
// summary at the end. Ctrl-C ends the run cleanly (workers ended, files removed). Returns
// the exit code: 0 when the run went through (whatever failed on the way), 1 when it could
// not start.
int RunBatchDownload(const BatchDownloadOptions& options, const store::Connection& conn,
    const QString& workFolder, QTextStream& err);

// The whole "--batch details|buyers ..." command: words[0] is the command name. Opens the
// current database through db, runs in workFolder and reports on standard error.
int RunBatchDownloadCommand(
    const QStringList& words, store::DB_Operate& db, const QString& workFolder);

// The summary line: "jobs: 50, succeeded: 49, failed: 1, records added: 120, buyers added: 30".
QString SummaryLine(const DownloadTotals& totals);

} // namespace quel::download
