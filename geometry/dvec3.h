// The one double-precision vector: what exact-minded code computes in before
// it stores a float.
#pragma once

#include <cmath>

#include "geometry/vec3.h"

namespace vorlane {

struct D3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline D3 operator+(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3 operator-(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 operator*(double s, const D3& a) { return {s * a.x, s * a.y, s * a.z}; }
inline D3 ToD(const Vec3& v) { return {v.x, v.y, v.z}; }
inline Vec3 ToF(const D3& a) { return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)}; }
inline D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 Cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// det[a, b, c] = a . (b x c), rounded as written.
inline double TripleProduct(const D3& a, const D3& b, const D3& c) { return Dot(a, Cross(b, c)); }
inline double Norm(const D3& a) { return std::sqrt(Dot(a, a)); }
// Solid angle of the cone from the origin over triangle a b (Van Oosterom
// and Strackee), negative when it runs clockwise seen from outside.
inline double SolidAngle(const D3& a, const D3& b, const D3& c)
{
    const double det = TripleProduct(a, b, c);
    const double la = Norm(a), lb = Norm(b), lc = Norm(c);
    const double denominator = la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la;
    return 2.0 * std::atan2(det, denominator);
}
// a over its length, each coordinate divided; the zero vector stays zero.
inline D3 Unit(const D3& a)
{
    const double length = Norm(a);
    return length > 0.0 ? D3{a.x / length, a.y / length, a.z / length} : D3{};
}

}  // namespace vorlane
