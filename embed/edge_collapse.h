// A closed triangle mesh as half-edges that can be collapsed edge by edge
// down to a tetrahedron and grown back in reverse order: the hierarchy of
// the coarse-to-fine spherical embedding.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/triangle_connectivity.h"

namespace vorlane {

// The connectivity as collapses leave it. A collapsed triangle keeps its
// corners and its own twin entries, which is what its undo needs.
struct CollapseMesh : TriangleConnectivity {
    std::vector<char> live;       // per triangle
    int32_t liveVertexCount = 0;  // vertices with an outgoing half-edge (-1 once removed)
};

// The half-edge collapse removed -> kept, through halfEdge (removed -> kept)
// in the first of the two triangles that vanish.
struct EdgeCollapse {
    int32_t removed = 0;
    int32_t kept = 0;
    int32_t halfEdge = 0;
};

// The half-edge mesh of a table that CheckSphereTopology accepts.
CollapseMesh BuildCollapseMesh(const ModelTable& table);

// Collapses shortest edges (by positions) first, keeping the mesh a
// simplicial sphere (the link condition), until 4 vertices are left. Returns
// the collapses in order; fewer than V - 4 only if no legal collapse was
// found, which cannot happen for a genus-0 surface. progress gets the share done.
std::vector<EdgeCollapse> CollapseToTetrahedron(CollapseMesh& mesh, const std::vector<Vec3>& positions,
                                                const std::function<void(double)>& progress);

// Puts back the vertex of the last collapse not yet undone; undo in reverse order.
void UndoCollapse(CollapseMesh& mesh, const EdgeCollapse& collapse);

// Collapses again the last collapse undone.
void RedoCollapse(CollapseMesh& mesh, const EdgeCollapse& collapse);

}  // namespace vorlane
