#include <GL/gl.h>
#include <GL/glu.h>

#include "app/scene.h"
#include "render/frame.h"

namespace vorlane {

void SetupScene(Scene& scene)
{
    SetupLighting(scene);
    BuildScene(scene);
}

void SetupLighting(Scene& scene)
{
    // A new context has none of the lists an earlier one compiled.
    scene.shapeLists = ShapeListCache{};

    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);

    const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat diffuse[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, scene.lightPosition);
    glEnable(GL_LIGHT0);

    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMateriali(GL_FRONT, GL_SHININESS, 128);

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);

    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
}

void Reshape(const Scene& scene, int32_t width, int32_t height)
{
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, PerspectiveAspect(width, height), 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -400.0f);
    glLightfv(GL_LIGHT0, GL_POSITION, scene.lightPosition);
}

void PaintScene(const Scene& scene, const ViewState& view)
{
    if (scene.morphs.size() < 4) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFlush();
        return;
    }
    DrawFrame(scene.shown[2], scene.shown[3], scene.lightPosition, scene.shadowMatrix, view, scene.shapeLists);
}

}  // namespace vorlane
