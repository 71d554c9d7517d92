// Large tables on 2 MiB pages where the system grants them. A merge of real
// meshes fills over a hundred megabytes of fresh tables; faulting them in at
// 4 KiB a page cost a fifth of a level-6 merge's time.
#pragma once

#include <cstddef>
#include <vector>

namespace vorlane {

// A hint only: asks for huge pages over the whole 2 MiB pages inside
// [begin, begin + bytes). Pages already touched stay as they are; null or
// under 4 MiB, nothing.
void AdviseHugePages(const void* begin, std::size_t bytes);

// Faults in the pages of [begin, begin + bytes) now, half on each of two
// threads when threads > 1. The kernel clears each fresh page as it is
// first touched, and one core clearing a large merge's tables took a third
// of its time. A hint too: where the system cannot, pages fault in later;
// null or under 8 MiB, nothing.
void FaultInPages(const void* begin, std::size_t bytes, int threads);

// Reserves room for count items and advises it before anything touches it;
// resize or fill the table afterwards. With threads > 1 the room is faulted
// in on two threads: for tables that will be filled, not mere bounds.
template <class T, class A>
void ReserveHuge(std::vector<T, A>& table, std::size_t count, int threads = 1)
{
    table.reserve(count);
    AdviseHugePages(table.data(), table.capacity() * sizeof(T));
    if (threads > 1) FaultInPages(table.data(), table.capacity() * sizeof(T), threads);
}

// For programs that merge large meshes, first thing in main: a merge at a
// million triangles frees and takes again gigabytes. Left to itself, malloc
// hands large blocks back to the kernel, which must clear every page again
// when they come back: a fifth of the run. These settings keep freed memory
// for reuse and ask for huge pages; malloc reads them only as a process
// starts, so the program starts itself once more with them (the caller's
// own settings come after, and so win). Where that fails it runs on as it
// is, only slower.
void StartWithMemorySettings(char** argv);

// Gives a table's memory back; assigning {} would empty it but keep all of
// its room.
template <class T, class A>
void Release(std::vector<T, A>& table)
{
    std::vector<T, A>().swap(table);
}

}  // namespace vorlane
