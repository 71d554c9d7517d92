// Where a merged vertex stands and which colour a morph has at a step. No GL.
#pragma once

#include <cstdint>

#include "geometry/morph_mesh.h"
#include "geometry/vec3.h"

namespace vorlane {

struct ByteColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// A morph as the window shows it: the merged mesh and the colours of the
// models at its two ends.
struct ColouredMorph {
    const MorphMesh* mesh = nullptr;
    ByteColour sourceColour;
    ByteColour targetColour;
};

// Merged vertex v at step: MorphPosition of its start and end positions.
// v must index both position arrays.
Vec3 MorphPoint(const MorphMesh& mesh, int32_t step, int32_t v);

// One colour channel from a (step 0) to b (step MorphSteps): the whole part,
// truncated toward zero, of a + step * (b - a) / MorphSteps, low 8 bits.
uint8_t InterpolateChannel(uint8_t a, uint8_t b, int32_t step);

// The morph's colour at step, each channel from the source's colour to the
// target's.
ByteColour MorphColour(const ColouredMorph& morph, int32_t step);

}  // namespace vorlane
