// The check a model must pass before the merge for real meshes takes it.
#pragma once

#include <string>

#include "geometry/polyhedron.h"

namespace vorlane {

// Refuses a model that is not closed (an edge not in exactly two triangles),
// not consistently oriented, or not star-shaped about its centre (a triangle
// seen edge-on or from behind from the centre, or projected triangles that
// overlap). Returns an empty string for a sound model, else the first
// offending triangle or edge.
std::string ValidateStarShaped(const Polyhedron& model);

}  // namespace vorlane
