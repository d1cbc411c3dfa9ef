#include "core/heap_pages.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace quel::core {

namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHeapPages = "glibc.malloc.hugetlb";

} // namespace

void StartWithHugeHeapPages(char** argv)
{
    const char* current = std::getenv(kTunables);
    if (current && std::strstr(current, kHeapPages))
        return;
    std::string tunables = current && *current ? std::string(current) + ':' : std::string();
    tunables += kHeapPages;
    tunables += "=1";
    if (setenv(kTunables, tunables.c_str(), 1) != 0)
        return;
    // The kernel's name of this program file: argv[0] may be a bare name found on PATH.
    execv("/proc/self/exe", argv);
    // Not started again (no /proc, say): the program runs with the heap it has, and the
    // setting stays in the environment so that its helpers do not try either.
}

} // namespace quel::core
