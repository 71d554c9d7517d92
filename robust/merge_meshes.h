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

#include "base/progress.h"
#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct MeshMergeResult {
    // Vertices in use only (none folded), edges of the overlay without the
    // triangulation's diagonals, triangles counter-clockwise seen from outside.
    //
    // mesh.startLocations[v] and mesh.endLocations[v] say where merged vertex
    // v lies on the source and on the target: a triangle of that input's own
    // faces (as given, before any arc was split) and barycentric weights of
    // its corners in face order, in double. Weights are never negative and
    // sum to 1 up to rounding. A vertex of the input itself has weight
    // exactly 1 at its corner; a point inside an input edge (a crossing, or
    // the other input's vertex on it) has weight exactly 0 at the corner
    // across, the other two found as the position is (OnSegment), unless a
    // near miss split that edge (then that weight is 0 only up to rounding);
    // a point inside a triangle has the weights of the central projection of
    // its direction onto the triangle's plane. So the combination of the
    // triangle's corners (plus the model's centre) is the position in double
    // before its rounding to float: the same place, for any map of the
    // input, as a combination of that triangle's mapped corners.
    MorphMesh mesh;
    // The overlay's faces before triangulation, outward: face k is
    // polygonIndices[polygonStarts[k]] up to polygonIndices[polygonStarts[k + 1]].
    std::vector<int32_t> polygonStarts;
    std::vector<int32_t> polygonIndices;
};

// Merges source (start positions) into target (end positions). Both must be
// maps that CheckSphereMap accepts (MergeModels checks them).
// threads > 1 runs independent parts on two threads; the result is the same
// to the byte. Without polygons the polygon lists stay empty: at a million
// triangles a mesh they take a tenth of the merge's memory.
enum class Polygons { Keep, Drop };
MeshMergeResult MergeMeshes(const Polyhedron& source, const Polyhedron& target, const Progress& progress = {}, int threads = 1,
                            Polygons polygons = Polygons::Keep);

}  // namespace vorlane
