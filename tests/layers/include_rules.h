#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace quel::layers {

// One row of the layer table that quel_layer() writes to build/layers.txt.
struct LayerRow
{
    QStringList uses; // the folders this one may include, e.g. "core", "grid/ui"
    bool widgets = false; // may include Qt Widgets headers
    bool feature = false; // a feature: uses no other feature
    bool tools = false; // under tools/, not src/
};

struct LayerTable
{
    QStringList folders; // in the order they were added, lowest layer first
    QHash<QString, LayerRow> rows;
};

// Reads "folder: used folders [widgets] [feature] [tools]" lines ("#" starts a comment).
// Empty with *error set when a line cannot be read.
std::optional<LayerTable> ReadLayerTable(const QString& text, QString* error);
std::optional<LayerTable> LoadLayerTable(const QString& path, QString* error);

// The names of the Qt Widgets headers ("QWidget", "qwidget.h", ...) in that include folder,
// less those it keeps for classes that moved to Qt Gui ("qaction.h").
QStringList WidgetHeaders(const QString& qtWidgetsIncludeDir, const QString& qtGuiIncludeDir);

// One include that the folder of its file may not use.
struct IncludeFault
{
    QString file; // relative to the source root, e.g. "src/views/lists.cpp"
    int line = 0; // 1-based
    QString included;
    QString why;
};

// The folder a file belongs to: "src/views/lists.cpp" -> "views", "src/views/ui/x.cpp" ->
// "views/ui", "tools/market/pages.cpp" -> "market"; empty outside src/ and tools/.
QString FolderOf(const QString& relativePath);

// The folder an include names: "grid/ui/grid_view.h" -> "grid/ui", "grid/grid_ops.h" ->
// "grid", "local.h" -> "" (the file's own folder).
QString IncludedFolder(const QString& included);

// Checks one file's text against the layer table. Quoted includes name folders; angle
// includes are libraries, of which only Qt Widgets headers are checked: they belong in
// folders the table lets use widgets.
QList<IncludeFault> CheckIncludes(const LayerTable& table, const QStringList& widgetHeaders,
    const QString& relativePath, const QString& text);

// Every .h and .cpp under root/src and root/tools, checked.
QList<IncludeFault> CheckTree(const LayerTable& table, const QStringList& widgetHeaders,
    const QString& root, int* filesChecked = nullptr);

// Where the table breaks its own rules: a feature that uses another feature, widgets
// allowed outside ui/ folders, widgets and shell. One line per fault.
QStringList CheckTableRules(const LayerTable& table);

// Where the README "Layout" picture disagrees with the table: a folder of src/ missing
// from the picture, or using a folder that is not on a row above its own.
QStringList CheckLayoutPicture(const LayerTable& table, const QString& readmeText);

// "src/views/lists.cpp:5: includes "shell/dialogs.h": ..." for a test failure.
QString Describe(const IncludeFault& fault);

} // namespace quel::layers
