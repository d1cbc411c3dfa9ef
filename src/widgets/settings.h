// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <memory>

namespace quel::widgets {

// The program's own settings file (window places, the last export folder), the same one
// whatever names the running application was given.
std::unique_ptr<QSettings> ProgramSettings();

} // namespace quel::widgets
