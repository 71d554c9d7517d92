// A merged mesh at one morph step, as OBJ or binary PLY.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/morph_colours.h"
#include "geometry/morph_mesh.h"

namespace vorlane {

enum class StepFormat { Obj, Ply };

// The step format that path's extension names (case-insensitive); false for
// any other extension.
bool StepFormatOfPath(const std::string& path, StepFormat& format);

// Writes the triangles of mesh over the vertices they use, each at
// MorphPosition(start, end, step), to path in format (PLY as binary little
// endian with float coordinates; OBJ with nine significant digits, enough to
// give back every float). step must lie in 0..20. The file appears whole or
// not at all. Returns an empty string or "<path>: <reason>".
// colours, when not empty, give each vertex its step's colour: OBJ as
// "v x y z r g b" (0..1), PLY as red, green, blue uchar properties. at, if
// given, holds every mesh vertex's position at that step (a path's),
// written as it is.
std::string WriteMeshAtStep(const MorphMesh& mesh, int32_t step, const std::string& path, StepFormat format,
                            const MorphColours& colours = {}, const std::vector<Vec3>* at = nullptr);

}  // namespace vorlane
