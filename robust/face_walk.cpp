// Spokes sorted round each vertex, and the faces walked from them.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "geometry/exact_predicates.h"
#include "geometry/fan.h"
#include "robust/overlay.h"
#include "robust/ray_points.h"

namespace vorlane {
namespace {

// The input point a spoke heads for along its arc's great circle.
const Vec3& Toward(const OverlayMeshes& meshes, const Spoke& spoke)
{
    const int32_t arc = spoke.ray / 2;
    const IndexPair& e = meshes.ArcOf(arc);
    return meshes.SideOf(arc).Point(spoke.ray % 2 == 0 ? e.to : e.from);
}

// Insertion by exact comparisons: degrees are small.
struct AngleScratch {
    std::vector<Vec3> towards;
    std::vector<int> quarters;
};

void SortByAngle(const OverlayMeshes& meshes, const Vec3& v, std::vector<Spoke>::iterator begin, std::vector<Spoke>::iterator end,
                 AngleScratch& scratch)
{
    std::vector<Vec3>& towards = scratch.towards;
    std::vector<int>& quarters = scratch.quarters;
    const size_t n = static_cast<size_t>(end - begin);
    towards.resize(n);
    for (size_t i = 0; i < n; ++i) towards[i] = Toward(meshes, *(begin + static_cast<std::ptrdiff_t>(i)));
    const Vec3 reference = towards[0];
    // 0: the reference, 1: left of it, 2: opposite, 3: right of it.
    auto quarter = [&](const Vec3& w) {
        const int side = Orient3(v, reference, w);
        if (side > 0) return 1;
        if (side < 0) return 3;
        return TangentCosine(v, reference, w) > 0 ? 0 : 2;
    };
    quarters.resize(n);
    for (size_t i = 0; i < n; ++i) quarters[i] = quarter(towards[i]);
    auto before = [&](size_t a, size_t b) {
        if (quarters[a] != quarters[b]) return quarters[a] < quarters[b];
        return Orient3(v, towards[a], towards[b]) > 0;
    };
    if (n > static_cast<size_t>(FanSearchDegree)) {
        // A stable sort orders as the insertion below does, in n log n.
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), before);
        const std::vector<Spoke> spokes(begin, end);
        for (size_t i = 0; i < n; ++i) *(begin + static_cast<std::ptrdiff_t>(i)) = spokes[order[i]];
        return;
    }
    for (size_t i = 1; i < n; ++i) {
        for (size_t j = i; j > 0 && before(j, j - 1); --j) {
            std::swap(*(begin + static_cast<std::ptrdiff_t>(j)), *(begin + static_cast<std::ptrdiff_t>(j) - 1));
            std::swap(towards[j], towards[j - 1]);
            std::swap(quarters[j], quarters[j - 1]);
        }
    }
}

void IndexWideVertices(Rings& rings)
{
    rings.byNeighbour.clear();
    for (int32_t v = 0; v < rings.VertexCount(); ++v) {
        const int32_t begin = rings.first[static_cast<size_t>(v)], end = rings.first[static_cast<size_t>(v) + 1];
        if (end - begin <= FanSearchDegree) continue;
        if (rings.byNeighbour.empty()) rings.byNeighbour.assign(rings.around.size(), 0);
        int32_t* order = rings.byNeighbour.data() + begin;
        std::iota(order, order + (end - begin), begin);
        std::sort(order, order + (end - begin),
                  [&](int32_t a, int32_t b) { return rings.around[static_cast<size_t>(a)] < rings.around[static_cast<size_t>(b)]; });
    }
}

// The faces whose first spoke leaves a vertex from begin up to end.
struct FaceWalks {
    std::vector<int32_t> starts;  // the end of each face in indices
    std::vector<int32_t> indices;
    std::vector<MeshFace> faces;  // triangles
};

// Spokes the walks have passed, each run's in its own table: no cache
// line is written by both.
struct WalkMarks {
    SharedFlags first;  // read by the second run
    std::vector<uint8_t> second;
};

// Every corner of a face is strict: it lies inside a corner of a triangle
// of each model (both less than a half turn) or between two different
// great circles. So a fan never makes a triangle on one great circle.
void Fan(const int32_t* ring, size_t n, std::vector<MeshFace>& triangles)
{
    ForEachFanTriangle(ring, n, [&](int32_t a, int32_t b, int32_t c) { triangles.push_back({3, FaceIndices(a, b, c)}); });
}

void WalkFacesOf(const Rings& rings, bool keepPolygons, int32_t begin, int32_t end, WalkMarks& marks, FaceWalks& out)
{
    const bool firstRun = begin == 0;
    const int32_t lowest = rings.first[static_cast<size_t>(begin)];
    const bool wide = !rings.byNeighbour.empty();
    for (int32_t v = begin; v < end; ++v) {
        for (int32_t start = rings.first[static_cast<size_t>(v)]; start < rings.first[static_cast<size_t>(v) + 1]; ++start) {
            if (marks.first.IsSet(static_cast<size_t>(start))) continue;
            if (!firstRun && marks.second[static_cast<size_t>(start)]) continue;
            const size_t first = out.indices.size();
            bool earlier = false;
            int32_t at = v;
            int32_t s = start;
            do {
                const int32_t far = rings.around[static_cast<size_t>(s)];
                if (firstRun) {
                    marks.first.Set(static_cast<size_t>(s));
                } else if (s < lowest) {
                    earlier = true;  // the first run's face: no need to go round
                    break;
                } else {
                    marks.second[static_cast<size_t>(s)] = 1;
                }
                out.indices.push_back(rings.compact[static_cast<size_t>(at)]);
                s = wide ? rings.TurnLeftWide(far, at) : rings.TurnLeft(far, at);
                at = far;
            } while (s != start);
            if (earlier) {
                out.indices.resize(first);
                continue;
            }
            Fan(out.indices.data() + first, out.indices.size() - first, out.faces);
            if (keepPolygons) {
                out.starts.push_back(static_cast<int32_t>(out.indices.size()));
            } else {
                out.indices.resize(first);
            }
        }
    }
}

}  // namespace

Rings SortAroundVertices(SpokeTable& spokeTable, const OverlayMeshes& meshes, const MergedVertices& merged, const OverlayRun& run)
{
    const std::vector<int32_t>& firstSpoke = spokeTable.first;
    std::vector<Spoke>& spokes = spokeTable.spokes;
    const int32_t vertexCount = merged.count;
    Rings rings;
    // Each vertex first keeps and sorts its spokes at the front of its own
    // stretch (the vertices from both ends at once: only the inputs'
    // vertices, numbered first, have spokes to sort), then the stretches
    // are packed in order. Each end has its own scratch.
    std::vector<int32_t> keptAt(static_cast<size_t>(vertexCount), 0);
    struct EndScratch {
        AngleScratch angles;
        std::vector<int32_t> seen;  // by vertex, the last wide vertex that reached it
    };
    OwnCacheLine<EndScratch> scratches[2];
    for (EndScratch& s : scratches) {
        // note: room ahead, so that the two ends' first items share no cache line.
        s.angles.towards.reserve(64);
        s.angles.quarters.reserve(64);
    }
    FromBothEnds(run.threads, static_cast<size_t>(vertexCount), 4096, [&](size_t from, size_t to, bool fromFront) {
        EndScratch& mine = scratches[fromFront ? 0 : 1];
        AngleScratch& scratch = mine.angles;
        std::vector<int32_t>& seen = mine.seen;
        for (size_t v = from; v < to; ++v) {
            const int32_t begin = firstSpoke[v];
            const int32_t end = firstSpoke[v + 1];
            // Pieces of two arcs on one circle between the same two vertices
            // are one edge: keep the first of each neighbour.
            int32_t kept = begin;
            if (end - begin > FanSearchDegree) {
                // Many neighbours: a mark per neighbour instead of a look at each kept one.
                if (seen.empty()) seen.assign(static_cast<size_t>(vertexCount), -1);
                for (int32_t i = begin; i < end; ++i) {
                    const Spoke spoke = spokes[static_cast<size_t>(i)];
                    if (seen[static_cast<size_t>(spoke.to)] == static_cast<int32_t>(v)) continue;
                    seen[static_cast<size_t>(spoke.to)] = static_cast<int32_t>(v);
                    spokes[static_cast<size_t>(kept++)] = spoke;
                }
            } else {
                for (int32_t i = begin; i < end; ++i) {
                    const Spoke spoke = spokes[static_cast<size_t>(i)];
                    int32_t j = begin;
                    while (j < kept && spokes[static_cast<size_t>(j)].to != spoke.to) ++j;
                    if (j == kept) spokes[static_cast<size_t>(kept++)] = spoke;
                }
            }
            keptAt[v] = kept - begin;
            if (static_cast<int32_t>(v) < merged.crossingBase && kept - begin > 2) {
                SortByAngle(meshes, DirectionOf(meshes, merged, static_cast<int32_t>(v)), spokes.begin() + begin, spokes.begin() + kept,
                            scratch);
            }
        }
    });
    // The stretches are packed in order, each spoke as its far end alone:
    // the arcs have done their part, and the walks then read half as much.
    std::vector<int32_t> packed(static_cast<size_t>(vertexCount) + 1, 0);
    for (size_t v = 0; v < keptAt.size(); ++v) packed[v + 1] = packed[v] + keptAt[v];
    ReserveHuge(rings.around, static_cast<size_t>(packed.back()), run.threads);
    rings.around.resize(static_cast<size_t>(packed.back()));
    rings.half = std::min(static_cast<size_t>(std::lower_bound(packed.begin(), packed.end(), packed.back() / 2) - packed.begin()),
                          static_cast<size_t>(vertexCount));
    InTwoHalves(run.threads, static_cast<size_t>(vertexCount), rings.half, [&](size_t from, size_t to) {
        size_t up = 0;
        for (size_t v = from; v < to; ++v) {
            for (int32_t i = 0; i < keptAt[v]; ++i) {
                const int32_t far = spokes[static_cast<size_t>(firstSpoke[v] + i)].to;
                rings.around[static_cast<size_t>(packed[v] + i)] = far;
                up += static_cast<size_t>(far) > v;
            }
        }
        if (from == 0) rings.edgesBeforeHalf = up;
    });
    rings.first = std::move(packed);
    Release(spokeTable.first);
    Release(spokes);
    IndexWideVertices(rings);
    // Only vertices that edges reach are kept, in merged order.
    rings.compact.assign(static_cast<size_t>(vertexCount), -1);
    rings.keptCount = 0;
    for (int32_t v = 0; v < vertexCount; ++v) {
        if (rings.first[static_cast<size_t>(v) + 1] > rings.first[static_cast<size_t>(v)]) rings.compact[static_cast<size_t>(v)] = rings.keptCount++;
    }
    return rings;
}

int32_t Rings::SpokeTo(int32_t begin, int32_t end, int32_t to) const
{
    const int32_t* order = byNeighbour.data();
    const int32_t* found =
        std::lower_bound(order + begin, order + end, to, [&](int32_t s, int32_t value) { return around[static_cast<size_t>(s)] < value; });
    assert(found < order + end && around[static_cast<size_t>(*found)] == to);
    return *found;
}

void WalkFaces(const Rings& rings, const OverlayRun& run, MeshMergeResult& result)
{
    const int32_t vertexCount = rings.VertexCount();
    const int32_t keptCount = rings.keptCount;
    // A triangulated sphere has V - E + F = 2 and F = 2V - 4.
    const size_t edges = rings.around.size() / 2;
    if (run.keepPolygons) {
        ReserveHuge(result.polygonStarts, edges - static_cast<size_t>(keptCount) + 3);
        ReserveHuge(result.polygonIndices, rings.around.size());
    }
    ReserveHuge(result.mesh.faces, 2 * static_cast<size_t>(keptCount), run.threads);
    if (run.keepPolygons) result.polygonStarts.push_back(0);
    // Faces come in order of their first spoke, which lies at their lowest
    // corner. The first run walks from the vertices before split, the second
    // from the rest and keeps only faces with no corner before split. The
    // first marks every spoke it passes, so the second skips most of its
    // faces unwalked; which run walks a face varies, which lists it does not.
    // A vertex is the lowest corner of about as many faces as it has spokes,
    // so the runs split where the spokes before are a share of the faces:
    // three fifths, as the second run also starts on some of the first's
    // faces before it hands them back.
    const int32_t polygons = static_cast<int32_t>(edges) - keptCount + 2;
    const size_t split = run.threads > 1
                             ? static_cast<size_t>(std::lower_bound(rings.first.begin(), rings.first.end(), polygons / 5 * 3) - rings.first.begin())
                             : static_cast<size_t>(vertexCount);
    WalkMarks marks{SharedFlags(rings.around.size()), std::vector<uint8_t>(run.threads > 1 ? rings.around.size() : 0)};
    // note: the two runs' tables side by side would share the line their every push writes.
    OwnCacheLine<FaceWalks> first{{std::move(result.polygonStarts), std::move(result.polygonIndices), std::move(result.mesh.faces)}};
    OwnCacheLine<FaceWalks> second;
    // note: room for every face, as the split only estimates the halves:
    // room left untouched costs no memory, but grown by doubling the faces
    // were copied and faulted in twice over.
    if (run.threads > 1) ReserveHuge(second.faces, 2 * static_cast<size_t>(keptCount));
    InTwoHalves(run.threads, static_cast<size_t>(vertexCount), std::min(split, static_cast<size_t>(vertexCount)), [&](size_t begin, size_t end) {
        if (begin < end) {
            WalkFacesOf(rings, run.keepPolygons, static_cast<int32_t>(begin), static_cast<int32_t>(end), marks, begin == 0 ? first : second);
        }
    });
    const int32_t shift = static_cast<int32_t>(first.indices.size());
    first.indices.insert(first.indices.end(), second.indices.begin(), second.indices.end());
    for (int32_t end : second.starts) first.starts.push_back(end + shift);
    for (MeshFace& face : second.faces) first.faces.push_back(std::move(face));
    result.polygonStarts = std::move(first.starts);
    result.polygonIndices = std::move(first.indices);
    result.mesh.faces = std::move(first.faces);
}

}  // namespace vorlane
