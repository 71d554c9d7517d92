#include "base/huge_pages.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/two_halves.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vorlane {

void AdviseHugePages(const void* begin, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t Huge = std::uintptr_t{1} << 21;
    // Below two huge pages the saving is small and the rounding wastes most.
    if (begin == nullptr || bytes < 2 * Huge) return;
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(Huge - 1);
    // Refusal (no transparent huge pages here) leaves ordinary pages: fine.
    if (last > first) static_cast<void>(madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE));
#else
    static_cast<void>(begin);
    static_cast<void>(bytes);
#endif
}

void StartWithMemorySettings(char** argv)
{
#if defined(__linux__)
    constexpr const char* Settings =
        "glibc.malloc.hugetlb=1:glibc.malloc.mmap_max=0:glibc.malloc.arena_max=1:glibc.malloc.trim_threshold=4294967295";
    const char* present = std::getenv("GLIBC_TUNABLES");
    if (present && std::strstr(present, Settings)) return;
    const std::string value = present ? std::string(Settings) + ":" + present : std::string(Settings);
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
#else
    static_cast<void>(argv);
#endif
}

void FaultInPages(const void* begin, std::size_t bytes, int threads)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t Page = 4096;
    // note: below a few megabytes a thread costs more than the faults.
    if (begin == nullptr || bytes < (std::size_t{8} << 20)) return;
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + Page - 1) & ~(Page - 1);
    const std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(Page - 1);
    if (last <= first) return;
    const std::uintptr_t middle = first + (last - first) / 2 / Page * Page;
    const auto populate = [](std::uintptr_t from, std::uintptr_t to) {
        if (to > from) static_cast<void>(madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE));
    };
    BothAtOnce(threads > 1, [&] { populate(first, middle); }, [&] { populate(middle, last); });
#else
    static_cast<void>(begin);
    static_cast<void>(bytes);
    static_cast<void>(threads);
#endif
}

}  // namespace vorlane
