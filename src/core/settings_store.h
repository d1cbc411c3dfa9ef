// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quel::core {

// The per-user settings (QSettings, organisation and application "quelmar"). A value lives
// under a key path and a value name; a path written with "\" between its parts, such as
// "Software\Microsoft\Internet Explorer\Main", is kept with "/" between them.
void WriteUserSetting(const QString& keyPath, const QString& valueName, const QString& text);
// Reads it back (empty when absent).
QString ReadUserSetting(const QString& keyPath, const QString& valueName);

} // namespace quel::core
