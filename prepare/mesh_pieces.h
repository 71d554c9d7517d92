// A mesh split into its connected pieces, each with a table of its own.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"

namespace vorlane {

struct MeshPiece {
    ModelTable table;
    std::vector<int32_t> vertices;  // by vertex of the piece's table, its vertex in the whole table
};

// The pieces of table: triangles joined through shared edges (two pieces
// that only touch at a vertex stay apart, each with its own copy of it),
// numbered by their first triangle. Each keeps its triangles in the table's
// order, so the patch triangles stay last (patchTriangles counts its own),
// and its vertices in the table's order; vertices no triangle uses are
// dropped. One piece or none: empty, as the table needs no splitting.
std::vector<MeshPiece> SplitPieces(const ModelTable& table);

}  // namespace vorlane
