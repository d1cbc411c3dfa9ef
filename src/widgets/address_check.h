#pragma once

#include <QString>

namespace quel::widgets {

// True for an absolute http or https address with a host: the only kind the program
// hands to other programs.
bool IsWebAddress(const QString& address);

} // namespace quel::widgets
