
#include <algorithm>
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

void Overlay::FindCrossings()
{
    // Two models of like density cross about once per arc; growing from
    // there copies less than growing from nothing.
    ReserveHuge(crossings_, source_.arcs.size() + target_.arcs.size());
    ReserveHuge(walked_, source_.arcs.size() + target_.arcs.size());
    walkedFirst_.reserve(source_.arcs.size() + 1);
    // Walks only read the target and where arcs start and end, once every
    // vertex is placed; then the arcs can be walked from both ends at once,
    // those from the back appended, renumbered, as if walked after. The
    // work per arc varies (an icosphere's first half of arcs took twice as
    // long as its second), so the ends meet where it is even.
    bool placed = true;
    for (size_t v = 0; v < sourceOnTarget_.size(); ++v) placed = placed && (!used_[0][v] || sourceOnTarget_[v].index >= 0);
    const bool parallel = placed && threads_ > 1;
    ArcWalks front{std::move(crossings_), std::move(walked_), std::move(walkedFirst_), {}};
    // The back's stretches, last first, one after another in back; each
    // begins where its sizes were. note: one table grown as it goes: a
    // table per stretch, or one reserved ahead, left the heap in holes that
    // raised a level-8 merge's peak by about 100 MB.
    ArcWalks back;
    struct Sizes {
        size_t crossings, walked, first;
    };
    std::vector<Sizes> stretches;
    const size_t arcs = static_cast<size_t>(SourceArcCount());
    // note: at an even split the front would end halfway.
    const double expected = parallel ? static_cast<double>(arcs) / 2 : static_cast<double>(arcs);
    FromBothEnds(parallel ? 2 : 1, arcs, 4096, [&](size_t begin, size_t end, bool fromFront) {
        if (fromFront) {
            WalkSourceArcs(static_cast<int32_t>(begin), static_cast<int32_t>(end), front, expected);
            return;
        }
        stretches.push_back({back.crossings.size(), back.walked.size(), back.first.size()});
        WalkSourceArcs(static_cast<int32_t>(begin), static_cast<int32_t>(end), back, 0.0);
    });
    stretches.push_back({back.crossings.size(), back.walked.size(), back.first.size()});
    crossings_ = std::move(front.crossings);
    walked_ = std::move(front.walked);
    walkedFirst_ = std::move(front.first);
    for (size_t k = stretches.size() - 1; k-- > 0;) {
        const Sizes& from = stretches[k];
        const Sizes& to = stretches[k + 1];
        const int32_t crossingShift = static_cast<int32_t>(crossings_.size()) - static_cast<int32_t>(from.crossings);
        const int32_t walkedShift = static_cast<int32_t>(walked_.size()) - static_cast<int32_t>(from.walked);
        crossings_.insert(crossings_.end(), back.crossings.begin() + static_cast<std::ptrdiff_t>(from.crossings),
                          back.crossings.begin() + static_cast<std::ptrdiff_t>(to.crossings));
        for (size_t i = from.walked; i < to.walked; ++i) walked_.push_back(back.walked[i] >= 0 ? back.walked[i] + crossingShift : back.walked[i]);
        for (size_t i = from.first; i < to.first; ++i) walkedFirst_.push_back(back.first[i] + walkedShift);
    }
    walkedFirst_.push_back(static_cast<int32_t>(walked_.size()));
}

void Overlay::WalkSourceArcs(int32_t begin, int32_t end, ArcWalks& out, double reportOf) const
{
    for (int32_t arc = begin; arc < end; ++arc) {
        out.first.push_back(static_cast<int32_t>(out.walked.size()));
        WalkSourceArc(arc, out);
        if (reportOf > 0.0 && (arc & 0xffff) == 0xffff) Report("crossings", std::min(1.0, arc / reportOf));
    }
}

void Overlay::WalkSourceArc(int32_t arc, ArcWalks& out) const
{
    const IndexPair& e = source_.arcs[static_cast<size_t>(arc)];
    out.met.clear();
    // note: a copy, so the walks share nothing they write; every end is placed by now.
    Location end = sourceOnTarget_[static_cast<size_t>(e.to)];
    WalkArc(target_, source_.Point(e.from), source_.Point(e.to), sourceOnTarget_[static_cast<size_t>(e.from)], end, out.met);
    for (const int32_t side : out.met) {
        if (side < 0) {
            out.walked.push_back(side);
            continue;
        }
        // The walk crosses a side from its start on the arc's right to
        // its end on the left.
        const int32_t targetArc = target_.sideArc[static_cast<size_t>(side)];
        const bool endOnLeft = target_.arcs[static_cast<size_t>(targetArc)].to == target_.Corner(WalkMesh::After(side, 1));
        out.walked.push_back(static_cast<int32_t>(out.crossings.size()));
        out.crossings.push_back({arc, targetArc, endOnLeft});
    }
}

void Overlay::LocateVertices()
{
    used_[0] = UsedVertices(*source_.model);
    used_[1] = UsedVertices(*target_.model);
    // The source's vertices are found on the target beside the target's on
    // the source; a snap moves target vertices, and then they are found
    // again on the target as it now is.
    const bool parallel = threads_ > 1;
    BothAtOnce(
        parallel, [&] { targetOnSource_ = vorlane::LocateVertices(target_, used_[1], source_); },
        [&] {
            if (parallel) sourceOnTarget_ = vorlane::LocateVertices(source_, used_[0], target_);
        });
    SnapNearVertices();
    Report("locating vertices", 0.5);
    if (!parallel || !snapped_.empty()) sourceOnTarget_ = vorlane::LocateVertices(source_, used_[0], target_);
    // The pieces of split triangles bring new arcs, which may pass as
    // near to vertices again; a few rounds settle what rounding made.
    // Each completion reads both meshes and writes its own places only.
    for (int round = 0; round < 4 && SplitNearArcs(round == 0); ++round) {
        BothAtOnce(threads_ > 1, [&] { CompleteLocations(target_, used_[1], source_, targetOnSource_); },
                   [&] { CompleteLocations(source_, used_[0], target_, sourceOnTarget_); });
    }
}

bool Overlay::SplitNearArcs(bool firstRound)
{
    std::vector<ArcSplit> inSource, inTarget;
    BothAtOnce(
        threads_ > 1, [&] { inSource = NearArcs(target_, used_[1], targetOnSource_, source_, firstRound ? nullptr : &replaced_[1]); },
        [&] { inTarget = NearArcs(source_, used_[0], sourceOnTarget_, target_, firstRound ? nullptr : &replaced_[0]); });
    replaced_[0].clear();
    replaced_[1].clear();
    // Each mesh is split and rebuilt on its own core; then the places on
    // them are mended in the order one thread would.
    bool source = false, target = false;
    std::vector<IndexPair> sourceEnds, targetEnds;
    BothAtOnce(
        threads_ > 1, [&] { source = Split(source_, std::move(inSource), sourceSplit_, targetOnSource_, sourceEnds, origin_[0]); },
        [&] { target = Split(target_, std::move(inTarget), targetSplit_, sourceOnTarget_, targetEnds, origin_[1]); });
    if (source) ForgetChanged(source_, sourceSplit_, sourceEnds, targetOnSource_, replaced_[1], sourceOnTarget_, used_[0], replaced_[0]);
    if (target) ForgetChanged(target_, targetSplit_, targetEnds, sourceOnTarget_, replaced_[0], targetOnSource_, used_[1], replaced_[1]);
    return source || target;
}

std::vector<ArcSplit> Overlay::NearArcs(const WalkMesh& from, const std::vector<bool>& used, const std::vector<Location>& where,
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

bool Overlay::Split(WalkMesh& mesh, std::vector<ArcSplit> splits, SplitMesh& kept, const std::vector<Location>& on,
                    std::vector<IndexPair>& arcEnds, std::vector<int32_t>& origin)
{
    SplitMesh next;
    if (splits.empty() || !SplitArcs(mesh, std::move(splits), next)) return false;
    if (origin.empty()) {
        origin.resize(mesh.model->faces.size());
        std::iota(origin.begin(), origin.end(), 0);
    }
    origin.resize(next.parent.size());
    for (size_t t = 0; t < next.parent.size(); ++t) origin[t] = origin[static_cast<size_t>(next.parent[t])];
    arcEnds.assign(on.size(), IndexPair{});
    for (size_t v = 0; v < on.size(); ++v) {
        if (on[v].kind == Location::OnArc && on[v].index >= 0) arcEnds[v] = mesh.arcs[static_cast<size_t>(on[v].index)];
    }
    // note: the old tables go before the new are made; the two meshes
    // split at once, and each holding both raised a large merge's peak.
    mesh = WalkMesh{};
    kept = std::move(next);
    mesh = MakeWalkMesh(kept.surface);
    mesh.directions = &kept.directions;
    return true;
}

void Overlay::ForgetChanged(const WalkMesh& mesh, const SplitMesh& kept, const std::vector<IndexPair>& arcEnds, std::vector<Location>& on,
                            std::vector<int32_t>& onReplaced, std::vector<Location>& own, std::vector<bool>& used, std::vector<int32_t>& ownReplaced)
{
    // note: places appended since arcEnds was made are new vertices, not yet placed.
    for (size_t v = 0; v < on.size(); ++v) {
        Location& where = on[v];
        if (where.index < 0) continue;
        if (where.kind == Location::Inside && kept.changed[static_cast<size_t>(where.index)]) where.index = -1;
        if (where.kind == Location::OnArc) where.index = mesh.ArcIndex(arcEnds[v].from, arcEnds[v].to);
        if (where.index < 0) onReplaced.push_back(static_cast<int32_t>(v));
    }
    for (size_t v = own.size(); v < kept.directions.size(); ++v) ownReplaced.push_back(static_cast<int32_t>(v));
    own.resize(kept.directions.size());
    used.resize(kept.directions.size(), true);
}

void Overlay::SnapNearVertices()
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

}  // namespace vorlane
