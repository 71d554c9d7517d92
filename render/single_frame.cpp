#include "render/single_frame.h"

#include <GL/gl.h>

#include <optional>

#include "render/frame.h"
#include "render/morph_array_drawing.h"
#include "render/morph_drawing.h"

namespace vorlane {

namespace {

// The morph's own turn, as DrawMorphView turns the demo's, about its lift.
void Turn(const PlacedMorph& morph, const ViewState& view)
{
    glTranslatef(morph.placement.lift.x, morph.placement.lift.y, morph.placement.lift.z);
    glRotatef(view.angleX - 50.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(view.angleY + 10.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(view.angleZ, 0.0f, 0.0f, 1.0f);
}

// The model's stored vertices are relative to its centre; placed like the morph.
void DrawSourceModel(const PlacedMorph& morph, const ViewState& view)
{
    const Polyhedron* model = morph.sourceModel;
    if (model == nullptr) return;
    const EndPlacement& placement = morph.placement.start;
    glPushMatrix();
    glScalef(placement.scale, placement.scale, placement.scale);
    glTranslatef(model->centre.x - placement.centre.x, model->centre.y - placement.centre.y,
                 model->centre.z - placement.centre.z);
    if (view.showProjectionRays) DrawProjectionRays(*model);
    if (view.showModelVertices) DrawModelVertices(*model);
    if (view.showModelEdges) DrawModelEdges(*model);
    glPopMatrix();
}

}  // namespace

void DrawSingleMorphFrame(const PlacedMorph& morph, MorphDrawCache& cache, const float lightPosition[4],
                          const float shadowMatrix[16], const ViewState& view, ShapeListCache& shapeLists)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    const bool shown = morph.arrays != nullptr;
    const bool coarse = shown && morph.coarse != nullptr;
    // The full arrays are evaluated only where something is drawn from them.
    if (shown && (!coarse || view.showMorphEdges || view.showMorphVertices)) {
        EvaluateMorphFrame(*morph.arrays, view.morphStep, cache.frame);
        UploadMorphBuffers(*morph.arrays, cache.frame, cache.buffers);
    }
    if (coarse && view.showMorphFaces) {
        EvaluateMorphFrame(*morph.coarse, view.morphStep, cache.coarseFrame);
        UploadMorphBuffers(*morph.coarse, cache.coarseFrame, cache.coarseBuffers);
    }
    const MorphBuffers& faces = coarse ? cache.coarseBuffers : cache.buffers;

    glPushMatrix();
    Turn(morph, view);
    if (shown && view.showMorphFaces) {
        const ColouredMorph colours{nullptr, morph.sourceColour, morph.targetColour};
        DrawMorphArrayFaces(faces, MorphColour(colours, view.morphStep));
    }
    if (shown && view.showMorphEdges) DrawMorphArrayEdges(cache.buffers);
    if (shown && view.showMorphVertices) DrawMorphArrayVertices(cache.buffers);
    DrawSourceModel(morph, view);
    glPopMatrix();

    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    // note: unlike the demo's, this shadow turns exactly as its morph does.
    if (shown && view.showMorphFaces) {
        glPushMatrix();
        glMultMatrixf(shadowMatrix);
        Turn(morph, view);
        DrawMorphArrayFaces(faces, std::nullopt);
        glPopMatrix();
    }
    glPushMatrix();
    glTranslatef(lightPosition[0], lightPosition[1], lightPosition[2]);
    glColor3ub(255, 255, 0);
    DrawSolidSphere(shapeLists, LightMarkerRadius);
    glPopMatrix();
    DrawFloor();
    glPopAttrib();
    glFlush();
}

}  // namespace vorlane
