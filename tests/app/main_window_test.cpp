// The main window in this process, on a real display and a real context.
#include "app/main_window.h"

#include <GL/gl.h>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QOpenGLContext>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "app/frame_view.h"
#include "geometry/model_catalogue.h"
#include "literal/merge_topologies.h"
#include "app_test_support.h"
#include "test_support.h"

namespace {

using vorlane::MainWindow;
using vorlane::test::WaitFor;

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(WaitFor([this] { return window.animationRunning(); })) << "the scene never came up";
    }

    // Delivered through the window, so it reaches whichever widget has focus.
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(window.windowHandle(), &event);
    }

    const vorlane::ViewState& view() const { return window.animation().view; }

    // The scene writes its face dumps into the working directory.
    vorlane::test::ScratchDirectory scratch;
    MainWindow window;
};

TEST_F(MainWindowTest, TitleGeometryAndMenu)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vorlane"));
    EXPECT_EQ(window.windowHandle()->geometry(), QRect(50, 50, 800, 800));

    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
    ASSERT_NE(menus[0]->menu(), nullptr);
    const QList<QAction*> items = menus[0]->menu()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(items[0]->data().toInt(), vorlane::ExitCommandId);
}

// Each press changes exactly what its key names. S first, so no tick moves
// the state while the keys are checked.
TEST_F(MainWindowTest, KeyEventsChangeTheStateTheyName)
{
    Press(Qt::Key_S);
    EXPECT_FALSE(window.animationRunning());
    EXPECT_FALSE(window.animation().resumeOnKey);

    const int32_t step = view().morphStep;
    const float angleX = view().angleX;
    Press(Qt::Key_O);
    EXPECT_FALSE(view().showMorphFaces);
    Press(Qt::Key_L, Qt::ShiftModifier);
    EXPECT_FALSE(view().showMorphEdges) << "Shift makes no difference";
    Press(Qt::Key_1, Qt::KeypadModifier);
    EXPECT_FALSE(view().showModelEdges) << "keypad digits are not the digit keys";
    Press(Qt::Key_1);
    EXPECT_TRUE(view().showModelEdges);
    Press(Qt::Key_V);
    EXPECT_TRUE(view().showMorphVertices);
    Press(Qt::Key_3);
    EXPECT_TRUE(view().showProjectionRays);
    Press(Qt::Key_PageUp);
    EXPECT_EQ(window.scene().lightPosition[2], 305.0f);
    Press(Qt::Key_Up, Qt::NoModifier, true);
    EXPECT_EQ(view().angleX, std::fmod(angleX - 5.0f, 360.0f) + 0.0f) << "repeats count as presses";
    Press(Qt::Key_O, Qt::AltModifier);
    EXPECT_FALSE(view().showMorphFaces) << "Alt combinations belong to the menu";
    EXPECT_EQ(view().morphStep, step);
    EXPECT_FALSE(window.animationRunning());

    Press(Qt::Key_A);
    EXPECT_TRUE(window.animationRunning());
}

TEST_F(MainWindowTest, TimerWalksTheStepUntilStoppedAndAnyKeyRestartsIt)
{
    ASSERT_TRUE(WaitFor([this] { return view().morphStep >= 2; }));
    EXPECT_NE(view().angleZ, 0.0f);

    Press(Qt::Key_S);
    Press(Qt::Key_S);  // switch set again, timer still stopped
    EXPECT_FALSE(window.animationRunning());
    EXPECT_TRUE(window.animation().resumeOnKey);
    const int32_t stopped = view().morphStep;
    const float angleZ = view().angleZ;
    QTest::qWait(350);
    EXPECT_EQ(view().morphStep, stopped);
    EXPECT_EQ(view().angleZ, angleZ);

    Press(Qt::Key_Space);
    EXPECT_TRUE(window.animationRunning());
    EXPECT_TRUE(WaitFor([&] { return view().angleZ != angleZ; }));
}

TEST_F(MainWindowTest, ExitStopsTheTimerAndClosesTheWindow)
{
    window.exitAction()->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.animationRunning());
}

TEST_F(MainWindowTest, ContextIsDoubleBufferedTrueColourWithDepthAndFixedFunction)
{
    vorlane::FrameView* frame = window.view();
    ASSERT_TRUE(frame->isValid());
    QOpenGLContext* context = frame->context();
    ASSERT_NE(context, nullptr);
    const QSurfaceFormat format = context->format();
    EXPECT_EQ(format.swapBehavior(), QSurfaceFormat::DoubleBuffer);
    EXPECT_GE(format.redBufferSize() + format.greenBufferSize() + format.blueBufferSize(), 24);
    EXPECT_GT(format.depthBufferSize(), 0);
    EXPECT_TRUE(format.profile() == QSurfaceFormat::CompatibilityProfile || format.version() < qMakePair(3, 2))
        << "fixed-function OpenGL needs a compatibility context";
    // The window's own surface, where the frames are presented.
    EXPECT_EQ(window.windowHandle()->format().swapBehavior(), QSurfaceFormat::DoubleBuffer);

    // What the drawing actually renders into.
    frame->makeCurrent();
    GLint red = 0, green = 0, blue = 0, depth = 0;
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_GE(red + green + blue, 24);
    EXPECT_GT(depth, 0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPopMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    frame->doneCurrent();
}

TEST_F(MainWindowTest, FrameIsClearedToTheSceneBlue)
{
    const QImage frame = window.view()->grabFramebuffer();
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), window.view()->size() * window.view()->devicePixelRatio());
    EXPECT_EQ(frame.pixelColor(2, 2), QColor(0, 0, 255));
}

}  // namespace

// The last of the start-up merges leaves its dumps: the cube about the origin
// into the icosahedron about the origin.
TEST_F(MainWindowTest, StartUpLeavesTheDumpsOfTheCubeIntoTheIcosahedron)
{
    const std::string polygons = vorlane::test::ReadFile("facelist1.txt");
    const std::string triangles = vorlane::test::ReadFile("facelist2.txt");
    ASSERT_FALSE(polygons.empty());

    vorlane::test::ScratchDirectory elsewhere;
    vorlane::Polyhedron cube = vorlane::BuildCube({0, 0, 0});
    vorlane::Polyhedron icosahedron = vorlane::BuildIcosahedron({0, 0, 0});
    vorlane::MergeTopologies(cube, icosahedron);
    EXPECT_EQ(polygons, vorlane::test::ReadFile("facelist1.txt"));
    EXPECT_EQ(triangles, vorlane::test::ReadFile("facelist2.txt"));
}
