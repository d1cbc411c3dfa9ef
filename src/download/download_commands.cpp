#include "download/download_commands.h"

#include "download/download_window.h"
#include "store/db_operate.h"

namespace quel::download {

DownloadWindow* ShowDownloadWindow(DownloadKind kind, const QString& condition,
    store::DB_Operate& db, Feedback& feedback, QWidget* parent)
{
    if (DownloadWindow::current())
        return DownloadWindow::open(kind, store::Connection(), condition, feedback, parent);
    store::Connection conn;
    if (!db.OpenConnection(conn))
        return nullptr;
    return DownloadWindow::open(kind, std::move(conn), condition, feedback, parent);
}

} // namespace quel::download
