// Two shapes laid on each other in space: the affine map under which one
// mesh's surface lies closest to another's. Where two meshes are one shape
// (a turned, scaled or stretched copy, another scan of one object), the
// match pairs each point with its like, which no turn of the sphere can
// do once the two spheres were made apart. In double with tolerances: it
// only proposes; what is built from it is checked exactly.
#pragma once

#include <limits>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct ShapeMatch {
    // A point p of the follower lies on the leader's surface near
    // linear * p + offset (rows of linear).
    double linear[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    D3 offset{0.0, 0.0, 0.0};
    // Root mean square distance between the surfaces after the map, both
    // ways over samples of each, over the leader's root mean square radius:
    // near 0 for one shape, tenths for different ones.
    double misfit = std::numeric_limits<double>::infinity();

    D3 Apply(const D3& p) const
    {
        return {linear[0][0] * p.x + linear[0][1] * p.y + linear[0][2] * p.z + offset.x,
                linear[1][0] * p.x + linear[1][1] * p.y + linear[1][2] * p.z + offset.y,
                linear[2][0] * p.x + linear[2][1] * p.y + linear[2][2] * p.z + offset.z};
    }
};

// Starts from the 24 ways of laying the follower's principal axes on the
// leader's (scaled to their spreads), refines the best by alternating
// nearest points both ways with a least-squares affine fit (iterative
// closest points), and keeps the map of least misfit. Never mirrors. The
// first rounds use a few samples; a match whose misfit there is not below
// interest is returned without the rounds on all of them.
ShapeMatch MatchShapes(const ModelTable& leader, const ModelTable& follower,
                       double interest = std::numeric_limits<double>::infinity());

}  // namespace vorlane
