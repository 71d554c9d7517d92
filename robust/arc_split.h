// Adds vertices inside arcs of a mesh: where a vertex of the other mesh lies
// a hair off one of its arcs, splitting the arc there lets the overlay meet
// that vertex exactly instead of cutting slivers thinner than a float step.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "robust/arc_walk.h"

namespace vorlane {

// A new vertex in direction `direction`, to go inside arc `arc`.
struct ArcSplit {
    int32_t arc;
    Vec3 direction;
};

// A mesh with its arcs split: surface points and triangles, and the
// directions that decide its topology (old vertices first, in order).
struct SplitMesh {
    Polyhedron surface;
    std::vector<Vec3> directions;
    std::vector<bool> changed;     // by triangle of the mesh split: replaced
    std::vector<int32_t> parent;   // by triangle: the triangle of the mesh split it lies in
};

// Splits the arcs of mesh at the given directions. The new vertices lie on
// mesh's surface where their rays meet the split edge, and each triangle
// beside a split arc is cut into triangles between its sides. The arcs of a
// triangle whose pieces would not all face the centre are left whole.
// Returns false when no arc is split.
bool SplitArcs(const WalkMesh& mesh, std::vector<ArcSplit> splits, SplitMesh& out);

}  // namespace vorlane
