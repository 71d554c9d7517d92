#include "embed/mesh_topology.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "geometry/by_vertex.h"

namespace vorlane {
namespace {

uint64_t EdgeKey(int32_t u, int32_t v)
{
    const auto low = static_cast<uint32_t>(std::min(u, v)), high = static_cast<uint32_t>(std::max(u, v));
    return (static_cast<uint64_t>(low) << 32) | high;
}

std::string EdgeName(uint64_t key)
{
    return "edge (" + std::to_string(key >> 32) + ", " + std::to_string(key & 0xffffffffu) + ")";
}

int32_t Find(std::vector<int32_t>& parent, int32_t i)
{
    while (parent[static_cast<size_t>(i)] != i) {
        // note: path halving keeps the trees flat without recursion.
        parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
        i = parent[static_cast<size_t>(i)];
    }
    return i;
}

// Returns whether a and b were apart.
bool Unite(std::vector<int32_t>& parent, int32_t a, int32_t b)
{
    a = Find(parent, a);
    b = Find(parent, b);
    if (a == b) return false;
    parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
    return true;
}

int32_t Corner(const ModelTable& table, size_t halfEdge)
{
    return table.triangles[halfEdge / 3][halfEdge % 3];
}

size_t NextInTriangle(size_t h) { return h - h % 3 + (h % 3 + 1) % 3; }
size_t PrevInTriangle(size_t h) { return h - h % 3 + (h % 3 + 2) % 3; }


}  // namespace

int SplitPinchedVertices(ModelTable& table)
{
    const size_t corners = table.triangles.size() * 3;
    // Two corners at one vertex are in one fan when they hold the same edge
    // from it: file (other end, corner) records by vertex and join the
    // corners of equal other ends.
    const ByVertex<std::pair<int32_t, int32_t>> records(table.vertices.size(), [&](auto visit) {
        for (size_t h = 0; h < corners; ++h) {
            const auto v = static_cast<size_t>(Corner(table, h));
            visit(v, std::pair<int32_t, int32_t>{Corner(table, NextInTriangle(h)), static_cast<int32_t>(h)});
            visit(v, std::pair<int32_t, int32_t>{Corner(table, PrevInTriangle(h)), static_cast<int32_t>(h)});
        }
    });
    std::vector<int32_t> parent(corners);
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
    std::vector<int32_t> fanVertex(corners, -1);
    std::vector<char> taken(table.vertices.size(), 0);
    int added = 0;
    for (size_t h = 0; h < corners; ++h) {
        const int32_t v = Corner(table, h);
        const auto root = static_cast<size_t>(Find(parent, static_cast<int32_t>(h)));
        if (fanVertex[root] < 0) {
            if (!taken[static_cast<size_t>(v)]) {
                taken[static_cast<size_t>(v)] = 1;
                fanVertex[root] = v;
            } else {
                fanVertex[root] = static_cast<int32_t>(table.vertices.size());
                table.vertices.push_back(table.vertices[static_cast<size_t>(v)]);
                ++added;
            }
        }
        table.triangles[h / 3][h % 3] = fanVertex[root];
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

    const size_t halfEdges = table.triangles.size() * 3;
    // Half-edges by their lower end, then their higher end and number: the
    // order of their edge keys.
    const ByVertex<std::pair<int32_t, int32_t>> byLow(table.vertices.size(), [&](auto visit) {
        for (size_t h = 0; h < halfEdges; ++h) {
            const int32_t u = Corner(table, h), v = Corner(table, NextInTriangle(h));
            visit(static_cast<size_t>(std::min(u, v)), std::pair<int32_t, int32_t>{std::max(u, v), static_cast<int32_t>(h)});
        }
    });
    std::vector<std::pair<uint64_t, int32_t>> sides(halfEdges);
    for (size_t low = 0, i = 0; low < table.vertices.size(); ++low) {
        for (size_t k = byLow.first[low]; k < byLow.first[low + 1]; ++k, ++i) {
            sides[i] = {EdgeKey(static_cast<int32_t>(low), byLow.items[k].first), byLow.items[k].second};
        }
    }
    // One pass per check so the first failing check is reported, not the
    // first failing edge.
    auto runLength = [&sides](size_t i) {
        size_t j = i;
        while (j < sides.size() && sides[j].first == sides[i].first) ++j;
        return j - i;
    };
    for (size_t i = 0; i < sides.size(); i += runLength(i)) {
        if (runLength(i) == 1) return "the mesh is not closed: " + EdgeName(sides[i].first) + " is held by 1 triangle";
    }
    for (size_t i = 0; i < sides.size(); i += runLength(i)) {
        const size_t count = runLength(i);
        if (count > 2) {
            return "the mesh is not manifold: " + EdgeName(sides[i].first) + " is held by " + std::to_string(count) + " triangles";
        }
    }
    std::vector<int32_t> opposite(halfEdges);
    for (size_t i = 0; i < sides.size(); i += 2) {
        const auto a = static_cast<size_t>(sides[i].second), b = static_cast<size_t>(sides[i + 1].second);
        if (Corner(table, a) == Corner(table, b)) {
            return "the mesh is not manifold: " + EdgeName(sides[i].first) + " runs the same way in triangles " +
                   std::to_string(a / 3) + " and " + std::to_string(b / 3);
        }
        opposite[a] = static_cast<int32_t>(b);
        opposite[b] = static_cast<int32_t>(a);
    }

    // Fans: the cycles of half-edges leaving a vertex, each the next one's
    // triangle across the edge before it.
    std::vector<int32_t> fans(table.vertices.size(), 0);
    std::vector<char> seen(halfEdges, 0);
    for (size_t h = 0; h < halfEdges; ++h) {
        if (seen[h]) continue;
        ++fans[static_cast<size_t>(Corner(table, h))];
        for (size_t e = h; !seen[e]; e = static_cast<size_t>(opposite[PrevInTriangle(e)])) seen[e] = 1;
    }
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
    const int64_t euler = vertexCount - static_cast<int64_t>(halfEdges / 2) + static_cast<int64_t>(table.triangles.size());
    const int64_t genus = pieces - euler / 2;
    if (genus != 0) return "the mesh has genus " + std::to_string(genus) + " (V - E + F = " + std::to_string(euler) + ")";
    if (pieces > 1) return "the mesh has " + std::to_string(pieces) + " separate pieces";
    return {};
}

}  // namespace vorlane
