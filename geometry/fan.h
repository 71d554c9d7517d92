// The one fan triangulation every stage uses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlane {

// Calls emit(a, b, c) for each triangle of the fan of ring[0 .. count-1] from
// its first corner, in the ring's winding: count - 2 triangles, none for
// fewer than three corners.
template <class Emit>
void ForEachFanTriangle(const int32_t* ring, std::size_t count, Emit&& emit)
{
    for (std::size_t i = 1; i + 1 < count; ++i) emit(ring[0], ring[i], ring[i + 1]);
}

}  // namespace vorlane
