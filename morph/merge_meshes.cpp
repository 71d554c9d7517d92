#include "morph/merge_meshes.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "morph/arc_split.h"
#include "morph/arc_walk.h"
#include "morph/exact_predicates.h"
#include "morph/huge_pages.h"
#include "morph/ray_points.h"

namespace vorlane {
namespace {

// A crossing of source arc a -> b with target arc c -> d inside both.
// Touching at an end or running along one circle is no crossing: it shows
// up as a vertex lying on the other model's network instead.
struct Crossing {
    int32_t sourceArc;
    int32_t targetArc;
    bool targetEndOnLeft;  // d lies to the left of a -> b (else c does)
};

// A merged edge seen from one of its ends: the vertex at its far end, and
// the arc it lies on as a ray, 2 arc running along the arc and 2 arc + 1
// against it (source arcs first, then target).
struct Spoke {
    int32_t to;
    int32_t ray;
};
constexpr int32_t Walked = -1;  // the ray of a spoke the face walk has passed

Vec3 Add(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

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

class Overlay {
public:
    Overlay(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress)
        : sourceModel_(source), targetModel_(target), source_(MakeWalkMesh(source)), target_(MakeWalkMesh(target)), progress_(progress)
    {
    }

    MeshMergeResult Run()
    {
        Report("locating vertices", 0.0);
        LocateVertices();
        Report("crossings", 0.0);
        FindCrossings();
        NumberVertices();
        Report("cutting edges", 0.0);
        CutArcs();
        Report("faces", 0.0);
        SortAroundVertices();
        MeshMergeResult result;
        WalkFaces(result);
        Report("positions", 0.0);
        Assemble(result);
        Report("positions", 1.0);
        return result;
    }

private:
    void Report(const char* phase, double fraction)
    {
        if (progress_) progress_(phase, fraction);
    }

    const WalkMesh& SideOf(int32_t globalArc) const
    {
        return globalArc < static_cast<int32_t>(source_.arcs.size()) ? source_ : target_;
    }

    const IndexPair& ArcOf(int32_t globalArc) const
    {
        const int32_t n = static_cast<int32_t>(source_.arcs.size());
        return globalArc < n ? source_.arcs[static_cast<size_t>(globalArc)] : target_.arcs[static_cast<size_t>(globalArc - n)];
    }

    // Walks every source arc across the target's triangles from where its
    // first end lies to where its last end does: the sides it leaves through
    // are its crossings, found once each and in order along it.
    void FindCrossings()
    {
        // Two models of like density cross about once per arc; growing from
        // there copies less than growing from nothing.
        ReserveHuge(crossings_, source_.arcs.size() + target_.arcs.size());
        ReserveHuge(walked_, source_.arcs.size() + target_.arcs.size());
        walkedFirst_.reserve(source_.arcs.size() + 1);
        for (int32_t arc = 0; arc < SourceArcCount(); ++arc) {
            walkedFirst_.push_back(static_cast<int32_t>(walked_.size()));
            WalkSourceArc(arc);
            if ((arc & 0xffff) == 0xffff) Report("crossings", static_cast<double>(arc) / SourceArcCount());
        }
        walkedFirst_.push_back(static_cast<int32_t>(walked_.size()));
    }

    // The crossings and target vertices met inside one source arc, in order
    // along it; where its ends lie is known by now.
    void WalkSourceArc(int32_t arc)
    {
        const IndexPair& e = source_.arcs[static_cast<size_t>(arc)];
        met_.clear();
        WalkArc(target_, source_.Point(e.from), source_.Point(e.to), sourceOnTarget_[static_cast<size_t>(e.from)],
                sourceOnTarget_[static_cast<size_t>(e.to)], met_);
        for (const int32_t side : met_) {
            if (side < 0) {
                walked_.push_back(side);
                continue;
            }
            // The walk crosses a side from its start on the arc's right to
            // its end on the left.
            const int32_t targetArc = target_.sideArc[static_cast<size_t>(side)];
            const bool endOnLeft = target_.arcs[static_cast<size_t>(targetArc)].to == target_.Corner(WalkMesh::After(side, 1));
            walked_.push_back(static_cast<int32_t>(crossings_.size()));
            crossings_.push_back({arc, targetArc, endOnLeft});
        }
    }

    // Every vertex of each model finds its place on the other's network.
    void LocateVertices()
    {
        used_[0] = UsedVertices(*source_.model);
        used_[1] = UsedVertices(*target_.model);
        targetOnSource_ = vorlane::LocateVertices(target_, used_[1], source_);
        SnapNearVertices();
        Report("locating vertices", 0.5);
        sourceOnTarget_ = vorlane::LocateVertices(source_, used_[0], target_);
        // The pieces of split triangles bring new arcs, which may pass as
        // near to vertices again; a few rounds settle what rounding made.
        for (int round = 0; round < 4 && SplitNearArcs(round == 0); ++round) {
            CompleteLocations(target_, used_[1], source_, targetOnSource_);
            CompleteLocations(source_, used_[0], target_, sourceOnTarget_);
        }
    }

    // A vertex within NearAngle of an arc of the other model, inside one of
    // the arc's triangles, becomes a vertex of that model inside the arc.
    // After the first round only the vertices placed afresh are looked at:
    // no other lies in a triangle that changed.
    bool SplitNearArcs(bool firstRound)
    {
        std::vector<ArcSplit> inSource = NearArcs(target_, used_[1], targetOnSource_, source_, firstRound ? nullptr : &replaced_[1]);
        std::vector<ArcSplit> inTarget = NearArcs(source_, used_[0], sourceOnTarget_, target_, firstRound ? nullptr : &replaced_[0]);
        replaced_[0].clear();
        replaced_[1].clear();
        const bool source = Split(source_, std::move(inSource), sourceSplit_, targetOnSource_, replaced_[1], sourceOnTarget_, used_[0], replaced_[0]);
        const bool target = Split(target_, std::move(inTarget), targetSplit_, sourceOnTarget_, replaced_[0], targetOnSource_, used_[1], replaced_[1]);
        return source || target;
    }

    // The splits of over's arcs at the vertices of from near them (all, or
    // those listed in only).
    static std::vector<ArcSplit> NearArcs(const WalkMesh& from, const std::vector<bool>& used, const std::vector<Location>& where,
                                          const WalkMesh& over, const std::vector<int32_t>* only)
    {
        std::vector<ArcSplit> splits;
        std::vector<bool> split(over.arcs.size(), false);
        auto look = [&](size_t v) {
            if (!used[v] || where[v].kind != Location::Inside || where[v].near < 0) return;
            const int32_t arc = over.sideArc[3 * static_cast<size_t>(where[v].index) + static_cast<size_t>(where[v].near)];
            splits.push_back({arc, from.Point(static_cast<int32_t>(v))});
            split[static_cast<size_t>(arc)] = true;
        };
        if (only) {
            for (int32_t v : *only) look(static_cast<size_t>(v));
        } else {
            for (size_t v = 0; v < where.size(); ++v) look(v);
        }
        if (splits.empty()) return splits;
        // Vertices exactly on an arc that is split become vertices too:
        // the pieces no longer run through them.
        for (size_t v = 0; v < where.size(); ++v) {
            if (used[v] && where[v].kind == Location::OnArc && split[static_cast<size_t>(where[v].index)]) {
                splits.push_back({where[v].index, from.Point(static_cast<int32_t>(v))});
            }
        }
        return splits;
    }

    // Replaces mesh, which may already read from kept, by its split. Places
    // on it that the split changed are forgotten (on, listed in onReplaced),
    // and so are those of its new vertices (own, used, ownReplaced), for the
    // walks to find again.
    static bool Split(WalkMesh& mesh, std::vector<ArcSplit> splits, SplitMesh& kept, std::vector<Location>& on, std::vector<int32_t>& onReplaced,
                      std::vector<Location>& own, std::vector<bool>& used, std::vector<int32_t>& ownReplaced)
    {
        SplitMesh next;
        if (splits.empty() || !SplitArcs(mesh, std::move(splits), next)) return false;
        // Arcs are numbered afresh: remember places on arcs by their ends.
        std::vector<IndexPair> ends(on.size());
        for (size_t v = 0; v < on.size(); ++v) {
            if (on[v].kind == Location::OnArc && on[v].index >= 0) ends[v] = mesh.arcs[static_cast<size_t>(on[v].index)];
        }
        kept = std::move(next);
        mesh = MakeWalkMesh(kept.surface);
        mesh.directions = &kept.directions;
        for (size_t v = 0; v < on.size(); ++v) {
            Location& where = on[v];
            if (where.index < 0) continue;
            if (where.kind == Location::Inside && kept.changed[static_cast<size_t>(where.index)]) where.index = -1;
            if (where.kind == Location::OnArc) where.index = mesh.ArcIndex(ends[v].from, ends[v].to);
            if (where.index < 0) onReplaced.push_back(static_cast<int32_t>(v));
        }
        for (size_t v = own.size(); v < kept.directions.size(); ++v) ownReplaced.push_back(static_cast<int32_t>(v));
        own.resize(kept.directions.size());
        used.resize(kept.directions.size(), true);
        return true;
    }

    // Two meshes of one shape rarely give their shared vertices the same
    // direction to the last bit, and the exact overlay would keep each such
    // pair apart with slivers far thinner than a float step. So a target
    // vertex within NearAngle of a source vertex's direction takes that
    // direction (it stays where it is on the target's surface), one target
    // vertex per source vertex, and only where every triangle around it
    // still faces its centre. Each move is linear and keeps its triangles
    // facing, so the target stays star-shaped.
    void SnapNearVertices()
    {
        std::vector<bool> taken(source_.model->vertices.size(), false);
        for (const Location& where : targetOnSource_) {
            if (where.kind == Location::AtVertex) taken[static_cast<size_t>(where.index)] = true;
        }
        for (size_t v = 0; v < targetOnSource_.size(); ++v) {
            Location& where = targetOnSource_[v];
            if (!used_[1][v] || where.kind == Location::AtVertex) continue;
            int32_t candidates[3];
            int count = 0;
            if (where.kind == Location::OnArc) {
                const IndexPair& arc = source_.arcs[static_cast<size_t>(where.index)];
                candidates[count++] = arc.from;
                candidates[count++] = arc.to;
            } else {
                for (int32_t corner : source_.model->faces[static_cast<size_t>(where.index)]) candidates[count++] = corner;
            }
            const D3 p = ToD(target_.Point(static_cast<int32_t>(v)));
            int32_t nearest = -1;
            double best = NearAngle * NearAngle;
            for (int i = 0; i < count; ++i) {
                if (taken[static_cast<size_t>(candidates[i])]) continue;
                const D3 u = ToD(source_.Point(candidates[i]));
                const D3 c = Cross(u, p);
                const double sine2 = Dot(c, c) / (Dot(u, u) * Dot(p, p));
                if (Dot(u, p) > 0.0 && sine2 <= best && (nearest < 0 || sine2 < best)) {
                    nearest = candidates[i];
                    best = sine2;
                }
            }
            if (nearest < 0 || !StillFacing(static_cast<int32_t>(v), source_.Point(nearest))) continue;
            if (snapped_.empty()) {
                snapped_ = target_.model->vertices;
                target_.directions = &snapped_;
            }
            snapped_[v] = source_.Point(nearest);
            taken[static_cast<size_t>(nearest)] = true;
            where = {Location::AtVertex, nearest};
        }
    }

    // Whether every target triangle around vertex v faces the centre with v
    // turned to direction d.
    bool StillFacing(int32_t v, const Vec3& d) const
    {
        const int32_t first = target_.corner[static_cast<size_t>(v)];
        int32_t side = first;
        do {
            const Vec3& b = target_.Point(target_.Corner(WalkMesh::After(side, 1)));
            const Vec3& c = target_.Point(target_.Corner(WalkMesh::After(side, 2)));
            if (Orient3(d, b, c) <= 0) return false;
            side = target_.across[static_cast<size_t>(WalkMesh::After(side, 2))];
        } while (side != first);
        return true;
    }

    // Merged vertices: the source's, then target vertices that coincide
    // with none of them, then the crossings.
    void NumberVertices()
    {
        const int32_t s = static_cast<int32_t>(source_.model->vertices.size());
        const int32_t t = static_cast<int32_t>(target_.model->vertices.size());
        targetVertex_.assign(static_cast<size_t>(t), -1);
        vertexCount_ = s;
        for (int32_t v = 0; v < t; ++v) {
            if (!used_[1][static_cast<size_t>(v)]) continue;
            const Location& where = targetOnSource_[static_cast<size_t>(v)];
            targetVertex_[static_cast<size_t>(v)] = where.kind == Location::AtVertex ? where.index : vertexCount_++;
        }
        crossingBase_ = vertexCount_;
        vertexCount_ += static_cast<int32_t>(crossings_.size());
        // Directions of the merged vertices that come from the target alone.
        targetDirection_.assign(static_cast<size_t>(crossingBase_), Vec3{});
        for (size_t v = 0; v < targetVertex_.size(); ++v) {
            if (targetVertex_[v] >= s) targetDirection_[static_cast<size_t>(targetVertex_[v])] = target_.Point(static_cast<int32_t>(v));
        }
    }

    static std::vector<bool> UsedVertices(const Polyhedron& model)
    {
        std::vector<bool> used(model.vertices.size(), false);
        for (const Triangle& f : model.faces) {
            for (int32_t v : f) used[static_cast<size_t>(v)] = true;
        }
        return used;
    }

    int32_t SourceArcCount() const { return static_cast<int32_t>(source_.arcs.size()); }
    int32_t ArcCount() const { return static_cast<int32_t>(source_.arcs.size() + target_.arcs.size()); }

    // Cuts every arc at the crossings and vertices on it, in order along it,
    // and lists each piece as a spoke at both of its ends.
    void CutArcs()
    {
        GroupPointsByArc();
        for (int32_t arc = SourceArcCount(); arc < ArcCount(); ++arc) SortAlongArc(arc);
        CountSpokes();
        FillSpokes();
        arcFirst_ = {};
        onArc_ = {};
    }

    // Calls f(arc, merged vertex) for every crossing and source vertex
    // inside a target arc.
    template <class F>
    void ForEachPointOnTargetArc(F&& f) const
    {
        const int32_t sourceArcs = SourceArcCount();
        for (size_t k = 0; k < crossings_.size(); ++k) f(sourceArcs + crossings_[k].targetArc, crossingBase_ + static_cast<int32_t>(k));
        for (size_t v = 0; v < sourceOnTarget_.size(); ++v) {
            const Location& where = sourceOnTarget_[v];
            if (used_[0][v] && where.kind == Location::OnArc) f(sourceArcs + where.index, static_cast<int32_t>(v));
        }
    }

    // Source arcs take their points from the walk, in order along them
    // already; target arcs by a counting sort, which keeps the order of
    // finding within an arc for the sort along it to start from.
    void GroupPointsByArc()
    {
        const size_t sourceArcs = static_cast<size_t>(SourceArcCount());
        arcFirst_.assign(static_cast<size_t>(ArcCount()) + 1, 0);
        std::copy(walkedFirst_.begin(), walkedFirst_.end(), arcFirst_.begin());
        ForEachPointOnTargetArc([&](int32_t arc, int32_t) { ++arcFirst_[static_cast<size_t>(arc) + 1]; });
        std::partial_sum(arcFirst_.begin() + static_cast<std::ptrdiff_t>(sourceArcs), arcFirst_.end(),
                         arcFirst_.begin() + static_cast<std::ptrdiff_t>(sourceArcs));
        ReserveHuge(onArc_, static_cast<size_t>(arcFirst_.back()));
        onArc_.resize(static_cast<size_t>(arcFirst_.back()));
        for (size_t i = 0; i < walked_.size(); ++i) {
            const int32_t point = walked_[i];
            onArc_[i] = point >= 0 ? crossingBase_ + point : targetVertex_[static_cast<size_t>(~point)];
        }
        walked_ = {};
        walkedFirst_ = {};
        std::vector<int32_t> fill(arcFirst_.begin() + static_cast<std::ptrdiff_t>(sourceArcs), arcFirst_.end() - 1);
        ForEachPointOnTargetArc(
            [&](int32_t arc, int32_t vertex) { onArc_[static_cast<size_t>(fill[static_cast<size_t>(arc) - sourceArcs]++)] = vertex; });
    }

    // Where a merged vertex inside arc lies on it, for the exact comparison.
    ArcEvent EventOn(int32_t arc, int32_t vertex) const
    {
        if (vertex < crossingBase_) return {true, DirectionOf(vertex), {}};
        const Crossing& c = crossings_[static_cast<size_t>(vertex - crossingBase_)];
        if (arc < SourceArcCount()) {
            const IndexPair& t = target_.arcs[static_cast<size_t>(c.targetArc)];
            return {false, target_.Point(t.from), target_.Point(t.to)};
        }
        const IndexPair& s = source_.arcs[static_cast<size_t>(c.sourceArc)];
        return {false, source_.Point(s.from), source_.Point(s.to)};
    }

    // Few points per arc: insertion by parameters along the chord where
    // their bounds keep them apart, else by exact comparison.
    void SortAlongArc(int32_t arc)
    {
        const IndexPair& e = ArcOf(arc);
        const Vec3& p = SideOf(arc).Point(e.from);
        const Vec3& q = SideOf(arc).Point(e.to);
        int32_t* points = onArc_.data() + arcFirst_[static_cast<size_t>(arc)];
        const int32_t n = arcFirst_[static_cast<size_t>(arc) + 1] - arcFirst_[static_cast<size_t>(arc)];
        if (n < 2 || SortedByParameter(arc, p, q, points, n)) return;
        for (int32_t i = 1; i < n; ++i) {
            for (int32_t j = i; j > 0 && CompareAlongArc(p, q, EventOn(arc, points[j]), EventOn(arc, points[j - 1])) > 0; --j) {
                std::swap(points[j], points[j - 1]);
            }
        }
    }

    // Two crossings differ in their parameters by far more than the
    // rounding almost always; true when every neighbour pair does.
    bool SortedByParameter(int32_t arc, const Vec3& p, const Vec3& q, int32_t* points, int32_t n)
    {
        along_.resize(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) {
            if (points[i] < crossingBase_) return false;
            const ArcEvent event = EventOn(arc, points[i]);
            Along& here = along_[static_cast<size_t>(i)];
            here.vertex = points[i];
            if (!CrossingParameter(p, q, event.c, event.d, here.t, here.error)) return false;
        }
        for (size_t i = 1; i < along_.size(); ++i) {
            for (size_t j = i; j > 0 && along_[j].t < along_[j - 1].t; --j) std::swap(along_[j], along_[j - 1]);
        }
        for (size_t i = 1; i < along_.size(); ++i) {
            if (!(along_[i].t - along_[i - 1].t > (along_[i].error + along_[i - 1].error) * (1.0 + 1e-6))) return false;
        }
        for (int32_t i = 0; i < n; ++i) points[i] = along_[static_cast<size_t>(i)].vertex;
        return true;
    }

    int32_t MergedVertex(int32_t arc, int32_t v) const
    {
        return arc < SourceArcCount() ? v : targetVertex_[static_cast<size_t>(v)];
    }

    // An arc's ends get a spoke each, a point inside it two.
    void CountSpokes()
    {
        firstSpoke_.assign(static_cast<size_t>(vertexCount_) + 1, 0);
        for (int32_t arc = 0; arc < ArcCount(); ++arc) {
            const IndexPair& e = ArcOf(arc);
            ++firstSpoke_[static_cast<size_t>(MergedVertex(arc, e.from)) + 1];
            ++firstSpoke_[static_cast<size_t>(MergedVertex(arc, e.to)) + 1];
        }
        for (int32_t vertex : onArc_) firstSpoke_[static_cast<size_t>(vertex) + 1] += 2;
        std::partial_sum(firstSpoke_.begin(), firstSpoke_.end(), firstSpoke_.begin());
    }

    // Spokes of a vertex in order of making, which fixes where the angular
    // sort starts; around a crossing, in the order its signs fixed instead.
    void FillSpokes()
    {
        ReserveHuge(spokes_, static_cast<size_t>(firstSpoke_.back()));
        spokes_.resize(static_cast<size_t>(firstSpoke_.back()));
        std::vector<int32_t> fill(firstSpoke_.begin(), firstSpoke_.end() - 1);
        auto add = [&](int32_t from, int32_t to, int32_t ray) {
            const int8_t slot = CrossingSlot(from, ray / 2 < SourceArcCount(), ray % 2 == 0);
            // A crossing lies inside one arc of each model: exactly four spokes.
            assert(slot < 0 || firstSpoke_[static_cast<size_t>(from) + 1] - firstSpoke_[static_cast<size_t>(from)] == 4);
            const int32_t at = slot >= 0 ? firstSpoke_[static_cast<size_t>(from)] + slot : fill[static_cast<size_t>(from)]++;
            spokes_[static_cast<size_t>(at)] = {to, ray};
        };
        for (int32_t arc = 0; arc < ArcCount(); ++arc) {
            const IndexPair& e = ArcOf(arc);
            int32_t previous = MergedVertex(arc, e.from);
            auto link = [&](int32_t next) {
                add(previous, next, 2 * arc);
                add(next, previous, 2 * arc + 1);
                previous = next;
            };
            for (int32_t i = arcFirst_[static_cast<size_t>(arc)]; i < arcFirst_[static_cast<size_t>(arc) + 1]; ++i) {
                link(onArc_[static_cast<size_t>(i)]);
            }
            link(MergedVertex(arc, e.to));
        }
    }

    // Around a crossing the order is fixed by the signs that found it:
    // ahead along the source arc, the target end on its left, back, the other.
    int8_t CrossingSlot(int32_t vertex, bool sourceArc, bool ahead) const
    {
        if (vertex < crossingBase_) return -1;
        const Crossing& c = crossings_[static_cast<size_t>(vertex - crossingBase_)];
        if (sourceArc) return ahead ? 0 : 2;
        // Ahead along the target arc is towards d.
        return ahead == c.targetEndOnLeft ? 1 : 3;
    }

    // The input point a spoke heads for along its arc's great circle.
    const Vec3& Toward(const Spoke& spoke) const
    {
        const int32_t arc = spoke.ray / 2;
        const IndexPair& e = ArcOf(arc);
        return SideOf(arc).Point(spoke.ray % 2 == 0 ? e.to : e.from);
    }

    const Vec3& DirectionOf(int32_t vertex) const
    {
        if (vertex < static_cast<int32_t>(source_.model->vertices.size())) return source_.Point(vertex);
        return targetDirection_[static_cast<size_t>(vertex)];
    }

    // Each vertex's spokes in counter-clockwise order seen from outside,
    // repeats along shared circles removed; then the kept vertices numbered.
    void SortAroundVertices()
    {
        int32_t kept = 0;
        int32_t begin = 0;
        for (int32_t v = 0; v < vertexCount_; ++v) {
            const int32_t end = firstSpoke_[static_cast<size_t>(v) + 1];
            firstSpoke_[static_cast<size_t>(v)] = kept;
            // Pieces of two arcs on one circle between the same two vertices
            // are one edge: keep the first of each neighbour.
            const int32_t first = kept;
            for (int32_t i = begin; i < end; ++i) {
                const Spoke spoke = spokes_[static_cast<size_t>(i)];
                int32_t j = first;
                while (j < kept && spokes_[static_cast<size_t>(j)].to != spoke.to) ++j;
                if (j == kept) spokes_[static_cast<size_t>(kept++)] = spoke;
            }
            begin = end;
            if (v < crossingBase_ && kept - first > 2) {
                SortByAngle(DirectionOf(v), spokes_.begin() + first, spokes_.begin() + kept);
            }
        }
        firstSpoke_[static_cast<size_t>(vertexCount_)] = kept;
        spokes_.resize(static_cast<size_t>(kept));
        // Only vertices that edges reach are kept, in merged order.
        compact_.assign(static_cast<size_t>(vertexCount_), -1);
        keptCount_ = 0;
        for (int32_t v = 0; v < vertexCount_; ++v) {
            if (firstSpoke_[static_cast<size_t>(v) + 1] > firstSpoke_[static_cast<size_t>(v)]) compact_[static_cast<size_t>(v)] = keptCount_++;
        }
    }

    // Insertion by exact comparisons: degrees are small.
    void SortByAngle(const Vec3& v, std::vector<Spoke>::iterator begin, std::vector<Spoke>::iterator end)
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
        for (size_t i = 1; i < n; ++i) {
            for (size_t j = i; j > 0 && before(j, j - 1); --j) {
                std::swap(*(begin + static_cast<std::ptrdiff_t>(j)), *(begin + static_cast<std::ptrdiff_t>(j) - 1));
                std::swap(towards_[j], towards_[j - 1]);
                std::swap(quarters_[j], quarters_[j - 1]);
            }
        }
    }

    // At vertex v, the spoke just before the one back to from in
    // counter-clockwise order: the next side of the face on the left.
    int32_t TurnLeft(int32_t v, int32_t from) const
    {
        const int32_t begin = firstSpoke_[static_cast<size_t>(v)];
        const int32_t end = firstSpoke_[static_cast<size_t>(v) + 1];
        int32_t back = begin;
        while (spokes_[static_cast<size_t>(back)].to != from) ++back;
        assert(back < end);
        return back == begin ? end - 1 : back - 1;
    }

    // The face to the left of each spoke, in order of its first spoke;
    // indices are written in kept numbering straight away.
    void WalkFaces(MeshMergeResult& result)
    {
        // A triangulated sphere has V - E + F = 2 and F = 2V - 4.
        const size_t edges = spokes_.size() / 2;
        ReserveHuge(result.polygonStarts, edges - static_cast<size_t>(keptCount_) + 3);
        ReserveHuge(result.polygonIndices, spokes_.size());
        ReserveHuge(result.mesh.faces, 2 * static_cast<size_t>(keptCount_));
        result.polygonStarts.push_back(0);
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
                    s = TurnLeft(spoke.to, at);
                    at = spoke.to;
                }
                result.polygonStarts.push_back(static_cast<int32_t>(result.polygonIndices.size()));
                Fan(result.polygonIndices.data() + first, result.polygonIndices.size() - first, result.mesh.faces);
            }
        }
    }

    // Every corner of a face is strict: it lies inside a corner of a triangle
    // of each model (both less than a half turn) or between two different
    // great circles. So a fan never makes a triangle on one great circle.
    static void Fan(const int32_t* ring, size_t n, std::vector<MeshFace>& triangles)
    {
        for (size_t i = 1; i + 1 < n; ++i) triangles.push_back({3, FaceIndices(ring[0], ring[i], ring[i + 1])});
    }

    void Assemble(MeshMergeResult& result)
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
            for (size_t i = begin + 1; i < mesh.edges.size(); ++i) {
                for (size_t j = i; j > begin && mesh.edges[j] < mesh.edges[j - 1]; --j) std::swap(mesh.edges[j], mesh.edges[j - 1]);
            }
        }
        mesh.edgeCount = static_cast<int32_t>(mesh.edges.size());
        mesh.faceCount = static_cast<int32_t>(mesh.faces.size());
        mesh.centre = SphereCentre;
        mesh.source = &sourceModel_;
        mesh.target = &targetModel_;
        result.crossingCount = static_cast<int32_t>(crossings_.size());
    }

    // Positions of the kept vertices on both surfaces, in each model's table
    // coordinates.
    void PlacePositions(MorphMesh& mesh) const
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

    const Polyhedron& sourceModel_;
    const Polyhedron& targetModel_;
    WalkMesh source_;
    WalkMesh target_;
    std::vector<Vec3> snapped_;  // the target's directions, once one is snapped
    SplitMesh sourceSplit_;      // the models with arcs split, once one is
    SplitMesh targetSplit_;
    // Vertices placed afresh after a split: the source's, the target's.
    std::vector<int32_t> replaced_[2];
    const MergeProgress& progress_;
    std::vector<Crossing> crossings_;
    // What the walk met inside each source arc, in order: crossing k as k,
    // target vertex v as ~v; arc a's from walked_[walkedFirst_[a]].
    std::vector<int32_t> walked_;
    std::vector<int32_t> walkedFirst_;
    std::vector<int32_t> met_;  // scratch of the walk along one arc
    std::vector<bool> used_[2];
    std::vector<Location> sourceOnTarget_;
    std::vector<Location> targetOnSource_;
    std::vector<int32_t> targetVertex_;  // merged index of each target vertex
    std::vector<Vec3> targetDirection_;
    int32_t vertexCount_ = 0;
    int32_t crossingBase_ = 0;
    // Crossings and vertices inside arc a: onArc_[arcFirst_[a]] up to
    // onArc_[arcFirst_[a + 1]], in order along it once cut.
    std::vector<int32_t> arcFirst_;
    std::vector<int32_t> onArc_;
    // Spokes of vertex v: spokes_[firstSpoke_[v]] up to spokes_[firstSpoke_[v + 1]].
    std::vector<int32_t> firstSpoke_;
    std::vector<Spoke> spokes_;
    std::vector<int32_t> compact_;  // kept number of each merged vertex, or -1
    int32_t keptCount_ = 0;
    struct Along {
        int32_t vertex;
        double t;
        double error;
    };
    std::vector<Along> along_;  // scratch of the sort along an arc
    std::vector<Vec3> towards_;  // scratch of the angular sort
    std::vector<int> quarters_;
};

}  // namespace

MeshMergeResult MergeMeshes(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress)
{
    if (progress) progress("validating", 0.0);
    for (const auto& [model, name] : {std::pair{&source, "source"}, std::pair{&target, "target"}}) {
        const std::string problem = ValidateStarShaped(*model);
        if (!problem.empty()) {
            MeshMergeResult refused;
            refused.error = std::string(name) + " mesh refused: " + problem;
            return refused;
        }
    }
    return Overlay(source, target, progress).Run();
}

}  // namespace vorlane
