// The merge for real meshes: any two closed meshes, each star-shaped about
// its centre, overlaid exactly on the projection sphere.
//
// Unlike MergeTopologies, the overlay depends on no tolerance: every decision
// about topology is an exact sign, coincident directions are one vertex, and
// the result is always a closed, consistently oriented mesh. One tolerance
// comes before it: a vertex whose direction lies within NearAngle (2e-7 rad,
// about the rounding of float directions) of a vertex of the other model
// takes that direction, and one as near an arc of the other model becomes a
// vertex inside that arc. Otherwise the overlay would keep such near misses
// apart with slivers thinner than a float step, which float positions can
// turn over.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geometry/polyhedron.h"
#include "morph/morph_mesh.h"

namespace vorlane {

// Called now and then with the phase running and its fraction done (0..1).
using MergeProgress = std::function<void(const char* phase, double fraction)>;

struct MeshMergeResult {
    // Empty on success; otherwise why a model was refused, naming the model
    // ("source" or "target") and its first offending triangle or edge.
    std::string error;
    // Vertices in use only (none folded), edges of the overlay without the
    // triangulation's diagonals, triangles counter-clockwise seen from outside.
    MorphMesh mesh;
    // The overlay's faces before triangulation, outward: face k is
    // polygonIndices[polygonStarts[k]] up to polygonIndices[polygonStarts[k + 1]].
    std::vector<int32_t> polygonStarts;
    std::vector<int32_t> polygonIndices;
    // Vertices made where an edge of one model crosses an edge of the other.
    int32_t crossingCount = 0;
};

// Refuses a model that is not closed (an edge not in exactly two triangles),
// not consistently oriented, or not star-shaped about its centre (a triangle
// seen edge-on or from behind from the centre, or projected triangles that
// overlap). Returns an empty string for a sound model.
std::string ValidateStarShaped(const Polyhedron& model);

// Merges source (start positions) into target (end positions). Both models
// are validated first; a refused model gives an error and an empty mesh.
MeshMergeResult MergeMeshes(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress = {});

}  // namespace vorlane
