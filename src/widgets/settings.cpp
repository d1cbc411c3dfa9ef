// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/settings.h"

namespace quel::widgets {

std::unique_ptr<QSettings> ProgramSettings()
{
    return std::make_unique<QSettings>(
        QSettings::UserScope, QStringLiteral("quelmar"), QStringLiteral("quelmar"));
}

} // namespace quel::widgets
