// The overlay inside MergeMeshes: phases that each take the records made
// before them and return one, run by MergeMeshes in the order below. Placing
// vertices (vertex_placement.cpp) and walking for crossings (crossings.cpp),
// numbering and cutting arcs into spokes (arc_cutting.cpp), sorting spokes
// round each vertex and walking faces (face_walk.cpp), positions and
// locations on the inputs (positions.cpp, input_locations.cpp).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "robust/arc_split.h"
#include "robust/arc_walk.h"
#include "robust/merge_meshes.h"

namespace vorlane {

// How one merge runs: whom it tells how far it is, on how many threads,
// and whether it keeps the faces before triangulation.
struct OverlayRun {
    const Progress& progress;
    int threads = 1;
    bool keepPolygons = true;

    void Report(const char* phase, double fraction) const
    {
        if (progress) progress(phase, fraction);
    }
};

// The two models as the walks see them. Placing vertices may snap target
// directions and split arcs of either; every later phase only reads them.
// Not copied nor moved: the walk meshes point at the tables kept here.
struct OverlayMeshes {
    OverlayMeshes(const Polyhedron& sourceModel, const Polyhedron& targetModel, const OverlayRun& run);
    OverlayMeshes(const OverlayMeshes&) = delete;
    OverlayMeshes& operator=(const OverlayMeshes&) = delete;

    const Polyhedron& sourceModel;
    const Polyhedron& targetModel;
    WalkMesh source;
    WalkMesh target;
    std::vector<Vec3> snapped;  // the target's directions, once one is snapped
    SplitMesh sourceSplit;      // the models with arcs split, once one is
    SplitMesh targetSplit;
    std::vector<int32_t> origin[2];  // by walk triangle of each side, its input triangle once split

    // Arcs are numbered globally: the source's, then the target's.
    int32_t SourceArcCount() const { return static_cast<int32_t>(source.arcs.size()); }
    int32_t ArcCount() const { return static_cast<int32_t>(source.arcs.size() + target.arcs.size()); }
    const WalkMesh& SideOf(int32_t globalArc) const { return globalArc < SourceArcCount() ? source : target; }
    const IndexPair& ArcOf(int32_t globalArc) const
    {
        const int32_t n = SourceArcCount();
        return globalArc < n ? source.arcs[static_cast<size_t>(globalArc)] : target.arcs[static_cast<size_t>(globalArc - n)];
    }
    // The input triangle that triangle t of side's walk mesh lies in (side
    // 0 the source, 1 the target).
    int32_t InputTriangle(int side, int32_t t) const { return origin[side].empty() ? t : origin[side][static_cast<size_t>(t)]; }
};

// Where each model's vertices lie on the other's network.
struct VertexPlaces {
    std::vector<bool> used[2];  // by vertex of the source, the target: in a triangle
    std::vector<Location> sourceOnTarget;
    std::vector<Location> targetOnSource;
};

// Places every vertex of each model on the other's network. On the way a
// target vertex within NearAngle of a source vertex takes its direction,
// and arcs passing as near a vertex of the other model are split there
// (vertex_placement.cpp says how); both change meshes.
VertexPlaces PlaceVertices(OverlayMeshes& meshes, const OverlayRun& run);

// A crossing of source arc a -> b with target arc c -> d inside both.
// Touching at an end or running along one circle is no crossing: it shows
// up as a vertex lying on the other model's network instead.
struct Crossing {
    int32_t sourceArc;
    int32_t targetArc;
    bool targetEndOnLeft;  // d lies to the left of a -> b (else c does)
};

struct ArcCrossings {
    std::vector<Crossing> crossings;
    // What the walk met inside each source arc, in order: crossing k as k,
    // target vertex v as ~v; arc a's from walked[walkedFirst[a]].
    std::vector<int32_t> walked;
    std::vector<int32_t> walkedFirst;
};

// Walks every source arc across the target's triangles from where its first
// end lies to where its last end does: the sides it leaves through are its
// crossings, found once each and in order along it.
ArcCrossings FindCrossings(const OverlayMeshes& meshes, const VertexPlaces& places, const OverlayRun& run);

// Merged vertices: the source's, then target vertices that coincide with
// none of them, then the crossings.
struct MergedVertices {
    std::vector<int32_t> targetVertex;  // merged index of each target vertex
    std::vector<Vec3> targetDirection;  // by merged vertex below crossingBase from the target alone
    int32_t count = 0;
    int32_t crossingBase = 0;
};

MergedVertices NumberVertices(const OverlayMeshes& meshes, const VertexPlaces& places, const ArcCrossings& crossings);

inline const Vec3& DirectionOf(const OverlayMeshes& meshes, const MergedVertices& merged, int32_t vertex)
{
    if (vertex < static_cast<int32_t>(meshes.source.model->vertices.size())) return meshes.source.Point(vertex);
    return merged.targetDirection[static_cast<size_t>(vertex)];
}

// A merged edge seen from one of its ends: the vertex at its far end, and
// the arc it lies on as a ray, 2 arc running along the arc and 2 arc + 1
// against it (source arcs first, then target).
struct Spoke {
    int32_t to;
    int32_t ray;
};

// Spokes of vertex v: spokes[first[v]] up to spokes[first[v + 1]], in order
// of making, which fixes where the angular sort starts; around a crossing,
// in the order its signs fixed instead.
struct SpokeTable {
    std::vector<int32_t> first;
    std::vector<Spoke> spokes;
};

// Cuts every arc at the crossings and vertices on it, in order along it,
// and lists each piece as a spoke at both of its ends. What the walks met
// (crossings' walked and walkedFirst) is given back on the way.
SpokeTable CutArcs(const OverlayMeshes& meshes, const VertexPlaces& places, ArcCrossings& crossings, const MergedVertices& merged,
                   const OverlayRun& run);

// Each merged vertex's neighbours counter-clockwise seen from outside,
// repeats along shared circles removed: vertex v's are around[first[v]] up
// to around[first[v + 1]].
struct Rings {
    std::vector<int32_t> first;
    std::vector<int32_t> around;
    // For each vertex of more than FanSearchDegree neighbours, its entries'
    // indices ordered by neighbour, so that turning there is a search, not
    // a scan; empty when no vertex is so wide.
    std::vector<int32_t> byNeighbour;
    std::vector<int32_t> compact;  // kept number of each merged vertex, or -1
    int32_t keptCount = 0;
    // The vertices before half have half the entries, and edgesBeforeHalf
    // edges run up from them.
    size_t half = 0;
    size_t edgesBeforeHalf = 0;

    int32_t VertexCount() const { return static_cast<int32_t>(first.size()) - 1; }

    // At vertex v, the entry just before the one back to from in
    // counter-clockwise order: the next side of the face on the left.
    int32_t TurnLeft(int32_t v, int32_t from) const
    {
        const int32_t begin = first[static_cast<size_t>(v)];
        const int32_t end = first[static_cast<size_t>(v) + 1];
        int32_t back = begin;
        while (around[static_cast<size_t>(back)] != from) ++back;
        assert(back < end);
        return back == begin ? end - 1 : back - 1;
    }

    // TurnLeft where v may have more than FanSearchDegree neighbours.
    int32_t TurnLeftWide(int32_t v, int32_t from) const
    {
        const int32_t begin = first[static_cast<size_t>(v)];
        const int32_t end = first[static_cast<size_t>(v) + 1];
        if (end - begin <= FanSearchDegree) return TurnLeft(v, from);
        const int32_t back = SpokeTo(begin, end, from);
        return back == begin ? end - 1 : back - 1;
    }

    // The entry to neighbour to among entries begin..end of a wide vertex.
    int32_t SpokeTo(int32_t begin, int32_t end, int32_t to) const;
};

// Sorts each vertex's spokes round it and numbers the vertices edges reach;
// spokes is given back.
Rings SortAroundVertices(SpokeTable& spokes, const OverlayMeshes& meshes, const MergedVertices& merged, const OverlayRun& run);

// The face to the left of each entry of rings, in order of its first
// entry, in kept numbering: result's triangles, and its polygons if kept.
void WalkFaces(const Rings& rings, const OverlayRun& run, MeshMergeResult& result);

// The rest of result's mesh: edges, positions on both surfaces and where
// its vertices lie on each input. rings' tables are given back before the
// positions are made.
void Assemble(Rings& rings, const OverlayMeshes& meshes, const VertexPlaces& places, const ArcCrossings& crossings,
              const MergedVertices& merged, const OverlayRun& run, MeshMergeResult& result);

// Where on side's input (0 the source, 1 the target) lie its walk mesh's
// vertex v, a point in direction p inside its arc, or a point in direction
// p at where (input_locations.cpp).
SurfaceLocation OwnLocation(const OverlayMeshes& meshes, int side, int32_t v, const D3& p);
SurfaceLocation ArcLocation(const OverlayMeshes& meshes, int side, int32_t arc, const D3& p);
SurfaceLocation LocationOn(const OverlayMeshes& meshes, int side, const Location& where, const D3& p);

}  // namespace vorlane
