// Whether a merged mesh bounds a solid: the check before a mesh is written.
#pragma once

#include <cstdint>

#include "geometry/morph_mesh.h"

namespace vorlane {

// The edges of mesh's faces (fanned into triangles, as the writers write
// them) that are not shared by exactly two triangles running along them in
// opposite directions: 0 for a closed, consistently oriented mesh. An edge
// from a vertex to itself counts as open.
int32_t CountOpenEdges(const MorphMesh& mesh);

}  // namespace vorlane
