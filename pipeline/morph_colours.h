// The colours each merged vertex takes from its own input surfaces.
#pragma once

#include <vector>

#include "geometry/morph_colours.h"
#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"

namespace vorlane {

// By vertex of model, its colour: tableColours (by vertex of the table read)
// for the vertices it kept, and for a vertex prepare added (a pinched
// vertex split) the colour of the table vertex at its very place. Empty
// where tableColours is empty.
std::vector<Vec3> ColoursOfModel(const Polyhedron& model, const std::vector<Vec3>& tableColours);

// By merged vertex, the colours of the source and of the target (by vertex
// of each model) at its places on them, interpolated over the triangle it
// lies in by its weights; white at an end whose model has no colours, and
// for a folded vertex. Empty where neither has colours or the mesh carries
// no locations (the literal merge).
MorphColours MergedColours(const MorphMesh& mesh, const std::vector<Vec3>& sourceColours,
                           const std::vector<Vec3>& targetColours);

}  // namespace vorlane
