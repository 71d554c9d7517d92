// The adjacency of a triangle mesh as half-edges: the one connectivity that
// topology checks, collapses and repairs share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/index_at.h"
#include "geometry/polyhedron.h"

namespace vorlane {

// Half-edge 3t + k runs from triangles[t][k] to triangles[t][(k + 1) % 3].
// Counts are the sizes: TriangleCount, HalfEdgeCount, VertexCount.
struct TriangleConnectivity {
    std::vector<Triangle> triangles;
    // Per half-edge: the half-edge of the other triangle on its edge, running
    // the other way; -1 where the edge is not held by exactly two triangles
    // running it opposite ways.
    std::vector<int32_t> twin;
    // Per vertex: a half-edge leaving it, -1 where none does.
    std::vector<int32_t> outgoing;
};

inline int32_t TriangleCount(const TriangleConnectivity& mesh) { return static_cast<int32_t>(mesh.triangles.size()); }
inline int32_t HalfEdgeCount(const TriangleConnectivity& mesh) { return 3 * TriangleCount(mesh); }
inline int32_t VertexCount(const TriangleConnectivity& mesh) { return static_cast<int32_t>(mesh.outgoing.size()); }

inline int32_t NextHalfEdge(int32_t h) { return h - h % 3 + (h % 3 + 1) % 3; }
inline int32_t PrevHalfEdge(int32_t h) { return h - h % 3 + (h % 3 + 2) % 3; }
inline int32_t Origin(const TriangleConnectivity& mesh, int32_t h) { return At(At(mesh.triangles, h / 3), h % 3); }
inline int32_t Destination(const TriangleConnectivity& mesh, int32_t h) { return Origin(mesh, NextHalfEdge(h)); }
inline int32_t Twin(const TriangleConnectivity& mesh, int32_t h) { return At(mesh.twin, h); }
// The next half-edge leaving the same vertex, counter-clockwise seen from
// outside (when triangles run counter-clockwise); needs the twin set.
inline int32_t NextAround(const TriangleConnectivity& mesh, int32_t h) { return At(mesh.twin, PrevHalfEdge(h)); }

// Why an edge has no twin pair, in the order the build reports them.
enum class EdgeFault : uint8_t {
    None,
    Open,      // held by one triangle
    Crowded,   // held by three or more
    SameWay,   // held by two that run it the same way
};

struct EdgeProblem {
    EdgeFault fault = EdgeFault::None;
    int32_t low = -1, high = -1;      // the edge's ends, low < high
    int32_t holders = 0;              // how many triangles hold it
    int32_t first = -1, second = -1;  // SameWay: the two triangles, in order
};

// The twins and outgoing half-edges of triangles over vertexCount vertices;
// corners must be in range and distinct within a triangle. A vertex's
// outgoing half-edge is the highest-numbered one leaving it. Edges that are
// not a twin pair keep -1; problem (if given) gets the lowest open edge, or
// else the lowest crowded one, or else the lowest running the same way
// twice, or EdgeFault::None. Time: one small sort per vertex.
TriangleConnectivity BuildTriangleConnectivity(std::vector<Triangle> triangles, std::size_t vertexCount,
                                               EdgeProblem* problem = nullptr);

// Connects the listed triangles of mesh (twin and outgoing sized, corners in
// range) as BuildTriangleConnectivity would a mesh of them alone: the twins
// of their half-edges, and for each of their corners one of their
// half-edges leaving it (the last listed). Other entries keep their values,
// so a vertex's fan is whole where every triangle around it is listed: a
// pass over a few triangles of a large mesh costs what it lists. Time: a
// sort of the listed half-edges.
void ConnectTriangles(TriangleConnectivity& mesh, const std::vector<int32_t>& listed);

// Calls visit(h) for each half-edge h leaving v, counter-clockwise from its
// outgoing one. Returns false where v has none or its fan is open (a twin
// of -1 met), having visited the half-edges up to there.
template <class Visit>
bool VisitOutgoing(const TriangleConnectivity& mesh, int32_t v, Visit visit)
{
    const int32_t first = At(mesh.outgoing, v);
    if (first < 0) return false;
    for (int32_t e = first;;) {
        visit(e);
        e = NextAround(mesh, e);
        if (e < 0) return false;
        if (e == first) return true;
    }
}

// How many separate fans of triangles (joined through edges at the vertex)
// meet at each vertex: 1 where the surface is manifold, 0 where no triangle
// is. Needs every twin set (no EdgeProblem).
std::vector<int32_t> FanCounts(const TriangleConnectivity& mesh);

// Stamps by vertex for repeated neighbourhood queries, so that a query
// costs two fans, not the mesh. A fresh record fits any mesh.
struct NeighbourMarks {
    std::vector<uint32_t> stamp;
    uint32_t round = 0;
};

struct SharedNeighbours {
    int shared = 0;   // vertices adjacent to both ends
    int valence = 0;  // the two ends' valences summed
};

// Walks the fans of u and v of a closed manifold mesh (both with an
// outgoing half-edge). Collapsing edge (u, v) keeps the mesh a simplicial
// surface exactly when shared == 2, the two corners opposite the edge: the
// link condition. Leaves u's neighbours w marked: marks.stamp[w] == marks.round.
// Where either fan is open, shared is -1 and the collapse refused.
SharedNeighbours CountSharedNeighbours(const TriangleConnectivity& mesh, int32_t u, int32_t v, NeighbourMarks& marks);

inline bool LinkConditionHolds(const TriangleConnectivity& mesh, int32_t u, int32_t v, NeighbourMarks& marks)
{
    return CountSharedNeighbours(mesh, u, v, marks).shared == 2;
}

}  // namespace vorlane
