// Whole frames of the scene in a real context, judged by their pixels.
#include "render/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QImage>
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "app/scene.h"
#include "gl_fixture.h"
#include "test_support.h"

namespace vorlane {
namespace {

bool IsBackground(QRgb p) { return p == qRgb(0, 0, 255); }
bool IsFloor(QRgb p) { return qRed(p) == 0 && qBlue(p) == 0 && qGreen(p) >= 128; }
bool IsMarker(QRgb p) { return p == qRgb(255, 255, 0); }
bool IsBlack(QRgb p) { return p == qRgb(0, 0, 0); }
bool IsRedDominated(QRgb p) { return qRed(p) > 60 && 2 * qGreen(p) < qRed(p) && 2 * qBlue(p) < qRed(p); }
bool IsCyanDominated(QRgb p)
{
    return qGreen(p) > 60 && qBlue(p) > 60 && 2 * qRed(p) < qGreen(p) && 2 * qRed(p) < qBlue(p);
}

using PixelTest = std::function<bool(int x, QRgb)>;

int Count(const QImage& frame, const PixelTest& is)
{
    int count = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) count += is(x, frame.pixel(x, y));
    }
    return count;
}

int Count(const QImage& frame, bool (*is)(QRgb))
{
    return Count(frame, [is](int, QRgb p) { return is(p); });
}

PixelTest Left(int split, bool (*is)(QRgb))
{
    return [=](int x, QRgb p) { return x < split && is(p); };
}

PixelTest Right(int split, bool (*is)(QRgb))
{
    return [=](int x, QRgb p) { return x >= split && is(p); };
}

class FrameTest : public test::GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        SetupScene(scene);
        Reshape(scene, test::FrameSize, test::FrameSize);
    }

    QImage Frame()
    {
        PaintScene(scene, view);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return Grab();
    }

    // Where the scene point p of the left panel lands, top row first.
    std::array<double, 3> ProjectInLeftPanel(const float p[3])
    {
        glPushMatrix();
        glTranslatef(LeftPanelOffset, 0.0f, 0.0f);
        GLdouble model[16], projection[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glPopMatrix();
        std::array<double, 3> window{};
        gluProject(p[0], p[1], p[2], model, projection, viewport, &window[0], &window[1], &window[2]);
        window[1] = test::FrameSize - 1 - window[1];
        return window;
    }

    test::ScratchDirectory directory;  // the merges write their dumps here
    Scene scene;
    ViewState view;
};

TEST_F(FrameTest, BlueSkyGreenFloorAndTheMorphsInTheirColours)
{
    const QImage first = Frame();
    EXPECT_TRUE(IsBackground(first.pixel(0, 0)));
    EXPECT_TRUE(IsBackground(first.pixel(test::FrameSize - 1, 0)));
    // The floor's near half fills the bottom rows, darker towards the back.
    for (const int x : {0, 200, 600, test::FrameSize - 1}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(IsFloor(first.pixel(x, test::FrameSize - 1)));
        EXPECT_TRUE(IsFloor(first.pixel(x, 640)));
        EXPECT_GT(qGreen(first.pixel(x, test::FrameSize - 1)), qGreen(first.pixel(x, 640)));
    }
    // Neither morph reaches past the middle rows of its half.
    EXPECT_FALSE(IsBackground(first.pixel(140, 400)));
    EXPECT_FALSE(IsBackground(first.pixel(400, 400)));
    // The left morph starts as the red icosahedron, the centre one as the
    // cyan cube, and at the last step each has become the other.
    const int split = 270;
    EXPECT_GT(Count(first, Left(split, IsRedDominated)), 5000);
    EXPECT_EQ(Count(first, Left(split, IsCyanDominated)), 0);
    EXPECT_GT(Count(first, Right(split, IsCyanDominated)), 5000);
    EXPECT_EQ(Count(first, Right(split, IsRedDominated)), 0);

    view.morphStep = MorphSteps;
    const QImage last = Frame();
    EXPECT_GT(Count(last, Left(split, IsCyanDominated)), 5000);
    EXPECT_EQ(Count(last, Left(split, IsRedDominated)), 0);
    EXPECT_GT(Count(last, Right(split, IsRedDominated)), 5000);
    EXPECT_EQ(Count(last, Right(split, IsCyanDominated)), 0);
}

TEST_F(FrameTest, WithEverySwitchOffOnlySkyFloorAndMarkerRemain)
{
    // Placed where the camera sees it: at the start the light is outside the view.
    const float start[3] = {scene.lightPosition[0], scene.lightPosition[1], scene.lightPosition[2]};
    const std::array<double, 3> hidden = ProjectInLeftPanel(start);
    EXPECT_TRUE(hidden[0] < 0 || hidden[0] >= test::FrameSize);

    scene.lightPosition[0] = -50.0f;
    scene.lightPosition[1] = 50.0f;
    scene.lightPosition[2] = 0.0f;
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    view.showMorphFaces = false;
    view.showMorphEdges = false;
    view.showMorphVertices = false;
    const QImage frame = Frame();

    const std::array<double, 3> marker = ProjectInLeftPanel(scene.lightPosition);
    EXPECT_TRUE(IsMarker(frame.pixel(static_cast<int>(marker[0]), static_cast<int>(marker[1]))));
    EXPECT_GT(Count(frame, IsMarker), 20);
    EXPECT_GT(Count(frame, IsFloor), 10000);
    EXPECT_EQ(Count(frame, [](int, QRgb p) { return !IsBackground(p) && !IsFloor(p) && !IsMarker(p); }), 0);
}

TEST_F(FrameTest, ShadowsComeAndGoWithTheFaces)
{
    // From the start position the shadows fall mostly beyond the far plane;
    // fifty Page Down presses bring them onto the visible floor.
    scene.lightPosition[2] = 50.0f;
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    view.showMorphEdges = false;  // black edges would pass for shadow
    const QImage lit = Frame();
    const int shadow = Count(lit, IsBlack);
    EXPECT_GT(shadow, 2000);

    // A light moved towards the viewer moves the shadows.
    scene.lightPosition[2] += 5.0f;
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    const QImage moved = Frame();
    EXPECT_NE(moved, lit);
    EXPECT_GT(Count(moved, IsBlack), 2000);

    view.showMorphFaces = false;
    EXPECT_EQ(Count(Frame(), IsBlack), 0);
}

TEST_F(FrameTest, ProjectionRaysOnlyFromTheLeftMorph)
{
    view.showMorphFaces = false;
    view.showMorphEdges = false;
    const QImage without = Frame();
    view.showProjectionRays = true;
    const QImage with = Frame();

    // The rays start at each panel's centre, if they are drawn there at all.
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    const std::array<double, 3> left = ProjectInLeftPanel(origin);
    const auto changedNear = [&](int cx, int cy) {
        int changed = 0;
        for (int y = cy - 12; y <= cy + 12; ++y) {
            for (int x = cx - 12; x <= cx + 12; ++x) changed += with.pixel(x, y) != without.pixel(x, y);
        }
        return changed;
    };
    EXPECT_GT(changedNear(static_cast<int>(left[0]), static_cast<int>(left[1])), 20);
    EXPECT_EQ(changedNear(test::FrameSize / 2, test::FrameSize / 2), 0);
}

}  // namespace
}  // namespace vorlane
