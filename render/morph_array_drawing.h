// A morph from flat arrays: one draw call each for its faces, edges and
// vertices, from buffer objects, for morphs of a million triangles. Each
// leaves the client array state and buffer bindings as it found them; line
// width and point size stay set afterwards.
#pragma once

#include <cstdint>
#include <optional>

#include "render/morph_arrays.h"
#include "render/morph_interpolation.h"

namespace vorlane {

// Buffer objects of one context holding a morph's indices and one step's
// positions and normals. Zero names mean not made yet.
struct MorphBuffers {
    uint32_t positions = 0;
    uint32_t normals = 0;
    uint32_t triangles = 0;
    uint32_t edges = 0;
    uint32_t colours = 0;  // zero too where the arrays carry no colours
    const MorphArrays* arrays = nullptr;  // whose indices the buffers hold
    int32_t step = -1;                    // whose positions they hold
};

// Makes or refreshes buffers for arrays and frame; needs a current context.
void UploadMorphBuffers(const MorphArrays& arrays, const MorphFrame& frame, MorphBuffers& buffers);

// Deletes the buffers; needs the context they were made in to be current.
void ReleaseMorphBuffers(MorphBuffers& buffers);

// The triangles with the vertex normals, smoothly shaded, in colour (each
// vertex's own where the arrays carry colours), or black for a shadow (no
// colour). Buffers must be uploaded.
void DrawMorphArrayFaces(const MorphBuffers& buffers, const std::optional<ByteColour>& colour);

// Every distinct edge as a black line of width 2.
void DrawMorphArrayEdges(const MorphBuffers& buffers);

// Every vertex as a white point of size 5.
void DrawMorphArrayVertices(const MorphBuffers& buffers);

}  // namespace vorlane
