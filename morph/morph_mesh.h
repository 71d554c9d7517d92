// The common topology of an ordered pair of models.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

struct MeshFace {
    int32_t vertexCount = 0;
    std::vector<int32_t> indices;
};

// Merged vertices are numbered source vertices, target vertices, crossings.
// Folded vertices keep their slot; no edge or face refers to them.
struct MorphMesh {
    int32_t vertexCount = 0;
    int32_t edgeCount = 0;
    int32_t faceCount = 0;
    std::vector<Vec3> endPositions;    // on the target, in its table coordinates
    std::vector<Vec3> startPositions;  // on the source, in its table coordinates
    Vec3 centre;                       // SphereCentre; the rebuild's reference point
    std::vector<IndexPair> edges;      // from < to, strictly ascending
    std::vector<MeshFace> faces;       // triangles, counter-clockwise seen from outside
    const Polyhedron* source = nullptr;  // shown at step 0
    const Polyhedron* target = nullptr;  // shown at the last step
};

}  // namespace vorlane
