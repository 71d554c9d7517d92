// One whole frame: two morphs side by side, their shadows, the light marker
// and the floor.
#pragma once

#include "geometry/morph_mesh.h"
#include "render/light_marker.h"
#include "render/morph_interpolation.h"
#include "render/view_state.h"

namespace vorlane {

// The left panel's offset along x and the light marker's radius.
inline constexpr float LeftPanelOffset = -150.0f;
inline constexpr double LightMarkerRadius = 5.0;

// Clears and draws left (150 units to the left, with the light, its marker and
// the projection rays) and centre, each with its shadow through shadowMatrix
// (column-major), and the floor at y = -150; ends with glFlush. Light 0 is
// placed at lightPosition in the left panel's frame and lights both panels.
// Needs the model-view matrix selected and holding the view transform; leaves
// the matrix and attribute stacks as it found them.
void DrawFrame(const ColouredMorph& left, const ColouredMorph& centre, const float lightPosition[4],
               const float shadowMatrix[16], const ViewState& view, ShapeListCache& shapeLists);

// The green floor at y = -150, darker at the back, as one immediate-mode quad.
void DrawFloor();

}  // namespace vorlane
