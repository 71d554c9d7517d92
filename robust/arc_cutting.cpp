// Merged vertices numbered, and every arc cut at the points inside it into
// spokes at both ends of each piece.
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
#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "geometry/fan.h"
#include "robust/overlay.h"
#include "robust/ray_points.h"

namespace vorlane {
namespace {

// What cutting reads of the phases before it.
struct CutInputs {
    const OverlayMeshes& meshes;
    const VertexPlaces& places;
    const ArcCrossings& crossings;
    const MergedVertices& merged;

    int32_t MergedVertex(int32_t arc, int32_t v) const
    {
        return arc < meshes.SourceArcCount() ? v : merged.targetVertex[static_cast<size_t>(v)];
    }

    // Calls f(arc, merged vertex) for every crossing and source vertex
    // inside a target arc.
    template <class F>
    void ForEachPointOnTargetArc(F&& f) const
    {
        const int32_t sourceArcs = meshes.SourceArcCount();
        const std::vector<Crossing>& found = crossings.crossings;
        for (size_t k = 0; k < found.size(); ++k) f(sourceArcs + found[k].targetArc, merged.crossingBase + static_cast<int32_t>(k));
        for (size_t v = 0; v < places.sourceOnTarget.size(); ++v) {
            const Location& where = places.sourceOnTarget[v];
            if (places.used[0][v] && where.kind == Location::OnArc) f(sourceArcs + where.index, static_cast<int32_t>(v));
        }
    }

    // Where a merged vertex inside arc lies on it, for the exact comparison.
    ArcEvent EventOn(int32_t arc, int32_t vertex) const
    {
        if (vertex < merged.crossingBase) return {true, DirectionOf(meshes, merged, vertex), {}};
        const Crossing& c = crossings.crossings[static_cast<size_t>(vertex - merged.crossingBase)];
        if (arc < meshes.SourceArcCount()) {
            const IndexPair& t = meshes.target.arcs[static_cast<size_t>(c.targetArc)];
            return {false, meshes.target.Point(t.from), meshes.target.Point(t.to)};
        }
        const IndexPair& s = meshes.source.arcs[static_cast<size_t>(c.sourceArc)];
        return {false, meshes.source.Point(s.from), meshes.source.Point(s.to)};
    }

    // Around a crossing the order is fixed by the signs that found it:
    // ahead along the source arc, the target end on its left, back, the other.
    int8_t CrossingSlot(int32_t vertex, bool sourceArc, bool ahead) const
    {
        if (vertex < merged.crossingBase) return -1;
        const Crossing& c = crossings.crossings[static_cast<size_t>(vertex - merged.crossingBase)];
        if (sourceArc) return ahead ? 0 : 2;
        // Ahead along the target arc is towards d.
        return ahead == c.targetEndOnLeft ? 1 : 3;
    }
};

// Crossings and vertices inside arc a: onArc[first[a]] up to
// onArc[first[a + 1]], in order along it once sorted.
struct ArcPoints {
    std::vector<int32_t> first;
    std::vector<int32_t> onArc;
};

// Source arcs take their points from the walk, in order along them
// already; target arcs by a counting sort, which keeps the order of
// finding within an arc for the sort along it to start from. What the
// walks met is given back.
ArcPoints GroupPointsByArc(const CutInputs& in, ArcCrossings& crossings, const OverlayRun& run)
{
    ArcPoints points;
    const size_t sourceArcs = static_cast<size_t>(in.meshes.SourceArcCount());
    points.first.assign(static_cast<size_t>(in.meshes.ArcCount()) + 1, 0);
    std::copy(crossings.walkedFirst.begin(), crossings.walkedFirst.end(), points.first.begin());
    in.ForEachPointOnTargetArc([&](int32_t arc, int32_t) { ++points.first[static_cast<size_t>(arc) + 1]; });
    std::partial_sum(points.first.begin() + static_cast<std::ptrdiff_t>(sourceArcs), points.first.end(),
                     points.first.begin() + static_cast<std::ptrdiff_t>(sourceArcs));
    ReserveHuge(points.onArc, static_cast<size_t>(points.first.back()), run.threads);
    points.onArc.resize(static_cast<size_t>(points.first.back()));
    for (size_t i = 0; i < crossings.walked.size(); ++i) {
        const int32_t point = crossings.walked[i];
        points.onArc[i] = point >= 0 ? in.merged.crossingBase + point : in.merged.targetVertex[static_cast<size_t>(~point)];
    }
    Release(crossings.walked);
    Release(crossings.walkedFirst);
    std::vector<int32_t> fill(points.first.begin() + static_cast<std::ptrdiff_t>(sourceArcs), points.first.end() - 1);
    in.ForEachPointOnTargetArc(
        [&](int32_t arc, int32_t vertex) { points.onArc[static_cast<size_t>(fill[static_cast<size_t>(arc) - sourceArcs]++)] = vertex; });
    return points;
}

// Usually few points per arc: insertion by parameters along the chord where
// their bounds keep them apart, else by exact comparison.
struct Along {
    int32_t vertex;
    double t;
    double error;
};

// Two crossings differ in their parameters by far more than the
// rounding almost always; true when every neighbour pair does.
bool SortedByParameter(const CutInputs& in, int32_t arc, const Vec3& p, const Vec3& q, int32_t* points, int32_t n, std::vector<Along>& along_)
{
    along_.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        if (points[i] < in.merged.crossingBase) return false;
        const ArcEvent event = in.EventOn(arc, points[i]);
        Along& here = along_[static_cast<size_t>(i)];
        here.vertex = points[i];
        if (!CrossingParameter(p, q, event.c, event.d, here.t, here.error)) return false;
    }
    if (n > FanSearchDegree) {
        std::stable_sort(along_.begin(), along_.end(), [](const Along& a, const Along& b) { return a.t < b.t; });
    } else {
        for (size_t i = 1; i < along_.size(); ++i) {
            for (size_t j = i; j > 0 && along_[j].t < along_[j - 1].t; --j) std::swap(along_[j], along_[j - 1]);
        }
    }
    for (size_t i = 1; i < along_.size(); ++i) {
        if (!(along_[i].t - along_[i - 1].t > (along_[i].error + along_[i - 1].error) * (1.0 + 1e-6))) return false;
    }
    for (int32_t i = 0; i < n; ++i) points[i] = along_[static_cast<size_t>(i)].vertex;
    return true;
}

// along: scratch, one per thread.
void SortAlongArc(const CutInputs& in, ArcPoints& arcPoints, int32_t arc, std::vector<Along>& along)
{
    const IndexPair& e = in.meshes.ArcOf(arc);
    const Vec3& p = in.meshes.SideOf(arc).Point(e.from);
    const Vec3& q = in.meshes.SideOf(arc).Point(e.to);
    int32_t* points = arcPoints.onArc.data() + arcPoints.first[static_cast<size_t>(arc)];
    const int32_t n = arcPoints.first[static_cast<size_t>(arc) + 1] - arcPoints.first[static_cast<size_t>(arc)];
    if (n < 2 || SortedByParameter(in, arc, p, q, points, n, along)) return;
    if (n > FanSearchDegree) {
        // Points on one arc lie at distinct places: a stable sort orders as
        // the insertion below does, in n log n comparisons.
        std::stable_sort(points, points + n, [&](int32_t a, int32_t b) {
            return CompareAlongArc(p, q, in.EventOn(arc, a), in.EventOn(arc, b)) > 0;
        });
        return;
    }
    for (int32_t i = 1; i < n; ++i) {
        for (int32_t j = i; j > 0 && CompareAlongArc(p, q, in.EventOn(arc, points[j]), in.EventOn(arc, points[j - 1])) > 0; --j) {
            std::swap(points[j], points[j - 1]);
        }
    }
}

// An arc's ends get a spoke each, a point inside it two. Fills out.first;
// returns, by vertex, where its spokes from target arcs start.
std::vector<int32_t> CountSpokes(const CutInputs& in, const ArcPoints& points, SpokeTable& out)
{
    std::vector<int32_t>& firstSpoke = out.first;
    firstSpoke.assign(static_cast<size_t>(in.merged.count) + 1, 0);
    auto count = [&](int32_t arcBegin, int32_t arcEnd) {
        for (int32_t arc = arcBegin; arc < arcEnd; ++arc) {
            const IndexPair& e = in.meshes.ArcOf(arc);
            ++firstSpoke[static_cast<size_t>(in.MergedVertex(arc, e.from)) + 1];
            ++firstSpoke[static_cast<size_t>(in.MergedVertex(arc, e.to)) + 1];
        }
        for (int32_t i = points.first[static_cast<size_t>(arcBegin)]; i < points.first[static_cast<size_t>(arcEnd)]; ++i) {
            firstSpoke[static_cast<size_t>(points.onArc[static_cast<size_t>(i)]) + 1] += 2;
        }
    };
    count(0, in.meshes.SourceArcCount());
    std::vector<int32_t> targetFirst(firstSpoke.begin() + 1, firstSpoke.end());
    count(in.meshes.SourceArcCount(), in.meshes.ArcCount());
    std::partial_sum(firstSpoke.begin(), firstSpoke.end(), firstSpoke.begin());
    for (size_t v = 0; v < targetFirst.size(); ++v) targetFirst[v] += firstSpoke[v];
    return targetFirst;
}

// Spokes of a vertex in order of making, which fixes where the angular
// sort starts; around a crossing, in the order its signs fixed instead.
// The source's arcs make theirs before the target's, so the two models
// fill their spokes at once, the target's from targetFirst.
void FillSpokes(const CutInputs& in, const ArcPoints& points, std::vector<int32_t> targetFirst, const OverlayRun& run, SpokeTable& out)
{
    const std::vector<int32_t>& firstSpoke = out.first;
    std::vector<Spoke>& spokes = out.spokes;
    const int32_t sourceArcs = in.meshes.SourceArcCount();
    ReserveHuge(spokes, static_cast<size_t>(firstSpoke.back()), run.threads);
    spokes.resize(static_cast<size_t>(firstSpoke.back()));
    auto fillArcs = [&](int32_t arcBegin, int32_t arcEnd, std::vector<int32_t>& fill) {
        auto add = [&](int32_t from, int32_t to, int32_t ray) {
            const int8_t slot = in.CrossingSlot(from, ray / 2 < sourceArcs, ray % 2 == 0);
            // A crossing lies inside one arc of each model: exactly four spokes.
            assert(slot < 0 || firstSpoke[static_cast<size_t>(from) + 1] - firstSpoke[static_cast<size_t>(from)] == 4);
            const int32_t at = slot >= 0 ? firstSpoke[static_cast<size_t>(from)] + slot : fill[static_cast<size_t>(from)]++;
            spokes[static_cast<size_t>(at)] = {to, ray};
        };
        for (int32_t arc = arcBegin; arc < arcEnd; ++arc) {
            const IndexPair& e = in.meshes.ArcOf(arc);
            int32_t previous = in.MergedVertex(arc, e.from);
            auto link = [&](int32_t next) {
                add(previous, next, 2 * arc);
                add(next, previous, 2 * arc + 1);
                previous = next;
            };
            for (int32_t i = points.first[static_cast<size_t>(arc)]; i < points.first[static_cast<size_t>(arc) + 1]; ++i) {
                link(points.onArc[static_cast<size_t>(i)]);
            }
            link(in.MergedVertex(arc, e.to));
        }
    };
    BothAtOnce(
        run.threads > 1,
        [&] {
            std::vector<int32_t> fill(firstSpoke.begin(), firstSpoke.end() - 1);
            fillArcs(0, sourceArcs, fill);
        },
        [&] { fillArcs(sourceArcs, in.meshes.ArcCount(), targetFirst); });
}

}  // namespace

MergedVertices NumberVertices(const OverlayMeshes& meshes, const VertexPlaces& places, const ArcCrossings& crossings)
{
    MergedVertices merged;
    const int32_t s = static_cast<int32_t>(meshes.source.model->vertices.size());
    const int32_t t = static_cast<int32_t>(meshes.target.model->vertices.size());
    merged.targetVertex.assign(static_cast<size_t>(t), -1);
    merged.count = s;
    for (int32_t v = 0; v < t; ++v) {
        if (!places.used[1][static_cast<size_t>(v)]) continue;
        const Location& where = places.targetOnSource[static_cast<size_t>(v)];
        merged.targetVertex[static_cast<size_t>(v)] = where.kind == Location::AtVertex ? where.index : merged.count++;
    }
    merged.crossingBase = merged.count;
    merged.count += static_cast<int32_t>(crossings.crossings.size());
    // Directions of the merged vertices that come from the target alone.
    merged.targetDirection.assign(static_cast<size_t>(merged.crossingBase), Vec3{});
    for (size_t v = 0; v < merged.targetVertex.size(); ++v) {
        const int32_t m = merged.targetVertex[v];
        if (m >= s) merged.targetDirection[static_cast<size_t>(m)] = meshes.target.Point(static_cast<int32_t>(v));
    }
    return merged;
}

SpokeTable CutArcs(const OverlayMeshes& meshes, const VertexPlaces& places, ArcCrossings& crossings, const MergedVertices& merged,
                   const OverlayRun& run)
{
    const CutInputs in{meshes, places, crossings, merged};
    ArcPoints points = GroupPointsByArc(in, crossings, run);
    // Each arc sorts its own points: the target's arcs from both ends.
    const size_t targetArcs = meshes.target.arcs.size();
    FromBothEnds(run.threads, targetArcs, 4096, [&](size_t begin, size_t end, bool) {
        std::vector<Along> along;
        for (size_t arc = begin; arc < end; ++arc) SortAlongArc(in, points, meshes.SourceArcCount() + static_cast<int32_t>(arc), along);
    });
    SpokeTable out;
    FillSpokes(in, points, CountSpokes(in, points, out), run, out);
    Release(points.first);
    Release(points.onArc);
    return out;
}

}  // namespace vorlane
