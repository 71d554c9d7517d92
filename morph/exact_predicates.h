// Exact signs of the few polynomials that decide the topology of an overlay
// on the sphere. Every argument is a float point (a direction from the
// origin); a double-precision evaluation with a rigorous error bound answers
// almost always, and exact integer arithmetic answers the rest.
#pragma once

#include "geometry/vec3.h"

namespace vorlane {

// Sign of det[a, b, c] = (a x b) . c: +1 when c lies to the left of the
// great circle from a to b seen from outside, -1 to the right, 0 on it.
int Orient3(const Vec3& a, const Vec3& b, const Vec3& c);

// Sign of (w1 . w2)|v|^2 - (v . w1)(v . w2): the cosine of the angle at v
// between the great circles towards w1 and towards w2.
int TangentCosine(const Vec3& v, const Vec3& w1, const Vec3& w2);

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

}  // namespace vorlane
