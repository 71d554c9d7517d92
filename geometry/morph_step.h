// Where a merged vertex stands at one step of a morph.
#pragma once

#include <cstdint>

#include "geometry/vec3.h"

namespace vorlane {

// A morph walks from its source (step 0) to its target in this many steps.
inline constexpr int32_t MorphSteps = 20;

// start + step * (end - start) / MorphSteps per coordinate, in double, stored
// as a float. Step 0 and below give start and MorphSteps and above give end
// exactly, whatever their sizes.
Vec3 MorphPosition(const Vec3& start, const Vec3& end, int32_t step);

}  // namespace vorlane
