#pragma once

#include "download/download_session.h"

#include <QString>

namespace quel::download {

// The one line the main window shows when a download window has ended: jobs done and
// failed, what was added, and what becomes of the jobs that did not succeed. all tells
// whether the run covered everything or only what was never downloaded.
QString DownloadSummary(DownloadKind kind, bool all, const DownloadTotals& totals);

} // namespace quel::download
