// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quel::store {

// The one password of every database the program creates or opens.
inline constexpr char kDatabasePassword[] = "58314620";

} // namespace quel::store
