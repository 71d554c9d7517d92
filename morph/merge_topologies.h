// The overlay of two models' arc networks into one MorphMesh.
#pragma once

#include <cstdint>

#include "geometry/polyhedron.h"
#include "morph/morph_mesh.h"

namespace vorlane {

// One crossing on the edge being ordered.
struct CrossingKey {
    float key = 0.0f;  // the crossing's coordinate on the ordering axis
    int32_t crossing = 0;
};

// Merges source (step 0) into target (last step). Fills and releases the
// merge fields of both models; writes "facelist1.txt" and "facelist2.txt".
// The shared EdgeList must be empty; it is empty again on return.
MorphMesh MergeTopologies(Polyhedron& source, Polyhedron& target);

// Cuts edges of model at their crossings into intactEdges, endSegments and
// innerSegments. lower >= 0: the edge (lower, higher) whose crossings are
// first .. end-1. All arguments -1: every edge, its crossings taken from the
// EdgeList.
void SplitEdges(Polyhedron& model, int32_t lower, int32_t higher, int32_t first, int32_t end);

// Sorts keys ascending when direction > 0, else descending, by exchanges that
// never swap equal keys.
void OrderAlongEdge(CrossingKey* keys, int32_t count, float direction);

// The merged vertices whose end position shares its 1/1000 cell with an
// earlier vertex: those the merge folded away.
int32_t CountFoldedVertices(const MorphMesh& mesh);

// Releases the merge arrays of mesh's source and target; the counts stay.
void ReleaseMergeScratch(Polyhedron& source, Polyhedron& target);

}  // namespace vorlane
