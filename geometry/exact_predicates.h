// Exact signs of the few polynomials that decide the topology of an overlay
// on the sphere. Every argument is a float point (a direction from the
// origin); a double-precision evaluation with a rigorous error bound answers
// almost always, and exact integer arithmetic answers the rest. An input
// that is not finite has no sign: the answer is 0 (the prepare stage keeps
// such meshes out).
#pragma once

#include <cmath>
#include <limits>

#include "geometry/vec3.h"

namespace vorlane {

// Orient3 for the signs its double filter leaves open.
int Orient3Refined(const Vec3& a, const Vec3& b, const Vec3& c);

// Sign of det[a, b, c] = (a x b) . c: +1 when c lies to the left of the
// great circle from a to b seen from outside, -1 to the right, 0 on it.
// Inline because the overlay asks it millions of times and the filter
// almost always answers; the bound assumes no fused multiply-add.
inline int Orient3(const Vec3& a, const Vec3& b, const Vec3& c)
{
    // A repeated point is common (arcs sharing an end) and exactly 0.
    if (c == a || c == b || a == b) return 0;
    // Products of two floats are exact in double; what remains is four
    // roundings, bounded by a few ulps of the sum of the terms' magnitudes.
    const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z, cx = c.x, cy = c.y, cz = c.z;
    const double m0 = by * cz - bz * cy, m1 = bz * cx - bx * cz, m2 = bx * cy - by * cx;
    const double det = ax * m0 + ay * m1 + az * m2;
    const double permanent = std::fabs(ax) * (std::fabs(by * cz) + std::fabs(bz * cy)) +
                             std::fabs(ay) * (std::fabs(bz * cx) + std::fabs(bx * cz)) +
                             std::fabs(az) * (std::fabs(bx * cy) + std::fabs(by * cx));
    const double bound = 8.0 * (std::numeric_limits<double>::epsilon() / 2) * permanent + 1e-300;
    if (det > bound) return 1;
    if (det < -bound) return -1;
    return Orient3Refined(a, b, c);
}

// Sign of (w1 . w2)|v|^2 - (v . w1)(v . w2): the cosine of the angle at v
// between the great circles towards w1 and towards w2.
int TangentCosine(const Vec3& v, const Vec3& w1, const Vec3& w2);

// Sign of ((b - a) x (c - a)) . ((e - d) x (f - d)): whether triangle d e f
// faces the way a b c does (+1), across it (-1), or either has no area or
// they stand at right angles (0). Decides whether moving a corner turns a
// triangle over, in space rather than on the sphere.
int FacingSign(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& e, const Vec3& f);

// A point on the great circle p -> q, given as where that circle meets the
// plane through the origin with the given normal: the plane of a crossing
// arc c -> d, or for a point v on the circle itself the plane v x (p x q).
struct ArcEvent {
    bool isVertex = false;
    Vec3 c;  // crossing arc start, or the vertex
    Vec3 d;  // crossing arc end; unused for a vertex
};

// Sign of t2 - t1, where ti is where event i lies on the chord from p (t = 0)
// to q (t = 1). Both events must lie strictly between p and q.
int CompareAlongArc(const Vec3& p, const Vec3& q, const ArcEvent& e1, const ArcEvent& e2);

// Where the arc c -> d crosses p -> q strictly inside both, as the parameter
// t on the chord from p to q, in double, with a bound on its error. Two
// crossings whose parameters lie further apart than the sum of their bounds
// are in that order, as CompareAlongArc would find. False when a sign is too
// close to call for a bound.
bool CrossingParameter(const Vec3& p, const Vec3& q, const Vec3& c, const Vec3& d, double& t, double& error);

}  // namespace vorlane
