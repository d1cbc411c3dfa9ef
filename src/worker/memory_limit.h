#pragma once

#include <cstdint>

namespace quel::worker {

// The address space one worker may use: generous for Qt and the largest page the browser
// accepts, small enough that a hostile page cannot take the machine down with it.
inline constexpr std::uint64_t kWorkerAddressSpace = std::uint64_t(1) << 30;

// Caps the process's address space (RLIMIT_AS) at bytes, or at QUELFETCH_MEMORY_MB when
// that is set to a positive number. Builds with AddressSanitizer reserve terabytes of
// shadow memory and are left without a cap. Returns whether a cap was set.
bool LimitAddressSpace(std::uint64_t bytes = kWorkerAddressSpace);

} // namespace quel::worker
