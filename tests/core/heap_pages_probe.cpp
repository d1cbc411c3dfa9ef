// Starts as the program does, then tells what it runs with: its process number, the glibc
// tunables and its arguments, one per line.
#include "core/heap_pages.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    quel::core::StartWithHugeHeapPages(argv);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("%ld\n%s\n", long(getpid()), tunables ? tunables : "");
    for (int i = 1; i < argc; ++i)
        std::printf("%s\n", argv[i]);
    return 0;
}
