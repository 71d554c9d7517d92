#include "render/frame.h"

#include <GL/gl.h>

#include <optional>

#include "render/morph_drawing.h"

namespace vorlane {

namespace {

void DrawSourceModel(const MorphMesh& mesh, const ViewState& view, bool withRays)
{
    if (mesh.source == nullptr) return;
    if (withRays && view.showProjectionRays) DrawProjectionRays(*mesh.source);
    if (view.showModelVertices) DrawModelVertices(*mesh.source);
    if (view.showModelEdges) DrawModelEdges(*mesh.source);
}

// note: the shadow turns by the bare view angles, unlike the morph it belongs
// to; that is the picture this demo has always shown.
void DrawShadow(const MorphMesh& mesh, const float shadowMatrix[16], const ViewState& view)
{
    glPushMatrix();
    glMultMatrixf(shadowMatrix);
    glRotatef(view.angleX, 1.0f, 0.0f, 0.0f);
    glRotatef(view.angleY, 0.0f, 1.0f, 0.0f);
    if (view.showMorphFaces) DrawMorphFaces(mesh, view.morphStep, std::nullopt);
    glPopMatrix();
}

}  // namespace

void DrawFloor()
{
    glBegin(GL_QUADS);
    glColor3ub(0, 128, 0);
    glVertex3f(400.0f, -150.0f, -200.0f);
    glVertex3f(-400.0f, -150.0f, -200.0f);
    glColor3ub(0, 255, 0);
    glVertex3f(-400.0f, -150.0f, 200.0f);
    glVertex3f(400.0f, -150.0f, 200.0f);
    glEnd();
}

void DrawFrame(const ColouredMorph& left, const ColouredMorph& centre, const float lightPosition[4],
               const float shadowMatrix[16], const ViewState& view, ShapeListCache& shapeLists)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glPushMatrix();
    glTranslatef(LeftPanelOffset, 0.0f, 0.0f);
    glPushMatrix();
    // note: set here, the light also lights the centre panel from the left.
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    DrawMorphView(left, view);
    DrawSourceModel(*left.mesh, view, true);
    glPopMatrix();
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    DrawShadow(*left.mesh, shadowMatrix, view);
    glPushMatrix();
    glTranslatef(lightPosition[0], lightPosition[1], lightPosition[2]);
    glColor3ub(255, 255, 0);
    DrawSolidSphere(shapeLists, LightMarkerRadius);
    glPopMatrix();
    glPopMatrix();
    glPopAttrib();

    glPushMatrix();
    glPushMatrix();
    DrawMorphView(centre, view);
    DrawSourceModel(*centre.mesh, view, false);
    glPopMatrix();
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    DrawShadow(*centre.mesh, shadowMatrix, view);
    glPopMatrix();

    DrawFloor();
    glPopAttrib();
    glFlush();
}

}  // namespace vorlane
