// The colours of a merged mesh's vertices at its two ends.
#pragma once

#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

// By merged vertex (as MorphMesh numbers them), its colour as shown (sRGB,
// red, green, blue each in 0..1) at the start and at the end; a step's
// colour is MorphPosition of the two. Both empty where no input has colours.
struct MorphColours {
    std::vector<Vec3> start;
    std::vector<Vec3> end;

    bool empty() const { return start.empty(); }
};

}  // namespace vorlane
