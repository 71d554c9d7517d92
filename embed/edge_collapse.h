// A closed triangle mesh as half-edges that can be collapsed edge by edge
// down to a tetrahedron and grown back in reverse order: the hierarchy of
// the coarse-to-fine spherical embedding.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/polyhedron.h"

namespace vorlane {

// Half-edge 3t + k runs from triangles[t][k] to triangles[t][(k + 1) % 3].
// A collapsed triangle keeps its corners and its own opposite entries, which
// is what its undo needs.
struct CollapseMesh {
    std::vector<Triangle> triangles;
    std::vector<int32_t> opposite;   // per half-edge
    std::vector<int32_t> outgoing;   // per vertex: a live half-edge leaving it, -1 once removed
    std::vector<char> live;          // per triangle
    int32_t liveVertexCount = 0;
};

// The half-edge collapse removed -> kept, through halfEdge (removed -> kept)
// in the first of the two triangles that vanish.
struct EdgeCollapse {
    int32_t removed = 0;
    int32_t kept = 0;
    int32_t halfEdge = 0;
};

inline int32_t NextHalfEdge(int32_t h) { return h - h % 3 + (h % 3 + 1) % 3; }
inline int32_t PrevHalfEdge(int32_t h) { return h - h % 3 + (h % 3 + 2) % 3; }
inline int32_t Origin(const CollapseMesh& mesh, int32_t h)
{
    return mesh.triangles[static_cast<size_t>(h / 3)][static_cast<size_t>(h % 3)];
}
inline int32_t Destination(const CollapseMesh& mesh, int32_t h) { return Origin(mesh, NextHalfEdge(h)); }
// The next half-edge leaving the same vertex, counter-clockwise seen from outside.
inline int32_t NextAround(const CollapseMesh& mesh, int32_t h)
{
    return mesh.opposite[static_cast<size_t>(PrevHalfEdge(h))];
}

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
