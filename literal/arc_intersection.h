// Crossings of two great-circle arcs on the projection sphere.
#pragma once

#include <cstdint>

#include "geometry/vec3.h"

namespace vorlane {

// The shorter great-circle arc between two points of the projection sphere.
struct Arc {
    Vec3 start;
    Vec3 end;
};

// 1 when point lies within the arc's chord circle (half chord >= distance to
// the chord's midpoint, both at a grain of 1/100), else 0.
int32_t PointOnArc(const Arc& arc, const Vec3& point);

// True when two unit plane normals agree, or agree up to sign, in every
// component at a grain of 1/10000: the arcs then lie on one great circle.
bool CoplanarNormals(const Vec3& nA, const Vec3& nB);

// Where first and second cross. Returns 0 (none), 1 (one point, written to p)
// or 2 (two points of coplanar arcs, written to q[0] and q[1]). Coplanar arcs
// with an odd number of ends on each other report "co-planar" and give 0.
// Zero-length and half-circle arcs have no plane and give 0 against others.
int32_t FindArcIntersect(const Arc& first, const Arc& second, Vec3& p, Vec3 q[2]);

}  // namespace vorlane
