#pragma once

namespace quel::bench {

// Peak resident size so far of a running process, in kB (0 once it has gone).
long peakResidentKb(long long pid);

} // namespace quel::bench
