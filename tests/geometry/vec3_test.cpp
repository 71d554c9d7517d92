#include <gtest/gtest.h>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {
namespace {

void ExpectVec(const Vec3& v, float x, float y, float z)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(ProjectToSphere, ScalesAlongTheRayToRadius300)
{
    Vec3 q;
    ASSERT_TRUE(ProjectToSphere({0, 0, 10}, q));
    ExpectVec(q, 0, 0, 300);
    ASSERT_TRUE(ProjectToSphere({3, 4, 0}, q));
    ExpectVec(q, 180, 240, 0);
}

TEST(ProjectToSphere, CentreLeavesOutputUntouched)
{
    Vec3 q{7, 8, 9};
    EXPECT_FALSE(ProjectToSphere({0, 0, 0}, q));
    ExpectVec(q, 7, 8, 9);
}

TEST(ProjectToSphere, PointOnSphereMapsOntoItself)
{
    const Vec3 p{120.0f, -90.0f, 259.80762f};
    Vec3 q;
    ASSERT_TRUE(ProjectToSphere(p, q));
    EXPECT_NEAR(q.x, p.x, 1e-4);
    EXPECT_NEAR(q.y, p.y, 1e-4);
    EXPECT_NEAR(q.z, p.z, 1e-4);
}

TEST(NormalizeVector, ZeroStaysZeroAndOthersGetUnitLength)
{
    Vec3 zero{0, 0, 0};
    NormalizeVector(zero);
    ExpectVec(zero, 0, 0, 0);
    Vec3 v{0, 3, 4};
    NormalizeVector(v);
    ExpectVec(v, 0, 0.6f, 0.8f);
}

TEST(TriangleNormal, FollowsTheRightHandRule)
{
    struct Case {
        TrianglePoints t;
        Vec3 expected;
    };
    const Case cases[] = {
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0, 1}},
        {{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {0, 0, -1}},
        {{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, {0, 0, 0}},  // collinear
        {{{5, 5, 5}, {5, 5, 5}, {1, 2, 3}}, {0, 0, 0}},  // two corners equal
    };
    for (const Case& c : cases) {
        Vec3 n;
        TriangleNormal(c.t, n);
        ExpectVec(n, c.expected.x, c.expected.y, c.expected.z);
    }
}

TEST(DotProduct, SumsInDoubleBeforeRounding)
{
    // Summed in float, each 1 would vanish against 2^24 one at a time.
    EXPECT_EQ(DotProduct({16777216.0f, 1, 1}, {1, 1, 1}), 16777218.0f);
    EXPECT_EQ(DotProduct({1, 2, 3}, {4, 5, 6}), 32.0f);
}

TEST(BuildPolyhedron, VertexAtTheCentreGetsTheZeroSpherePoint)
{
    const ModelTable table{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
    const Polyhedron model = BuildPolyhedron(table, {0, 0, 0});
    ExpectVec(model.spherePoints[0], 0, 0, 0);
    ExpectVec(model.spherePoints[3], 0, 0, 300);
}

}  // namespace
}  // namespace vorlane
