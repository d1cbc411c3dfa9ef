#pragma once

#include <QString>
#include <QStringList>

namespace quel::layers {

// One "#include "folder/name.h"" that the folder of its file may not use.
struct IncludeFault
{
    QString file; // relative to the source root, e.g. "src/views/lists.cpp"
    int line = 0; // 1-based
    QString included;
    QString why;
};

// The folder a file belongs to: "src/views/lists.cpp" -> "views",
// "tools/market/pages.cpp" -> "market"; empty outside src/ and tools/.
QString FolderOf(const QString& relativePath);

// Checks one file's text against the layer table. Quoted includes without a folder
// ("x.h") are the file's own folder; angle-bracket includes are libraries and not checked.
QList<IncludeFault> CheckIncludes(const QString& relativePath, const QString& text);

// Every .h and .cpp under root/src and root/tools, checked.
QList<IncludeFault> CheckTree(const QString& root, int* filesChecked = nullptr);

// "src/views/lists.cpp:5: includes "shell/dialogs.h": ..." for a test failure.
QString Describe(const IncludeFault& fault);

} // namespace quel::layers
