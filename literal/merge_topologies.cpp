#include "literal/merge_topologies.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <utility>
#include <vector>

#include "literal/arc_intersection.h"
#include "literal/edge_list.h"
#include "literal/merge_topologies_internal.h"
#include "literal/rebuild_faces.h"
#include "literal/surface_mapping.h"

namespace vorlane {
namespace {

// The buffer the edge container fills per crossed edge: three elements for
// the edge and the count, the rest for crossing numbers.
constexpr int32_t CrossingBufferSize = 32;

// Where no triangle answers (a model that does not surround its centre), the
// point is the model's own centre, so all such vertices fold into one.
Vec3 SurfacePoint(const Polyhedron& model, const Vec3& spherePoint)
{
    Vec3 out = SphereCentre;
    MapToSurface(model, spherePoint, out);
    return out;
}

void AddCrossing(const Polyhedron& source, const Polyhedron& target, MergeScratch& sourceScratch,
                 MergeScratch& targetScratch, int32_t sourceEdge, const Vec3& point)
{
    const int32_t k = sourceScratch.crossingCount;
    sourceScratch.crossingVertices.push_back(SurfacePoint(source, point));
    InsertList(source.edges[static_cast<size_t>(sourceEdge)], k);
    targetScratch.crossingVertices.push_back(SurfacePoint(target, point));
    ++sourceScratch.crossingCount;
    ++targetScratch.crossingCount;
}

float AxisCoordinate(const Vec3& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// Orders the crossings of edge (lower, higher) along it and appends its pieces.
void CutEdge(const Polyhedron& model, MergeScratch& scratch, int32_t lower, int32_t higher,
             std::vector<CrossingKey>& keys)
{
    const Vec3& a = model.vertices[static_cast<size_t>(lower)];
    const Vec3& b = model.vertices[static_cast<size_t>(higher)];
    const int axis = b.x != a.x ? 0 : b.y != a.y ? 1 : 2;
    const float direction = AxisCoordinate(b, axis) - AxisCoordinate(a, axis);
    for (CrossingKey& key : keys) {
        key.key = AxisCoordinate(scratch.crossingVertices[static_cast<size_t>(key.crossing)], axis);
    }
    const int32_t m = static_cast<int32_t>(keys.size());
    OrderAlongEdge(keys.data(), m, direction);
    scratch.endSegments.push_back({lower, keys.front().crossing});
    for (int32_t t = 0; t + 1 < m; ++t) {
        scratch.innerSegments.push_back({keys[static_cast<size_t>(t)].crossing, keys[static_cast<size_t>(t) + 1].crossing});
    }
    scratch.endSegments.push_back({higher, keys.back().crossing});
}

void SyncSegmentCounts(MergeScratch& scratch)
{
    scratch.intactEdgeCount = static_cast<int32_t>(scratch.intactEdges.size());
    scratch.endSegmentCount = static_cast<int32_t>(scratch.endSegments.size());
    scratch.innerSegmentCount = static_cast<int32_t>(scratch.innerSegments.size());
}

void SplitAllEdges(const Polyhedron& model, MergeScratch& scratch)
{
    // Room for every crossing of the merge on one edge, so nothing is ever cut off.
    const int32_t size = std::max(CrossingBufferSize, scratch.crossingCount + 4);
    std::vector<int32_t> buffer(static_cast<size_t>(size));
    std::vector<CrossingKey> keys;
    size_t cursor = 0;
    while (GetNextAdded(buffer.data(), size)) {
        const IndexPair crossed{buffer[static_cast<size_t>(size) - 3], buffer[static_cast<size_t>(size) - 2]};
        const int32_t m = buffer[static_cast<size_t>(size) - 1];
        while (cursor < model.edges.size() && model.edges[cursor] != crossed) {
            scratch.intactEdges.push_back(model.edges[cursor++]);
        }
        assert(cursor < model.edges.size() && "a crossed edge that the model does not have");
        ++cursor;
        keys.assign(static_cast<size_t>(m), CrossingKey{});
        for (int32_t t = 0; t < m; ++t) keys[static_cast<size_t>(t)].crossing = buffer[static_cast<size_t>(t)];
        CutEdge(model, scratch, crossed.from, crossed.to, keys);
    }
    while (cursor < model.edges.size()) scratch.intactEdges.push_back(model.edges[cursor++]);
}

void MapVertices(const Polyhedron& onto, MergeScratch& scratch, const Polyhedron& from)
{
    scratch.mappedCount = from.vertexCount();
    scratch.mappedVertices.resize(static_cast<size_t>(from.vertexCount()));
    for (int32_t i = 0; i < from.vertexCount(); ++i) {
        scratch.mappedVertices[static_cast<size_t>(i)] = SurfacePoint(onto, from.spherePoints[static_cast<size_t>(i)]);
    }
}

// The merged-index offsets of one model's pieces: its own vertices and the crossings.
void AppendPieces(const MergeScratch& scratch, int32_t vertexOffset, int32_t crossingOffset,
                  std::vector<IndexPair>& edges)
{
    for (const IndexPair& e : scratch.intactEdges) edges.push_back({e.from + vertexOffset, e.to + vertexOffset});
    for (const IndexPair& e : scratch.endSegments) edges.push_back({e.from + vertexOffset, e.to + crossingOffset});
    for (const IndexPair& e : scratch.innerSegments) edges.push_back({e.from + crossingOffset, e.to + crossingOffset});
}

}  // namespace

void OrderAlongEdge(CrossingKey* keys, int32_t count, float direction)
{
    const bool ascending = direction > 0.0f;
    for (int32_t i = 0; i + 1 < count; ++i) {
        for (int32_t j = i + 1; j < count; ++j) {
            if (ascending ? keys[i].key > keys[j].key : keys[i].key < keys[j].key) std::swap(keys[i], keys[j]);
        }
    }
}

void SplitEdges(const Polyhedron& model, MergeScratch& scratch, int32_t lower, int32_t higher, int32_t first,
                int32_t end)
{
    if (lower < 0) {
        SplitAllEdges(model, scratch);
    } else if (first == end) {
        scratch.intactEdges.push_back({lower, higher});
    } else {
        std::vector<CrossingKey> keys(static_cast<size_t>(end - first));
        for (int32_t t = 0; t < end - first; ++t) keys[static_cast<size_t>(t)].crossing = first + t;
        CutEdge(model, scratch, lower, higher, keys);
    }
    SyncSegmentCounts(scratch);
}

int32_t CountFoldedVertices(const MorphMesh& mesh)
{
    std::vector<std::array<int32_t, 3>> cells;
    cells.reserve(mesh.endPositions.size());
    for (const Vec3& v : mesh.endPositions) {
        cells.push_back({QuantiseCoordinate(v.x), QuantiseCoordinate(v.y), QuantiseCoordinate(v.z)});
    }
    std::sort(cells.begin(), cells.end());
    const auto distinct = std::unique(cells.begin(), cells.end()) - cells.begin();
    return mesh.vertexCount() - static_cast<int32_t>(distinct);
}

MorphMesh MergeTopologies(const Polyhedron& source, const Polyhedron& target, FaceDumps dumps)
{
    MergeScratch sourceScratch;
    MergeScratch targetScratch;
    MapVertices(source, sourceScratch, target);
    MapVertices(target, targetScratch, source);

    Vec3 p;
    Vec3 q[2];
    for (const IndexPair& targetEdge : target.edges) {
        const Arc targetArc{target.spherePoints[static_cast<size_t>(targetEdge.from)],
                            target.spherePoints[static_cast<size_t>(targetEdge.to)]};
        const int32_t before = targetScratch.crossingCount;
        for (int32_t j = 0; j < source.edgeCount(); ++j) {
            const IndexPair& sourceEdge = source.edges[static_cast<size_t>(j)];
            const Arc sourceArc{source.spherePoints[static_cast<size_t>(sourceEdge.from)],
                                source.spherePoints[static_cast<size_t>(sourceEdge.to)]};
            const int32_t result = FindArcIntersect(sourceArc, targetArc, p, q);
            if (result == 1) {
                AddCrossing(source, target, sourceScratch, targetScratch, j, p);
            } else if (result == 2) {
                AddCrossing(source, target, sourceScratch, targetScratch, j, q[0]);
                AddCrossing(source, target, sourceScratch, targetScratch, j, q[1]);
            }
        }
        SplitEdges(target, targetScratch, targetEdge.from, targetEdge.to, before, targetScratch.crossingCount);
    }
    SplitEdges(source, sourceScratch, -1, -1, -1, -1);

    const int32_t s = source.vertexCount();
    const int32_t t = target.vertexCount();
    const int32_t x = sourceScratch.crossingCount;
    MorphMesh mesh;
    mesh.source = &source;
    mesh.target = &target;
    mesh.crossingCount = x;
    mesh.startPositions.reserve(static_cast<size_t>(s + t + x));
    mesh.endPositions.reserve(static_cast<size_t>(s + t + x));
    for (int32_t i = 0; i < s; ++i) {
        mesh.startPositions.push_back(Add(source.vertices[static_cast<size_t>(i)], source.centre));
        mesh.endPositions.push_back(Add(targetScratch.mappedVertices[static_cast<size_t>(i)], target.centre));
    }
    for (int32_t j = 0; j < t; ++j) {
        mesh.startPositions.push_back(Add(sourceScratch.mappedVertices[static_cast<size_t>(j)], source.centre));
        mesh.endPositions.push_back(Add(target.vertices[static_cast<size_t>(j)], target.centre));
    }
    for (int32_t k = 0; k < x; ++k) {
        mesh.startPositions.push_back(Add(sourceScratch.crossingVertices[static_cast<size_t>(k)], source.centre));
        mesh.endPositions.push_back(Add(targetScratch.crossingVertices[static_cast<size_t>(k)], target.centre));
    }

    std::vector<IndexPair> provisional;
    provisional.reserve(sourceScratch.intactEdges.size() + sourceScratch.endSegments.size() +
                        sourceScratch.innerSegments.size() + targetScratch.intactEdges.size() +
                        targetScratch.endSegments.size() + targetScratch.innerSegments.size());
    AppendPieces(sourceScratch, 0, s + t, provisional);
    AppendPieces(targetScratch, s, s + t, provisional);
    mesh.centre = SphereCentre;

    // Vertices whose end positions share a 1/1000 cell become the earliest of them.
    for (int32_t r = 0; r < mesh.vertexCount(); ++r) {
        const int32_t h = InsertList(mesh.endPositions[static_cast<size_t>(r)], r);
        if (h == -1) continue;
        for (IndexPair& e : provisional) {
            if (e.from == r) {
                e.from = h;
            } else if (e.to == r) {
                e.to = h;
            }
        }
    }
    CleanList();

    for (const IndexPair& e : provisional) InsertList(e, -1);
    mesh.edges.resize(static_cast<size_t>(CountList()));
    CopyList(mesh.edges.data());

    RebuildFaces(mesh, dumps);
    return mesh;
}

}  // namespace vorlane
