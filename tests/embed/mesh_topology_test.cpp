#include "embed/mesh_topology.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "test_support.h"

namespace vorlane {
namespace {

// Each mesh fails exactly one check; the message names the first failing
// check and the lowest edge or vertex where it fails.
TEST(CheckSphereTopology, NamesTheFirstFailingCheck)
{
    ModelTable repeated = Icosphere(0, 1.0f);
    repeated.triangles[3][2] = repeated.triangles[3][0];
    ModelTable outOfRange = Icosphere(0, 1.0f);
    outOfRange.triangles[4][1] = 12;
    const struct {
        const char* name;
        ModelTable table;
        std::string message;
    } cases[] = {
        {"repeated corner", repeated, "triangle 3 names one vertex twice"},
        {"index out of range", outOfRange, "triangle 4 names vertex 12, which does not exist"},
        // Icosphere(1)'s first triangle is (0, 12, 14): three open edges.
        {"open", test::WithoutTriangle(Icosphere(1, 1.0f), 0), "the mesh is not closed: edge (0, 12) is held by 1 triangle"},
        // Two tetrahedra on a shared face that is kept: its sides are held by 3.
        {"edge held by three", ModelTable{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, -1}},
                                          {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}, {1, 0, 4}, {2, 1, 4}, {0, 2, 4}, {0, 1, 2}}},
         "the mesh is not manifold: edge (0, 1) is held by 3 triangles"},
        {"non-manifold edge", EdgeSharingCubes(1), "the mesh is not manifold: edge (5, 6) is held by 4 triangles"},
        {"reversed triangle", test::WithTriangleReversed(Icosphere(1, 1.0f), 5),
         "the mesh is not manifold: edge (5, 14) runs the same way in triangles 2 and 5"},
        {"pinched vertex", PinchedCubes(1), "the mesh is not manifold: vertex 6 joins 2 separate fans of triangles"},
        {"torus", SquareTorus(2), "the mesh has genus 1 (V - E + F = 0)"},
        {"two tori", SquareTorus(2, true), "the mesh has genus 2 (V - E + F = 0)"},
        {"two spheres", test::Joined(Icosphere(0, 1.0f), Icosphere(0, 1.0f), {3.0f, 0.0f, 0.0f}), "the mesh has 2 separate pieces"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckSphereTopology(c.table), c.message);
    }
}

TEST(CheckSphereTopology, AcceptsGenusZeroMeshes)
{
    for (const ModelTable& table : {Icosphere(2, 1.0f), CubeSphere(3, 1.0f), Bipyramid(7, 1.0f), FingerComb(4, 3, 1),
                                    Dumbbell(5, 1), ThickC(1)}) {
        EXPECT_EQ(CheckSphereTopology(table), "");
    }
}

// A loop of cubes whose ends meet at one corner: the corner becomes two
// vertices at one place, and the result is one genus-0 surface.
TEST(SplitPinchedVertices, GivesEachFanItsOwnVertex)
{
    ModelTable table = PinchedLoop(1);
    const ModelTable before = table;
    ASSERT_NE(CheckSphereTopology(table), "");
    ASSERT_EQ(SplitPinchedVertices(table), 1);
    ASSERT_EQ(table.vertices.size(), before.vertices.size() + 1);
    const auto added = static_cast<int32_t>(before.vertices.size());
    int32_t pinched = -1;
    int moved = 0;
    for (size_t t = 0; t < table.triangles.size(); ++t) {
        for (size_t k = 0; k < 3; ++k) {
            if (before.triangles[t][k] == table.triangles[t][k]) continue;
            EXPECT_EQ(table.triangles[t][k], added);
            pinched = before.triangles[t][k];
            ++moved;
        }
    }
    ASSERT_GE(pinched, 0);
    EXPECT_EQ(table.vertices.back(), before.vertices[static_cast<size_t>(pinched)]);
    // A cube corner of a voxel face cut 1 x 1 is in 3 to 6 triangles.
    EXPECT_GE(moved, 3);
    EXPECT_LE(moved, 6);
    EXPECT_EQ(CheckSphereTopology(table), "");
}

// Cubes sharing only a corner come apart into two pieces, which the check names.
TEST(SplitPinchedVertices, CubesOnACornerComeApart)
{
    ModelTable table = PinchedCubes(1);
    EXPECT_EQ(SplitPinchedVertices(table), 1);
    EXPECT_EQ(CheckSphereTopology(table), "the mesh has 2 separate pieces");
}

TEST(SplitPinchedVertices, LeavesManifoldMeshesAlone)
{
    ModelTable table = ThickC(2);
    const ModelTable before = table;
    EXPECT_EQ(SplitPinchedVertices(table), 0);
    EXPECT_EQ(table.triangles, before.triangles);
    EXPECT_EQ(table.vertices.size(), before.vertices.size());
}

}  // namespace
}  // namespace vorlane
