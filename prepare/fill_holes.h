// Holes closed before the morph: every loop of open edges gets a patch, so
// a surface with an open bottom or a missing cap can be mapped onto the
// sphere. The patches are appended after the input's triangles and counted
// (ModelTable::patchTriangles), so what follows can tell them apart.
#pragma once

#include <cstdint>
#include <string>

#include "geometry/polyhedron.h"

namespace vorlane {

// Loops of up to this many edges get the patch of least area; longer ones
// a fan about their centroid.
constexpr int32_t ExactPatchLimit = 200;

struct HoleFilling {
    // Empty, or one line naming a vertex of the hole that cannot be filled,
    // or the crowded edge that leaves its rim no loop.
    std::string error;
    int32_t loops = 0;  // holes filled
};

// Splits pinched vertices first where there is any open edge (so each rim
// is one loop), then closes each loop of edges held by one triangle with
// triangles wound to agree with the loop's own, appended in order of the
// loops' lowest vertex and counted in table.patchTriangles. A loop of up to
// ExactPatchLimit edges gets the triangulation of least area among those
// that add no edge the mesh already has, preferring none of no area (a
// dynamic programme cubic in its length); a longer one, or one where every
// triangulation would have a triangle of no area, a fan about a new vertex
// at its centroid, appended to the vertices. Refuses a loop whose fan too
// has a triangle of no area, and an open mesh with an edge still held by
// three triangles or more, naming it. Expects edges running opposite ways
// (RepairMesh first). Leaves a closed mesh untouched.
HoleFilling FillHoles(ModelTable& table);

}  // namespace vorlane
