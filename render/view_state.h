// What the drawing reads of the view and animation state.
#pragma once

#include <cstdint>

#include "geometry/morph_step.h"

namespace vorlane {

struct ViewState {
    float angleX = 0.0f;  // degrees
    float angleY = 0.0f;
    float angleZ = 0.0f;
    int32_t morphStep = 0;  // 0 .. MorphSteps
    bool showMorphFaces = true;      // O
    bool showMorphEdges = true;      // L
    bool showMorphVertices = false;  // V
    bool showModelEdges = false;     // 1
    bool showModelVertices = false;  // 2
    bool showProjectionRays = false; // 3
};

}  // namespace vorlane
