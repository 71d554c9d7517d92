// A uniform grid over the cube [-1, 1]^3 that holds items by the cells their
// directions can reach on the unit sphere: candidate pairs come from shared
// cells, never from all pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

// An axis-aligned box around part of the unit sphere, rounded outwards.
struct SphereBounds {
    float lo[3];
    float hi[3];
};

// Evaluated whole, without early exits: the outcome is hard to predict and
// the six comparisons cost less than a mispredicted branch.
inline bool Overlap(const SphereBounds& a, const SphereBounds& b)
{
    return (a.lo[0] <= b.hi[0]) & (b.lo[0] <= a.hi[0]) & (a.lo[1] <= b.hi[1]) & (b.lo[1] <= a.hi[1]) & (a.lo[2] <= b.hi[2]) &
           (b.lo[2] <= a.hi[2]);
}

// A direction scaled to unit length in double, as the boxes use it.
struct UnitDirection {
    double v[3];
};
UnitDirection UnitOf(const Vec3& p);

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
    // About itemCount items of typical extent: a cell per item or so.
    explicit SphereGrid(std::size_t itemCount);

    // Cells reached by the great-circle arc between directions a and b (< pi),
    // and optionally the box around the arc itself.
    CellBox ArcBox(const Vec3& a, const Vec3& b, SphereBounds* bounds = nullptr) const;
    // The same from directions already scaled, for callers that share ends.
    CellBox ArcBox(const UnitDirection& a, const UnitDirection& b, SphereBounds* bounds = nullptr) const;
    // Cells reached by the spherical triangle a, b, c (seen from its front).
    CellBox TriangleBox(const Vec3& a, const Vec3& b, const Vec3& c) const;
    CellBox TriangleBox(const UnitDirection& a, const UnitDirection& b, const UnitDirection& c) const;
    // The cell of one direction.
    uint32_t CellOf(const Vec3& direction) const;
    uint32_t CellOf(const UnitDirection& direction) const;

    uint32_t Key(int32_t x, int32_t y, int32_t z) const
    {
        return (static_cast<uint32_t>(x) * static_cast<uint32_t>(size_) + static_cast<uint32_t>(y)) * static_cast<uint32_t>(size_) +
               static_cast<uint32_t>(z);
    }

    // The cell coordinates of a key.
    void Coordinates(uint32_t key, int32_t cell[3]) const
    {
        const uint32_t size = static_cast<uint32_t>(size_);
        cell[2] = static_cast<int32_t>(key % size);
        cell[1] = static_cast<int32_t>(key / size % size);
        cell[0] = static_cast<int32_t>(key / size / size);
    }

    // Appends an entry for item in every cell of box.
    void Insert(const CellBox& box, uint32_t item, std::vector<CellEntry>& entries) const;

    uint32_t CellCount() const
    {
        return static_cast<uint32_t>(size_) * static_cast<uint32_t>(size_) * static_cast<uint32_t>(size_);
    }

private:
    CellBox BoxAround(const double lo[3], const double hi[3], double margin, SphereBounds* bounds = nullptr) const;
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

// The first cell two boxes share, or false when they share none. Testing a
// pair only in this cell reports every pair once.
bool FirstCommonCell(const CellBox& a, const CellBox& b, int32_t cell[3]);

}  // namespace vorlane
