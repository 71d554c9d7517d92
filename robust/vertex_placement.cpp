// Where each model's vertices lie on the other's network, and the near
// misses mended on the way: snapped directions and arcs split at vertices.
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

std::vector<bool> UsedVertices(const Polyhedron& model)
{
    std::vector<bool> used(model.vertices.size(), false);
    for (const Triangle& f : model.faces) {
        for (int32_t v : f) used[static_cast<size_t>(v)] = true;
    }
    return used;
}

// The splits of over's arcs at the vertices of from near them (all, or
// those listed in only).
std::vector<ArcSplit> NearArcs(const WalkMesh& from, const std::vector<bool>& used, const std::vector<Location>& where,
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

// Replaces mesh, which may already read from kept, by its split. As its
// arcs are numbered afresh, the places on it that lie on arcs (on) are
// kept by their ends in arcEnds. origin maps mesh's triangles to its
// input's (empty: the same) and follows the split. Reads on, writes
// nothing of the other mesh: the two meshes split at once.
bool Split(WalkMesh& mesh, std::vector<ArcSplit> splits, SplitMesh& kept, const std::vector<Location>& on, std::vector<IndexPair>& arcEnds,
           std::vector<int32_t>& origin)
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

// Then the places on mesh that its split changed are forgotten (on,
// listed in onReplaced), and so are those of its new vertices (own,
// used, ownReplaced), for the walks to find again.
void ForgetChanged(const WalkMesh& mesh, const SplitMesh& kept, const std::vector<IndexPair>& arcEnds, std::vector<Location>& on,
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

// A vertex within NearAngle of an arc of the other model, inside one of
// the arc's triangles, becomes a vertex of that model inside the arc.
// After the first round only the vertices placed afresh (replaced: the
// source's, the target's) are looked at: no other lies in a triangle that
// changed.
bool SplitNearArcs(OverlayMeshes& meshes, VertexPlaces& places, std::vector<int32_t> (&replaced)[2], bool firstRound, const OverlayRun& run)
{
    std::vector<ArcSplit> inSource, inTarget;
    BothAtOnce(
        run.threads > 1,
        [&] { inSource = NearArcs(meshes.target, places.used[1], places.targetOnSource, meshes.source, firstRound ? nullptr : &replaced[1]); },
        [&] { inTarget = NearArcs(meshes.source, places.used[0], places.sourceOnTarget, meshes.target, firstRound ? nullptr : &replaced[0]); });
    replaced[0].clear();
    replaced[1].clear();
    // Each mesh is split and rebuilt on its own core; then the places on
    // them are mended in the order one thread would.
    bool source = false, target = false;
    std::vector<IndexPair> sourceEnds, targetEnds;
    BothAtOnce(
        run.threads > 1,
        [&] { source = Split(meshes.source, std::move(inSource), meshes.sourceSplit, places.targetOnSource, sourceEnds, meshes.origin[0]); },
        [&] { target = Split(meshes.target, std::move(inTarget), meshes.targetSplit, places.sourceOnTarget, targetEnds, meshes.origin[1]); });
    if (source) {
        ForgetChanged(meshes.source, meshes.sourceSplit, sourceEnds, places.targetOnSource, replaced[1], places.sourceOnTarget, places.used[0],
                      replaced[0]);
    }
    if (target) {
        ForgetChanged(meshes.target, meshes.targetSplit, targetEnds, places.sourceOnTarget, replaced[0], places.targetOnSource, places.used[1],
                      replaced[1]);
    }
    return source || target;
}

// Whether every target triangle around vertex v faces the centre with v
// turned to direction d.
bool StillFacing(const WalkMesh& target, int32_t v, const Vec3& d)
{
    const int32_t first = target.corner[static_cast<size_t>(v)];
    int32_t side = first;
    do {
        const Vec3& b = target.Point(target.Corner(WalkMesh::After(side, 1)));
        const Vec3& c = target.Point(target.Corner(WalkMesh::After(side, 2)));
        if (Orient3(d, b, c) <= 0) return false;
        side = target.across[static_cast<size_t>(WalkMesh::After(side, 2))];
    } while (side != first);
    return true;
}

// Two meshes of one shape rarely give their shared vertices the same
// direction to the last bit, and the exact overlay would keep each such
// pair apart with slivers far thinner than a float step. So a target
// vertex within NearAngle of a source vertex's direction takes that
// direction (it stays where it is on the target's surface), one target
// vertex per source vertex, and only where every triangle around it
// still faces its centre. Each move is linear and keeps its triangles
// facing, so the target's map stays valid. The other directions are kept
// as the target's map (or a landmark turn) made them.
void SnapNearVertices(OverlayMeshes& meshes, VertexPlaces& places)
{
    const WalkMesh& source = meshes.source;
    WalkMesh& target = meshes.target;
    std::vector<bool> taken(source.model->vertices.size(), false);
    for (const Location& where : places.targetOnSource) {
        if (where.kind == Location::AtVertex) taken[static_cast<size_t>(where.index)] = true;
    }
    for (size_t v = 0; v < places.targetOnSource.size(); ++v) {
        Location& where = places.targetOnSource[v];
        if (!places.used[1][v] || where.kind == Location::AtVertex) continue;
        int32_t candidates[3];
        int count = 0;
        if (where.kind == Location::OnArc) {
            const IndexPair& arc = source.arcs[static_cast<size_t>(where.index)];
            candidates[count++] = arc.from;
            candidates[count++] = arc.to;
        } else {
            for (int32_t corner : source.model->faces[static_cast<size_t>(where.index)]) candidates[count++] = corner;
        }
        const D3 p = ToD(target.Point(static_cast<int32_t>(v)));
        int32_t nearest = -1;
        double best = NearAngle * NearAngle;
        for (int i = 0; i < count; ++i) {
            if (taken[static_cast<size_t>(candidates[i])]) continue;
            const D3 u = ToD(source.Point(candidates[i]));
            const D3 c = Cross(u, p);
            const double sine2 = Dot(c, c) / (Dot(u, u) * Dot(p, p));
            if (Dot(u, p) > 0.0 && sine2 <= best && (nearest < 0 || sine2 < best)) {
                nearest = candidates[i];
                best = sine2;
            }
        }
        if (nearest < 0 || !StillFacing(target, static_cast<int32_t>(v), source.Point(nearest))) continue;
        if (meshes.snapped.empty()) {
            meshes.snapped = *target.directions;
            target.directions = &meshes.snapped;
        }
        meshes.snapped[v] = source.Point(nearest);
        taken[static_cast<size_t>(nearest)] = true;
        where = {Location::AtVertex, nearest};
    }
}

}  // namespace

VertexPlaces PlaceVertices(OverlayMeshes& meshes, const OverlayRun& run)
{
    VertexPlaces places;
    places.used[0] = UsedVertices(*meshes.source.model);
    places.used[1] = UsedVertices(*meshes.target.model);
    // The source's vertices are found on the target beside the target's on
    // the source; a snap moves target vertices, and then they are found
    // again on the target as it now is.
    const bool parallel = run.threads > 1;
    BothAtOnce(
        parallel, [&] { places.targetOnSource = LocateVertices(meshes.target, places.used[1], meshes.source); },
        [&] {
            if (parallel) places.sourceOnTarget = LocateVertices(meshes.source, places.used[0], meshes.target);
        });
    SnapNearVertices(meshes, places);
    run.Report("locating vertices", 0.5);
    if (!parallel || !meshes.snapped.empty()) places.sourceOnTarget = LocateVertices(meshes.source, places.used[0], meshes.target);
    // The pieces of split triangles bring new arcs, which may pass as
    // near to vertices again; a few rounds settle what rounding made.
    // Each completion reads both meshes and writes its own places only.
    std::vector<int32_t> replaced[2];  // vertices placed afresh after a split: the source's, the target's
    for (int round = 0; round < 4 && SplitNearArcs(meshes, places, replaced, round == 0, run); ++round) {
        BothAtOnce(
            run.threads > 1, [&] { CompleteLocations(meshes.target, places.used[1], meshes.source, places.targetOnSource); },
            [&] { CompleteLocations(meshes.source, places.used[0], meshes.target, places.sourceOnTarget); });
    }
    return places;
}

}  // namespace vorlane
