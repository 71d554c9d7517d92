// A uniform grid over the cube [-1, 1]^3 that holds spherical triangles by
// the cells their directions can reach: the triangles that may cover a
// direction are found in its cell, never by trying them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

struct CellBox {
    int32_t lo[3];
    int32_t hi[3];
};

// A cell key (high half) and an item (low half) in one word.
using CellEntry = uint64_t;
inline uint32_t CellKeyOf(CellEntry e) { return static_cast<uint32_t>(e >> 32); }
inline uint32_t ItemOf(CellEntry e) { return static_cast<uint32_t>(e); }

class SphereGrid {
public:
    // About itemCount triangles that tile the sphere: a few to a cell.
    explicit SphereGrid(std::size_t itemCount);

    // Cells reached by the spherical triangle a, b, c (seen from its front).
    CellBox TriangleBox(const Vec3& a, const Vec3& b, const Vec3& c) const;
    // The cell of one direction.
    uint32_t CellOf(const Vec3& direction) const;

    uint32_t Key(int32_t x, int32_t y, int32_t z) const
    {
        return (static_cast<uint32_t>(x) * static_cast<uint32_t>(size_) + static_cast<uint32_t>(y)) * static_cast<uint32_t>(size_) +
               static_cast<uint32_t>(z);
    }

    // Appends an entry for item in every cell of box.
    void Insert(const CellBox& box, uint32_t item, std::vector<CellEntry>& entries) const;

    uint32_t CellCount() const
    {
        return static_cast<uint32_t>(size_) * static_cast<uint32_t>(size_) * static_cast<uint32_t>(size_);
    }

private:
    CellBox BoxAround(const double lo[3], const double hi[3], double margin) const;
    int32_t CellIndex(double coordinate) const
    {
        // Truncation and a step down is floor, without the library call that
        // plain x86-64 needs for it; coordinates stay within a few units.
        const double cell = (coordinate + 1.0) * 0.5 * size_;
        int32_t index = static_cast<int32_t>(cell);
        if (static_cast<double>(index) > cell) --index;
        return index < 0 ? 0 : index >= size_ ? size_ - 1 : index;
    }

    int32_t size_;
};

// Sorts entries by cell, keeping the order of insertion within a cell: a
// radix sort, since keys are bounded by the grid's cell count.
void SortEntries(std::vector<CellEntry>& entries, const SphereGrid& grid);

// The first entry of cell key in sorted entries (or where it would stand).
size_t FirstEntryOf(const std::vector<CellEntry>& entries, uint32_t key);

}  // namespace vorlane
