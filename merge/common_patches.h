// Holes both shapes have in one place stay open through the morph: the
// merged faces lying in a patch (FillHoles) at both ends are left out.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/morph_mesh.h"

namespace vorlane {

// The input triangle a merged face lies in at one end (locations: that
// end's startLocations or endLocations): the triangle named by one of its
// vertices' locations that holds all three, each given there or lying on
// corners of it alone (weight 0 elsewhere). -1 where none does.
int32_t FaceTriangle(const std::vector<SurfaceLocation>& locations, const MeshFace& face, const Polyhedron& model);

// Drops the faces of a robust merge whose triangle at both ends is a patch
// of that end's model (Polyhedron::patchFaces), and the edges no kept face
// holds; vertices keep their slots. Where a patch lies against the other
// shape's surface, its faces stay, so that hole opens or closes over the
// morph. Returns how many faces were dropped; 0 leaves mesh untouched.
int32_t LeaveOutCommonPatches(MorphMesh& mesh);

}  // namespace vorlane
