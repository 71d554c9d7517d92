// The point of a model's surface in a given direction from its centre.
#pragma once

#include <cstdint>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// Area of (q0, q1, q2) in double precision, 0 when q2 counts as lying on the
// line q0 q1 at a grain of 1/100, and 0 when the base q0 q1 has length 0.
float TriangleArea(const Vec3& q0, const Vec3& q1, const Vec3& q2);

// 1 when the segment p0 p1 crosses the triangle's plane strictly between its
// ends inside the triangle or a thin band around it; out = the crossing point.
// 0 otherwise, out untouched.
int32_t HitTriangle(const TrianglePoints& triangle, const Vec3& p0, const Vec3& p1, Vec3& out);

// Casts from SphereCentre to spherePoint against model's triangles in faces
// order; the first hit writes out (in the frame of vertices) and returns true.
// Returns false and leaves out untouched when no triangle is hit.
bool MapToSurface(const Polyhedron& model, const Vec3& spherePoint, Vec3& out);

}  // namespace vorlane
