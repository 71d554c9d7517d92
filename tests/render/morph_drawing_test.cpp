// What the drawing operations send to GL, caught in feedback mode: positions
// in window coordinates under an orthographic camera, and colours unlit.
#include "render/morph_drawing.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "geometry/vec3.h"
#include "gl_fixture.h"
#include "render/morph_interpolation.h"

namespace vorlane {
namespace {

struct FedVertex {
    float x, y;
    float red, green, blue;
};

struct Primitive {
    GLfloat token;
    std::vector<FedVertex> vertices;
};

class MorphDrawingTest : public test::GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        // Window x and y equal scene x and y.
        LookOrthographically(0, test::FrameSize, 1000);

        source.vertices = {{10, 20, 0}, {30, 40, 0}};
        source.spherePoints = {{100, 200, 0}, {300, 400, 0}};
        source.edges = {{0, 1}};

        mesh.startPositions = {{100, 100, 0}, {300, 100, 0}, {100, 300, 0}, {300, 300, 0}, {0, 0, 0}};
        mesh.endPositions = {{200, 300, 0}, {400, 300, 0}, {200, 500, 0}, {400, 500, 100}, {0, 0, 0}};
        mesh.edges = {{0, 1}, {1, 3}};
        // The short face is a broken record: it must be passed over, not read past.
        mesh.faces = {{3, {0, 1, 2}}, {2, {0, 1}}, {3, {1, 3, 2}}};
        mesh.source = &source;
        mesh.target = &target;
    }

    template <typename Draw>
    std::vector<Primitive> Feedback(Draw draw)
    {
        std::vector<GLfloat> buffer(4096);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
        std::vector<Primitive> primitives;
        for (GLint i = 0; i < used;) {
            Primitive primitive{buffer[static_cast<size_t>(i++)], {}};
            int count = 1;
            if (primitive.token == GL_POLYGON_TOKEN) {
                count = static_cast<int>(buffer[static_cast<size_t>(i++)]);
            } else if (primitive.token == GL_LINE_TOKEN || primitive.token == GL_LINE_RESET_TOKEN) {
                count = 2;
            }
            for (int k = 0; k < count; ++k, i += 7) {
                const GLfloat* v = &buffer[static_cast<size_t>(i)];
                primitive.vertices.push_back({v[0], v[1], v[3], v[4], v[5]});
            }
            primitives.push_back(primitive);
        }
        return primitives;
    }

    static void ExpectVertex(const FedVertex& v, float x, float y, float grey)
    {
        // The window transform rounds in float.
        EXPECT_NEAR(v.x, x, 1e-3);
        EXPECT_NEAR(v.y, y, 1e-3);
        EXPECT_FLOAT_EQ(v.red, grey);
        EXPECT_FLOAT_EQ(v.green, grey);
        EXPECT_FLOAT_EQ(v.blue, grey);
    }

    Polyhedron source, target;
    MorphMesh mesh;
    ColouredMorph shown{&mesh, {255, 0, 0}, {0, 255, 255}};
};

TEST_F(MorphDrawingTest, FacesAtTheStepInTheMorphColourOrBlack)
{
    for (const bool shadow : {false, true}) {
        SCOPED_TRACE(shadow ? "shadow" : "lit");
        const std::vector<Primitive> fed = Feedback([&] { DrawMorphFaces(mesh, 10, shadow ? std::nullopt : std::optional(MorphColour(shown, 10))); });
        ASSERT_EQ(fed.size(), 2u);
        const float grey = shadow ? 0.0f : 127.0f / 255.0f;
        for (const Primitive& p : fed) ASSERT_EQ(p.vertices.size(), 3u);
        ExpectVertex(fed[0].vertices[0], 150, 200, grey);
        ExpectVertex(fed[0].vertices[1], 350, 200, grey);
        ExpectVertex(fed[0].vertices[2], 150, 400, grey);
        ExpectVertex(fed[1].vertices[0], 350, 200, grey);
        ExpectVertex(fed[1].vertices[1], 350, 400, grey);
        ExpectVertex(fed[1].vertices[2], 150, 400, grey);

        // The last face's normal stays current: it lights the edges drawn next.
        // Corners (350, 200, 0), (350, 400, 50), (150, 400, 0): the normal is
        // (0, 200, 50) x (-200, 200, 0) = (-1, -1, 4) / sqrt(18) once unit.
        GLfloat normal[3] = {};
        glGetFloatv(GL_CURRENT_NORMAL, normal);
        const float third = static_cast<float>(1.0 / std::sqrt(18.0));
        EXPECT_NEAR(normal[0], -third, 1e-6);
        EXPECT_NEAR(normal[1], -third, 1e-6);
        EXPECT_NEAR(normal[2], 4 * third, 1e-6);
    }
}

TEST_F(MorphDrawingTest, NoFacesStillMakeAnEmptyBlock)
{
    mesh.faces.clear();
    EXPECT_TRUE(Feedback([&] { DrawMorphFaces(mesh, 0, ByteColour{}); }).empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MorphDrawingTest, EdgesVerticesRaysAndModelInTheirColoursAndSizes)
{
    std::vector<Primitive> fed = Feedback([&] { DrawMorphEdges(mesh, 20); });
    ASSERT_EQ(fed.size(), 2u);
    ExpectVertex(fed[0].vertices[0], 200, 300, 0);
    ExpectVertex(fed[0].vertices[1], 400, 300, 0);
    ExpectVertex(fed[1].vertices[1], 400, 500, 0);
    GLfloat size = 0;
    glGetFloatv(GL_LINE_WIDTH, &size);
    EXPECT_EQ(size, 2.0f);

    // Every merged vertex, also one no edge refers to.
    fed = Feedback([&] { DrawMorphVertices(mesh, 0); });
    ASSERT_EQ(fed.size(), 5u);
    ExpectVertex(fed[3].vertices[0], 300, 300, 1);
    ExpectVertex(fed[4].vertices[0], 0, 0, 1);
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 5.0f);

    fed = Feedback([&] { DrawModelEdges(source); });
    ASSERT_EQ(fed.size(), 1u);
    ExpectVertex(fed[0].vertices[0], 10, 20, 0);
    ExpectVertex(fed[0].vertices[1], 30, 40, 0);

    fed = Feedback([&] { DrawModelVertices(source); });
    ASSERT_EQ(fed.size(), 2u);
    ExpectVertex(fed[1].vertices[0], 30, 40, 1);

    fed = Feedback([&] { DrawProjectionRays(source); });
    ASSERT_EQ(fed.size(), 2u);
    for (const Primitive& ray : fed) ExpectVertex(ray.vertices[0], 0, 0, 0);
    ExpectVertex(fed[0].vertices[1], 100, 200, 0);
    ExpectVertex(fed[1].vertices[1], 300, 400, 0);
}

TEST_F(MorphDrawingTest, MorphViewTurnsThenDrawsWhatTheSwitchesSelect)
{
    ViewState view;
    view.angleX = 50.0f;   // cancels the -50 tilt
    view.angleY = -10.0f;  // cancels the +10 turn
    view.angleZ = 0.0f;
    view.morphStep = 20;
    view.showMorphFaces = false;
    view.showMorphEdges = false;
    view.showMorphVertices = true;
    glPushMatrix();
    const std::vector<Primitive> fed = Feedback([&] { DrawMorphView(shown, view); });
    glPopMatrix();
    ASSERT_EQ(fed.size(), 5u);
    EXPECT_EQ(fed[0].token, GL_POINT_TOKEN);
    EXPECT_NEAR(fed[1].vertices[0].x, 400, 1e-3);
    EXPECT_NEAR(fed[1].vertices[0].y, 300, 1e-3);

    // A quarter turn about z, moved back into the window.
    view.angleZ = 90.0f;
    glPushMatrix();
    glTranslatef(600.0f, 50.0f, 0.0f);
    const std::vector<Primitive> turned = Feedback([&] { DrawMorphView(shown, view); });
    glPopMatrix();
    ASSERT_EQ(turned.size(), 5u);
    EXPECT_NEAR(turned[1].vertices[0].x, 300, 1e-3);
    EXPECT_NEAR(turned[1].vertices[0].y, 450, 1e-3);
}

}  // namespace
}  // namespace vorlane
