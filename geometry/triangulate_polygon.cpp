#include "geometry/triangulate_polygon.h"

#include <cmath>
#include <cstddef>

#include "geometry/fan.h"

namespace vorlane {

namespace {

constexpr std::size_t MaxClippedCorners = 1024;

struct Point2 {
    double u = 0.0;
    double v = 0.0;
};

double Cross(const Point2& a, const Point2& b, const Point2& c)
{
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

// p inside or on triangle abc, which is counter-clockwise.
bool InsideOrOn(const Point2& p, const Point2& a, const Point2& b, const Point2& c)
{
    return Cross(a, b, p) >= 0.0 && Cross(b, c, p) >= 0.0 && Cross(c, a, p) >= 0.0;
}

void Fan(const int32_t* corners, std::size_t count, std::vector<Triangle>& triangles)
{
    ForEachFanTriangle(corners, count, [&](int32_t a, int32_t b, int32_t c) { triangles.push_back(Triangle{a, b, c}); });
}

}  // namespace

void TriangulatePolygon(const std::vector<Vec3>& points, const int32_t* corners, std::size_t count,
                        std::vector<Triangle>& triangles)
{
    if (count < 3) return;
    // note: clipping is quadratic; huge polygons are fanned instead.
    if (count == 3 || count > MaxClippedCorners) {
        Fan(corners, count, triangles);
        return;
    }

    // Newell's normal: its largest component names the axis to drop, and its
    // sign whether the projection keeps the winding counter-clockwise.
    double nx = 0.0, ny = 0.0, nz = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3& a = points[static_cast<std::size_t>(corners[i])];
        const Vec3& b = points[static_cast<std::size_t>(corners[(i + 1) % count])];
        nx += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
        ny += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
        nz += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
    }
    const double ax = std::fabs(nx), ay = std::fabs(ny), az = std::fabs(nz);
    std::vector<Point2> flat(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3& p = points[static_cast<std::size_t>(corners[i])];
        if (az >= ax && az >= ay) flat[i] = nz >= 0.0 ? Point2{p.x, p.y} : Point2{p.y, p.x};
        else if (ax >= ay) flat[i] = nx >= 0.0 ? Point2{p.y, p.z} : Point2{p.z, p.y};
        else flat[i] = ny >= 0.0 ? Point2{p.z, p.x} : Point2{p.x, p.z};
    }
    if (ax == 0.0 && ay == 0.0 && az == 0.0) {
        Fan(corners, count, triangles);
        return;
    }

    std::vector<std::size_t> ring(count);
    for (std::size_t i = 0; i < count; ++i) ring[i] = i;
    std::vector<Triangle> clipped;
    std::size_t i = 0;
    std::size_t tried = 0;
    while (ring.size() > 3) {
        if (tried == ring.size()) {
            Fan(corners, count, triangles);
            return;
        }
        i %= ring.size();
        const std::size_t a = ring[(i + ring.size() - 1) % ring.size()];
        const std::size_t b = ring[i];
        const std::size_t c = ring[(i + 1) % ring.size()];
        bool ear = Cross(flat[a], flat[b], flat[c]) > 0.0;
        for (std::size_t k = 0; ear && k < ring.size(); ++k) {
            const std::size_t other = ring[k];
            if (other != a && other != b && other != c && InsideOrOn(flat[other], flat[a], flat[b], flat[c])) ear = false;
        }
        if (!ear) {
            ++i;
            ++tried;
            continue;
        }
        clipped.push_back(Triangle{corners[a], corners[b], corners[c]});
        ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(i));
        tried = 0;
    }
    clipped.push_back(Triangle{corners[ring[0]], corners[ring[1]], corners[ring[2]]});
    triangles.insert(triangles.end(), clipped.begin(), clipped.end());
}

}  // namespace vorlane
