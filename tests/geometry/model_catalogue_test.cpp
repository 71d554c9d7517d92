#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "geometry/model_catalogue.h"

namespace vorlane {
namespace {

struct CatalogueCase {
    const char* name;
    ModelBuilder build;
    int32_t vertices;
    int32_t faces;
    int32_t edges;
};

const CatalogueCase Models[] = {
    {"cube", BuildCube, 8, 12, 18},
    {"rhombic-prism", BuildRhombicPrism, 8, 12, 18},
    {"icosahedron", BuildIcosahedron, 12, 20, 30},
    {"pyramid", BuildPyramid, 5, 6, 9},
    {"pointed-bar", BuildPointedBar, 9, 14, 21},
    {"box", BuildBox, 8, 12, 18},
};

class CatalogueModel : public testing::TestWithParam<CatalogueCase> {};

TEST_P(CatalogueModel, CountsAndEulerCharacteristic)
{
    const CatalogueCase& c = GetParam();
    const Polyhedron model = c.build({0, 0, 0});
    EXPECT_EQ(model.vertexCount(), c.vertices);
    EXPECT_EQ(model.faceCount(), c.faces);
    EXPECT_EQ(model.edgeCount(), c.edges);
    EXPECT_EQ(model.vertexCount() - model.edgeCount() + model.faceCount(), 2);
    EXPECT_EQ(2 * model.edgeCount(), 3 * model.faceCount());
}

TEST_P(CatalogueModel, EdgesAreTheDistinctTriangleSidesAscending)
{
    const Polyhedron model = GetParam().build({0, 0, 0});
    std::set<std::pair<int32_t, int32_t>> sides;
    for (const Triangle& t : model.faces) {
        for (int i = 0; i < 3; ++i) {
            const int32_t a = t[static_cast<size_t>(i)], b = t[static_cast<size_t>((i + 1) % 3)];
            sides.insert({std::min(a, b), std::max(a, b)});
        }
    }
    ASSERT_EQ(model.edges.size(), sides.size());
    size_t i = 0;
    for (const auto& side : sides) {
        EXPECT_EQ(model.edges[i].from, side.first);
        EXPECT_EQ(model.edges[i].to, side.second);
        ++i;
    }
}

TEST_P(CatalogueModel, TrianglesAreCounterClockwiseSeenFromOutside)
{
    // Every model is convex about the origin, so an outward normal points away from it.
    const Polyhedron model = GetParam().build({0, 0, 0});
    for (const Triangle& t : model.faces) {
        const Vec3& a = model.vertices[static_cast<size_t>(t[0])];
        Vec3 n;
        TriangleNormal({a, model.vertices[static_cast<size_t>(t[1])], model.vertices[static_cast<size_t>(t[2])]}, n);
        EXPECT_GT(DotProduct(n, a), 0.0f) << "triangle " << t[0] << " " << t[1] << " " << t[2];
    }
}

TEST_P(CatalogueModel, CentreMovesVerticesNotTopology)
{
    const Polyhedron here = GetParam().build({0, 0, 0});
    const Polyhedron there = GetParam().build({5, -10, 20});
    EXPECT_EQ(there.centre, (Vec3{5, -10, 20}));
    EXPECT_EQ(here.faces, there.faces);
    ASSERT_EQ(here.edges.size(), there.edges.size());
    for (size_t i = 0; i < here.edges.size(); ++i) EXPECT_EQ(here.edges[i], there.edges[i]);
    for (size_t i = 0; i < here.vertices.size(); ++i) {
        EXPECT_EQ(there.vertices[i].x, here.vertices[i].x - 5.0f);
        EXPECT_EQ(there.vertices[i].y, here.vertices[i].y + 10.0f);
        EXPECT_EQ(there.vertices[i].z, here.vertices[i].z - 20.0f);
    }
}

TEST_P(CatalogueModel, SpherePointsLieOnTheSphereAlongTheirVertices)
{
    const Polyhedron model = GetParam().build({1, 2, 3});
    for (size_t i = 0; i < model.vertices.size(); ++i) {
        const Vec3& s = model.spherePoints[i];
        EXPECT_NEAR(std::sqrt(DotProduct(s, s)), 300.0, 1e-3);
        Vec3 direction = model.vertices[i];
        NormalizeVector(direction);
        EXPECT_NEAR(DotProduct(direction, s), 300.0, 1e-3);
    }
}

INSTANTIATE_TEST_SUITE_P(AllSix, CatalogueModel, testing::ValuesIn(Models),
                         [](const testing::TestParamInfo<CatalogueCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (ch == '-') ch = '_';
                             }
                             return name;
                         });

TEST(Catalogue, NamesFindTheirBuilders)
{
    for (const CatalogueCase& c : Models) {
        const CatalogueEntry* entry = FindCatalogueModel(c.name);
        ASSERT_NE(entry, nullptr) << c.name;
        EXPECT_EQ(entry->build, c.build);
    }
    EXPECT_EQ(FindCatalogueModel("dodecahedron"), nullptr);
    EXPECT_EQ(FindCatalogueModel(""), nullptr);
}

TEST(Catalogue, RhombicPrismIsTheCubeStretchedAlongX)
{
    const Polyhedron cube = BuildCube({0, 0, 0});
    const Polyhedron prism = BuildRhombicPrism({0, 0, 0});
    EXPECT_EQ(cube.faces, prism.faces);
    for (size_t i = 0; i < cube.vertices.size(); ++i) {
        const bool onX = i % 2 == 0;
        EXPECT_EQ(prism.vertices[i].x, onX ? (cube.vertices[i].x > 0 ? 53.03301f : -53.03301f) : cube.vertices[i].x);
        EXPECT_EQ(prism.vertices[i].y, cube.vertices[i].y);
        EXPECT_EQ(prism.vertices[i].z, cube.vertices[i].z);
    }
}

TEST(Catalogue, BuildsInARowGetOnlyTheirOwnEdges)
{
    const Polyhedron pyramid = BuildPyramid({0, 0, 0});
    const Polyhedron icosahedron = BuildIcosahedron({0, 0, 0});
    EXPECT_EQ(pyramid.edgeCount(), 9);
    EXPECT_EQ(icosahedron.edgeCount(), 30);
}

TEST(Catalogue, FaceNamingAVertexTwiceAddsNoSelfEdge)
{
    const ModelTable table{{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 1}, {0, 1, 2}}};
    const Polyhedron model = BuildPolyhedron(table, {0, 0, 0});
    ASSERT_EQ(model.edgeCount(), 3);
    for (const IndexPair& e : model.edges) EXPECT_LT(e.from, e.to);
}

}  // namespace
}  // namespace vorlane
