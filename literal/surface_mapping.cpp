#include "literal/surface_mapping.h"

#include <cmath>

namespace vorlane {
namespace {

constexpr double AreaGrain = 100.0;
constexpr double AreaMargin = 0.005;

// A value at a grain: truncated toward zero, as a cast to a whole number
// would, but defined however large (or infinite) the value is.
double AtGrain(double value)
{
    return std::trunc(value * AreaGrain);
}

float Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

float TriangleArea(const Vec3& q0, const Vec3& q1, const Vec3& q2)
{
    const double bx = static_cast<double>(q1.x) - q0.x, by = static_cast<double>(q1.y) - q0.y,
                 bz = static_cast<double>(q1.z) - q0.z;
    const double sx = static_cast<double>(q2.x) - q0.x, sy = static_cast<double>(q2.y) - q0.y,
                 sz = static_cast<double>(q2.z) - q0.z;
    const double base = std::sqrt(bx * bx + by * by + bz * bz);
    if (base == 0.0) return 0.0f;
    const double side = std::sqrt(sx * sx + sy * sy + sz * sz);
    const double projection = std::fabs((bx * sx + by * sy + bz * sz) / base);
    if (AtGrain(projection) == AtGrain(side)) return 0.0f;
    // Rounding can put the projection a hair past the side; the height is then 0, not NaN.
    const double heightSquared = side * side - projection * projection;
    const double height = heightSquared > 0.0 ? std::sqrt(heightSquared) : 0.0;
    return static_cast<float>(base * height * 0.5);
}

int32_t HitTriangle(const TrianglePoints& triangle, const Vec3& p0, const Vec3& p1, Vec3& out)
{
    const Vec3 dir{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
    Vec3 n;
    TriangleNormal(triangle, n);
    const float nd = Dot(n, dir);
    const float k = Dot(n, triangle.p0);
    const float s0 = Dot(n, p0) - k;
    const float s1 = Dot(n, p1) - k;
    // The segment must cross the plane strictly between its ends.
    if (!(static_cast<double>(s0) * s1 < 0.0)) return 0;
    const float t = (k - Dot(n, p0)) / nd;
    const Vec3 x{p0.x + dir.x * t, p0.y + dir.y * t, p0.z + dir.z * t};
    const float a1 = TriangleArea(triangle.p0, triangle.p1, x);
    const float a2 = TriangleArea(triangle.p0, triangle.p2, x);
    const float a3 = TriangleArea(triangle.p1, triangle.p2, x);
    const double parts = AtGrain(static_cast<double>(a1) + a2 + a3);
    const double whole = AtGrain(static_cast<double>(TriangleArea(triangle.p0, triangle.p1, triangle.p2)) + AreaMargin);
    // note: a NaN area fails as the whole number it stood for would not have.
    if (!(parts <= whole)) return 0;
    out = x;
    return 1;
}

bool MapToSurface(const Polyhedron& model, const Vec3& spherePoint, Vec3& out)
{
    for (const Triangle& face : model.faces) {
        const TrianglePoints triangle{model.vertices[static_cast<size_t>(face[0])], model.vertices[static_cast<size_t>(face[1])],
                                      model.vertices[static_cast<size_t>(face[2])]};
        if (HitTriangle(triangle, SphereCentre, spherePoint, out)) return true;
    }
    return false;
}

}  // namespace vorlane
