// The point of a triangle mesh nearest to a point in space, for matching
// one shape to another. In double; nearest by Euclidean distance, ties to
// the triangle found first.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct SurfacePoint {
    int32_t triangle = -1;  // -1 only for a mesh without triangles
    double weights[3] = {0.0, 0.0, 0.0};  // of the triangle's corners, summing to 1
    D3 point{0.0, 0.0, 0.0};
    double distanceSquared = 0.0;
};

// Triangles filed in a uniform grid of about two cells a triangle; a query
// searches rings of cells outwards until none left can hold a nearer point.
class NearestSurface {
public:
    // Keeps references: points and triangles must outlive it.
    NearestSurface(const std::vector<D3>& points, const std::vector<Triangle>& triangles);

    // The nearest point; with a reach, none (triangle -1) where nothing
    // lies within reach of p (far points cost the most to search).
    SurfacePoint Nearest(const D3& p, double reach = HUGE_VAL) const;

private:
    struct Cell {
        int32_t i[3];
    };
    Cell CellOf(const D3& p) const;
    // How far p lies inside the block of cells within r of c: nothing
    // beyond it can be nearer.
    double Clearance(const D3& p, const Cell& c, int r) const;
    std::size_t Index(int32_t x, int32_t y, int32_t z) const
    {
        return (static_cast<std::size_t>(x) * static_cast<std::size_t>(count_[1]) + static_cast<std::size_t>(y)) *
                   static_cast<std::size_t>(count_[2]) +
               static_cast<std::size_t>(z);
    }

    const std::vector<D3>& points_;
    const std::vector<Triangle>& triangles_;
    D3 low_{0.0, 0.0, 0.0};
    double side_ = 1.0;
    int32_t count_[3] = {1, 1, 1};
    std::vector<uint32_t> first_;
    std::vector<int32_t> filed_;
};

// The point of triangle a b c nearest to p, with its weights of a, b, c.
SurfacePoint NearestOnTriangle(const D3& p, const D3& a, const D3& b, const D3& c);

}  // namespace vorlane
