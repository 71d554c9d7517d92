#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "geometry/model_catalogue.h"
#include "literal/arc_intersection.h"
#include "literal/edge_list.h"
#include "literal/merge_topologies.h"
#include "literal/merge_topologies_internal.h"
#include "test_support.h"

namespace vorlane {
namespace {

struct Summary {
    int32_t crossings;
    int32_t vertices;
    int32_t folded;
    int32_t edges;
    int32_t faces;
};

void ExpectSummary(const MorphMesh& mesh, const Summary& expected)
{
    EXPECT_EQ(mesh.crossingCount, expected.crossings);
    EXPECT_EQ(mesh.vertexCount(), expected.vertices);
    EXPECT_EQ(CountFoldedVertices(mesh), expected.folded);
    EXPECT_EQ(mesh.edgeCount(), expected.edges);
    EXPECT_EQ(mesh.faceCount(), expected.faces);
}

// The contract of every merged mesh: ordered edges, indices in range, each
// merged edge in exactly two triangles, a closed sphere over the vertices in use.
void ExpectClosedMesh(const MorphMesh& mesh)
{
    ASSERT_EQ(mesh.endPositions.size(), static_cast<size_t>(mesh.vertexCount()));
    for (size_t i = 0; i < mesh.edges.size(); ++i) {
        EXPECT_LT(mesh.edges[i].from, mesh.edges[i].to);
        EXPECT_GE(mesh.edges[i].from, 0);
        EXPECT_LT(mesh.edges[i].to, mesh.vertexCount());
        if (i > 0) {
            EXPECT_TRUE(mesh.edges[i - 1] < mesh.edges[i]);
        }
    }
    std::map<std::pair<int32_t, int32_t>, int> sides;
    std::set<int32_t> used;
    for (const MeshFace& face : mesh.faces) {
        ASSERT_EQ(face.vertexCount, 3);
        for (int i = 0; i < 3; ++i) {
            const int32_t a = face.indices[static_cast<size_t>(i)], b = face.indices[static_cast<size_t>((i + 1) % 3)];
            ASSERT_GE(a, 0);
            ASSERT_LT(a, mesh.vertexCount());
            ++sides[{std::min(a, b), std::max(a, b)}];
            used.insert(a);
        }
    }
    for (const IndexPair& e : mesh.edges) EXPECT_EQ((sides[{e.from, e.to}]), 2) << e.from << "-" << e.to;
    for (const auto& side : sides) EXPECT_EQ(side.second, 2) << side.first.first << "-" << side.first.second;
    EXPECT_EQ(static_cast<int>(used.size()) - static_cast<int>(sides.size()) + mesh.faceCount(), 2);
}

class MergeTest : public testing::Test {
protected:
    test::ScratchDirectory scratch;
    test::FaultCapture faults;
};

TEST_F(MergeTest, SceneIcosahedronAndCubeInEitherOrder)
{
    Polyhedron icosahedron = BuildIcosahedron({0, 0, 0});
    Polyhedron cube = BuildCube({0, 0, 0});
    const MorphMesh forward = MergeTopologies(icosahedron, cube);
    ExpectSummary(forward, {53, 73, 18, 121, 106});
    ExpectClosedMesh(forward);
    const MorphMesh backward = MergeTopologies(cube, icosahedron);
    ExpectSummary(backward, {53, 73, 18, 121, 106});
    ExpectClosedMesh(backward);
    EXPECT_EQ(CountList(), 0);
    EXPECT_TRUE(faults.faults().empty());
}

TEST_F(MergeTest, PositionsFollowTheNumbering)
{
    Polyhedron source = BuildIcosahedron({1, 2, 3});
    Polyhedron target = BuildCube({-4, 5, 6});
    const MorphMesh mesh = MergeTopologies(source, target);
    // Source vertex 0 starts at its table position, rounded through the centred frame.
    EXPECT_EQ(mesh.startPositions[0], (Vec3{(-26.286554f - 1.0f) + 1.0f, (0.0f - 2.0f) + 2.0f, (42.53254f - 3.0f) + 3.0f}));
    // Target vertex j is merged vertex 12 + j and ends at its own table position.
    EXPECT_EQ(mesh.endPositions[12 + 4], (Vec3{(35.35534f + 4.0f) - 4.0f, (0.0f - 5.0f) + 5.0f, (25.0f - 6.0f) + 6.0f}));
    EXPECT_EQ(mesh.vertexCount(), 12 + 8 + mesh.crossingCount);
    EXPECT_EQ(mesh.source, &source);
    EXPECT_EQ(mesh.target, &target);
    EXPECT_EQ(mesh.centre, SphereCentre);
}

TEST_F(MergeTest, EveryOrderedCataloguePairGivesAClosedMesh)
{
    for (const CatalogueEntry& a : Catalogue()) {
        for (const CatalogueEntry& b : Catalogue()) {
            SCOPED_TRACE(std::string(a.name) + " into " + b.name);
            Polyhedron source = a.build({0, 0, 0});
            Polyhedron target = b.build({0, 0, 0});
            const MorphMesh mesh = MergeTopologies(source, target);
            ExpectClosedMesh(mesh);
            for (const MeshFace& face : mesh.faces) {
                Vec3 n;
                const Vec3& p0 = mesh.endPositions[static_cast<size_t>(face.indices[0])];
                TriangleNormal({p0, mesh.endPositions[static_cast<size_t>(face.indices[1])],
                                mesh.endPositions[static_cast<size_t>(face.indices[2])]},
                               n);
                EXPECT_GE(DotProduct(n, p0), 0.0f) << "a triangle faces the centre";
            }
        }
    }
    EXPECT_EQ(CountList(), 0);
}

TEST_F(MergeTest, ModelMergedWithACopyOfItselfFoldsBackToIt)
{
    Polyhedron first = BuildIcosahedron({0, 0, 0});
    Polyhedron second = BuildIcosahedron({0, 0, 0});
    const MorphMesh mesh = MergeTopologies(first, second);
    EXPECT_EQ(mesh.edgeCount(), first.edgeCount());
    for (size_t i = 0; i < mesh.edges.size(); ++i) EXPECT_EQ(mesh.edges[i], first.edges[i]);
    EXPECT_EQ(mesh.faceCount(), first.faceCount());
    EXPECT_EQ(CountFoldedVertices(mesh), mesh.vertexCount() - first.vertexCount());
}

TEST_F(MergeTest, SecondMergeInTheOtherOrderStandsAlone)
{
    Polyhedron pyramid = BuildPyramid({0, 0, 0});
    Polyhedron box = BuildBox({0, 0, 0});
    MergeTopologies(pyramid, box);
    const MorphMesh again = MergeTopologies(box, pyramid);
    Polyhedron freshBox = BuildBox({0, 0, 0});
    Polyhedron freshPyramid = BuildPyramid({0, 0, 0});
    const MorphMesh fresh = MergeTopologies(freshBox, freshPyramid);
    ASSERT_EQ(again.edgeCount(), fresh.edgeCount());
    for (size_t i = 0; i < fresh.edges.size(); ++i) EXPECT_EQ(again.edges[i], fresh.edges[i]);
    ASSERT_EQ(again.faceCount(), fresh.faceCount());
    for (size_t i = 0; i < fresh.faces.size(); ++i) EXPECT_EQ(again.faces[i].indices, fresh.faces[i].indices);
    EXPECT_EQ(again.crossingCount, fresh.vertexCount() - 8 - 5);
}

TEST_F(MergeTest, CentreOutsideTheCubeFoldsEveryMissIntoTheCentre)
{
    // Directions that miss the cube about (20, 20, 20) end at its centre.
    Polyhedron icosahedron = BuildIcosahedron({-10, -10, -10});
    Polyhedron cube = BuildCube({20, 20, 20});
    const MorphMesh mesh = MergeTopologies(icosahedron, cube);
    ExpectSummary(mesh, {28, 48, 8, 86, 78});
    int32_t atCentre = 0;
    int32_t firstAtCentre = -1;
    for (int32_t v = 0; v < mesh.vertexCount(); ++v) {
        if (mesh.endPositions[static_cast<size_t>(v)] == Vec3{20, 20, 20}) {
            ++atCentre;
            if (firstAtCentre < 0) firstAtCentre = v;
        }
    }
    EXPECT_GT(atCentre, 1);
    std::set<int32_t> referenced;
    for (const IndexPair& e : mesh.edges) referenced.insert({e.from, e.to});
    for (int32_t v = 0; v < mesh.vertexCount(); ++v) {
        if (v != firstAtCentre && mesh.endPositions[static_cast<size_t>(v)] == Vec3{20, 20, 20}) {
            EXPECT_EQ(referenced.count(v), 0u) << v;
        }
    }
    Polyhedron cubeAgain = BuildCube({20, 20, 20});
    Polyhedron icosahedronAgain = BuildIcosahedron({-10, -10, -10});
    ExpectSummary(MergeTopologies(cubeAgain, icosahedronAgain), {28, 48, 0, 104, 98});
}

// One edge of a model along x, from vertex 0 to vertex 1, and crossings
// placed on it in the given order.
Polyhedron EdgeModel(Vec3 lower, Vec3 higher)
{
    Polyhedron model;
    model.vertices = {lower, higher};
    return model;
}

MergeScratch WithCrossings(const std::vector<Vec3>& crossings)
{
    MergeScratch scratch;
    scratch.crossingVertices = crossings;
    scratch.crossingCount = static_cast<int32_t>(crossings.size());
    return scratch;
}

TEST(SplitEdges, CrossedEdgeIsCutInOrderFromItsLowerEnd)
{
    struct Case {
        const char* what;
        Vec3 lower;
        Vec3 higher;
        std::vector<Vec3> crossings;
        std::vector<IndexPair> ends;
        std::vector<IndexPair> inner;
    };
    const Case cases[] = {
        {"ascending x", {0, 0, 0}, {10, 0, 0}, {{7, 0, 0}, {2, 1, 0}, {5, 9, 0}}, {{0, 1}, {1, 0}}, {{1, 2}, {2, 0}}},
        {"descending x", {10, 0, 0}, {0, 0, 0}, {{7, 0, 0}, {2, 1, 0}, {5, 9, 0}}, {{0, 0}, {1, 1}}, {{0, 2}, {2, 1}}},
        {"equal x: by y", {3, 0, 0}, {3, 10, 0}, {{9, 8, 0}, {-9, 2, 0}}, {{0, 1}, {1, 0}}, {{1, 0}}},
        {"equal x and y: by z, descending", {3, 3, 10}, {3, 3, 0}, {{0, 0, 2}, {0, 0, 8}}, {{0, 1}, {1, 0}}, {{1, 0}}},
        {"one crossing", {0, 0, 0}, {10, 0, 0}, {{4, 0, 0}}, {{0, 0}, {1, 0}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Polyhedron model = EdgeModel(c.lower, c.higher);
        MergeScratch scratch = WithCrossings(c.crossings);
        SplitEdges(model, scratch, 0, 1, 0, static_cast<int32_t>(c.crossings.size()));
        EXPECT_TRUE(scratch.intactEdges.empty());
        ASSERT_EQ(scratch.endSegments.size(), c.ends.size());
        for (size_t i = 0; i < c.ends.size(); ++i) EXPECT_EQ(scratch.endSegments[i], c.ends[i]);
        ASSERT_EQ(scratch.innerSegments.size(), c.inner.size());
        for (size_t i = 0; i < c.inner.size(); ++i) EXPECT_EQ(scratch.innerSegments[i], c.inner[i]);
        EXPECT_EQ(scratch.endSegmentCount, 2);
        EXPECT_EQ(scratch.innerSegmentCount, static_cast<int32_t>(c.inner.size()));
    }
}

TEST(SplitEdges, UncrossedEdgeStaysIntact)
{
    const Polyhedron model = EdgeModel({0, 0, 0}, {1, 0, 0});
    MergeScratch scratch;
    SplitEdges(model, scratch, 0, 1, 5, 5);
    ASSERT_EQ(scratch.intactEdges.size(), 1u);
    EXPECT_EQ(scratch.intactEdges[0], (IndexPair{0, 1}));
    EXPECT_EQ(scratch.intactEdgeCount, 1);
}

TEST(OrderAlongEdge, ExchangesNeverSwapEqualKeys)
{
    CrossingKey keys[] = {{2, 0}, {1, 1}, {2, 2}, {1, 3}};
    OrderAlongEdge(keys, 4, 1.0f);
    const int32_t ascending[] = {1, 3, 2, 0};  // the exchange order, not a stable sort
    for (int i = 0; i < 4; ++i) EXPECT_EQ(keys[i].crossing, ascending[i]) << i;
    CrossingKey same[] = {{5, 0}, {5, 1}, {5, 2}};
    OrderAlongEdge(same, 3, 0.0f);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(same[i].crossing, i);
    CrossingKey down[] = {{1, 0}, {3, 1}, {2, 2}};
    OrderAlongEdge(down, 3, 0.0f);  // direction 0 sorts descending
    EXPECT_EQ(down[0].crossing, 1);
    EXPECT_EQ(down[1].crossing, 2);
    EXPECT_EQ(down[2].crossing, 0);
}

// A double cone: n vertices on the equator, poles at +-height.
Polyhedron Bipyramid(int n, float radius, float height, float tilt)
{
    ModelTable table;
    const double c = std::cos(tilt), s = std::sin(tilt);
    auto tilted = [&](double x, double y, double z) {
        return Vec3{static_cast<float>(x), static_cast<float>(y * c - z * s), static_cast<float>(y * s + z * c)};
    };
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        table.vertices.push_back(tilted(radius * std::cos(a), radius * std::sin(a), 0));
    }
    table.vertices.push_back(tilted(0, 0, height));
    table.vertices.push_back(tilted(0, 0, -height));
    for (int i = 0; i < n; ++i) {
        const int32_t j = (i + 1) % n;
        table.triangles.push_back({i, j, n});
        table.triangles.push_back({j, i, n + 1});
    }
    return BuildPolyhedron(table, {0, 0, 0});
}

TEST_F(MergeTest, EdgeCrossedMoreThanTwentyNineTimesLosesNothing)
{
    Polyhedron source = Bipyramid(3, 50, 50, 0.5f);
    Polyhedron target = Bipyramid(128, 40, 60, 0.0f);
    // Count the crossings per source edge independently.
    std::vector<int32_t> perEdge(source.edges.size(), 0);
    int32_t total = 0;
    for (const IndexPair& t : target.edges) {
        for (size_t j = 0; j < source.edges.size(); ++j) {
            Vec3 p;
            Vec3 q[2];
            const int32_t r = FindArcIntersect({source.spherePoints[static_cast<size_t>(source.edges[j].from)],
                                                source.spherePoints[static_cast<size_t>(source.edges[j].to)]},
                                               {target.spherePoints[static_cast<size_t>(t.from)],
                                                target.spherePoints[static_cast<size_t>(t.to)]},
                                               p, q);
            perEdge[j] += r;
            total += r;
        }
    }
    ASSERT_GT(*std::max_element(perEdge.begin(), perEdge.end()), 29);
    const MorphMesh mesh = MergeTopologies(source, target);
    EXPECT_EQ(mesh.crossingCount, total);
    EXPECT_TRUE(faults.faults().empty());
    // Every crossing that did not fold into another vertex is an edge end.
    std::set<int32_t> referenced;
    for (const IndexPair& e : mesh.edges) referenced.insert({e.from, e.to});
    std::set<std::array<int32_t, 3>> cells;
    for (int32_t v = 0; v < mesh.vertexCount(); ++v) {
        const Vec3& p = mesh.endPositions[static_cast<size_t>(v)];
        const bool first = cells.insert({QuantiseCoordinate(p.x), QuantiseCoordinate(p.y), QuantiseCoordinate(p.z)}).second;
        if (first) {
            EXPECT_EQ(referenced.count(v), 1u) << v;
        }
    }
    ExpectClosedMesh(mesh);
}

}  // namespace
}  // namespace vorlane
