#pragma once

#include <QIcon>
#include <QString>

namespace quel::views {

// The actions that carry a picture. Each has one picture wherever it appears (buttons,
// menu items), so that a picture always means the same thing.
enum class Action
{
    Search,
    Refresh,
    DownloadMissing, // only what was never downloaded
    DownloadAll, // everything again
    ChangeCategory,
    Delete,
    PickProducts,
    RunAnalysis,
    Export,
};

// The freedesktop icon-theme name of an action.
QString actionThemeName(Action action);
// The action's picture: from the desktop's icon theme, else the picture shipped with the
// program.
QIcon actionIcon(Action action);
// The program's own picture (window, desktop menu).
QIcon programIcon();

} // namespace quel::views
