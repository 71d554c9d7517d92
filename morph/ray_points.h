// Where rays from a model's centre meet its edges and faces, in double.
#pragma once

#include "geometry/vec3.h"

namespace vorlane {

struct D3 {
    double x, y, z;
};
inline D3 ToD(const Vec3& v) { return {v.x, v.y, v.z}; }
inline D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 Cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 ToF(const D3& a) { return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)}; }

// Where the ray along direction p meets the segment a -> b (clamped to it).
Vec3 OnSegment(const Vec3& a, const Vec3& b, const D3& p);

// Where the ray along direction p meets the plane of triangle a, b, c.
Vec3 OnTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p);

}  // namespace vorlane
