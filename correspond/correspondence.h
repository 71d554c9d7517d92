// Where each point of one surface lies on another that is nearly the same
// surface bent, posed, scanned or meshed otherwise: a map from the shapes'
// own geometry (their Laplace-Beltrami modes), blind to connectivity, to
// where the files lie in space and to bending that keeps lengths. In double
// with tolerances: it only proposes where a follower's points should go.
#pragma once

#include <limits>
#include <vector>

#include "base/progress.h"
#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct CorrespondOptions {
    int basis = 40;              // modes of the final map
    int32_t vertexCap = 4000;    // each mesh is decimated to this many vertices first
    // Per follower vertex, where a spatial match puts it in the leader's
    // space; empty for none. An intrinsic map cannot tell a shape from its
    // mirror image (left from right): of the maps that fit about equally
    // well, the one nearest this is kept.
    std::vector<D3> hint;
};

struct Correspondence {
    // Per follower vertex, its partner on the leader's surface (to the
    // decimation's accuracy: project it onto the leader to use it); empty
    // where no map was made.
    std::vector<D3> partners;
    // How far the final map is from one that keeps the modes: the least-
    // squares misfit of the modes carried over, relative to their size,
    // and how far the map of modes is from orthogonal (an isometry's is).
    double residual = std::numeric_limits<double>::infinity();
    double orthogonality = std::numeric_limits<double>::infinity();
    // Share of the leader's (decimated) vertices some follower vertex lands
    // next to: low where the map folds many points onto few.
    double coverage = 0.0;
    // All three within the bars of a near-isometric pair.
    bool confident = false;
};

// Maps follower onto leader. Both must be closed genus-0 meshes that
// CheckSphereTopology accepts; with fewer than about a hundred vertices,
// no area, or modes that do not converge, returns no partners. Time about
// linear beyond the cap (a decimation, then a multi-source search).
Correspondence Correspond(const ModelTable& leader, const ModelTable& follower, const CorrespondOptions& options = {},
                          const Progress& progress = {});

}  // namespace vorlane
