// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings_store.h"

#include <QSettings>

namespace quel::core {

namespace {

QString SettingsKey(const QString& keyPath, const QString& valueName)
{
    QString path = keyPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path + QLatin1Char('/') + valueName;
}

} // namespace

void WriteUserSetting(const QString& keyPath, const QString& valueName, const QString& text)
{
    QSettings settings(QSettings::UserScope, QStringLiteral("quelmar"), QStringLiteral("quelmar"));
    settings.setValue(SettingsKey(keyPath, valueName), text);
    settings.sync();
}

QString ReadUserSetting(const QString& keyPath, const QString& valueName)
{
    QSettings settings(QSettings::UserScope, QStringLiteral("quelmar"), QStringLiteral("quelmar"));
    return settings.value(SettingsKey(keyPath, valueName)).toString();
}

} // namespace quel::core
