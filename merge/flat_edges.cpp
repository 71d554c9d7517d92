#include "merge/flat_repair.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "base/two_halves.h"

namespace vorlane::flat_repair {

void DropTurned(std::vector<IndexPair>& edges, std::vector<IndexPair> turned)
{
    // note: the turned sides leave the edges in one pass; erasing each from
    // a table of millions moved it all once a flip.
    std::sort(turned.begin(), turned.end());
    auto next = turned.cbegin();
    edges.erase(std::remove_if(edges.begin(), edges.end(),
                               [&](const IndexPair& e) {
                                   while (next != turned.cend() && *next < e) ++next;
                                   return next != turned.cend() && *next == e;
                               }),
                edges.end());
}

void FollowCollapses(std::vector<IndexPair>& edges, const std::vector<int32_t>& rep)
{
    const auto root = [&](int32_t v) {
        while (At(rep, v) != v) v = At(rep, v);
        return v;
    };
    // Only the edges at a collapsed vertex change: they are sorted apart and
    // merged back into the rest, in order.
    std::vector<IndexPair> moved;
    std::size_t kept = 0;
    for (const IndexPair& e : edges) {
        const int32_t a = root(e.from), b = root(e.to);
        if (a == e.from && b == e.to) {
            edges[kept++] = e;
        } else if (a != b) {
            moved.push_back({std::min(a, b), std::max(a, b)});
        }
    }
    edges.resize(kept);
    std::sort(moved.begin(), moved.end());
    edges.insert(edges.end(), moved.begin(), moved.end());
    std::inplace_merge(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(kept), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
}

std::vector<int32_t> WriteBack(MorphMesh& mesh, const std::vector<Triangle>& triangles, std::vector<IndexPair> edges, int threads)
{
    // Vertices in use keep their order, so sorted edges stay sorted. The
    // runs of kept vertices between dropped ones move down whole.
    std::vector<int32_t> number(mesh.startPositions.size(), -1);
    for (const Triangle& c : triangles) {
        if (c[0] >= 0)
            for (int32_t v : c) At(number, v) = 0;
    }
    std::size_t kept = 0;
    for (std::size_t v = 0; v < number.size();) {
        if (number[v] < 0) {
            ++v;
            continue;
        }
        std::size_t end = v;
        while (end < number.size() && number[end] >= 0) number[end++] = static_cast<int32_t>(kept++);
        const std::size_t to = kept - (end - v);
        if (to != v) {
            const auto run = [&](auto& table) {
                if (!table.empty()) std::copy(table.begin() + static_cast<std::ptrdiff_t>(v), table.begin() + static_cast<std::ptrdiff_t>(end),
                                              table.begin() + static_cast<std::ptrdiff_t>(to));
            };
            run(mesh.startPositions);
            run(mesh.endPositions);
            run(mesh.startLocations);
            run(mesh.endLocations);
        }
        v = end;
    }
    mesh.startPositions.resize(kept);
    mesh.endPositions.resize(kept);
    for (std::vector<SurfaceLocation>* locations : {&mesh.startLocations, &mesh.endLocations}) {
        if (!locations->empty()) locations->resize(kept);
    }
    // Triangles are written over the faces in two halves at once: there are
    // no more of them than before.
    const auto alive = [](const Triangle& c) { return c[0] >= 0; };
    const std::size_t half = triangles.size() / 2;
    const auto middle = triangles.begin() + static_cast<std::ptrdiff_t>(half);
    const std::size_t firstHalf = static_cast<std::size_t>(std::count_if(triangles.begin(), middle, alive));
    mesh.faces.resize(firstHalf + static_cast<std::size_t>(std::count_if(middle, triangles.end(), alive)));
    InTwoHalves(threads, triangles.size(), half, [&](std::size_t begin, std::size_t end) {
        std::size_t at = begin == 0 ? 0 : firstHalf;
        for (std::size_t t = begin; t < end; ++t) {
            const Triangle& c = triangles[t];
            if (c[0] < 0) continue;
            mesh.faces[at++] = {3, FaceIndices(At(number, c[0]), At(number, c[1]), At(number, c[2]))};
        }
    });
    InTwoHalves(threads, edges.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) edges[i] = {At(number, edges[i].from), At(number, edges[i].to)};
    });
    mesh.edges = std::move(edges);
    return number;
}

}  // namespace vorlane::flat_repair
