#pragma once

#include <QString>

namespace quel::exports {

// The letters of sheet column n (from 1): 1 is A, 26 Z, 27 AA, 52 AZ, 53 BA, 702 ZZ.
// Columns beyond ZZ continue with three letters (703 is AAA); n below 1 gives "".
QString ExcelColumnName(int n);

} // namespace quel::exports
