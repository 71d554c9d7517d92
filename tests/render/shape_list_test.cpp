// The cache's lookup needs no context; compiling and calling lists is tested
// in the GL tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "render/light_marker.h"

namespace vorlane {
namespace {

TEST(ParamsEqual, ComparesExactlyOverCount)
{
    const double a[] = {5.0, 1.0, -0.0};
    const double b[] = {5.0, 2.0, 0.0};
    const double next = std::nextafter(5.0, 6.0);
    EXPECT_TRUE(ParamsEqual(a, b, 0));
    EXPECT_TRUE(ParamsEqual(a, b, -3));
    EXPECT_TRUE(ParamsEqual(a, b, 1));
    EXPECT_FALSE(ParamsEqual(a, b, 2));
    EXPECT_TRUE(ParamsEqual(a + 2, b + 2, 1));  // -0 == +0 as doubles
    EXPECT_FALSE(ParamsEqual(a, &next, 1));
}

TEST(FindShapeList, NewestMatchOfTheKindWithTheSameParameterCount)
{
    ShapeListCache cache;
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {5.0}), 0u);

    cache.kinds[SolidSphereKind].push_front({7, {5.0}});
    cache.kinds[SolidSphereKind].push_front({8, {2.0}});
    cache.kinds[SolidSphereKind].push_front({9, {5.0, 1.0}});
    cache.kinds[SolidSphereKind].push_front({10, {5.0}});
    cache.kinds[3].push_front({11, {4.0}});

    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {5.0}), 10u);
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {2.0}), 8u);
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {5.0, 1.0}), 9u);
    // A longer request must not read past a shorter entry's parameters.
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {2.0, 0.0}), 0u);
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {std::nextafter(5.0, 6.0)}), 0u);
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {4.0}), 0u);
    EXPECT_EQ(FindShapeList(cache, 3, {4.0}), 11u);
}

}  // namespace
}  // namespace vorlane
