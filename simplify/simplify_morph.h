// The simplify stage: fewer triangles for a merged mesh, both of its ends
// watched at once, between the merge and the writers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/progress.h"
#include "geometry/morph_mesh.h"

namespace vorlane {

struct SimplifyOptions {
    std::optional<int64_t> maxTriangles;  // stop at this many triangles or fewer
    // Refuse any collapse whose error at either end (the root of the summed
    // squared distances from the planes of the merged triangles it gathered,
    // so at least the largest of them) passes this share of that end's
    // bounding-box diagonal. 0 still lets collapses through whose error is
    // below float rounding (flat regions).
    std::optional<double> tolerance;
    bool Asked() const { return maxTriangles.has_value() || tolerance.has_value(); }
};

struct SimplifyReport {
    std::string error;  // empty on success; otherwise why the mesh was left as it was
    int64_t trianglesBefore = 0;
    int64_t trianglesAfter = 0;
    // The largest distance of a kept vertex from its input surface at each
    // end, over that input's bounding-box diagonal; -1 where the mesh
    // carries no inputs and locations to measure against.
    double startDistance = -1.0;
    double endDistance = -1.0;
};

// Collapses edges of mesh, a closed, consistently oriented triangle mesh,
// cheapest first by the quadrics of both ends summed (each end measured in
// its own diagonal), each collapse placing the kept vertex in both end
// shapes. A collapse is refused where it breaks the link condition, turns a
// triangle over at either end (decided exactly by FacingSign) or leaves one
// with twice its area below 2e-12 of an end's squared diagonal, or passes
// the tolerance. Stops at maxTriangles or when no candidate is left; time
// O(n log n). Leaves mesh compacted: only used vertices, in their order;
// faces in their order; edges rebuilt; crossingCount the kept crossings.
// Locations stay where a vertex kept a position it had, and are the
// nearest point of the input where a collapse moved it. A mesh that is not
// a closed manifold of triangles is left as it was, with the reason.
SimplifyReport SimplifyMorph(MorphMesh& mesh, const SimplifyOptions& options, const Progress& progress = {});

}  // namespace vorlane
