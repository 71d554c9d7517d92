// The half-edges of a triangle list gathered by edge, for the repairs before
// the topology checks (which need edges held by any number of triangles,
// where TriangleConnectivity twins only pairs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/by_vertex.h"
#include "geometry/polyhedron.h"

namespace vorlane {

// Half-edge 3t + k runs from triangles[t][k] to triangles[t][(k + 1) % 3].
inline int32_t HalfEdgeOrigin(const std::vector<Triangle>& triangles, int32_t h)
{
    return triangles[static_cast<std::size_t>(h / 3)][static_cast<std::size_t>(h % 3)];
}
inline int32_t HalfEdgeEnd(const std::vector<Triangle>& triangles, int32_t h)
{
    return triangles[static_cast<std::size_t>(h / 3)][static_cast<std::size_t>((h % 3 + 1) % 3)];
}

// By lower end: (higher end, half-edge) pairs, sorted, so the holders of
// edge (u, v), u < v, are a run of equal firsts under u. Corners must be in
// range. Time linear plus a small sort per vertex.
inline ByVertex<std::pair<int32_t, int32_t>> EdgeHolders(const std::vector<Triangle>& triangles, std::size_t vertexCount)
{
    const auto halfEdges = static_cast<int32_t>(triangles.size() * 3);
    return ByVertex<std::pair<int32_t, int32_t>>(vertexCount, [&](auto visit) {
        for (int32_t h = 0; h < halfEdges; ++h) {
            const int32_t a = HalfEdgeOrigin(triangles, h), b = HalfEdgeEnd(triangles, h);
            visit(static_cast<std::size_t>(a < b ? a : b), std::pair<int32_t, int32_t>{a < b ? b : a, h});
        }
    });
}

// Calls run(low, high, first, count) for every edge, its holders being
// holders.items[first .. first + count), in order of (low, high).
template <class Run>
void ForEachEdge(const ByVertex<std::pair<int32_t, int32_t>>& holders, Run run)
{
    for (std::size_t u = 0; u + 1 < holders.first.size(); ++u) {
        std::size_t i = holders.first[u];
        const std::size_t end = holders.first[u + 1];
        while (i < end) {
            std::size_t j = i + 1;
            while (j < end && holders.items[j].first == holders.items[i].first) ++j;
            run(static_cast<int32_t>(u), holders.items[i].first, i, j - i);
            i = j;
        }
    }
}

}  // namespace vorlane
