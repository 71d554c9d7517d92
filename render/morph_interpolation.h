// Where a merged vertex stands and which colour a morph has at a step. No GL.
#pragma once

#include <cstdint>

#include "geometry/vec3.h"
#include "morph/morph_mesh.h"

namespace vorlane {

struct ByteColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Merged vertex v at step: start + step * (end - start) / MorphSteps per
// coordinate, in double, stored as float. Step 0 gives the start position and
// MorphSteps the end position exactly. v must index both position arrays.
Vec3 MorphPoint(const MorphMesh& mesh, int32_t step, int32_t v);

// One colour channel from a (step 0) to b (step MorphSteps): the whole part,
// truncated toward zero, of a + step * (b - a) / MorphSteps, low 8 bits.
uint8_t InterpolateChannel(uint8_t a, uint8_t b, int32_t step);

// The morph's colour at step, each channel from the source model's to the
// target model's. Both models must be set.
ByteColour MorphColour(const MorphMesh& mesh, int32_t step);

}  // namespace vorlane
