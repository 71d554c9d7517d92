// The few spherical formulas the embedding shares between its files, in
// the one double vector. Internal to embed/.
#pragma once

#include <cmath>

#include "geometry/dvec3.h"

namespace vorlane {

using Dvec3 = D3;

// a times the reciprocal of its length (as the embedding has always scaled
// its directions); the zero vector stays zero.
inline Dvec3 Normalized(const Dvec3& a)
{
    const double n = Norm(a);
    return n > 0.0 ? (1.0 / n) * a : a;
}

// A unit direction as the float point on the common sphere.
inline Vec3 OnSphere(const Dvec3& unit)
{
    return {static_cast<float>(unit.x * SphereRadius), static_cast<float>(unit.y * SphereRadius),
            static_cast<float>(unit.z * SphereRadius)};
}
// A point of the common sphere as a unit direction.
inline Dvec3 UnitOf(const Vec3& p) { return Normalized(ToD(p)); }

// Area of the flat triangle of three positions.
inline double TriangleArea(const Vec3& a, const Vec3& b, const Vec3& c)
{
    return 0.5 * Norm(Cross(ToD(b) - ToD(a), ToD(c) - ToD(a)));
}

}  // namespace vorlane
