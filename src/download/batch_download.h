#pragma once

#include "download/download_session.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QTextStream;

namespace quel::store {
class DB_Operate;
}

namespace quel::download {

// Options of "quelmar --batch details|buyers [--all] [--workers N] [--rate N]".
struct BatchDownloadOptions
{
    DownloadKind kind = DownloadKind::Details;
    bool all = false;
    int workers = 0; // 0: the window's initial pool size
    double rate = 0; // requests per second of all workers together; 0: no limit
    QString workerProgram; // empty: quelfetch beside the program
    // Another caller's row filter of the job list instead of the one of kind and all, with
    // the name under which copies on a server share its jobs.
    std::optional<QString> condition;
    QString collection;
};

// Reads the words after "--batch": the command ("details" or "buyers") and its options.
// False with a usage text in error for anything else. A pool size above the limit is
// brought down to it, with a note in notice.
bool ParseBatchDownloadArguments(const QStringList& words, BatchDownloadOptions& options,
    QString* error, QString* notice = nullptr);

// Runs one download as the window would, without a window: the job list (for buyers built
// afresh from the stored sales), a check that the marketplace answers, the worker pool in
// workFolder (the data folder), a progress line on err whenever a job is harvested, and a
// summary at the end. cancelled is asked ten times a second; when it says yes the run ends
// cleanly (workers ended, their files removed, imports so far kept). Returns one of the
// exit codes above.
int RunBatchDownload(const BatchDownloadOptions& options, const db::Connection& conn,
    const QString& workFolder, QTextStream& err, const std::function<bool()>& cancelled = {});

// The whole "--batch details|buyers ..." command: words[0] is the command name. Opens the
// current database through db (a failure names the file and why), runs in workFolder and
// reports on standard error. The run counts as cancelled once db's feedback reports its
// indicator closed.
int RunBatchDownloadCommand(
    const QStringList& words, store::DB_Operate& db, const QString& workFolder);

// The summary line: "jobs: 50, succeeded: 49, failed: 1, records added: 120, buyers added: 30".
QString SummaryLine(const DownloadTotals& totals);

} // namespace quel::download
