// Coordinates the merge can compute with: every value it forms from a mesh's
// vertices and centre stays a finite float or double.
#pragma once

#include <string>

#include "geometry/polyhedron.h"

namespace vorlane {

// Refuses a table with a coordinate that is not a finite number: "vertex K
// (x, y, z) is not finite". Empty when every coordinate is finite.
std::string CheckFiniteTable(const ModelTable& table);

// Refuses a model whose centre, centred vertices, their lengths (in float,
// as the sphere points take them) or the positions the merge puts back about
// the centre overflow float: names the first such vertex. Empty otherwise.
std::string CheckFloatRange(const Polyhedron& model);

}  // namespace vorlane
