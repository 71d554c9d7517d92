// A merged mesh reduced to what a file needs: triangles over used vertices.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "morph/morph_mesh.h"

namespace vorlane {

struct MorphTriangles {
    std::vector<Vec3> startPositions;
    std::vector<Vec3> endPositions;
    std::vector<Triangle> triangles;  // counter-clockwise seen from outside
};

// The faces of mesh as triangles (a face of more corners is fanned, one of
// fewer dropped) over only the vertices some face uses, which keep their
// order. Folded vertices of MergeTopologies thus disappear.
MorphTriangles CollectMorphTriangles(const MorphMesh& mesh);

// start + step * (end - start) / 20 per coordinate, in double, stored as a
// float: step 0 gives start and step 20 gives end exactly.
Vec3 MorphPosition(const Vec3& start, const Vec3& end, int32_t step);

inline constexpr int32_t LastMorphStep = 20;

}  // namespace vorlane
