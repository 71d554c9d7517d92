// The faces of a merged edge network: short closed cycles, oriented outward,
// fanned into triangles.
#pragma once

#include <cstdint>

#include "geometry/morph_mesh.h"

namespace vorlane {

// Finds mesh's faces on its endPositions, writes the oriented polygons to
// "facelist1.txt" and the triangles to "facelist2.txt" in the working
// directory, and stores the triangles in mesh. Returns 1 when both files were
// written, 0 when one could not be; the faces are stored either way.
int32_t RebuildFaces(MorphMesh& mesh);

// Whether RebuildFaces writes its two dumps: on unless a program that must
// leave the working directory alone turns it off; when off, RebuildFaces
// writes nothing and answers 1.
void SetFaceDumpsWritten(bool written);

}  // namespace vorlane
