// A mesh following its own moved copy must take the copy's very map.
#include "prepare/follow_shape.h"

#include <gtest/gtest.h>

#include "bench/hard_meshes.h"
#include "embed/spherical_embedding.h"

namespace vorlane {
namespace {

// The leader is a bent C on a spherical map, the follower the same mesh
// turned a quarter, doubled and shifted, on its central map. Each follower
// vertex lies at its original's point and its triangles take the same
// shares, so it must come back at that vertex's very sphere point; a
// different shape is left as it was.
TEST(FollowShape, ACopyTakesItsOriginalsSpherePoints)
{
    const ModelTable shape = BentC(3);
    Polyhedron leader = BuildPolyhedron(shape, Vec3{});
    const SphericalEmbedding embedding = EmbedOnSphere(shape);
    ASSERT_EQ(embedding.error, "");
    leader.spherePoints = embedding.directions;
    leader.map = SphereMap::Spherical;

    ModelTable moved = shape;
    for (Vec3& v : moved.vertices) {
        v = {2.0f * v.y + 4.0f, -2.0f * v.x - 2.0f, 2.0f * v.z + 7.0f};
    }
    Polyhedron follower = BuildPolyhedron(moved, Vec3{});
    double misfit = 1.0;
    ASSERT_TRUE(FollowShape(leader, follower, misfit));
    EXPECT_LT(misfit, 0.01);
    EXPECT_EQ(follower.map, SphereMap::Spherical);
    EXPECT_TRUE(follower.spherePoints == leader.spherePoints);

    Polyhedron other = BuildPolyhedron(FingerComb(3, 5, 2), Vec3{});
    const std::vector<Vec3> before = other.spherePoints;
    EXPECT_FALSE(FollowShape(leader, other, misfit));
    EXPECT_GT(misfit, SameShapeMisfit);
    EXPECT_EQ(other.spherePoints, before);
    EXPECT_EQ(other.map, SphereMap::Central);
}

}  // namespace
}  // namespace vorlane
