// The merge's pieces that its tests reach one at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// What the merge builds on one model on its way: the other model's vertices
// and the crossings on this surface, and this model's edges cut at them.
struct MergeScratch {
    int32_t mappedCount = 0;
    int32_t crossingCount = 0;
    int32_t intactEdgeCount = 0;
    int32_t endSegmentCount = 0;
    int32_t innerSegmentCount = 0;
    std::vector<Vec3> mappedVertices;     // the other model's vertices on this surface
    std::vector<Vec3> crossingVertices;   // crossings on this surface
    std::vector<IndexPair> intactEdges;   // own edges that no crossing cuts
    std::vector<IndexPair> endSegments;   // (end vertex, nearest crossing)
    std::vector<IndexPair> innerSegments; // (crossing, next crossing)
};

// One crossing on the edge being ordered.
struct CrossingKey {
    float key = 0.0f;  // the crossing's coordinate on the ordering axis
    int32_t crossing = 0;
};

// Cuts edges of model at the crossings in scratch into its intactEdges,
// endSegments and innerSegments. lower >= 0: the edge (lower, higher) whose
// crossings are first .. end-1. All arguments -1: every edge, its crossings
// taken from the EdgeList.
void SplitEdges(const Polyhedron& model, MergeScratch& scratch, int32_t lower, int32_t higher, int32_t first,
                int32_t end);

// Sorts keys ascending when direction > 0, else descending, by exchanges that
// never swap equal keys.
void OrderAlongEdge(CrossingKey* keys, int32_t count, float direction);

}  // namespace vorlane
