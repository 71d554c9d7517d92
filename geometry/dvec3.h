// The one double-precision vector: what exact-minded code computes in before
// it stores a float.
#pragma once

#include "geometry/vec3.h"

namespace vorlane {

struct D3 {
    double x, y, z;
};
inline D3 ToD(const Vec3& v) { return {v.x, v.y, v.z}; }
inline Vec3 ToF(const D3& a) { return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)}; }
inline D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 Cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// det[a, b, c] = a . (b x c), rounded as written.
inline double TripleProduct(const D3& a, const D3& b, const D3& c) { return Dot(a, Cross(b, c)); }

}  // namespace vorlane
