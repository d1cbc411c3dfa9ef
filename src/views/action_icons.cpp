#include "views/action_icons.h"

namespace quel::views {

namespace {

struct ActionPicture
{
    Action action;
    const char* themeName;
    const char* bundledName; // :/quelmar/icons/<name>-<size>.png
};

// clang-format off
constexpr ActionPicture kPictures[] = {
    { Action::Search, "system-search", "search" },
    { Action::Refresh, "view-refresh", "refresh" },
    { Action::DownloadMissing, "go-down", "download-missing" },
    { Action::DownloadAll, "go-bottom", "download-all" },
    { Action::ChangeCategory, "document-properties", "change-category" },
    { Action::Delete, "edit-delete", "delete" },
    { Action::PickProducts, "edit-select-all", "pick-products" },
    { Action::RunAnalysis, "media-playback-start", "run-analysis" },
    { Action::Export, "document-save-as", "export" },
};
// clang-format on

const ActionPicture& pictureOf(Action action)
{
    for (const ActionPicture& picture : kPictures) {
        if (picture.action == action)
            return picture;
    }
    return kPictures[0];
}

QIcon bundledIcon(const char* name, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (const int size : sizes)
        icon.addFile(QStringLiteral(":/quelmar/icons/%1-%2.png").arg(QLatin1String(name)).arg(size),
            QSize(size, size));
    return icon;
}

} // namespace

QString actionThemeName(Action action)
{
    return QString::fromLatin1(pictureOf(action).themeName);
}

QIcon actionIcon(Action action)
{
    const ActionPicture& picture = pictureOf(action);
    return QIcon::fromTheme(
        QString::fromLatin1(picture.themeName), bundledIcon(picture.bundledName, { 24, 48 }));
}

QIcon programIcon()
{
    return QIcon::fromTheme(QStringLiteral("quelmar"), bundledIcon("quelmar", { 24, 48, 256 }));
}

} // namespace quel::views
