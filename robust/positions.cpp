// The merged mesh's edges, its positions on both surfaces and where its
// vertices lie on each input.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "robust/overlay.h"

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

// Positions of the kept vertices on both surfaces, in each model's table
// coordinates, and where they lie on each input.
void PlacePositions(const OverlayMeshes& meshes, const VertexPlaces& places, const ArcCrossings& crossings, const MergedVertices& merged,
                    const std::vector<int32_t>& compact, int32_t keptCount, const OverlayRun& run, MorphMesh& mesh)
{
    const WalkMesh& source = meshes.source;
    const WalkMesh& target = meshes.target;
    for (std::vector<Vec3>* positions : {&mesh.startPositions, &mesh.endPositions}) {
        ReserveHuge(*positions, static_cast<size_t>(keptCount), run.threads);
        positions->resize(static_cast<size_t>(keptCount));
    }
    for (std::vector<SurfaceLocation>* locations : {&mesh.startLocations, &mesh.endLocations}) {
        ReserveHuge(*locations, static_cast<size_t>(keptCount), run.threads);
        locations->resize(static_cast<size_t>(keptCount));
    }
    auto place = [&](int32_t v, const Vec3& start, const Vec3& end, const SurfaceLocation& onSource, const SurfaceLocation& onTarget) {
        const size_t kept = static_cast<size_t>(compact[static_cast<size_t>(v)]);
        mesh.startPositions[kept] = Add(start, source.model->centre);
        mesh.endPositions[kept] = Add(end, target.model->centre);
        mesh.startLocations[kept] = onSource;
        mesh.endLocations[kept] = onTarget;
    };
    // Every merged vertex has its own slot: each loop is taken from both ends.
    const int32_t s = static_cast<int32_t>(source.model->vertices.size());
    FromBothEnds(run.threads, static_cast<size_t>(s), 4096, [&](size_t begin, size_t end, bool) {
        for (int32_t v = static_cast<int32_t>(begin); v < static_cast<int32_t>(end); ++v) {
            if (compact[static_cast<size_t>(v)] < 0) continue;
            const Location& where = places.sourceOnTarget[static_cast<size_t>(v)];
            const D3 p = ToD(source.Point(v));
            place(v, source.Surface(v), SurfacePoint(target, where, source.Point(v)), OwnLocation(meshes, 0, v, p),
                  LocationOn(meshes, 1, where, p));
        }
    });
    FromBothEnds(run.threads, merged.targetVertex.size(), 4096, [&](size_t begin, size_t end, bool) {
        for (size_t v = begin; v < end; ++v) {
            const int32_t at = merged.targetVertex[v];
            if (at < s || compact[static_cast<size_t>(at)] < 0) continue;  // unused, or one with a source vertex
            const Vec3& p = target.Point(static_cast<int32_t>(v));
            const Location& where = places.targetOnSource[v];
            place(at, SurfacePoint(source, where, p), target.Surface(static_cast<int32_t>(v)), LocationOn(meshes, 0, where, ToD(p)),
                  OwnLocation(meshes, 1, static_cast<int32_t>(v), ToD(p)));
        }
    });
    FromBothEnds(run.threads, crossings.crossings.size(), 4096, [&](size_t begin, size_t end, bool) {
        for (size_t k = begin; k < end; ++k) {
            const int32_t vertex = merged.crossingBase + static_cast<int32_t>(k);
            if (compact[static_cast<size_t>(vertex)] < 0) continue;
            const Crossing& c = crossings.crossings[k];
            const IndexPair& a = source.arcs[static_cast<size_t>(c.sourceArc)];
            const IndexPair& b = target.arcs[static_cast<size_t>(c.targetArc)];
            const D3 na = Cross(ToD(source.Point(a.from)), ToD(source.Point(a.to)));
            const D3 nb = Cross(ToD(target.Point(b.from)), ToD(target.Point(b.to)));
            D3 direction = Cross(na, nb);
            if (Dot(direction, ToD(source.Point(a.from))) + Dot(direction, ToD(source.Point(a.to))) < 0) {
                direction = {-direction.x, -direction.y, -direction.z};
            }
            // The direction unrounded: a crossing can lie closer to a vertex
            // than a float step, and rounding it first could put it past.
            place(vertex, source.SurfaceOnEdge(a.from, a.to, direction), target.SurfaceOnEdge(b.from, b.to, direction),
                  ArcLocation(meshes, 0, c.sourceArc, direction), ArcLocation(meshes, 1, c.targetArc, direction));
        }
    });
}

}  // namespace

void Assemble(Rings& rings, const OverlayMeshes& meshes, const VertexPlaces& places, const ArcCrossings& crossings,
              const MergedVertices& merged, const OverlayRun& run, MeshMergeResult& result)
{
    MorphMesh& mesh = result.mesh;
    const int32_t vertexCount = rings.VertexCount();
    // Spokes are grouped by ascending vertex and compacting keeps the
    // order, so only each vertex's few neighbours need sorting. Each half
    // of the spokes lists its edges into its own part of the table.
    ReserveHuge(mesh.edges, rings.around.size() / 2, run.threads);
    mesh.edges.resize(rings.around.size() / 2);
    InTwoHalves(run.threads, static_cast<size_t>(vertexCount), rings.half, [&](size_t from, size_t to) {
        IndexPair* edges = mesh.edges.data();
        size_t at = from == 0 ? 0 : rings.edgesBeforeHalf;
        for (int32_t v = static_cast<int32_t>(from); v < static_cast<int32_t>(to); ++v) {
            const size_t begin = at;
            for (int32_t i = rings.first[static_cast<size_t>(v)]; i < rings.first[static_cast<size_t>(v) + 1]; ++i) {
                const int32_t far = rings.around[static_cast<size_t>(i)];
                if (v < far) edges[at++] = {rings.compact[static_cast<size_t>(v)], rings.compact[static_cast<size_t>(far)]};
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
        assert(at == (from == 0 ? rings.edgesBeforeHalf : mesh.edges.size()));
    });
    // note: the spokes are the largest table left; gone before positions
    // and locations are made, they lower the peak by their size.
    Release(rings.around);
    Release(rings.first);
    PlacePositions(meshes, places, crossings, merged, rings.compact, rings.keptCount, run, mesh);
    mesh.centre = SphereCentre;
    mesh.source = &meshes.sourceModel;
    mesh.target = &meshes.targetModel;
    mesh.crossingCount = static_cast<int32_t>(crossings.crossings.size());
}

}  // namespace vorlane
