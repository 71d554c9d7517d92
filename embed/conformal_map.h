// The base of the fast spherical embedding: a map that depends only on the
// shape, at the cost of one sparse Cholesky factorisation.
#pragma once

#include <string>
#include <vector>

#include "base/progress.h"
#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

// Removes the largest triangle and maps the rest onto an equilateral
// triangle with cotangent weights (a discrete conformal map), each edge's
// weight held positive so that the planar map is an embedding in exact
// arithmetic (Tutte), then sends it to the unit sphere by CentredOnSphere
// with the vertices' shares of the area as masses. units gets one unit
// direction per vertex, unchecked: crowded parts may round to flat or
// turned triangles in float. Returns an empty string, or why the linear
// system failed. Degenerate triangles get the largest weight on their
// needle's side, never a NaN.
std::string ConformalMapOnSphere(const ModelTable& table, std::vector<D3>& units, const Progress& progress);

}  // namespace vorlane
