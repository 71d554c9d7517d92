// Double-precision vectors and the few spherical formulas the embedding
// shares between its files. Internal to embed/.
#pragma once

#include <cmath>

#include "geometry/vec3.h"

namespace vorlane {

struct Dvec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline Dvec3 operator+(const Dvec3& a, const Dvec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Dvec3 operator-(const Dvec3& a, const Dvec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Dvec3 operator*(double s, const Dvec3& a) { return {s * a.x, s * a.y, s * a.z}; }
inline double Dot(const Dvec3& a, const Dvec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Dvec3 Cross(const Dvec3& a, const Dvec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Norm(const Dvec3& a) { return std::sqrt(Dot(a, a)); }
// The zero vector stays zero.
inline Dvec3 Normalized(const Dvec3& a)
{
    const double n = Norm(a);
    return n > 0.0 ? (1.0 / n) * a : a;
}
inline Dvec3 ToDvec3(const Vec3& p) { return {p.x, p.y, p.z}; }

// A unit direction as the float point on the common sphere.
inline Vec3 OnSphere(const Dvec3& unit)
{
    return {static_cast<float>(unit.x * SphereRadius), static_cast<float>(unit.y * SphereRadius),
            static_cast<float>(unit.z * SphereRadius)};
}
// A point of the common sphere as a unit direction.
inline Dvec3 UnitOf(const Vec3& p) { return Normalized(ToDvec3(p)); }

// Solid angle of the spherical triangle of three directions (Van Oosterom
// and Strackee), negative when it runs clockwise seen from outside.
inline double SolidAngle(const Dvec3& a, const Dvec3& b, const Dvec3& c)
{
    const double det = Dot(a, Cross(b, c));
    const double la = Norm(a), lb = Norm(b), lc = Norm(c);
    const double denominator = la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la;
    return 2.0 * std::atan2(det, denominator);
}

// Area of the flat triangle of three positions.
inline double TriangleArea(const Vec3& a, const Vec3& b, const Vec3& c)
{
    return 0.5 * Norm(Cross(ToDvec3(b) - ToDvec3(a), ToDvec3(c) - ToDvec3(a)));
}

}  // namespace vorlane
