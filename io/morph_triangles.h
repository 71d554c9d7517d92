// A merged mesh reduced to what a file needs: triangles over used vertices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/morph_colours.h"
#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

struct MorphTriangles {
    std::vector<Vec3> startPositions;
    std::vector<Vec3> endPositions;
    std::vector<Triangle> triangles;  // counter-clockwise seen from outside
    // By vertex kept, its colour at each end; empty where none were given.
    std::vector<Vec3> startColours;
    std::vector<Vec3> endColours;
    // Where the morph walks a path: the positions at every step, 0 to
    // MorphSteps (the first and last the ends); empty where it walks straight.
    std::vector<std::vector<Vec3>> steps;
};

// The faces of mesh as triangles (a face of more corners is fanned, one of
// fewer dropped) over only the vertices some face uses, which keep their
// order. Folded vertices of MergeTopologies thus disappear.
// colours, when not empty, are kept for the vertices kept. With at (a
// position for every mesh vertex), both ends hold at's positions: one step
// of a path, drawn or written as it stands.
MorphTriangles CollectMorphTriangles(const MorphMesh& mesh, const MorphColours& colours = {},
                                     const std::vector<Vec3>* at = nullptr);

// The same triangles as a file's index list, without copying positions:
// three corners each, numbered over the used vertices, and the mesh vertex
// of each used one (empty when every vertex is used, in order).
struct MorphIndices {
    std::vector<uint32_t> corners;
    std::vector<int32_t> vertices;
    std::size_t vertexCount = 0;  // used vertices
};
MorphIndices CollectMorphIndices(const MorphMesh& mesh);

}  // namespace vorlane
