// The overlay inside MergeMeshes, one phase a file: vertex placement and
// crossings (vertex_placement.cpp), arcs cut at their points and spokes
// (arc_cutting.cpp), the face walk and positions (face_walk.cpp), and the
// driver (merge_meshes.cpp). Small lookups the phases share stay inline here.
#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/exact_predicates.h"
#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "robust/arc_split.h"
#include "robust/arc_walk.h"
#include "robust/merge_meshes.h"

namespace vorlane {

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

class Overlay {
public:
    Overlay(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress, int threads, Polygons polygons);

    MeshMergeResult Run();

private:
    void Report(const char* phase, double fraction) const
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
    void FindCrossings();

    // What the walks along some source arcs met, numbered as if they were
    // the first. Aligned: two walks' tables side by side on one stack would
    // share the cache line their every push writes.
    struct alignas(64) ArcWalks {
        std::vector<Crossing> crossings;
        std::vector<int32_t> walked;
        std::vector<int32_t> first;
        std::vector<int32_t> met;  // scratch of one walk
    };

    // Walks source arcs begin up to end; reports progress as a share of
    // reportOf arcs, unless 0.
    void WalkSourceArcs(int32_t begin, int32_t end, ArcWalks& out, double reportOf) const;

    // The crossings and target vertices met inside one source arc, in order
    // along it; where its ends lie is known by now.
    void WalkSourceArc(int32_t arc, ArcWalks& out) const;

    // Every vertex of each model finds its place on the other's network.
    void LocateVertices();

    // A vertex within NearAngle of an arc of the other model, inside one of
    // the arc's triangles, becomes a vertex of that model inside the arc.
    // After the first round only the vertices placed afresh are looked at:
    // no other lies in a triangle that changed.
    bool SplitNearArcs(bool firstRound);

    // The splits of over's arcs at the vertices of from near them (all, or
    // those listed in only).
    static std::vector<ArcSplit> NearArcs(const WalkMesh& from, const std::vector<bool>& used, const std::vector<Location>& where,
                                          const WalkMesh& over, const std::vector<int32_t>* only);

    // Replaces mesh, which may already read from kept, by its split. As its
    // arcs are numbered afresh, the places on it that lie on arcs (on) are
    // kept by their ends in arcEnds. origin maps mesh's triangles to its
    // input's (empty: the same) and follows the split. Reads on, writes
    // nothing of the other mesh: the two meshes split at once.
    static bool Split(WalkMesh& mesh, std::vector<ArcSplit> splits, SplitMesh& kept, const std::vector<Location>& on,
                      std::vector<IndexPair>& arcEnds, std::vector<int32_t>& origin);
    // Then the places on mesh that its split changed are forgotten (on,
    // listed in onReplaced), and so are those of its new vertices (own,
    // used, ownReplaced), for the walks to find again.
    static void ForgetChanged(const WalkMesh& mesh, const SplitMesh& kept, const std::vector<IndexPair>& arcEnds, std::vector<Location>& on,
                              std::vector<int32_t>& onReplaced, std::vector<Location>& own, std::vector<bool>& used, std::vector<int32_t>& ownReplaced);

    // Two meshes of one shape rarely give their shared vertices the same
    // direction to the last bit, and the exact overlay would keep each such
    // pair apart with slivers far thinner than a float step. So a target
    // vertex within NearAngle of a source vertex's direction takes that
    // direction (it stays where it is on the target's surface), one target
    // vertex per source vertex, and only where every triangle around it
    // still faces its centre. Each move is linear and keeps its triangles
    // facing, so the target stays star-shaped.
    void SnapNearVertices();

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
    void NumberVertices();

    static std::vector<bool> UsedVertices(const Polyhedron& model);

    int32_t SourceArcCount() const { return static_cast<int32_t>(source_.arcs.size()); }
    int32_t ArcCount() const { return static_cast<int32_t>(source_.arcs.size() + target_.arcs.size()); }

    // Cuts every arc at the crossings and vertices on it, in order along it,
    // and lists each piece as a spoke at both of its ends.
    void CutArcs();

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
    void GroupPointsByArc();

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

    // Usually few points per arc: insertion by parameters along the chord where
    // their bounds keep them apart, else by exact comparison.
    struct Along {
        int32_t vertex;
        double t;
        double error;
    };
    // along: scratch, one per thread.
    void SortAlongArc(int32_t arc, std::vector<Along>& along);

    // Two crossings differ in their parameters by far more than the
    // rounding almost always; true when every neighbour pair does.
    bool SortedByParameter(int32_t arc, const Vec3& p, const Vec3& q, int32_t* points, int32_t n, std::vector<Along>& along_) const;

    int32_t MergedVertex(int32_t arc, int32_t v) const
    {
        return arc < SourceArcCount() ? v : targetVertex_[static_cast<size_t>(v)];
    }

    // An arc's ends get a spoke each, a point inside it two. Returns, by
    // vertex, where its spokes from target arcs start.
    std::vector<int32_t> CountSpokes();

    // Spokes of a vertex in order of making, which fixes where the angular
    // sort starts; around a crossing, in the order its signs fixed instead.
    // The source's arcs make theirs before the target's, so the two models
    // fill their spokes at once, the target's from targetFirst.
    void FillSpokes(std::vector<int32_t> targetFirst);

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
    void SortAroundVertices();

    // Insertion by exact comparisons: degrees are small.
    struct AngleScratch {
        std::vector<Vec3> towards;
        std::vector<int> quarters;
    };
    void SortByAngle(const Vec3& v, std::vector<Spoke>::iterator begin, std::vector<Spoke>::iterator end, AngleScratch& scratch) const;

    // At vertex v, the spoke just before the one back to from in
    // counter-clockwise order: the next side of the face on the left.
    int32_t TurnLeft(int32_t v, int32_t from) const
    {
        const int32_t begin = firstSpoke_[static_cast<size_t>(v)];
        const int32_t end = firstSpoke_[static_cast<size_t>(v) + 1];
        int32_t back = begin;
        while (around_[static_cast<size_t>(back)] != from) ++back;
        assert(back < end);
        return back == begin ? end - 1 : back - 1;
    }

    // TurnLeft where v may have more than FanSearchDegree spokes: a search
    // of them by neighbour.
    int32_t TurnLeftWide(int32_t v, int32_t from) const
    {
        const int32_t begin = firstSpoke_[static_cast<size_t>(v)];
        const int32_t end = firstSpoke_[static_cast<size_t>(v) + 1];
        if (end - begin <= FanSearchDegree) return TurnLeft(v, from);
        const int32_t back = SpokeTo(begin, end, from);
        return back == begin ? end - 1 : back - 1;
    }

    // For each vertex of more than FanSearchDegree spokes, its spokes' indices
    // ordered by neighbour, so that turning there is a search, not a scan.
    void IndexWideVertices();

    // The spoke to neighbour to among spokes begin..end of a wide vertex.
    int32_t SpokeTo(int32_t begin, int32_t end, int32_t to) const;

    // The face to the left of each spoke, in order of its first spoke;
    // indices are written in kept numbering straight away.
    void WalkFaces(MeshMergeResult& result);

    // The faces whose first spoke leaves a vertex from begin up to end.
    // Aligned as ArcWalks is.
    struct alignas(64) FaceWalks {
        std::vector<int32_t> starts;  // the end of each face in indices
        std::vector<int32_t> indices;
        std::vector<MeshFace> faces;  // triangles
    };
    // Spokes the walks have passed, each run's in its own table: no cache
    // line is written by both.
    struct WalkMarks {
        std::vector<std::atomic<uint8_t>> first;  // read by the second run
        std::vector<uint8_t> second;
    };
    void WalkFacesOf(int32_t begin, int32_t end, WalkMarks& marks, FaceWalks& out);

    // Every corner of a face is strict: it lies inside a corner of a triangle
    // of each model (both less than a half turn) or between two different
    // great circles. So a fan never makes a triangle on one great circle.
    static void Fan(const int32_t* ring, size_t n, std::vector<MeshFace>& triangles);

    void Assemble(MeshMergeResult& result);

    // Positions of the kept vertices on both surfaces, in each model's table
    // coordinates, and where they lie on each input.
    void PlacePositions(MorphMesh& mesh) const;

    // The input triangle that triangle t of side's walk mesh lies in (side
    // 0 the source, 1 the target).
    int32_t InputTriangle(int side, int32_t t) const
    {
        return origin_[side].empty() ? t : origin_[side][static_cast<size_t>(t)];
    }

    // Where on side's input lie its walk mesh's vertex v, a point in
    // direction p inside its arc, or a point in direction p at where.
    SurfaceLocation OwnLocation(int side, int32_t v, const D3& p) const;
    SurfaceLocation ArcLocation(int side, int32_t arc, const D3& p) const;
    SurfaceLocation LocationOn(int side, const Location& where, const D3& p) const;

    const Polyhedron& sourceModel_;
    const Polyhedron& targetModel_;
    WalkMesh source_;
    WalkMesh target_;
    std::vector<Vec3> snapped_;  // the target's directions, once one is snapped
    SplitMesh sourceSplit_;      // the models with arcs split, once one is
    SplitMesh targetSplit_;
    // Vertices placed afresh after a split: the source's, the target's.
    std::vector<int32_t> replaced_[2];
    std::vector<int32_t> origin_[2];  // by walk triangle of each side, its input triangle once split
    const MergeProgress& progress_;
    int threads_ = 1;
    bool keepPolygons_ = true;
    std::vector<Crossing> crossings_;
    // What the walk met inside each source arc, in order: crossing k as k,
    // target vertex v as ~v; arc a's from walked_[walkedFirst_[a]].
    std::vector<int32_t> walked_;
    std::vector<int32_t> walkedFirst_;
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
    // Spokes of vertex v: spokes_[firstSpoke_[v]] up to spokes_[firstSpoke_[v + 1]];
    // once sorted, their far ends alone in around_, counter-clockwise.
    std::vector<int32_t> firstSpoke_;
    std::vector<Spoke> spokes_;
    std::vector<int32_t> around_;
    // The vertices before spokeHalf_ have half the spokes, and
    // edgesBeforeHalf_ edges run up from them.
    size_t spokeHalf_ = 0;
    size_t edgesBeforeHalf_ = 0;
    std::vector<int32_t> compact_;  // kept number of each merged vertex, or -1
    std::vector<int32_t> byNeighbour_;  // see IndexWideVertices
    int32_t keptCount_ = 0;
};

}  // namespace vorlane
