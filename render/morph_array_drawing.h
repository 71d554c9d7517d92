// A morph from flat arrays: one draw call each for its faces, edges and
// vertices, for morphs of a million triangles. Each leaves the client array
// state as it found it; line width and point size stay set afterwards.
#pragma once

#include <optional>

#include "render/morph_arrays.h"
#include "render/morph_interpolation.h"

namespace vorlane {

// The triangles at frame's positions with its vertex normals, smoothly
// shaded, in colour, or black for a shadow (no colour).
void DrawMorphArrayFaces(const MorphArrays& arrays, const MorphFrame& frame, const std::optional<ByteColour>& colour);

// Every distinct edge as a black line of width 2.
void DrawMorphArrayEdges(const MorphArrays& arrays, const MorphFrame& frame);

// Every vertex as a white point of size 5.
void DrawMorphArrayVertices(const MorphArrays& arrays, const MorphFrame& frame);

}  // namespace vorlane
