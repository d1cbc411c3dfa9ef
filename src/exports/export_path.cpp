// SPDX-License-Identifier: GPL-3.0-or-later
#include "exports/export_path.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace quel::exports {

QString FilterExtension(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString WithFilterExtension(const QString& path, const QString& filter)
{
    if (path.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    // A name ending in a dot has an empty extension: the filter's follows the dot.
    if (!QFileInfo(name).suffix().isEmpty())
        return path;
    const QString extension = FilterExtension(filter);
    if (extension.isEmpty())
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + extension : path + QLatin1Char('.') + extension;
}

} // namespace quel::exports
