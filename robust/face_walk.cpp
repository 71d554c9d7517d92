
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "geometry/exact_predicates.h"
#include "geometry/fan.h"
#include "robust/huge_pages.h"
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
        return OnSegment(other.Surface(arc.from), other.Surface(arc.to), ToD(p));
    }
    case Location::Inside:
        break;
    }
    const Triangle& f = other.model->faces[static_cast<size_t>(where.index)];
    return OnTriangle(other.Surface(f[0]), other.Surface(f[1]), other.Surface(f[2]), p);
}

}  // namespace

void Overlay::SortAroundVertices()
{
    int32_t kept = 0;
    int32_t begin = 0;
    for (int32_t v = 0; v < vertexCount_; ++v) {
        const int32_t end = firstSpoke_[static_cast<size_t>(v) + 1];
        firstSpoke_[static_cast<size_t>(v)] = kept;
        // Pieces of two arcs on one circle between the same two vertices
        // are one edge: keep the first of each neighbour.
        const int32_t first = kept;
        if (end - begin > FanSearchDegree) {
            // Many neighbours: a mark per neighbour instead of a look at each kept one.
            if (seen_.empty()) seen_.assign(static_cast<size_t>(vertexCount_), -1);
            for (int32_t i = begin; i < end; ++i) {
                const Spoke spoke = spokes_[static_cast<size_t>(i)];
                if (seen_[static_cast<size_t>(spoke.to)] == v) continue;
                seen_[static_cast<size_t>(spoke.to)] = v;
                spokes_[static_cast<size_t>(kept++)] = spoke;
            }
        } else {
            for (int32_t i = begin; i < end; ++i) {
                const Spoke spoke = spokes_[static_cast<size_t>(i)];
                int32_t j = first;
                while (j < kept && spokes_[static_cast<size_t>(j)].to != spoke.to) ++j;
                if (j == kept) spokes_[static_cast<size_t>(kept++)] = spoke;
            }
        }
        begin = end;
        if (v < crossingBase_ && kept - first > 2) {
            SortByAngle(DirectionOf(v), spokes_.begin() + first, spokes_.begin() + kept);
        }
    }
    seen_ = {};
    firstSpoke_[static_cast<size_t>(vertexCount_)] = kept;
    spokes_.resize(static_cast<size_t>(kept));
    IndexWideVertices();
    // Only vertices that edges reach are kept, in merged order.
    compact_.assign(static_cast<size_t>(vertexCount_), -1);
    keptCount_ = 0;
    for (int32_t v = 0; v < vertexCount_; ++v) {
        if (firstSpoke_[static_cast<size_t>(v) + 1] > firstSpoke_[static_cast<size_t>(v)]) compact_[static_cast<size_t>(v)] = keptCount_++;
    }
}

void Overlay::SortByAngle(const Vec3& v, std::vector<Spoke>::iterator begin, std::vector<Spoke>::iterator end)
{
    const size_t n = static_cast<size_t>(end - begin);
    towards_.resize(n);
    for (size_t i = 0; i < n; ++i) towards_[i] = Toward(*(begin + static_cast<std::ptrdiff_t>(i)));
    const Vec3 reference = towards_[0];
    // 0: the reference, 1: left of it, 2: opposite, 3: right of it.
    auto quarter = [&](const Vec3& w) {
        const int side = Orient3(v, reference, w);
        if (side > 0) return 1;
        if (side < 0) return 3;
        return TangentCosine(v, reference, w) > 0 ? 0 : 2;
    };
    quarters_.resize(n);
    for (size_t i = 0; i < n; ++i) quarters_[i] = quarter(towards_[i]);
    auto before = [&](size_t a, size_t b) {
        if (quarters_[a] != quarters_[b]) return quarters_[a] < quarters_[b];
        return Orient3(v, towards_[a], towards_[b]) > 0;
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
            std::swap(towards_[j], towards_[j - 1]);
            std::swap(quarters_[j], quarters_[j - 1]);
        }
    }
}

void Overlay::IndexWideVertices()
{
    byNeighbour_.clear();
    for (int32_t v = 0; v < vertexCount_; ++v) {
        const int32_t begin = firstSpoke_[static_cast<size_t>(v)], end = firstSpoke_[static_cast<size_t>(v) + 1];
        if (end - begin <= FanSearchDegree) continue;
        if (byNeighbour_.empty()) byNeighbour_.assign(spokes_.size(), 0);
        int32_t* order = byNeighbour_.data() + begin;
        std::iota(order, order + (end - begin), begin);
        std::sort(order, order + (end - begin),
                  [&](int32_t a, int32_t b) { return spokes_[static_cast<size_t>(a)].to < spokes_[static_cast<size_t>(b)].to; });
    }
}

int32_t Overlay::SpokeTo(int32_t begin, int32_t end, int32_t to) const
{
    const int32_t* order = byNeighbour_.data();
    const int32_t* found = std::lower_bound(order + begin, order + end, to,
                                            [&](int32_t s, int32_t value) { return spokes_[static_cast<size_t>(s)].to < value; });
    assert(found < order + end && spokes_[static_cast<size_t>(*found)].to == to);
    return *found;
}

void Overlay::WalkFaces(MeshMergeResult& result)
{
    // A triangulated sphere has V - E + F = 2 and F = 2V - 4.
    const size_t edges = spokes_.size() / 2;
    ReserveHuge(result.polygonStarts, edges - static_cast<size_t>(keptCount_) + 3);
    ReserveHuge(result.polygonIndices, spokes_.size());
    ReserveHuge(result.mesh.faces, 2 * static_cast<size_t>(keptCount_));
    result.polygonStarts.push_back(0);
    const bool wide = !byNeighbour_.empty();
    // Once sorted a spoke's ray is spent, so it marks the walked ones:
    // the mark sits in the line the walk reads anyway.
    for (int32_t v = 0; v < vertexCount_; ++v) {
        for (int32_t start = firstSpoke_[static_cast<size_t>(v)]; start < firstSpoke_[static_cast<size_t>(v) + 1]; ++start) {
            if (spokes_[static_cast<size_t>(start)].ray == Walked) continue;
            const size_t first = result.polygonIndices.size();
            int32_t at = v;
            for (int32_t s = start; spokes_[static_cast<size_t>(s)].ray != Walked;) {
                Spoke& spoke = spokes_[static_cast<size_t>(s)];
                spoke.ray = Walked;
                result.polygonIndices.push_back(compact_[static_cast<size_t>(at)]);
                s = wide ? TurnLeftWide(spoke.to, at) : TurnLeft(spoke.to, at);
                at = spoke.to;
            }
            result.polygonStarts.push_back(static_cast<int32_t>(result.polygonIndices.size()));
            Fan(result.polygonIndices.data() + first, result.polygonIndices.size() - first, result.mesh.faces);
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
    PlacePositions(mesh);
    // Spokes are grouped by ascending vertex and compacting keeps the
    // order, so only each vertex's few neighbours need sorting.
    ReserveHuge(mesh.edges, spokes_.size() / 2);
    for (int32_t v = 0; v < vertexCount_; ++v) {
        const size_t begin = mesh.edges.size();
        for (int32_t i = firstSpoke_[static_cast<size_t>(v)]; i < firstSpoke_[static_cast<size_t>(v) + 1]; ++i) {
            const int32_t to = spokes_[static_cast<size_t>(i)].to;
            if (v < to) mesh.edges.push_back({compact_[static_cast<size_t>(v)], compact_[static_cast<size_t>(to)]});
        }
        // A few neighbours each: insertion beats a general sort's setup.
        if (mesh.edges.size() - begin > static_cast<size_t>(FanSearchDegree)) {
            std::sort(mesh.edges.begin() + static_cast<std::ptrdiff_t>(begin), mesh.edges.end());
            continue;
        }
        for (size_t i = begin + 1; i < mesh.edges.size(); ++i) {
            for (size_t j = i; j > begin && mesh.edges[j] < mesh.edges[j - 1]; --j) std::swap(mesh.edges[j], mesh.edges[j - 1]);
        }
    }
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
        ReserveHuge(*positions, static_cast<size_t>(keptCount_));
        positions->resize(static_cast<size_t>(keptCount_));
    }
    auto place = [&](int32_t v, const Vec3& start, const Vec3& end) {
        mesh.startPositions[static_cast<size_t>(compact_[static_cast<size_t>(v)])] = Add(start, source_.model->centre);
        mesh.endPositions[static_cast<size_t>(compact_[static_cast<size_t>(v)])] = Add(end, target_.model->centre);
    };
    const int32_t s = static_cast<int32_t>(source_.model->vertices.size());
    for (int32_t v = 0; v < s; ++v) {
        if (compact_[static_cast<size_t>(v)] < 0) continue;
        place(v, source_.Surface(v), SurfacePoint(target_, sourceOnTarget_[static_cast<size_t>(v)], source_.Point(v)));
    }
    for (size_t v = 0; v < targetVertex_.size(); ++v) {
        const int32_t merged = targetVertex_[v];
        if (merged < s || compact_[static_cast<size_t>(merged)] < 0) continue;  // unused, or one with a source vertex
        const Vec3& p = target_.Point(static_cast<int32_t>(v));
        place(merged, SurfacePoint(source_, targetOnSource_[v], p), target_.Surface(static_cast<int32_t>(v)));
    }
    for (size_t k = 0; k < crossings_.size(); ++k) {
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
        place(vertex, OnSegment(source_.Surface(a.from), source_.Surface(a.to), direction),
              OnSegment(target_.Surface(b.from), target_.Surface(b.to), direction));
    }
}

}  // namespace vorlane
