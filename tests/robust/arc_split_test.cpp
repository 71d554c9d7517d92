#include <gtest/gtest.h>

#include <vector>

#include "geometry/exact_predicates.h"
#include "robust/arc_split.h"
#include "robust/arc_walk.h"
#include "robust/merge_meshes.h"
#include "robust/sphere_map_check.h"

namespace vorlane {
namespace {

Polyhedron Octahedron()
{
    ModelTable table;
    table.vertices = {{10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {-10, 0, 0}, {0, -10, 0}, {0, 0, -10}};
    table.triangles = {{0, 1, 2}, {1, 3, 2}, {3, 4, 2}, {4, 0, 2}, {1, 0, 5}, {3, 1, 5}, {4, 3, 5}, {0, 4, 5}};
    return BuildPolyhedron(table, {0, 0, 0});
}

// Every piece faces the centre by its directions, and the surface is a
// closed star-shaped mesh again.
void ExpectSoundSplit(const SplitMesh& split)
{
    EXPECT_EQ(ValidateSphereCover(split.surface), "");
    ASSERT_EQ(split.directions.size(), split.surface.vertices.size());
    for (const Triangle& f : split.surface.faces) {
        EXPECT_GT(Orient3(split.directions[static_cast<size_t>(f[0])], split.directions[static_cast<size_t>(f[1])],
                          split.directions[static_cast<size_t>(f[2])]),
                  0);
    }
}

TEST(SplitArcs, TwoPointsInOneArcCutBothTrianglesBesideIt)
{
    const Polyhedron octahedron = Octahedron();
    const WalkMesh mesh = MakeWalkMesh(octahedron);
    const int32_t arc = mesh.ArcIndex(0, 1);
    SplitMesh split;
    // Given out of order: the split sorts them along the arc.
    ASSERT_TRUE(SplitArcs(mesh, {{arc, {1, 3, 0}}, {arc, {3, 1, 0}}}, split));
    ExpectSoundSplit(split);
    EXPECT_EQ(split.surface.vertices.size(), 8u);
    EXPECT_EQ(split.surface.faces.size(), 12u);
    // Where the rays meet the edge from (10, 0, 0) to (0, 10, 0).
    EXPECT_FLOAT_EQ(split.surface.vertices[6].x, 7.5f);
    EXPECT_FLOAT_EQ(split.surface.vertices[6].y, 2.5f);
    EXPECT_FLOAT_EQ(split.surface.vertices[7].x, 2.5f);
    EXPECT_FLOAT_EQ(split.surface.vertices[7].y, 7.5f);
    const std::vector<bool> changed{true, false, false, false, true, false, false, false};
    EXPECT_EQ(split.changed, changed);
}

TEST(SplitArcs, AllThreeSidesOfATriangleSplitLeaveNoPieceAlongASide)
{
    const Polyhedron octahedron = Octahedron();
    const WalkMesh mesh = MakeWalkMesh(octahedron);
    SplitMesh split;
    ASSERT_TRUE(SplitArcs(mesh, {{mesh.ArcIndex(0, 1), {1, 1, 0}}, {mesh.ArcIndex(1, 2), {0, 1, 1}}, {mesh.ArcIndex(0, 2), {1, 0, 1}}}, split));
    ExpectSoundSplit(split);
    EXPECT_EQ(split.surface.vertices.size(), 9u);
    EXPECT_EQ(split.surface.faces.size(), 14u);
}

TEST(SplitArcs, AnArcWhosePiecesWouldTurnAwayStaysWhole)
{
    const Polyhedron octahedron = Octahedron();
    const WalkMesh mesh = MakeWalkMesh(octahedron);
    SplitMesh split;
    // Beyond the arc's end at (10, 0, 0), on its great circle.
    EXPECT_FALSE(SplitArcs(mesh, {{mesh.ArcIndex(0, 1), {5, -1, 0}}}, split));
    // The same beside a good split of another arc: only that one is made.
    ASSERT_TRUE(SplitArcs(mesh, {{mesh.ArcIndex(0, 1), {5, -1, 0}}, {mesh.ArcIndex(3, 5), {-1, 0, -1}}}, split));
    ExpectSoundSplit(split);
    EXPECT_EQ(split.surface.vertices.size(), 7u);
    EXPECT_EQ(split.surface.faces.size(), 10u);
}

}  // namespace
}  // namespace vorlane
