// The merge stage: the one place that chooses between the demo's literal
// merge and the exact merge for real meshes.
#pragma once

#include <cstdint>
#include <string>

#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "merge/flat_triangles.h"
#include "literal/rebuild_faces.h"
#include "robust/merge_meshes.h"

namespace vorlane {

enum class MergeMethod {
    Literal,  // MergeTopologies, as the demo merges; may write the face dumps
    Robust,   // MergeMeshes: exact signs, any two valid sphere maps, central or spherical
};

// Two built-in models merge as the demo does unless robust is asked for;
// anything else takes the merge for real meshes.
MergeMethod ChooseMergeMethod(bool bothBuiltIn, bool robustAsked);

struct MergedModels {
    // Empty on success; otherwise why the robust merge refused an input
    // (see CheckSphereMap), the source's fault first, and the mesh is empty.
    std::string error;
    MorphMesh mesh;          // points at source and target
    int32_t foldedCount = 0; // vertices the literal merge folded away; 0 for the robust one
    FlatRepair flat;         // what the robust merge's output needed to hold no flat triangle
};

// Merges source into target by method. Robust first checks both maps,
// central or spherical (CheckSphereMap, at once on two threads when
// threads > 1, reporting from one thread at a time), and merges only where
// both pass; its result is cleared of triangles of no area in float
// positions (RepairFlatTriangles); threads as MergeMeshes takes them. dumps
// says whether Literal writes the face lists.
MergedModels MergeModels(const Polyhedron& source, const Polyhedron& target, MergeMethod method,
                         const Progress& progress = {}, int threads = 1, FaceDumps dumps = FaceDumps::Write);

}  // namespace vorlane
