#include <gtest/gtest.h>

#include "geometry/morph_step.h"

namespace vorlane {
namespace {

// Step 0 and the last step are the two shapes to the bit; the middle is the
// straight line, against values worked out by hand.
TEST(MorphPosition, EndsAreExactAndTheMiddleIsOnTheLine)
{
    struct Case {
        const char* what;
        Vec3 start;
        Vec3 end;
    };
    const Case cases[] = {
        {"ordinary", {0.1f, -7.3f, 1e6f}, {0.3f, 12.9f, -3e-3f}},
        // A regression: in double, 1e20 + 20 * (1e-20 - 1e20) / 20 cancels to 0.
        {"sizes forty orders apart", {1e20f, -1e20f, 3e19f}, {1e-20f, 2e-20f, -1e-20f}},
        {"the largest floats", {3.4e38f, -3.4e38f, 0.0f}, {-3.4e38f, 3.4e38f, 1.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MorphPosition(c.start, c.end, 0), c.start);
        EXPECT_EQ(MorphPosition(c.start, c.end, MorphSteps), c.end);
    }
    const Vec3 middle = MorphPosition(cases[0].start, cases[0].end, 10);
    EXPECT_FLOAT_EQ(middle.x, 0.2f);
    EXPECT_FLOAT_EQ(middle.y, 2.8f);
    EXPECT_FLOAT_EQ(middle.z, 499999.9985f);
}

}  // namespace
}  // namespace vorlane
