// SPDX-License-Identifier: GPL-3.0-or-later
#include "db_sqlite/vector_state.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace quel::db_sqlite {

namespace {

__attribute__((target("avx"))) void zeroUpper()
{
    _mm256_zeroupper();
}

} // namespace

void clearUpperVectorState()
{
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        zeroUpper();
}

} // namespace quel::db_sqlite

#else

namespace quel::db_sqlite {

void clearUpperVectorState() { }

} // namespace quel::db_sqlite

#endif
