// How much of a surface the central projection crowds into little of the
// sphere: long thin shapes seen from inside pile their ends up near two
// poles, where the other mesh's arcs then cross thousands of their edges.
#pragma once

#include "geometry/polyhedron.h"

namespace vorlane {

// The share of model's surface area (0..1) whose triangles get at most a
// hundredth of their fair share of the sphere (their share of the area)
// seen from the centre. Near 0 for round shapes, near 1 for a tube a
// hundred times longer than wide.
double CrowdedShare(const Polyhedron& model);

// Above this share the central map is not worth keeping where another can
// be had: no mesh of fair proportions comes near it.
constexpr double MostlyCrowded = 0.5;

}  // namespace vorlane
