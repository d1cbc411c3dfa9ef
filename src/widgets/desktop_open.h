#pragma once

#include <QString>

namespace quel::widgets {

// Hands an http or https address to the desktop's default browser. Anything else taken
// from a page (file:, javascript:, a program path) is refused silently. Returns whether
// the address was handed on.
bool OpenInDefaultBrowser(const QString& address);

} // namespace quel::widgets
