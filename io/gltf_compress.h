// The compressed form of a glTF morph: EXT_meshopt_compression over
// KHR_mesh_quantization, through meshoptimizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"
#include "io/gltf_document.h"

namespace vorlane {

struct EncodedMorph {
    // Views and accessors for indices, positions, normals and their offsets;
    // the animation's are for the caller to add.
    GltfDocument document;
    std::vector<GltfPiece> pieces;  // point into blobs
    std::vector<std::vector<unsigned char>> blobs;
};

// Positions of both ends go on one grid, 1/16383 of the half extent of both
// ends together along its longest axis (16-bit integers, mapped back by the node's scale and translation), so
// each decoded position lies within half a step of its own on each axis;
// offsets are differences on that grid. Normals become normalised bytes and
// their offsets floats on the same 1/127 grid. corners: three per triangle.
EncodedMorph EncodeMorph(const std::vector<uint32_t>& corners, const Vec3* start, const Vec3* end, const std::vector<Vec3>& startNormals,
                         const std::vector<Vec3>& endNormals);

// The grid step of EncodeMorph for these positions: the largest error of a
// decoded position on any axis is half of it.
double QuantisationStep(const Vec3* start, const Vec3* end, std::size_t count);

}  // namespace vorlane
