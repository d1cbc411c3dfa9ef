#pragma once

#include <QString>

namespace quel::web {

// Stores a text value under a key path of the per-user settings (organisation "quelmar");
// "Software\Microsoft\Internet Explorer\Main" keeps its path with "/" between the parts.
void WriteUserRegistryString(const QString& keyPath, const QString& valueName, const QString& text);
// Reads it back (empty when absent).
QString ReadUserRegistryString(const QString& keyPath, const QString& valueName);

} // namespace quel::web
