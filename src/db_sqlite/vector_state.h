// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quel::db_sqlite {

// The engine's library is built for the baseline instruction set, SSE. Code elsewhere in the
// process (the GUI's start-up among it) can leave the upper halves of the wider vector
// registers in use, and the processor then makes every SSE instruction wait on them: the
// same grouping query took half as long again in the program as in a bare one. Clearing
// that state (VZEROUPPER, where the processor has AVX) before the engine runs costs a few
// cycles. Elsewhere it does nothing.
void clearUpperVectorState();

} // namespace quel::db_sqlite
