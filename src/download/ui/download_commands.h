#pragma once

#include "download/download_session.h"

class QWidget;

namespace quel::core {
class Feedback;
}
namespace quel::store {
class DB_Operate;
}

namespace quel::download {

class DownloadWindow;

// Whether the marketplace of the kind's pages accepts a connection, as the batch commands
// check before any job; otherwise one message says so and false.
bool CheckMarketAnswers(DownloadKind kind, core::Feedback& feedback);

// What the commands of the main window do (Com 10, 13 for products, 31, 32 for buyers, and
// their menu items): open the download window of the kind on a connection of its own, with
// the row filter the command put into FormParameter. The marketplace is asked first: when it
// does not answer, nothing is started.
DownloadWindow* ShowDownloadWindow(DownloadKind kind, const QString& condition,
    store::DB_Operate& db, core::Feedback& feedback, QWidget* parent = nullptr);

} // namespace quel::download
