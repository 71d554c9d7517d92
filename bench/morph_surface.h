// What the bench's checkers of a written morph share, with none of the
// merge's code: mesh files read as given, and the nearest point of a
// surface to any point.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane::bench {

struct P3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
inline P3 ToP(const Vec3& v) { return {v.x, v.y, v.z}; }
inline P3 operator-(const P3& a, const P3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline P3 operator+(const P3& a, const P3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline P3 operator*(double s, const P3& a) { return {s * a.x, s * a.y, s * a.z}; }
inline double Dot(const P3& a, const P3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline P3 Cross(const P3& a, const P3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

struct Box {
    P3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    P3 high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void Add(const P3& p)
    {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    double Diagonal() const { return std::sqrt(Dot(high - low, high - low)); }
};

struct Surface {
    std::vector<P3> points;
    std::vector<Triangle> triangles;
};

// A built-in model by name (about the origin, as vorlane-merge builds it
// without a centre) or a mesh file; false, with the reason on standard
// error, when it cannot be read.
bool LoadSurface(const std::string& argument, Surface& surface);

// Ericson's closest point on triangle abc to p; a degenerate triangle still
// gives a point on it.
P3 ClosestOnTriangle(const P3& p, const P3& a, const P3& b, const P3& c);

// Triangles binned by bounding box into a uniform grid of about two cells a
// triangle; a query searches rings of cells outwards until no unvisited
// cell can be nearer than the best found.
class NearestTriangle {
public:
    explicit NearestTriangle(const Surface& surface) : surface_(surface)
    {
        for (const P3& p : surface.points) box_.Add(p);
        const P3 extent = box_.high - box_.low;
        const double largest = std::max({extent.x, extent.y, extent.z, 1e-30});
        const double cells = std::max(1.0, 2.0 * static_cast<double>(surface.triangles.size()));
        const double volume = std::max(extent.x, largest * 1e-3) * std::max(extent.y, largest * 1e-3) *
                              std::max(extent.z, largest * 1e-3);
        const double side = std::cbrt(volume / cells);
        const double extents[3] = {extent.x, extent.y, extent.z};
        for (int k = 0; k < 3; ++k) {
            count_[k] = static_cast<int>(std::clamp(std::ceil(extents[k] / side), 1.0, 1024.0));
            size_[k] = std::max(extents[k] / count_[k], largest * 1e-9);
        }
        std::vector<std::pair<int64_t, int32_t>> entries;
        for (size_t t = 0; t < surface.triangles.size(); ++t) {
            Box b;
            for (int32_t corner : surface.triangles[t]) b.Add(surface.points[static_cast<size_t>(corner)]);
            const std::array<int, 3> lo = Cell(b.low), hi = Cell(b.high);
            for (int i = lo[0]; i <= hi[0]; ++i)
                for (int j = lo[1]; j <= hi[1]; ++j)
                    for (int k = lo[2]; k <= hi[2]; ++k) entries.push_back({Index(i, j, k), static_cast<int32_t>(t)});
        }
        std::sort(entries.begin(), entries.end());
        start_.assign(static_cast<size_t>(count_[0]) * count_[1] * count_[2] + 1, 0);
        for (const auto& entry : entries) ++start_[static_cast<size_t>(entry.first) + 1];
        for (size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        for (const auto& entry : entries) triangles_.push_back(entry.second);
    }

    struct Hit {
        double distance = HUGE_VAL;
        int32_t triangle = -1;
        P3 point;
    };
    // The nearest point of the surface to p and its triangle.
    Hit Nearest(const P3& p) const
    {
        const std::array<int, 3> c = Cell(p);
        double best = HUGE_VAL;
        Hit hit;
        const int rings = std::max({count_[0], count_[1], count_[2]});
        for (int r = 0; r <= rings; ++r) {
            for (int i = std::max(0, c[0] - r); i <= std::min(count_[0] - 1, c[0] + r); ++i)
                for (int j = std::max(0, c[1] - r); j <= std::min(count_[1] - 1, c[1] + r); ++j) {
                    // Inside the ring's faces in i and j only its two k ends are new.
                    const bool inner = std::abs(i - c[0]) < r && std::abs(j - c[1]) < r;
                    for (int k = c[2] - r; k <= c[2] + r; k += inner ? 2 * r : 1) {
                        if (k < 0 || k >= count_[2]) continue;
                        const size_t cell = static_cast<size_t>(Index(i, j, k));
                        for (size_t e = start_[cell]; e < start_[cell + 1]; ++e) {
                            const Triangle& t = surface_.triangles[static_cast<size_t>(triangles_[e])];
                            const P3 q = ClosestOnTriangle(p, surface_.points[static_cast<size_t>(t[0])],
                                                           surface_.points[static_cast<size_t>(t[1])],
                                                           surface_.points[static_cast<size_t>(t[2])]);
                            if (Dot(p - q, p - q) < best) {
                                best = Dot(p - q, p - q);
                                hit.triangle = triangles_[e];
                                hit.point = q;
                            }
                        }
                    }
                }
            if (best < HUGE_VAL && std::sqrt(best) <= Clearance(p, c, r)) break;
        }
        hit.distance = std::sqrt(best);
        return hit;
    }
    double Distance(const P3& p) const { return Nearest(p).distance; }

    double Diagonal() const { return box_.Diagonal(); }

private:
    std::array<int, 3> Cell(const P3& p) const
    {
        const double at[3] = {p.x - box_.low.x, p.y - box_.low.y, p.z - box_.low.z};
        std::array<int, 3> cell{};
        for (int k = 0; k < 3; ++k)
            cell[static_cast<size_t>(k)] = static_cast<int>(std::clamp(std::floor(at[k] / size_[k]), 0.0, count_[k] - 1.0));
        return cell;
    }
    // How far p lies inside the block of rings 0..r around cell c: no cell
    // beyond it is nearer. Walls on the grid's border do not count.
    double Clearance(const P3& p, const std::array<int, 3>& c, int r) const
    {
        const double at[3] = {p.x - box_.low.x, p.y - box_.low.y, p.z - box_.low.z};
        double clearance = HUGE_VAL;
        for (int k = 0; k < 3; ++k) {
            const int cell = c[static_cast<size_t>(k)];
            if (cell - r > 0) clearance = std::min(clearance, at[k] - (cell - r) * size_[k]);
            if (cell + r + 1 < count_[k]) clearance = std::min(clearance, (cell + r + 1) * size_[k] - at[k]);
        }
        return clearance;
    }
    int64_t Index(int i, int j, int k) const { return (static_cast<int64_t>(i) * count_[1] + j) * count_[2] + k; }

    const Surface& surface_;
    Box box_;
    int count_[3] = {1, 1, 1};
    double size_[3] = {1.0, 1.0, 1.0};
    std::vector<size_t> start_;
    std::vector<int32_t> triangles_;
};

}  // namespace vorlane::bench
