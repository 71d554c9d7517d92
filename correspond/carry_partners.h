// Partners found for a decimated copy's vertices, carried to every vertex
// of the full mesh.
#pragma once

#include <vector>

#include "correspond/decimated_mesh.h"
#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

// Each vertex of table is found on coarse (about its nearest coarse vertex
// along the table's edges, the nearest point of the coarse triangles
// there) and takes the same weights of its corners' partners. Vertices that
// no edge joins to a coarse vertex take fallback.
std::vector<D3> CarryToAllVertices(const ModelTable& table, const DecimatedMesh& coarse, const std::vector<D3>& coarsePartners,
                                   const D3& fallback);

}  // namespace vorlane
