// A bent copy follows its original through the intrinsic correspondence;
// a different shape is left as it was.
#include "prepare/follow_correspondence.h"

#include <gtest/gtest.h>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "bench/pose_pair.h"
#include "embed/spherical_embedding.h"

namespace vorlane {
namespace {

Polyhedron OnItsOwnSphere(const ModelTable& table)
{
    Polyhedron model = BuildPolyhedron(table, Vec3{});
    const SphericalEmbedding embedding = EmbedOnSphere(table);
    EXPECT_EQ(embedding.error, "");
    model.spherePoints = embedding.directions;
    model.map = SphereMap::Spherical;
    return model;
}

TEST(FollowCorrespondence, ABentCopyFollowsAndADifferentShapeDoesNot)
{
    ModelTable egg = Icosphere(3, 1.0f);
    for (Vec3& v : egg.vertices) v = {3.0f * v.x, (1.2f + 0.3f * v.x) * v.y, 0.8f * v.z + 0.3f * v.x * v.x};
    const Polyhedron leader = OnItsOwnSphere(egg);
    const PosePair pair = MakePosePair(egg, 0.5);
    Polyhedron follower = OnItsOwnSphere(pair.copy);
    Correspondence map;
    ASSERT_TRUE(FollowCorrespondence(leader, follower, &map));
    EXPECT_TRUE(map.confident);
    EXPECT_EQ(CheckEmbedding({follower.vertices, follower.faces}, follower.spherePoints), "");

    Polyhedron other = OnItsOwnSphere(Tube(12, 40, 10.0f, 1.0f));
    const std::vector<Vec3> before = other.spherePoints;
    EXPECT_FALSE(FollowCorrespondence(leader, other, &map));
    EXPECT_FALSE(map.confident);
    EXPECT_EQ(other.spherePoints, before);
}

}  // namespace
}  // namespace vorlane
