#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <iterator>
#include <string>

#include "app/scene.h"
#include "geometry/model_catalogue.h"
#include "literal/merge_topologies.h"
#include "test_support.h"

namespace vorlane {
namespace {

using Column = std::array<float, 4>;

void ExpectColumns(const float matrix[16], const std::array<Column, 4>& columns)
{
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            SCOPED_TRACE(testing::Message() << "column " << c << " row " << r);
            EXPECT_EQ(matrix[4 * c + r], columns[static_cast<size_t>(c)][static_cast<size_t>(r)]);
        }
    }
}

TEST(ComputeShadowMatrix, InitialLight)
{
    Scene scene;
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    ExpectColumns(scene.shadowMatrix,
                  {{{349, 0, 0, 0}, {200, 149, -300, -1}, {0, 0, 349, 0}, {29800, -29800, -44700, 200}}});
}

// The plane normal has no z part, so moving the light in z leaves dot at 349.
TEST(ComputeShadowMatrix, LightMovedOneStepTowardTheViewer)
{
    Scene scene;
    scene.lightPosition[2] = 305.0f;
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    ExpectColumns(scene.shadowMatrix,
                  {{{349, 0, 0, 0}, {200, 149, -305, -1}, {0, 0, 349, 0}, {29800, -29800, -45445, 200}}});
}

TEST(ComputeShadowMatrix, MapsPointsOntoThePlaneAlongTheLight)
{
    Scene scene;
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    const float* m = scene.shadowMatrix;
    const double p[4] = {10.0, 30.0, -20.0, 1.0};
    double q[4] = {};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) q[r] += m[4 * c + r] * p[c];
    }
    EXPECT_DOUBLE_EQ(q[1] / q[3], -149.0);
    // On the line from the light through p: the same parameter for x and z.
    const double t = (q[0] / q[3] - p[0]) / (scene.lightPosition[0] - p[0]);
    EXPECT_NEAR((q[2] / q[3] - p[2]) / (scene.lightPosition[2] - p[2]), t, 1e-12);
}

TEST(PerspectiveAspect, ZeroHeightCountsAsOne)
{
    EXPECT_EQ(PerspectiveAspect(800, 0), 800.0f);
    EXPECT_EQ(PerspectiveAspect(800, 0), PerspectiveAspect(800, 1));
    EXPECT_EQ(PerspectiveAspect(800, 800), 1.0f);
    EXPECT_EQ(PerspectiveAspect(1000, 3), static_cast<float>(1000.0 / 3.0));
}

bool SameVertices(const Polyhedron& a, const Polyhedron& b)
{
    if (a.vertices.size() != b.vertices.size()) return false;
    for (size_t i = 0; i < a.vertices.size(); ++i) {
        if (a.vertices[i] != b.vertices[i]) return false;
    }
    return true;
}

TEST(BuildScene, EightModelsAndFourMergesInOrder)
{
    test::ScratchDirectory directory;
    Scene scene;
    BuildScene(scene);
    // A second build replaces the first and must leave no pointer into it.
    BuildScene(scene);

    const struct {
        ModelBuilder build;
        Vec3 centre;
        uint8_t red, green, blue;
    } models[] = {
        {BuildIcosahedron, {-10, -10, -10}, 255, 0, 0}, {BuildIcosahedron, {0, 0, 0}, 255, 0, 0},
        {BuildPyramid, {10, 0, 10}, 255, 255, 0},       {BuildRhombicPrism, {0, 0, 0}, 0, 255, 0},
        {BuildCube, {20, 20, 20}, 0, 255, 255},         {BuildCube, {0, 0, 0}, 0, 255, 255},
        {BuildPointedBar, {0, 0, 0}, 255, 0, 0},        {BuildBox, {0, 0, 0}, 255, 0, 0},
    };
    ASSERT_EQ(scene.models.size(), std::size(models));
    for (size_t i = 0; i < std::size(models); ++i) {
        SCOPED_TRACE(testing::Message() << "model " << i + 1);
        const Polyhedron& model = scene.models[i];
        EXPECT_EQ(model.centre, models[i].centre);
        EXPECT_TRUE(SameVertices(model, models[i].build(models[i].centre)));
    }

    const size_t merges[][2] = {{0, 4}, {4, 0}, {1, 5}, {5, 1}};
    ASSERT_EQ(scene.morphs.size(), std::size(merges));
    for (size_t i = 0; i < std::size(merges); ++i) {
        SCOPED_TRACE(testing::Message() << "morph " << i);
        EXPECT_EQ(scene.morphs[i].source, &scene.models[merges[i][0]]);
        EXPECT_EQ(scene.morphs[i].target, &scene.models[merges[i][1]]);
        EXPECT_GT(scene.morphs[i].faceCount(), 0);
        // Each morph is shown in the colours of its two models.
        const ColouredMorph& shown = scene.shown[i];
        EXPECT_EQ(shown.mesh, &scene.morphs[i]);
        const auto& from = models[merges[i][0]];
        const auto& to = models[merges[i][1]];
        EXPECT_EQ(shown.sourceColour.red, from.red);
        EXPECT_EQ(shown.sourceColour.green, from.green);
        EXPECT_EQ(shown.sourceColour.blue, from.blue);
        EXPECT_EQ(shown.targetColour.red, to.red);
        EXPECT_EQ(shown.targetColour.green, to.green);
        EXPECT_EQ(shown.targetColour.blue, to.blue);
    }
}

// The dump files after start-up are those of the last merge: the cube about
// the origin into the icosahedron about the origin.
TEST(BuildScene, LeavesTheDumpsOfTheLastMerge)
{
    std::string polygons, triangles;
    {
        test::ScratchDirectory directory;
        Scene scene;
        BuildScene(scene);
        polygons = test::ReadFile("facelist1.txt");
        triangles = test::ReadFile("facelist2.txt");
    }
    test::ScratchDirectory directory;
    Polyhedron cube = BuildCube({0, 0, 0});
    Polyhedron icosahedron = BuildIcosahedron({0, 0, 0});
    const MorphMesh last = MergeTopologies(cube, icosahedron);
    ASSERT_GT(last.faceCount(), 0);
    EXPECT_FALSE(polygons.empty());
    EXPECT_EQ(polygons, test::ReadFile("facelist1.txt"));
    EXPECT_EQ(triangles, test::ReadFile("facelist2.txt"));
}

}  // namespace
}  // namespace vorlane
