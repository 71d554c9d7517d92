// Turning a closed mesh whose triangles all face inward the right way out.
#pragma once

#include "geometry/polyhedron.h"

namespace vorlane {

// Reverses every triangle of table when the volume they enclose is negative,
// that is when they run clockwise seen from outside; returns whether it did.
// A mesh whose triangles disagree with each other is left for the merge's
// validation to refuse.
bool OrientOutward(ModelTable& table);

}  // namespace vorlane
