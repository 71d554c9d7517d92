
#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
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

// The point of other's surface in the direction p, which lies at where.
Vec3 SurfacePoint(const WalkMesh& other, const Location& where, const Vec3& p)
{
    switch (where.kind) {
    case Location::AtVertex:
        return other.Surface(where.index);
    case Location::OnArc: {
        const IndexPair& arc = other.arcs[static_cast<size_t>(where.index)];
        return other.SurfaceOnEdge(arc.from, arc.to, ToD(p));
    }
    case Location::Inside:
        break;
    }
    return other.SurfaceInTriangle(where.index, p);
}

}  // namespace

void Overlay::SortAroundVertices()
{
    // Each vertex first keeps and sorts its spokes at the front of its own
    // stretch (the vertices from both ends at once: only the inputs'
    // vertices, numbered first, have spokes to sort), then the stretches
    // are packed in order. Each end has its own scratch.
    std::vector<int32_t> keptAt(static_cast<size_t>(vertexCount_), 0);
    struct alignas(64) EndScratch {
        AngleScratch angles;
        std::vector<int32_t> seen;  // by vertex, the last wide vertex that reached it
    } scratches[2];
    for (EndScratch& s : scratches) {
        // note: room ahead, so that the two ends' first items share no cache line.
        s.angles.towards.reserve(64);
        s.angles.quarters.reserve(64);
    }
    FromBothEnds(threads_, static_cast<size_t>(vertexCount_), 4096, [&](size_t from, size_t to, bool fromFront) {
        EndScratch& mine = scratches[fromFront ? 0 : 1];
        AngleScratch& scratch = mine.angles;
        std::vector<int32_t>& seen = mine.seen;
        for (size_t v = from; v < to; ++v) {
            const int32_t begin = firstSpoke_[v];
            const int32_t end = firstSpoke_[v + 1];
            // Pieces of two arcs on one circle between the same two vertices
            // are one edge: keep the first of each neighbour.
            int32_t kept = begin;
            if (end - begin > FanSearchDegree) {
                // Many neighbours: a mark per neighbour instead of a look at each kept one.
                if (seen.empty()) seen.assign(static_cast<size_t>(vertexCount_), -1);
                for (int32_t i = begin; i < end; ++i) {
                    const Spoke spoke = spokes_[static_cast<size_t>(i)];
                    if (seen[static_cast<size_t>(spoke.to)] == static_cast<int32_t>(v)) continue;
                    seen[static_cast<size_t>(spoke.to)] = static_cast<int32_t>(v);
                    spokes_[static_cast<size_t>(kept++)] = spoke;
                }
            } else {
                for (int32_t i = begin; i < end; ++i) {
                    const Spoke spoke = spokes_[static_cast<size_t>(i)];
                    int32_t j = begin;
                    while (j < kept && spokes_[static_cast<size_t>(j)].to != spoke.to) ++j;
                    if (j == kept) spokes_[static_cast<size_t>(kept++)] = spoke;
                }
            }
            keptAt[v] = kept - begin;
            if (static_cast<int32_t>(v) < crossingBase_ && kept - begin > 2) {
                SortByAngle(DirectionOf(static_cast<int32_t>(v)), spokes_.begin() + begin, spokes_.begin() + kept, scratch);
            }
        }
    });
    // The stretches are packed in order, each spoke as its far end alone:
    // the arcs have done their part, and the walks then read half as much.
    std::vector<int32_t> packed(static_cast<size_t>(vertexCount_) + 1, 0);
    for (size_t v = 0; v < keptAt.size(); ++v) packed[v + 1] = packed[v] + keptAt[v];
    ReserveHuge(around_, static_cast<size_t>(packed.back()), threads_);
    around_.resize(static_cast<size_t>(packed.back()));
    spokeHalf_ = std::min(static_cast<size_t>(std::lower_bound(packed.begin(), packed.end(), packed.back() / 2) - packed.begin()),
                          static_cast<size_t>(vertexCount_));
    InTwoHalves(threads_, static_cast<size_t>(vertexCount_), spokeHalf_, [&](size_t from, size_t to) {
        size_t up = 0;
        for (size_t v = from; v < to; ++v) {
            for (int32_t i = 0; i < keptAt[v]; ++i) {
                const int32_t far = spokes_[static_cast<size_t>(firstSpoke_[v] + i)].to;
                around_[static_cast<size_t>(packed[v] + i)] = far;
                up += static_cast<size_t>(far) > v;
            }
        }
        if (from == 0) edgesBeforeHalf_ = up;
    });
    firstSpoke_ = std::move(packed);
    Release(spokes_);
    IndexWideVertices();
    // Only vertices that edges reach are kept, in merged order.
    compact_.assign(static_cast<size_t>(vertexCount_), -1);
    keptCount_ = 0;
    for (int32_t v = 0; v < vertexCount_; ++v) {
        if (firstSpoke_[static_cast<size_t>(v) + 1] > firstSpoke_[static_cast<size_t>(v)]) compact_[static_cast<size_t>(v)] = keptCount_++;
    }
}

void Overlay::SortByAngle(const Vec3& v, std::vector<Spoke>::iterator begin, std::vector<Spoke>::iterator end, AngleScratch& scratch) const
{
    std::vector<Vec3>& towards = scratch.towards;
    std::vector<int>& quarters = scratch.quarters;
    const size_t n = static_cast<size_t>(end - begin);
    towards.resize(n);
    for (size_t i = 0; i < n; ++i) towards[i] = Toward(*(begin + static_cast<std::ptrdiff_t>(i)));
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

void Overlay::IndexWideVertices()
{
    byNeighbour_.clear();
    for (int32_t v = 0; v < vertexCount_; ++v) {
        const int32_t begin = firstSpoke_[static_cast<size_t>(v)], end = firstSpoke_[static_cast<size_t>(v) + 1];
        if (end - begin <= FanSearchDegree) continue;
        if (byNeighbour_.empty()) byNeighbour_.assign(around_.size(), 0);
        int32_t* order = byNeighbour_.data() + begin;
        std::iota(order, order + (end - begin), begin);
        std::sort(order, order + (end - begin),
                  [&](int32_t a, int32_t b) { return around_[static_cast<size_t>(a)] < around_[static_cast<size_t>(b)]; });
    }
}

int32_t Overlay::SpokeTo(int32_t begin, int32_t end, int32_t to) const
{
    const int32_t* order = byNeighbour_.data();
    const int32_t* found = std::lower_bound(order + begin, order + end, to,
                                            [&](int32_t s, int32_t value) { return around_[static_cast<size_t>(s)] < value; });
    assert(found < order + end && around_[static_cast<size_t>(*found)] == to);
    return *found;
}

void Overlay::WalkFaces(MeshMergeResult& result)
{
    // A triangulated sphere has V - E + F = 2 and F = 2V - 4.
    const size_t edges = around_.size() / 2;
    if (keepPolygons_) {
        ReserveHuge(result.polygonStarts, edges - static_cast<size_t>(keptCount_) + 3);
        ReserveHuge(result.polygonIndices, around_.size());
    }
    ReserveHuge(result.mesh.faces, 2 * static_cast<size_t>(keptCount_), threads_);
    if (keepPolygons_) result.polygonStarts.push_back(0);
    // Faces come in order of their first spoke, which lies at their lowest
    // corner. The first run walks from the vertices before split, the second
    // from the rest and keeps only faces with no corner before split. The
    // first marks every spoke it passes, so the second skips most of its
    // faces unwalked; which run walks a face varies, which lists it does not.
    // A vertex is the lowest corner of about as many faces as it has spokes,
    // so the runs split where the spokes before are a share of the faces:
    // three fifths, as the second run also starts on some of the first's
    // faces before it hands them back.
    const int32_t polygons = static_cast<int32_t>(edges) - keptCount_ + 2;
    const size_t split = threads_ > 1 ? static_cast<size_t>(std::lower_bound(firstSpoke_.begin(), firstSpoke_.end(), polygons / 5 * 3) - firstSpoke_.begin())
                                      : static_cast<size_t>(vertexCount_);
    WalkMarks marks{std::vector<std::atomic<uint8_t>>(around_.size()), std::vector<uint8_t>(threads_ > 1 ? around_.size() : 0)};
    FaceWalks first{std::move(result.polygonStarts), std::move(result.polygonIndices), std::move(result.mesh.faces)};
    FaceWalks second;
    // note: room for every face, as the split only estimates the halves:
    // room left untouched costs no memory, but grown by doubling the faces
    // were copied and faulted in twice over.
    if (threads_ > 1) ReserveHuge(second.faces, 2 * static_cast<size_t>(keptCount_));
    InTwoHalves(threads_, static_cast<size_t>(vertexCount_), std::min(split, static_cast<size_t>(vertexCount_)), [&](size_t begin, size_t end) {
        if (begin < end) WalkFacesOf(static_cast<int32_t>(begin), static_cast<int32_t>(end), marks, begin == 0 ? first : second);
    });
    const int32_t shift = static_cast<int32_t>(first.indices.size());
    first.indices.insert(first.indices.end(), second.indices.begin(), second.indices.end());
    for (int32_t end : second.starts) first.starts.push_back(end + shift);
    for (MeshFace& face : second.faces) first.faces.push_back(std::move(face));
    result.polygonStarts = std::move(first.starts);
    result.polygonIndices = std::move(first.indices);
    result.mesh.faces = std::move(first.faces);
}

void Overlay::WalkFacesOf(int32_t begin, int32_t end, WalkMarks& marks, FaceWalks& out)
{
    const bool firstRun = begin == 0;
    const int32_t lowest = firstSpoke_[static_cast<size_t>(begin)];
    const bool wide = !byNeighbour_.empty();
    for (int32_t v = begin; v < end; ++v) {
        for (int32_t start = firstSpoke_[static_cast<size_t>(v)]; start < firstSpoke_[static_cast<size_t>(v) + 1]; ++start) {
            if (marks.first[static_cast<size_t>(start)].load(std::memory_order_relaxed)) continue;
            if (!firstRun && marks.second[static_cast<size_t>(start)]) continue;
            const size_t first = out.indices.size();
            bool earlier = false;
            int32_t at = v;
            int32_t s = start;
            do {
                const int32_t far = around_[static_cast<size_t>(s)];
                if (firstRun) {
                    marks.first[static_cast<size_t>(s)].store(1, std::memory_order_relaxed);
                } else if (s < lowest) {
                    earlier = true;  // the first run's face: no need to go round
                    break;
                } else {
                    marks.second[static_cast<size_t>(s)] = 1;
                }
                out.indices.push_back(compact_[static_cast<size_t>(at)]);
                s = wide ? TurnLeftWide(far, at) : TurnLeft(far, at);
                at = far;
            } while (s != start);
            if (earlier) {
                out.indices.resize(first);
                continue;
            }
            Fan(out.indices.data() + first, out.indices.size() - first, out.faces);
            if (keepPolygons_) {
                out.starts.push_back(static_cast<int32_t>(out.indices.size()));
            } else {
                out.indices.resize(first);
            }
        }
    }
}

void Overlay::Fan(const int32_t* ring, size_t n, std::vector<MeshFace>& triangles)
{
    ForEachFanTriangle(ring, n, [&](int32_t a, int32_t b, int32_t c) { triangles.push_back({3, FaceIndices(a, b, c)}); });
}

void Overlay::Assemble(MeshMergeResult& result)
{
    MorphMesh& mesh = result.mesh;
    // Spokes are grouped by ascending vertex and compacting keeps the
    // order, so only each vertex's few neighbours need sorting. Each half
    // of the spokes lists its edges into its own part of the table.
    ReserveHuge(mesh.edges, around_.size() / 2, threads_);
    mesh.edges.resize(around_.size() / 2);
    InTwoHalves(threads_, static_cast<size_t>(vertexCount_), spokeHalf_, [&](size_t from, size_t to) {
        IndexPair* edges = mesh.edges.data();
        size_t at = from == 0 ? 0 : edgesBeforeHalf_;
        for (int32_t v = static_cast<int32_t>(from); v < static_cast<int32_t>(to); ++v) {
            const size_t begin = at;
            for (int32_t i = firstSpoke_[static_cast<size_t>(v)]; i < firstSpoke_[static_cast<size_t>(v) + 1]; ++i) {
                const int32_t far = around_[static_cast<size_t>(i)];
                if (v < far) edges[at++] = {compact_[static_cast<size_t>(v)], compact_[static_cast<size_t>(far)]};
            }
            // A few neighbours each: insertion beats a general sort's setup.
            if (at - begin > static_cast<size_t>(FanSearchDegree)) {
                std::sort(edges + begin, edges + at);
                continue;
            }
            for (size_t i = begin + 1; i < at; ++i) {
                for (size_t j = i; j > begin && edges[j] < edges[j - 1]; --j) std::swap(edges[j], edges[j - 1]);
            }
        }
        // Every edge has a spoke at each end.
        assert(at == (from == 0 ? edgesBeforeHalf_ : mesh.edges.size()));
    });
    // note: the spokes are the largest table left; gone before positions
    // and locations are made, they lower the peak by their size.
    Release(around_);
    Release(firstSpoke_);
    PlacePositions(mesh);
    mesh.edgeCount = static_cast<int32_t>(mesh.edges.size());
    mesh.faceCount = static_cast<int32_t>(mesh.faces.size());
    mesh.centre = SphereCentre;
    mesh.source = &sourceModel_;
    mesh.target = &targetModel_;
    result.mesh.crossingCount = static_cast<int32_t>(crossings_.size());
}

void Overlay::PlacePositions(MorphMesh& mesh) const
{
    mesh.vertexCount = keptCount_;
    for (std::vector<Vec3>* positions : {&mesh.startPositions, &mesh.endPositions}) {
        ReserveHuge(*positions, static_cast<size_t>(keptCount_), threads_);
        positions->resize(static_cast<size_t>(keptCount_));
    }
    for (std::vector<SurfaceLocation>* locations : {&mesh.startLocations, &mesh.endLocations}) {
        ReserveHuge(*locations, static_cast<size_t>(keptCount_), threads_);
        locations->resize(static_cast<size_t>(keptCount_));
    }
    auto place = [&](int32_t v, const Vec3& start, const Vec3& end, const SurfaceLocation& onSource, const SurfaceLocation& onTarget) {
        const size_t kept = static_cast<size_t>(compact_[static_cast<size_t>(v)]);
        mesh.startPositions[kept] = Add(start, source_.model->centre);
        mesh.endPositions[kept] = Add(end, target_.model->centre);
        mesh.startLocations[kept] = onSource;
        mesh.endLocations[kept] = onTarget;
    };
    // Every merged vertex has its own slot: each loop is taken from both ends.
    const int32_t s = static_cast<int32_t>(source_.model->vertices.size());
    FromBothEnds(threads_, static_cast<size_t>(s), 4096, [&](size_t begin, size_t end, bool) {
        for (int32_t v = static_cast<int32_t>(begin); v < static_cast<int32_t>(end); ++v) {
            if (compact_[static_cast<size_t>(v)] < 0) continue;
            const Location& where = sourceOnTarget_[static_cast<size_t>(v)];
            const D3 p = ToD(source_.Point(v));
            place(v, source_.Surface(v), SurfacePoint(target_, where, source_.Point(v)), OwnLocation(0, v, p), LocationOn(1, where, p));
        }
    });
    FromBothEnds(threads_, targetVertex_.size(), 4096, [&](size_t begin, size_t end, bool) {
        for (size_t v = begin; v < end; ++v) {
            const int32_t merged = targetVertex_[v];
            if (merged < s || compact_[static_cast<size_t>(merged)] < 0) continue;  // unused, or one with a source vertex
            const Vec3& p = target_.Point(static_cast<int32_t>(v));
            const Location& where = targetOnSource_[v];
            place(merged, SurfacePoint(source_, where, p), target_.Surface(static_cast<int32_t>(v)), LocationOn(0, where, ToD(p)),
                  OwnLocation(1, static_cast<int32_t>(v), ToD(p)));
        }
    });
    FromBothEnds(threads_, crossings_.size(), 4096, [&](size_t begin, size_t end, bool) {
        for (size_t k = begin; k < end; ++k) {
            const int32_t vertex = crossingBase_ + static_cast<int32_t>(k);
            if (compact_[static_cast<size_t>(vertex)] < 0) continue;
            const Crossing& c = crossings_[k];
            const IndexPair& a = source_.arcs[static_cast<size_t>(c.sourceArc)];
            const IndexPair& b = target_.arcs[static_cast<size_t>(c.targetArc)];
            const D3 na = Cross(ToD(source_.Point(a.from)), ToD(source_.Point(a.to)));
            const D3 nb = Cross(ToD(target_.Point(b.from)), ToD(target_.Point(b.to)));
            D3 direction = Cross(na, nb);
            if (Dot(direction, ToD(source_.Point(a.from))) + Dot(direction, ToD(source_.Point(a.to))) < 0) {
                direction = {-direction.x, -direction.y, -direction.z};
            }
            // The direction unrounded: a crossing can lie closer to a vertex
            // than a float step, and rounding it first could put it past.
            place(vertex, source_.SurfaceOnEdge(a.from, a.to, direction), target_.SurfaceOnEdge(b.from, b.to, direction),
                  ArcLocation(0, c.sourceArc, direction),
                  ArcLocation(1, c.targetArc, direction));
        }
    });
}

}  // namespace vorlane
