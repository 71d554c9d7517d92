#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/mesh_generator.h"
#include "geometry/model_catalogue.h"
#include "literal/merge_topologies.h"
#include "robust/merge_meshes.h"
#include "test_support.h"

namespace vorlane {
namespace {

// Two vertices are the same when both positions agree within the merge's
// grain of 1/1000 (cells alone would split values that straddle a cell edge).
bool SamePlace(const MorphMesh& a, int32_t u, const MorphMesh& b, int32_t v)
{
    auto near = [](const Vec3& p, const Vec3& q) {
        return std::fabs(p.x - q.x) <= 1e-3f && std::fabs(p.y - q.y) <= 1e-3f && std::fabs(p.z - q.z) <= 1e-3f;
    };
    return near(a.startPositions[static_cast<size_t>(u)], b.startPositions[static_cast<size_t>(v)]) &&
           near(a.endPositions[static_cast<size_t>(u)], b.endPositions[static_cast<size_t>(v)]);
}

std::set<int32_t> UsedVertices(const MorphMesh& mesh)
{
    std::set<int32_t> used;
    for (const IndexPair& e : mesh.edges) used.insert({e.from, e.to});
    return used;
}

std::vector<int32_t> Canonical(std::vector<int32_t> ring)
{
    std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
    return ring;
}

// Expects the robust network to be the original one vertex for vertex,
// edge for edge and polygon for polygon.
void ExpectSameNetwork(const MorphMesh& original, const std::vector<std::vector<int32_t>>& originalPolygons,
                       const MorphMesh& robust, const std::vector<std::vector<int32_t>>& robustPolygons)
{
    const std::set<int32_t> used = UsedVertices(original);
    ASSERT_EQ(UsedVertices(robust).size(), used.size());
    std::map<int32_t, int32_t> match;  // robust vertex -> original vertex
    for (int32_t v : UsedVertices(robust)) {
        for (int32_t u : used) {
            if (SamePlace(robust, v, original, u)) {
                EXPECT_EQ(match.count(v), 0u) << "two original vertices at one place";
                match[v] = u;
            }
        }
        ASSERT_EQ(match.count(v), 1u) << "robust vertex " << v << " has no original counterpart";
    }
    std::set<std::pair<int32_t, int32_t>> edges;
    for (const IndexPair& e : robust.edges) {
        const int32_t a = match[e.from], b = match[e.to];
        edges.insert({std::min(a, b), std::max(a, b)});
    }
    std::set<std::pair<int32_t, int32_t>> expectedEdges;
    for (const IndexPair& e : original.edges) expectedEdges.insert({e.from, e.to});
    EXPECT_EQ(edges, expectedEdges);
    std::set<std::vector<int32_t>> polygons;
    for (const std::vector<int32_t>& polygon : robustPolygons) {
        std::vector<int32_t> ring;
        for (int32_t v : polygon) ring.push_back(match[v]);
        polygons.insert(Canonical(ring));
    }
    std::set<std::vector<int32_t>> expectedPolygons;
    for (const std::vector<int32_t>& polygon : originalPolygons) expectedPolygons.insert(Canonical(polygon));
    EXPECT_EQ(polygons, expectedPolygons);
}

// The oriented polygons MergeTopologies wrote before triangulating.
std::vector<std::vector<int32_t>> ReadPolygons(const std::string& dump)
{
    std::vector<std::vector<int32_t>> polygons;
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line.substr(line.find(':') + 1));
        std::vector<int32_t> polygon;
        int32_t v;
        while (fields >> v) polygon.push_back(v);
        polygons.push_back(polygon);
    }
    return polygons;
}

std::vector<std::vector<int32_t>> PolygonsOf(const MeshMergeResult& result)
{
    std::vector<std::vector<int32_t>> polygons;
    for (size_t k = 0; k + 1 < result.polygonStarts.size(); ++k) {
        polygons.emplace_back(result.polygonIndices.begin() + result.polygonStarts[k], result.polygonIndices.begin() + result.polygonStarts[k + 1]);
    }
    return polygons;
}

// Differences taken in double: in float they round, and a small triangle far
// from o would look flat when it is not.
double Det(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& o)
{
    auto d = [](float p, float q) { return static_cast<double>(p) - static_cast<double>(q); };
    const double ax = d(a.x, o.x), ay = d(a.y, o.y), az = d(a.z, o.z);
    const double bx = d(b.x, o.x), by = d(b.y, o.y), bz = d(b.z, o.z);
    const double cx = d(c.x, o.x), cy = d(c.y, o.y), cz = d(c.z, o.z);
    return ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
}

double Length(const Vec3& v)
{
    return std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y + static_cast<double>(v.z) * v.z);
}

// Distance from p to the surface of model along the ray from its centre,
// by casting against every triangle.
double OffSurface(const Polyhedron& model, const Vec3& tablePoint)
{
    const double px = tablePoint.x - model.centre.x, py = tablePoint.y - model.centre.y, pz = tablePoint.z - model.centre.z;
    double best = INFINITY;
    for (const Triangle& t : model.faces) {
        const Vec3& a = model.vertices[static_cast<size_t>(t[0])];
        const Vec3& b = model.vertices[static_cast<size_t>(t[1])];
        const Vec3& c = model.vertices[static_cast<size_t>(t[2])];
        const Vec3 o{0, 0, 0};
        const Vec3 p{static_cast<float>(px), static_cast<float>(py), static_cast<float>(pz)};
        // A point on an edge may round to just outside both of its triangles.
        auto side = [&](const Vec3& u, const Vec3& w) { return Det(u, w, p, o) / (Length(u) * Length(w) * Length(p)); };
        if (side(a, b) < -1e-6 || side(b, c) < -1e-6 || side(c, a) < -1e-6) continue;
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
        const double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
        const double t0 = (nx * a.x + ny * a.y + nz * a.z) / (nx * px + ny * py + nz * pz);
        best = std::min(best, std::fabs(t0 - 1.0) * std::sqrt(px * px + py * py + pz * pz));
    }
    return best;
}

// The orientation of a triangle seen from o, scaled to the size of its corners.
double Turn(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& o)
{
    auto length = [&](const Vec3& p) { return std::hypot(p.x - o.x, p.y - o.y, p.z - o.z); };
    return Det(a, b, c, o) / (length(a) * length(b) * length(c));
}

// The contract of a merge for real meshes; counts into flatTriangles the
// triangles with no area in float positions.
void ExpectSoundMerge(const Polyhedron& source, const Polyhedron& target, const MeshMergeResult& result, int samples,
                      int* flatTriangles = nullptr)
{
    int flat = 0;
    const MorphMesh& mesh = result.mesh;
    for (size_t i = 0; i < mesh.edges.size(); ++i) {
        ASSERT_LT(mesh.edges[i].from, mesh.edges[i].to);
        if (i > 0) {
            ASSERT_TRUE(mesh.edges[i - 1] < mesh.edges[i]);
        }
    }
    std::map<std::pair<int32_t, int32_t>, int> sides;
    std::set<int32_t> used;
    for (const MeshFace& f : mesh.faces) {
        ASSERT_EQ(f.indices.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const int32_t u = f.indices[static_cast<size_t>(i)], v = f.indices[static_cast<size_t>((i + 1) % 3)];
            ++sides[{std::min(u, v), std::max(u, v)}];
            used.insert(u);
        }
        const Vec3& s0 = mesh.startPositions[static_cast<size_t>(f.indices[0])];
        const Vec3& s1 = mesh.startPositions[static_cast<size_t>(f.indices[1])];
        const Vec3& s2 = mesh.startPositions[static_cast<size_t>(f.indices[2])];
        const Vec3& e0 = mesh.endPositions[static_cast<size_t>(f.indices[0])];
        const Vec3& e1 = mesh.endPositions[static_cast<size_t>(f.indices[1])];
        const Vec3& e2 = mesh.endPositions[static_cast<size_t>(f.indices[2])];
        // Counter-clockwise seen from outside on both surfaces. A sliver
        // whose corners lie closer than float steps can round to no area, or
        // just past it.
        const double startTurn = Turn(s0, s1, s2, source.centre);
        const double endTurn = Turn(e0, e1, e2, target.centre);
        ASSERT_GT(startTurn, -1e-9) << f.indices[0] << " " << f.indices[1] << " " << f.indices[2];
        ASSERT_GT(endTurn, -1e-9) << f.indices[0] << " " << f.indices[1] << " " << f.indices[2];
        flat += startTurn <= 0.0 || endTurn <= 0.0;
    }
    for (const auto& side : sides) ASSERT_EQ(side.second, 2);
    for (const IndexPair& e : mesh.edges) ASSERT_EQ((sides.count({e.from, e.to})), 1u);
    EXPECT_EQ(static_cast<int32_t>(used.size()), mesh.vertexCount());
    EXPECT_EQ(static_cast<int64_t>(used.size()) - static_cast<int64_t>(sides.size()) + mesh.faceCount(), 2);
    std::mt19937 random(1);
    for (int i = 0; i < samples; ++i) {
        const size_t v = std::uniform_int_distribution<size_t>(0, used.size() - 1)(random);
        const Vec3& s = mesh.startPositions[v];
        const Vec3& e = mesh.endPositions[v];
        const float scale = std::max({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z), std::fabs(e.x), std::fabs(e.y), std::fabs(e.z)});
        EXPECT_LT(OffSurface(source, s), 1e-5 * scale) << "start of vertex " << v;
        EXPECT_LT(OffSurface(target, e), 1e-5 * scale) << "end of vertex " << v;
    }
    if (flatTriangles) *flatTriangles += flat;
}

TEST(MergeMeshes, AgreesWithTheOriginalMergeOnEveryCataloguePair)
{
    test::ScratchDirectory scratch;
    for (const CatalogueEntry& a : Catalogue()) {
        for (const CatalogueEntry& b : Catalogue()) {
            SCOPED_TRACE(std::string(a.name) + " into " + b.name);
            Polyhedron source = a.build({0, 0, 0});
            Polyhedron target = b.build({0, 0, 0});
            const MeshMergeResult robust = MergeMeshes(source, target);
            const MorphMesh original = MergeTopologies(source, target);
            ExpectSameNetwork(original, ReadPolygons(test::ReadFile("facelist1.txt")), robust.mesh, PolygonsOf(robust));
            EXPECT_EQ(robust.mesh.vertexCount(), original.vertexCount() - CountFoldedVertices(original));
            EXPECT_EQ(robust.mesh.faceCount(), original.faceCount());
            ExpectSoundMerge(source, target, robust, 10);
        }
    }
}

ModelTable RandomStarMesh(std::mt19937& random, int sizeLimit)
{
    std::uniform_int_distribution<int> kind(0, 1);
    ModelTable table;
    if (kind(random) == 0) {
        const int levels = sizeLimit >= 20480 ? 5 : sizeLimit >= 5120 ? 4 : 3;
        table = Icosphere(std::uniform_int_distribution<int>(0, levels)(random), 40.0f);
    } else {
        const int n = std::uniform_int_distribution<int>(1, std::max(1, static_cast<int>(std::sqrt(sizeLimit / 12.0))))(random);
        table = CubeSphere(n, 55.0f);
    }
    PerturbRadially(table, std::uniform_real_distribution<float>(0.0f, 0.4f)(random), static_cast<uint32_t>(random()));
    Rotate(table, static_cast<uint32_t>(random()));
    return table;
}

Vec3 RandomPoint(std::mt19937& random)
{
    std::uniform_real_distribution<float> offset(-50.0f, 50.0f);
    const float x = offset(random);
    const float y = offset(random);
    return {x, y, offset(random)};
}

Polyhedron Placed(ModelTable table, const Vec3& centre)
{
    for (Vec3& v : table.vertices) v = {v.x + centre.x, v.y + centre.y, v.z + centre.z};
    return BuildPolyhedron(table, centre);
}

// VORLANE_SOAK_PAIRS=1000 turns this into the soak run.
TEST(MergeMeshes, RandomStarShapedPairsGiveClosedOrientedMeshes)
{
    const char* soak = std::getenv("VORLANE_SOAK_PAIRS");
    const int pairs = soak ? std::atoi(soak) : 50;
    std::mt19937 random(2026);
    int flat = 0;
    for (int pair = 0; pair < pairs; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        // Mostly small pairs, a few near 20,000 triangles.
        const int limit = pair % 10 == 9 ? 20000 : 1500;
        const ModelTable sourceTable = RandomStarMesh(random, limit);
        const Vec3 sourceCentre = RandomPoint(random);
        const ModelTable targetTable = RandomStarMesh(random, limit);
        const Vec3 targetCentre = RandomPoint(random);
        const Polyhedron source = Placed(sourceTable, sourceCentre);
        const Polyhedron target = Placed(targetTable, targetCentre);
        ExpectSoundMerge(source, target, MergeMeshes(source, target), pair % 10 == 9 ? 20 : 100, &flat);
    }
    std::printf("%d pairs merged; %d triangles flat or turned over in float positions\n", pairs, flat);
    if (!soak) {
        EXPECT_EQ(flat, 0);
    }
}

TEST(MergeMeshes, MeshWithItselfGivesItselfBack)
{
    const Polyhedron a = Placed(Icosphere(2, 30.0f), {1, 2, 3});
    const MeshMergeResult result = MergeMeshes(a, a);
    ExpectSoundMerge(a, a, result, 50);
    EXPECT_EQ(result.mesh.crossingCount, 0);
    EXPECT_EQ(result.mesh.vertexCount(), a.vertexCount());
    EXPECT_EQ(result.mesh.faceCount(), a.faceCount());
    ASSERT_EQ(result.mesh.edges.size(), a.edges.size());
    for (size_t i = 0; i < a.edges.size(); ++i) EXPECT_EQ(result.mesh.edges[i], a.edges[i]);
}

// A mesh and its copy at another size, about another centre: their
// directions agree only to rounding, and still only the mesh comes back.
TEST(MergeMeshes, MeshWithItsScaledCopyGivesItselfBack)
{
    const Polyhedron a = Placed(Icosphere(2, 40.0f), {1, 2, 3});
    const Polyhedron b = Placed(Icosphere(2, 30.0f), {-7, 5, 0});
    const MeshMergeResult result = MergeMeshes(a, b);
    int flat = 0;
    ExpectSoundMerge(a, b, result, 50, &flat);
    EXPECT_EQ(flat, 0);
    EXPECT_EQ(result.mesh.crossingCount, 0);
    EXPECT_EQ(result.mesh.vertexCount(), a.vertexCount());
    EXPECT_EQ(result.mesh.faceCount(), a.faceCount());
}

// Subdivisions of one icosahedron, and cube-spheres whose grid lines share
// great circles: vertices of one lie a float step off the other's arcs or
// vertices, where an exact overlay alone cuts slivers that float positions
// turn over.
TEST(MergeMeshes, VerticesARoundingOffTheOtherMeshLeaveNoSlivers)
{
    const struct {
        const char* name;
        ModelTable source;
        ModelTable target;
    } cases[] = {
        {"icosahedron into its second subdivision", Icosphere(0, 40.0f), Icosphere(2, 30.0f)},
        {"second subdivision into the icosahedron", Icosphere(2, 40.0f), Icosphere(0, 30.0f)},
        {"first subdivision into the third", Icosphere(1, 40.0f), Icosphere(3, 30.0f)},
        {"third subdivision into the first", Icosphere(3, 40.0f), Icosphere(1, 30.0f)},
        {"cube-sphere 8 into cube-sphere 2", CubeSphere(8, 55.0f), CubeSphere(2, 40.0f)},
        {"cube-sphere 6 into cube-sphere 8", CubeSphere(6, 55.0f), CubeSphere(8, 55.0f)},
        {"bipyramid into icosphere", Bipyramid(48, 30.0f, 0.0), Icosphere(2, 40.0f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Polyhedron source = BuildPolyhedron(c.source, {0, 0, 0});
        const Polyhedron target = BuildPolyhedron(c.target, {0, 0, 0});
        int flat = 0;
        ExpectSoundMerge(source, target, MergeMeshes(source, target), 50, &flat);
        EXPECT_EQ(flat, 0);
    }
}

// Vertices no triangle names are no part of the overlay: the merge is the
// one without them, field for field.
TEST(MergeMeshes, VerticesNoTriangleUsesAreLeftOut)
{
    const Polyhedron source = Placed(Icosphere(2, 30.0f), {1, 2, 3});
    ModelTable cube = CubeSphere(3, 40.0f);
    Rotate(cube, 11);
    const Polyhedron target = Placed(cube, {-2, 0, 1});
    Polyhedron sourceWithSpare = source;
    sourceWithSpare.vertices.push_back({5, 5, 5});
    Polyhedron targetWithSpare = target;
    targetWithSpare.vertices.insert(targetWithSpare.vertices.begin(), {-7, 1, 2});
    for (Triangle& t : targetWithSpare.faces) t = {t[0] + 1, t[1] + 1, t[2] + 1};

    const MeshMergeResult plain = MergeMeshes(source, target);
    const MeshMergeResult spared = MergeMeshes(sourceWithSpare, targetWithSpare);
    ExpectSoundMerge(sourceWithSpare, targetWithSpare, spared, 20);
    EXPECT_EQ(spared.mesh.crossingCount, plain.mesh.crossingCount);
    EXPECT_EQ(spared.mesh.vertexCount(), plain.mesh.vertexCount());
    EXPECT_EQ(spared.polygonStarts, plain.polygonStarts);
    EXPECT_EQ(spared.polygonIndices, plain.polygonIndices);
    ASSERT_EQ(spared.mesh.edges.size(), plain.mesh.edges.size());
    for (size_t i = 0; i < plain.mesh.edges.size(); ++i) EXPECT_EQ(spared.mesh.edges[i], plain.mesh.edges[i]);
    ASSERT_EQ(spared.mesh.faces.size(), plain.mesh.faces.size());
    for (size_t i = 0; i < plain.mesh.faces.size(); ++i) EXPECT_EQ(spared.mesh.faces[i].indices, plain.mesh.faces[i].indices);
    for (int32_t v = 0; v < plain.mesh.vertexCount(); ++v) {
        EXPECT_TRUE(SamePlace(spared.mesh, v, plain.mesh, v)) << v;
    }
}

// An octahedron and the same turned 45 degrees about z: the poles coincide,
// the equators overlap along one great circle, and each equator's corners
// lie exactly on the other's edges.
TEST(MergeMeshes, CoincidentVerticesVerticesOnArcsAndOverlappingArcsAreSnapped)
{
    const float s = 0.70710677f;
    ModelTable straight{{{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
                        {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}}};
    ModelTable turned = straight;
    turned.vertices = {{s, s, 0}, {-s, s, 0}, {-s, -s, 0}, {s, -s, 0}, {0, 0, 1}, {0, 0, -1}};
    const Polyhedron a = BuildPolyhedron(straight, {0, 0, 0});
    const Polyhedron b = BuildPolyhedron(turned, {0, 0, 0});
    const MeshMergeResult result = MergeMeshes(a, b);
    ExpectSoundMerge(a, b, result, 10);
    EXPECT_EQ(result.mesh.crossingCount, 0);
    EXPECT_EQ(result.mesh.vertexCount(), 10);  // two shared poles, eight on the equator
    EXPECT_EQ(result.mesh.edgeCount(), 24);    // eight equator pieces, eight meridians from each pole
    ASSERT_EQ(result.polygonStarts.size(), 17u);
    for (size_t k = 0; k < 16; ++k) EXPECT_EQ(result.polygonStarts[k + 1] - result.polygonStarts[k], 3);
    // An equator corner of the turned octahedron starts on the straight one's edge.
    const Vec3& start = result.mesh.startPositions[6];
    EXPECT_NEAR(start.x, 0.5f, 1e-6);
    EXPECT_NEAR(start.y, 0.5f, 1e-6);
}

// Around the poles the arcs leave and reach a vertex of the other model
// through a fan of n; half a step round, every equator corner lies on the
// other's equator and the overlay is the two sets of meridians. A fan of
// 600 or 2,000 is searched by angle, one of 48 too, and the counts are exact.
TEST(MergeMeshes, ArcsThroughWideFansAndAlongAnEquator)
{
    for (const int n : {48, 600, 2000}) {
        SCOPED_TRACE(n);
        const Polyhedron a = BuildPolyhedron(Bipyramid(n, 30.0f, 0.0), {0, 0, 0});
        const Polyhedron b = BuildPolyhedron(Bipyramid(n, 45.0f, 0.5), {0, 0, 0});
        const MeshMergeResult interleaved = MergeMeshes(a, b);
        ExpectSoundMerge(a, b, interleaved, 20);
        EXPECT_EQ(interleaved.mesh.crossingCount, 0);
        EXPECT_EQ(interleaved.mesh.vertexCount(), 2 * n + 2);
        EXPECT_EQ(interleaved.mesh.edgeCount(), 6 * n);
        EXPECT_EQ(interleaved.mesh.faceCount(), 4 * n);
        if (n > 600) continue;  // the pairs below are checked at 600 for time

        ModelTable tilted = Bipyramid(n, 45.0f, 0.5);
        Rotate(tilted, 3);
        const Polyhedron c = BuildPolyhedron(tilted, {0, 0, 0});
        const Polyhedron ico = BuildPolyhedron(Icosphere(2, 40.0f), {0, 0, 0});
        // The cube's top diagonal runs through the bipyramid's pole.
        const Polyhedron cube = BuildCube({0, 0, 0});
        for (const auto& [source, target] :
             {std::pair{&a, &c}, std::pair{&c, &a}, std::pair{&a, &ico}, std::pair{&ico, &a}, std::pair{&a, &cube}, std::pair{&cube, &a}}) {
            const MeshMergeResult result = MergeMeshes(*source, *target);
            ExpectSoundMerge(*source, *target, result, 20);
            EXPECT_GT(result.mesh.crossingCount, n / 2);
        }
    }
}

// Every target vertex and arc lies on the source's, so the wide south pole
// is the last merged vertex: its spokes once fell outside the index of
// wide vertices (found by fuzzing).
TEST(MergeMeshes, WideVertexNumberedLastTurnsLikeAnyOther)
{
    const Polyhedron wide = BuildPolyhedron(Bipyramid(36, 1.0f), {0, 0, 0});
    const Polyhedron narrow = BuildPolyhedron(Bipyramid(3, 1.0f), {0, 0, 0});
    for (const auto& [source, target] : {std::pair{&wide, &narrow}, std::pair{&narrow, &wide}}) {
        const MeshMergeResult result = MergeMeshes(*source, *target);
        ExpectSoundMerge(*source, *target, result, 20);
        EXPECT_EQ(result.mesh.vertexCount(), 38);
        EXPECT_EQ(result.mesh.edgeCount(), 108);
        EXPECT_EQ(result.mesh.faceCount(), 72);
    }
}

// Which of the face walk's two runs walks a face depends on timing; the
// lists, polygons as well as triangles, must not, nor the edges each half
// lists into its own part of one table. Three tries at two threads.
TEST(MergeMeshes, TwoThreadsListTheSameFacesAsOne)
{
    const Polyhedron source = BuildPolyhedron(Icosphere(5, 50.0f), {0, 0, 0});
    const Polyhedron target = BuildPolyhedron(BenchCubeSphere(5), {0, 0, 0});
    const MeshMergeResult one = MergeMeshes(source, target, {}, 1);
    for (int run = 0; run < 3; ++run) {
        const MeshMergeResult two = MergeMeshes(source, target, {}, 2);
        EXPECT_EQ(two.polygonStarts, one.polygonStarts);
        EXPECT_EQ(two.polygonIndices, one.polygonIndices);
        EXPECT_EQ(two.mesh.edges, one.mesh.edges);
        EXPECT_TRUE(std::equal(two.mesh.faces.begin(), two.mesh.faces.end(), one.mesh.faces.begin(), one.mesh.faces.end(),
                               [](const MeshFace& a, const MeshFace& b) { return a.indices == b.indices; }));
    }
}

TEST(MergeMeshes, ReportsItsPhases)
{
    const Polyhedron a = BuildIcosahedron({0, 0, 0});
    const Polyhedron b = BuildBox({0, 0, 0});
    std::vector<std::string> phases;
    MergeMeshes(a, b, [&](std::string_view phase, double fraction) {
        EXPECT_GE(fraction, 0.0);
        EXPECT_LE(fraction, 1.0);
        if (phases.empty() || phases.back() != phase) phases.emplace_back(phase);
    });
    EXPECT_EQ(phases.front(), "locating vertices");
    EXPECT_EQ(phases.back(), "positions");
}

}  // namespace
}  // namespace vorlane
