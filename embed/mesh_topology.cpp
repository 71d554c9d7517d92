#include "embed/mesh_topology.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "geometry/by_vertex.h"
#include "geometry/triangle_connectivity.h"

namespace vorlane {
namespace {

int32_t Find(std::vector<int32_t>& parent, int32_t i)
{
    while (At(parent, i) != i) {
        // note: path halving keeps the trees flat without recursion.
        At(parent, i) = At(parent, At(parent, i));
        i = At(parent, i);
    }
    return i;
}

// Returns whether a and b were apart.
bool Unite(std::vector<int32_t>& parent, int32_t a, int32_t b)
{
    a = Find(parent, a);
    b = Find(parent, b);
    if (a == b) return false;
    At(parent, std::max(a, b)) = std::min(a, b);
    return true;
}

int32_t Corner(const ModelTable& table, int32_t halfEdge) { return At(At(table.triangles, halfEdge / 3), halfEdge % 3); }

}  // namespace

int SplitPinchedVertices(ModelTable& table)
{
    const auto corners = static_cast<int32_t>(table.triangles.size() * 3);
    // Two corners at one vertex are in one fan when they hold the same edge
    // from it: file (other end, corner) records by vertex and join the
    // corners of equal other ends.
    const ByVertex<std::pair<int32_t, int32_t>> records(table.vertices.size(), [&](auto visit) {
        for (int32_t h = 0; h < corners; ++h) {
            const auto v = static_cast<size_t>(Corner(table, h));
            visit(v, std::pair<int32_t, int32_t>{Corner(table, NextHalfEdge(h)), h});
            visit(v, std::pair<int32_t, int32_t>{Corner(table, PrevHalfEdge(h)), h});
        }
    });
    std::vector<int32_t> parent(static_cast<size_t>(corners));
    std::iota(parent.begin(), parent.end(), 0);
    // A vertex's corners are in one fan when joining them took one union
    // fewer than there are corners: the common case, and then nothing moves.
    bool pinched = false;
    for (size_t v = 0; v < table.vertices.size(); ++v) {
        size_t joined = 0;
        for (size_t i = records.first[v] + 1; i < records.first[v + 1]; ++i) {
            if (records.items[i].first == records.items[i - 1].first)
                joined += Unite(parent, records.items[i].second, records.items[i - 1].second);
        }
        const size_t cornersHere = (records.first[v + 1] - records.first[v]) / 2;
        pinched = pinched || (cornersHere > 0 && joined + 1 < cornersHere);
    }
    if (!pinched) return 0;
    std::vector<int32_t> fanVertex(static_cast<size_t>(corners), -1);
    std::vector<char> taken(table.vertices.size(), 0);
    int added = 0;
    for (int32_t h = 0; h < corners; ++h) {
        const int32_t v = Corner(table, h);
        const int32_t root = Find(parent, h);
        if (At(fanVertex, root) < 0) {
            if (!At(taken, v)) {
                At(taken, v) = 1;
                At(fanVertex, root) = v;
            } else {
                At(fanVertex, root) = static_cast<int32_t>(table.vertices.size());
                table.vertices.push_back(At(table.vertices, v));
                ++added;
            }
        }
        At(At(table.triangles, h / 3), h % 3) = At(fanVertex, root);
    }
    return added;
}

std::string CheckSphereTopology(const ModelTable& table)
{
    const auto vertexCount = static_cast<int64_t>(table.vertices.size());
    for (size_t t = 0; t < table.triangles.size(); ++t) {
        const Triangle& f = table.triangles[t];
        for (int32_t v : f) {
            if (v < 0 || v >= vertexCount) {
                return "triangle " + std::to_string(t) + " names vertex " + std::to_string(v) + ", which does not exist";
            }
        }
        if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2]) return "triangle " + std::to_string(t) + " names one vertex twice";
    }
    if (table.triangles.empty()) return "the mesh is not closed: it has no triangles";

    EdgeProblem problem;
    const TriangleConnectivity mesh = BuildTriangleConnectivity(table.triangles, table.vertices.size(), &problem);
    const std::string edge = "edge (" + std::to_string(problem.low) + ", " + std::to_string(problem.high) + ")";
    switch (problem.fault) {
    case EdgeFault::None: break;
    case EdgeFault::Open: return "the mesh is not closed: " + edge + " is held by 1 triangle";
    case EdgeFault::Crowded:
        return "the mesh is not manifold: " + edge + " is held by " + std::to_string(problem.holders) + " triangles";
    case EdgeFault::SameWay:
        return "the mesh is not manifold: " + edge + " runs the same way in triangles " + std::to_string(problem.first) +
               " and " + std::to_string(problem.second);
    }

    const std::vector<int32_t> fans = FanCounts(mesh);
    for (size_t v = 0; v < fans.size(); ++v) {
        if (fans[v] == 0) return "the mesh is not manifold: vertex " + std::to_string(v) + " belongs to no triangle";
        if (fans[v] > 1) {
            return "the mesh is not manifold: vertex " + std::to_string(v) + " joins " + std::to_string(fans[v]) +
                   " separate fans of triangles";
        }
    }

    std::vector<int32_t> parent(table.vertices.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (const Triangle& f : table.triangles) {
        Unite(parent, f[0], f[1]);
        Unite(parent, f[0], f[2]);
    }
    int64_t pieces = 0;
    for (size_t v = 0; v < parent.size(); ++v) pieces += parent[v] == static_cast<int32_t>(v);
    const int64_t euler = vertexCount - int64_t{HalfEdgeCount(mesh) / 2} + static_cast<int64_t>(table.triangles.size());
    const int64_t genus = pieces - euler / 2;
    if (genus != 0) return "the mesh has genus " + std::to_string(genus) + " (V - E + F = " + std::to_string(euler) + ")";
    if (pieces > 1) return "the mesh has " + std::to_string(pieces) + " separate pieces";
    return {};
}

}  // namespace vorlane
