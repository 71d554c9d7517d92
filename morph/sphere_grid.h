// A uniform grid over the cube [-1, 1]^3 that holds items by the cells their
// directions can reach on the unit sphere: candidate pairs come from shared
// cells, never from all pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

struct CellBox {
    int32_t lo[3];
    int32_t hi[3];
};

class SphereGrid {
public:
    // About itemCount items of typical extent: a cell per item or so.
    explicit SphereGrid(std::size_t itemCount);

    // Cells reached by the great-circle arc between directions a and b (< pi).
    CellBox ArcBox(const Vec3& a, const Vec3& b) const;
    // Cells reached by the spherical triangle a, b, c (seen from its front).
    CellBox TriangleBox(const Vec3& a, const Vec3& b, const Vec3& c) const;
    // The cell of one direction.
    uint64_t CellOf(const Vec3& direction) const;

    uint64_t Key(int32_t x, int32_t y, int32_t z) const
    {
        return (static_cast<uint64_t>(x) * static_cast<uint64_t>(size_) + static_cast<uint64_t>(y)) * static_cast<uint64_t>(size_) +
               static_cast<uint64_t>(z);
    }

    // Appends (cell key, item) for every cell of box.
    void Insert(const CellBox& box, uint32_t item, std::vector<std::pair<uint64_t, uint32_t>>& entries) const;

    uint64_t CellCount() const
    {
        return static_cast<uint64_t>(size_) * static_cast<uint64_t>(size_) * static_cast<uint64_t>(size_);
    }

private:
    CellBox BoxAround(const double lo[3], const double hi[3], double margin) const;
    int32_t CellIndex(double coordinate) const;

    int32_t size_;
};

// Sorts entries by cell key, then by item: a radix sort, since keys are
// bounded by the grid's cell count.
void SortEntries(std::vector<std::pair<uint64_t, uint32_t>>& entries, const SphereGrid& grid);

// The first cell two boxes share, or false when they share none. Testing a
// pair only in this cell reports every pair once.
bool FirstCommonCell(const CellBox& a, const CellBox& b, int32_t cell[3]);

}  // namespace vorlane
