#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>

#include "app/scene.h"
#include "render/gl_fixture.h"
#include "test_support.h"

namespace vorlane {
namespace {

using Rgba = std::array<GLfloat, 4>;

Rgba LightColour(GLenum which)
{
    Rgba value{};
    glGetLightfv(GL_LIGHT0, which, value.data());
    return value;
}

std::array<GLfloat, 16> Matrix(GLenum which)
{
    std::array<GLfloat, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

class SceneGlTest : public test::GlTest {
protected:
    test::ScratchDirectory directory;  // BuildScene writes its dumps here
    Scene scene;
};

TEST_F(SceneGlTest, SetupSceneLeavesTheLitDepthTestedState)
{
    SetupScene(scene);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    for (const GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL}) {
        SCOPED_TRACE(cap);
        EXPECT_TRUE(glIsEnabled(cap));
    }
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
    GLint value = 0;
    glGetIntegerv(GL_FRONT_FACE, &value);
    EXPECT_EQ(value, GL_CCW);
    glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &value);
    EXPECT_EQ(value, GL_FRONT);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &value);
    EXPECT_EQ(value, GL_AMBIENT_AND_DIFFUSE);

    EXPECT_EQ(LightColour(GL_AMBIENT), (Rgba{0.3f, 0.3f, 0.3f, 1.0f}));
    EXPECT_EQ(LightColour(GL_DIFFUSE), (Rgba{0.7f, 0.7f, 0.7f, 1.0f}));
    EXPECT_EQ(LightColour(GL_SPECULAR), (Rgba{1.0f, 1.0f, 1.0f, 1.0f}));
    // Set under the identity model-view matrix, so eye and scene coordinates agree.
    EXPECT_EQ(LightColour(GL_POSITION), (Rgba{-200.0f, 200.0f, 300.0f, 1.0f}));

    Rgba specular{};
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular.data());
    EXPECT_EQ(specular, (Rgba{1.0f, 1.0f, 1.0f, 1.0f}));
    GLfloat shininess = 0.0f;
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_EQ(shininess, 128.0f);

    Rgba clear{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
    EXPECT_EQ(clear, (Rgba{0.0f, 0.0f, 1.0f, 1.0f}));

    EXPECT_EQ(scene.shadowMatrix[5], 149.0f);
    EXPECT_EQ(scene.shadowMatrix[14], -44700.0f);
    EXPECT_EQ(scene.morphs.size(), 4u);
}

TEST_F(SceneGlTest, ReshapeSetsCameraAndPlacesTheLightInTheViewFrame)
{
    Reshape(scene, 640, 480);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ((std::array<GLint, 4>{viewport[0], viewport[1], viewport[2], viewport[3]}),
              (std::array<GLint, 4>{0, 0, 640, 480}));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    const std::array<GLfloat, 16> view = Matrix(GL_MODELVIEW_MATRIX);
    EXPECT_EQ(view, (std::array<GLfloat, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -400, 1}));

    const std::array<GLfloat, 16> projection = Matrix(GL_PROJECTION_MATRIX);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 640.0f / 480.0f, 1.0, 500.0);
    EXPECT_EQ(projection, Matrix(GL_PROJECTION_MATRIX));
    glMatrixMode(GL_MODELVIEW);

    EXPECT_EQ(LightColour(GL_POSITION), (Rgba{-200.0f, 200.0f, -100.0f, 1.0f}));
}

TEST_F(SceneGlTest, ReshapeTakesAZeroHeightAsOne)
{
    Reshape(scene, 800, 1);
    const std::array<GLfloat, 16> one = Matrix(GL_PROJECTION_MATRIX);
    Reshape(scene, 800, 0);
    EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), one);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 1);
    // aspect 800: the x scale is the y scale over 800.
    EXPECT_FLOAT_EQ(one[0] * 800.0f, one[5]);
}

}  // namespace
}  // namespace vorlane
