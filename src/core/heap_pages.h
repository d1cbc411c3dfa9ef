#pragma once

// The C library's heap in huge pages. A year's database makes the program read and hold a
// few hundred megabytes the first time a list or an analysis touches a table: the page cache
// of the database, the grid's rows, the engine's sorts. Served in 4 KB pages, each first
// write of them is a page fault, costly on a virtual machine: a cold customer list of the
// best sellers took some 29,000 of them, about a tenth of its processor time. glibc lets its
// heap ask the kernel for 2 MB pages instead (its tunable glibc.malloc.hugetlb=1), but reads
// the setting only when a program starts.
namespace quel::core {

// Starts this program again in place (same process, same arguments) with the setting added
// to its environment, unless the environment already names it (the user's own choice, or
// the start again). Returns only when the program goes on as it is: the setting is in
// place, or the start again failed. Call it first thing in main, before any thread exists.
void StartWithHugeHeapPages(char** argv);

} // namespace quel::core
