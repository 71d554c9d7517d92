#include "robust/sphere_grid.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/huge_pages.h"

namespace vorlane {
namespace {

void Unit(const Vec3& p, double out[3])
{
    const double x = p.x, y = p.y, z = p.z;
    const double length = std::sqrt(x * x + y * y + z * z);
    out[0] = x / length;
    out[1] = y / length;
    out[2] = z / length;
}

// Slack for the rounding of the directions themselves.
constexpr double Rounding = 1e-9;

}  // namespace

SphereGrid::SphereGrid(std::size_t itemCount)
{
    // The sphere meets about 6 g^2 cells of a g^3 grid: about four
    // triangles a cell.
    const double g = std::sqrt(static_cast<double>(itemCount) / 24.0);
    size_ = static_cast<int32_t>(std::clamp(g, 1.0, 1024.0));
}

CellBox SphereGrid::BoxAround(const double lo[3], const double hi[3], double margin) const
{
    CellBox box;
    for (int k = 0; k < 3; ++k) {
        const double low = lo[k] - margin - Rounding;
        const double high = hi[k] + margin + Rounding;
        box.lo[k] = CellIndex(low);
        box.hi[k] = CellIndex(high);
    }
    return box;
}

CellBox SphereGrid::TriangleBox(const Vec3& a, const Vec3& b, const Vec3& c) const
{
    double u[3][3];
    Unit(a, u[0]);
    Unit(b, u[1]);
    Unit(c, u[2]);
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::min({u[0][k], u[1][k], u[2][k]});
        hi[k] = std::max({u[0][k], u[1][k], u[2][k]});
    }
    // Normalising a point of the flat triangle moves it by at most one less
    // the distance from the origin to the triangle's plane.
    const double e1[3] = {u[1][0] - u[0][0], u[1][1] - u[0][1], u[1][2] - u[0][2]};
    const double e2[3] = {u[2][0] - u[0][0], u[2][1] - u[0][1], u[2][2] - u[0][2]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    double bulge = 1.0;
    if (length > 0.0) {
        const double distance = std::fabs(n[0] * u[0][0] + n[1] * u[0][1] + n[2] * u[0][2]) / length;
        bulge = 1.0 - std::min(distance, 1.0);
    }
    return BoxAround(lo, hi, bulge);
}

uint32_t SphereGrid::CellOf(const Vec3& direction) const
{
    double u[3];
    Unit(direction, u);
    return Key(CellIndex(u[0]), CellIndex(u[1]), CellIndex(u[2]));
}

void SphereGrid::Insert(const CellBox& box, uint32_t item, std::vector<CellEntry>& entries) const
{
    for (int32_t x = box.lo[0]; x <= box.hi[0]; ++x) {
        for (int32_t y = box.lo[1]; y <= box.hi[1]; ++y) {
            for (int32_t z = box.lo[2]; z <= box.hi[2]; ++z) entries.push_back(static_cast<CellEntry>(Key(x, y, z)) << 32 | item);
        }
    }
}

void SortEntries(std::vector<CellEntry>& entries, const SphereGrid& grid)
{
    uint32_t keyBits = 0;
    while (keyBits < 32 && (grid.CellCount() >> keyBits) != 0) ++keyBits;
    constexpr uint32_t Digit = 11;
    constexpr size_t Buckets = size_t{1} << Digit;
    constexpr uint64_t Mask = Buckets - 1;
    const uint32_t digits = (keyBits + Digit - 1) / Digit;
    // Every digit's counts from one read of the entries.
    std::vector<size_t> start(digits * Buckets, 0);
    for (CellEntry e : entries) {
        for (uint32_t d = 0; d < digits; ++d) ++start[d * Buckets + ((e >> (32 + d * Digit)) & Mask)];
    }
    for (uint32_t d = 0; d < digits; ++d) {
        size_t sum = 0;
        for (size_t i = d * Buckets; i < (d + 1) * Buckets; ++i) sum += std::exchange(start[i], sum);
    }
    std::vector<CellEntry> scratch;
    ReserveHuge(scratch, entries.size());
    scratch.resize(entries.size());
    for (uint32_t d = 0; d < digits; ++d) {
        size_t* next = start.data() + d * Buckets;
        for (CellEntry e : entries) scratch[next[(e >> (32 + d * Digit)) & Mask]++] = e;
        entries.swap(scratch);
    }
}

size_t FirstEntryOf(const std::vector<CellEntry>& entries, uint32_t key)
{
    return static_cast<size_t>(std::lower_bound(entries.begin(), entries.end(), static_cast<CellEntry>(key) << 32) - entries.begin());
}

}  // namespace vorlane
