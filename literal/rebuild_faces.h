// The faces of a merged edge network: short closed cycles, oriented outward,
// fanned into triangles.
#pragma once

#include <cstdint>

#include "geometry/morph_mesh.h"

namespace vorlane {

// Whether the merge leaves its face lists in the working directory.
enum class FaceDumps { Write, Skip };

// Finds mesh's faces on its endPositions, writes (with Write) the oriented
// polygons to "facelist1.txt" and the triangles to "facelist2.txt" in the
// working directory, and stores the triangles in mesh. A dump name that is
// not a regular file or absent (a link, FIFO, device) is not written. Returns
// 0 when a dump could not be written, else 1; the faces are stored either way.
int32_t RebuildFaces(MorphMesh& mesh, FaceDumps dumps = FaceDumps::Write);

// Whether RebuildFaces writes its two dumps: on unless a program that must
// leave the working directory alone turns it off; when off, RebuildFaces
// writes nothing and answers 1.
void SetFaceDumpsWritten(bool written);

}  // namespace vorlane
