#include "include_rules.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace quel::layers {

namespace {

// "views/ui" -> "views": the folder whose row in the README picture holds it.
QString TopFolder(const QString& folder)
{
    return folder.section('/', 0, 0);
}

} // namespace

std::optional<LayerTable> ReadLayerTable(const QString& text, QString* error)
{
    LayerTable table;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].section('#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        const QString folder = line.left(colon).trimmed();
        if (colon <= 0 || folder.contains(' ') || table.rows.contains(folder)) {
            if (error)
                *error = QString("line %1 of the layer table: \"%2\"").arg(i + 1).arg(lines[i]);
            return std::nullopt;
        }
        LayerRow row;
        for (const QString& word : line.mid(colon + 1).split(' ', Qt::SkipEmptyParts)) {
            if (word == "[widgets]")
                row.widgets = true;
            else if (word == "[feature]")
                row.feature = true;
            else if (word == "[tools]")
                row.tools = true;
            else
                row.uses << word;
        }
        table.folders << folder;
        table.rows.insert(folder, row);
    }
    if (table.folders.isEmpty()) {
        if (error)
            *error = "the layer table is empty";
        return std::nullopt;
    }
    return table;
}

std::optional<LayerTable> LoadLayerTable(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = "cannot read the layer table " + path;
        return std::nullopt;
    }
    return ReadLayerTable(QString::fromUtf8(file.readAll()), error);
}

QStringList WidgetHeaders(const QString& qtWidgetsIncludeDir, const QString& qtGuiIncludeDir)
{
    const QStringList gui = QDir(qtGuiIncludeDir).entryList(QDir::Files);
    QStringList names;
    for (const QString& name : QDir(qtWidgetsIncludeDir).entryList(QDir::Files))
        if (!gui.contains(name))
            names << name;
    return names;
}

QString FolderOf(const QString& relativePath)
{
    const QStringList parts = relativePath.split('/');
    if (parts.size() < 3 || (parts[0] != "src" && parts[0] != "tools"))
        return {};
    if (parts.size() >= 4 && parts[2] == "ui")
        return parts[1] + "/ui";
    return parts[1];
}

QString IncludedFolder(const QString& included)
{
    const QStringList parts = included.split('/');
    if (parts.size() < 2)
        return {};
    if (parts.size() >= 3 && parts[1] == "ui")
        return parts[0] + "/ui";
    return parts[0];
}

QList<IncludeFault> CheckIncludes(const LayerTable& table, const QStringList& widgetHeaders,
    const QString& relativePath, const QString& text)
{
    static const QRegularExpression quoted(R"re(^\s*#\s*include\s*"([^"]+)")re");
    static const QRegularExpression angled(R"re(^\s*#\s*include\s*<([^>]+)>)re");
    const QSet<QString> widgetNames(widgetHeaders.begin(), widgetHeaders.end());
    QList<IncludeFault> faults;
    const QString folder = FolderOf(relativePath);
    const auto row = table.rows.constFind(folder);
    const bool known = row != table.rows.constEnd();
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        IncludeFault fault { relativePath, i + 1, {}, {} };
        if (const auto match = quoted.match(lines[i]); match.hasMatch()) {
            fault.included = match.captured(1);
            const QString target = IncludedFolder(fault.included);
            if (target.isEmpty() || target == folder)
                continue;
            if (!known)
                fault.why = QString("folder \"%1\" has no place in the layer table").arg(folder);
            else if (!row->uses.contains(target))
                fault.why = QString("\"%1\" may use only: %2")
                                .arg(folder, row->uses.isEmpty() ? "Qt" : row->uses.join(", "));
            else
                continue;
        } else if (const auto match = angled.match(lines[i]); match.hasMatch()) {
            fault.included = match.captured(1);
            const QString module = fault.included.section('/', 0, 0);
            const bool widgets = module == "QtWidgets"
                || (!fault.included.contains('/') && widgetNames.contains(fault.included));
            if (!widgets || (known && row->widgets))
                continue;
            fault.why = QString("a Qt Widgets header outside the ui/ folders, widgets and shell "
                                "(\"%1\" has no widgets)")
                            .arg(folder);
        } else {
            continue;
        }
        faults.append(fault);
    }
    return faults;
}

QList<IncludeFault> CheckTree(const LayerTable& table, const QStringList& widgetHeaders,
    const QString& root, int* filesChecked)
{
    QList<IncludeFault> faults;
    int count = 0;
    for (const QString top : { "src", "tools" }) {
        QDirIterator it(
            root + '/' + top, { "*.h", "*.cpp" }, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                faults.append({ path, 0, {}, "cannot be read" });
                continue;
            }
            ++count;
            const QString relative = path.mid(root.size() + 1);
            faults
                += CheckIncludes(table, widgetHeaders, relative, QString::fromUtf8(file.readAll()));
        }
    }
    if (filesChecked)
        *filesChecked = count;
    return faults;
}

QStringList CheckTableRules(const LayerTable& table)
{
    QStringList faults;
    for (const QString& folder : table.folders) {
        const LayerRow& row = table.rows[folder];
        const QString top = TopFolder(folder);
        if (row.widgets && !folder.endsWith("/ui") && folder != "widgets" && folder != "shell")
            faults << folder + " may use widgets, but only ui/ folders, widgets and shell may";
        if (!row.feature)
            continue;
        for (const QString& used : row.uses) {
            const auto other = table.rows.constFind(used);
            if (TopFolder(used) != top && other != table.rows.constEnd() && other->feature)
                faults << QString("feature %1 uses feature %2").arg(folder, used);
        }
    }
    return faults;
}

QStringList CheckLayoutPicture(const LayerTable& table, const QString& readmeText)
{
    QSet<QString> tops;
    for (const QString& folder : table.folders)
        if (!table.rows[folder].tools)
            tops.insert(TopFolder(folder));

    // The picture is the first fenced block after "## Layout"; a row is a line that starts
    // with folder names (indented lines describe the row above).
    QHash<QString, int> rowOf;
    const QStringList lines = readmeText.split('\n');
    qsizetype i = lines.indexOf("## Layout");
    if (i < 0)
        return { "README.md has no \"## Layout\" section" };
    while (++i < lines.size() && !lines[i].startsWith("```")) { }
    int picRow = 0;
    while (++i < lines.size() && !lines[i].startsWith("```")) {
        if (lines[i].isEmpty() || lines[i].front().isSpace())
            continue;
        ++picRow;
        for (const QString& word : lines[i].split(' ', Qt::SkipEmptyParts)) {
            if (!tops.contains(word))
                break;
            rowOf.insert(word, picRow);
        }
    }

    QStringList faults;
    for (const QString& top : tops)
        if (!rowOf.contains(top))
            faults << "the README picture does not show " + top;
    for (const QString& folder : table.folders) {
        const QString top = TopFolder(folder);
        if (table.rows[folder].tools || !rowOf.contains(top))
            continue;
        for (const QString& used : table.rows[folder].uses) {
            const QString usedTop = TopFolder(used);
            if (usedTop != top && rowOf.value(usedTop, picRow + 1) >= rowOf[top])
                faults << QString("%1 uses %2, which the README picture does not show above it")
                              .arg(folder, used);
        }
    }
    faults.sort();
    return faults;
}

QString Describe(const IncludeFault& fault)
{
    return QString("%1:%2: includes \"%3\": %4")
        .arg(fault.file)
        .arg(fault.line)
        .arg(fault.included, fault.why);
}

} // namespace quel::layers
