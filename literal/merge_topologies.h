// The demo's overlay of two models' arc networks into one MorphMesh.
#pragma once

#include <cstdint>

#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "literal/rebuild_faces.h"

namespace vorlane {

// Merges source (step 0) into target (last step); the mesh points at both.
// Writes "facelist1.txt" and "facelist2.txt" unless dumps is Skip (see
// RebuildFaces). The process-wide EdgeList must be empty; it is empty again
// on return.
MorphMesh MergeTopologies(const Polyhedron& source, const Polyhedron& target, FaceDumps dumps = FaceDumps::Write);

// The merged vertices whose end position shares its 1/1000 cell with an
// earlier vertex: those the merge folded away.
int32_t CountFoldedVertices(const MorphMesh& mesh);

}  // namespace vorlane
