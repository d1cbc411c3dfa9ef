#include "include_rules.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace quel::layers {

namespace {

// The one statement of which folder may include which. A folder may always include its
// own headers. Features (search, download, analysis, exports) never include each other:
// the shell wires them together.
const QHash<QString, QStringList>& AllowedFolders()
{
    static const QHash<QString, QStringList> table = [] {
        const QStringList belowViews { "core", "db", "store", "web", "widgets", "grid" };
        const QStringList belowFeatures = belowViews + QStringList { "views", "simplify" };
        const QStringList features { "search", "download", "analysis", "exports" };
        QHash<QString, QStringList> t;
        t["core"] = {};
        t["db"] = { "core" };
        t["db_sqlite"] = { "core", "db", "jet" };
        t["db_pg"] = { "core", "db", "jet" };
        t["jet"] = { "core", "db" };
        t["store"] = { "core", "db", "db_sqlite", "db_pg", "jet" };
        t["web"] = { "core" };
        t["widgets"] = { "core" };
        t["grid"] = { "core" };
        t["views"] = belowViews;
        t["simplify"] = belowViews;
        for (const QString& feature : features)
            t[feature] = belowFeatures;
        // The shell checks and redacts server addresses it is given on the command line.
        t["shell"] = belowFeatures + features + QStringList { "db_pg" };
        t["worker"] = { "core", "web" };
        t["market"] = { "core", "web" };
        return t;
    }();
    return table;
}

} // namespace

QString FolderOf(const QString& relativePath)
{
    const QStringList parts = relativePath.split('/');
    if (parts.size() < 3 || (parts[0] != "src" && parts[0] != "tools"))
        return {};
    return parts[1];
}

QList<IncludeFault> CheckIncludes(const QString& relativePath, const QString& text)
{
    static const QRegularExpression include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    QList<IncludeFault> faults;
    const QString folder = FolderOf(relativePath);
    const auto& table = AllowedFolders();
    const auto allowed = table.constFind(folder);
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const auto match = include.match(lines[i]);
        if (!match.hasMatch())
            continue;
        const QString included = match.captured(1);
        const qsizetype slash = included.indexOf('/');
        if (slash < 0)
            continue;
        const QString target = included.left(slash);
        if (target == folder)
            continue;
        IncludeFault fault { relativePath, i + 1, included, {} };
        if (allowed == table.constEnd())
            fault.why = QString("folder \"%1\" has no place in the layer table").arg(folder);
        else if (!allowed->contains(target))
            fault.why = QString("\"%1\" may use only: %2")
                            .arg(folder, allowed->isEmpty() ? "Qt" : allowed->join(", "));
        else
            continue;
        faults.append(fault);
    }
    return faults;
}

QList<IncludeFault> CheckTree(const QString& root, int* filesChecked)
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
            faults += CheckIncludes(relative, QString::fromUtf8(file.readAll()));
        }
    }
    if (filesChecked)
        *filesChecked = count;
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
