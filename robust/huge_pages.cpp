#include "robust/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
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

}  // namespace vorlane
