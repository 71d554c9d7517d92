#include "render/light_marker.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "gl_fixture.h"

namespace vorlane {
namespace {

class LightMarkerTest : public test::GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        LookOrthographically(-10, 10, 10);
        glClearColor(0, 0, 0, 1);
    }

    // Whether a sphere of radius 5 about the origin covers the centre and
    // stops short of the corner.
    bool DrawsSphere(double radius)
    {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3ub(255, 255, 0);
        DrawSolidSphere(cache, radius);
        const QImage frame = Grab();
        return frame.pixel(test::FrameSize / 2, test::FrameSize / 2) == qRgb(255, 255, 0) &&
               frame.pixel(5, 5) == qRgb(0, 0, 0);
    }

    size_t Entries() const
    {
        const auto kind = cache.kinds.find(SolidSphereKind);
        return kind == cache.kinds.end() ? 0 : static_cast<size_t>(std::distance(kind->second.begin(), kind->second.end()));
    }

    ShapeListCache cache;
};

TEST_F(LightMarkerTest, CompilesOnceThenCallsTheList)
{
    EXPECT_TRUE(DrawsSphere(5.0)) << "the first call must draw while it compiles";
    ASSERT_EQ(Entries(), 1u);
    const GLuint id = cache.kinds[SolidSphereKind].front().listId;
    EXPECT_TRUE(glIsList(id));

    EXPECT_TRUE(DrawsSphere(5.0));
    EXPECT_EQ(Entries(), 1u);

    // Emptied behind the cache's back, the list draws nothing: proof that later
    // calls replay it rather than tessellate again.
    glNewList(id, GL_COMPILE);
    glEndList();
    EXPECT_FALSE(DrawsSphere(5.0));
    EXPECT_EQ(Entries(), 1u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LightMarkerTest, EachRadiusGetsItsOwnList)
{
    EXPECT_TRUE(DrawsSphere(5.0));
    EXPECT_TRUE(DrawsSphere(4.0));
    ASSERT_EQ(Entries(), 2u);
    const GLuint newest = cache.kinds[SolidSphereKind].front().listId;
    EXPECT_EQ(cache.kinds[SolidSphereKind].front().params, std::vector<double>{4.0});
    EXPECT_EQ(FindShapeList(cache, SolidSphereKind, {4.0}), newest);
    const GLuint first = FindShapeList(cache, SolidSphereKind, {5.0});
    EXPECT_NE(first, newest);
    EXPECT_TRUE(glIsList(first));
    EXPECT_TRUE(glIsList(newest));

    EXPECT_TRUE(DrawsSphere(std::nextafter(5.0, 6.0)));
    EXPECT_EQ(Entries(), 3u);
    EXPECT_TRUE(DrawsSphere(5.0));
    EXPECT_EQ(Entries(), 3u);
}

}  // namespace
}  // namespace vorlane
