#include "worker/memory_limit.h"

#include <QtGlobal>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUEL_WORKER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define QUEL_WORKER_SANITIZED 1
#endif
#endif

namespace quel::worker {

bool LimitAddressSpace(std::uint64_t bytes)
{
#ifdef QUEL_WORKER_SANITIZED
    Q_UNUSED(bytes);
    return false;
#else
    bool ok = false;
    const qint64 megabytes = qEnvironmentVariableIntValue("QUELFETCH_MEMORY_MB", &ok);
    if (ok && megabytes > 0)
        bytes = std::uint64_t(megabytes) << 20;
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return false;
    // A cap that is already lower stays.
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= bytes)
        return true;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < bytes)
        bytes = limit.rlim_max;
    limit.rlim_cur = bytes;
    return setrlimit(RLIMIT_AS, &limit) == 0;
#endif
}

} // namespace quel::worker
