#include "render/morph_interpolation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "render/view_state.h"

namespace vorlane {
namespace {

struct ChannelCase {
    uint8_t a, b;
    int32_t step;
    uint8_t expected;
};

// The whole part is taken after the sum, so halves round down on the way up
// and on the way down alike.
TEST(InterpolateChannel, TruncatesTheSumTowardZero)
{
    const ChannelCase cases[] = {
        {255, 0, 0, 255},   {255, 0, 1, 242},   {0, 255, 1, 12},    {255, 0, 10, 127},  {0, 255, 10, 127},
        {255, 0, 19, 12},   {255, 0, 20, 0},    {0, 255, 20, 255},  {100, 100, 7, 100}, {1, 0, 19, 0},
        {0, 1, 19, 0},      {0, 1, 20, 1},      {200, 10, 3, 171},
    };
    for (const ChannelCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.a) << " -> " << int(c.b) << " at step " << c.step);
        EXPECT_EQ(InterpolateChannel(c.a, c.b, c.step), c.expected);
    }
}

TEST(MorphColour, IcosahedronIntoCube)
{
    MorphMesh mesh;
    const ColouredMorph morph{&mesh, {255, 0, 0}, {0, 255, 255}};
    const struct {
        int32_t step;
        ByteColour expected;
    } cases[] = {{0, {255, 0, 0}}, {1, {242, 12, 12}}, {10, {127, 127, 127}}, {20, {0, 255, 255}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        const ByteColour colour = MorphColour(morph, c.step);
        EXPECT_EQ(colour.red, c.expected.red);
        EXPECT_EQ(colour.green, c.expected.green);
        EXPECT_EQ(colour.blue, c.expected.blue);
    }
}

TEST(MorphPoint, WalksFromStartToEndInTwentySteps)
{
    MorphMesh mesh;
    mesh.startPositions = {{0.0f, 0.0f, 0.0f}, {0.1f, -35.35534f, 26.286554f}};
    mesh.endPositions = {{20.0f, -40.0f, 1.0f}, {-42.53254f, 0.3f, 1e-7f}};

    EXPECT_EQ(MorphPoint(mesh, 0, 0), (Vec3{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(MorphPoint(mesh, 10, 0), (Vec3{10.0f, -20.0f, 0.5f}));
    EXPECT_EQ(MorphPoint(mesh, 20, 0), (Vec3{20.0f, -40.0f, 1.0f}));

    // Awkward values land exactly on both ends, and halfway is the midpoint
    // rounded once.
    EXPECT_EQ(MorphPoint(mesh, 0, 1), mesh.startPositions[1]);
    EXPECT_EQ(MorphPoint(mesh, MorphSteps, 1), mesh.endPositions[1]);
    const Vec3 half = MorphPoint(mesh, 10, 1);
    EXPECT_EQ(half.x, static_cast<float>((0.1f + static_cast<double>(-42.53254f)) / 2.0));
    EXPECT_EQ(half.y, static_cast<float>((-35.35534f + static_cast<double>(0.3f)) / 2.0));
    EXPECT_EQ(half.z, static_cast<float>((26.286554f + static_cast<double>(1e-7f)) / 2.0));
}

}  // namespace
}  // namespace vorlane
