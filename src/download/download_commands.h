#pragma once

#include "download/download_session.h"

class QWidget;

namespace quel {
class Feedback;
}
namespace quel::store {
class DB_Operate;
}

namespace quel::download {

class DownloadWindow;

// What the commands of the main window do (Com 10, 13 for products, 31, 32 for buyers, and
// their menu items): open the download window of the kind on a connection of its own, with
// the row filter the command put into FormParameter.
DownloadWindow* ShowDownloadWindow(DownloadKind kind, const QString& condition,
    store::DB_Operate& db, Feedback& feedback, QWidget* parent = nullptr);

} // namespace quel::download
