// The check a map onto the sphere must pass before the merge for real
// meshes takes it: every triangle positively oriented on the sphere, and
// the sphere covered once.
#pragma once

#include <string>

#include "base/progress.h"
#include "geometry/polyhedron.h"

namespace vorlane {

// Refuses a model whose vertices, taken as directions from its centre, do
// not cover the sphere once: not closed (an edge not in exactly two
// triangles), not consistently oriented, or not star-shaped about its centre
// (a triangle seen edge-on or from behind from the centre, or projected
// triangles that overlap). Returns an empty string for a sound model, else
// the first offending triangle or edge.
std::string ValidateSphereCover(const Polyhedron& model);

// ValidateSphereCover for a model already known closed and consistently
// oriented (as the topology checks leave a mesh): every triangle positive
// seen from the centre, and the sphere covered once. The same answer for a
// fraction of the cost, for callers that choose a map by it.
bool CoversSphereOnce(const Polyhedron& model);

// Refuses a model's map the merge for real meshes cannot take: coordinates
// past float (CheckFloatRange), or a map that ValidateSphereCover refuses (a
// central map on the vertices, a spherical one on its sphere points), as
// "<role> mesh refused: <reason>", role being "source" or "target". Reports
// the phase "validating" at its start. Empty for a sound map.
std::string CheckSphereMap(const Polyhedron& model, const std::string& role, const Progress& progress = {});

}  // namespace vorlane
