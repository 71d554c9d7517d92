// Where rays from a model's centre meet its edges and faces, in double.
#pragma once

#include "geometry/dvec3.h"
#include "geometry/vec3.h"

namespace vorlane {

// Where the ray along direction p meets the segment a -> b (clamped to it).
Vec3 OnSegment(const Vec3& a, const Vec3& b, const D3& p);

// Where the ray along direction p meets the plane of triangle a, b, c.
Vec3 OnTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p);

// The point of segment a -> b, or of triangle a, b, c, with the weights
// direction p has between the sphere points pa, pb (and pc), taken in their
// plane as seen from the centre; weights clamped to the segment or triangle.
Vec3 OnSegmentMapped(const Vec3& a, const Vec3& b, const D3& pa, const D3& pb, const D3& p);
Vec3 OnTriangleMapped(const Vec3& a, const Vec3& b, const Vec3& c, const D3& pa, const D3& pb, const D3& pc, const D3& p);

}  // namespace vorlane
