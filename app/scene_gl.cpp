#include <GL/gl.h>

#include "app/scene.h"

namespace vorlane {

// Stand-in: the blue clear colour and the shadow matrix, nothing drawn yet.
void SetupScene(Scene& scene)
{
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    BuildScene(scene);
}

void Reshape(const Scene&, int32_t width, int32_t height)
{
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
}

void PaintScene(const Scene&, const ViewState&)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
}

}  // namespace vorlane
