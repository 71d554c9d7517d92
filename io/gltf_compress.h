// The compressed form of a glTF morph: EXT_meshopt_compression over
// KHR_mesh_quantization, through meshoptimizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"
#include "io/gltf_document.h"
#include "io/morph_end_error.h"

namespace vorlane {

struct EncodedMorph {
    // Views and accessors for indices, positions, normals and their offsets;
    // the animation's are for the caller to add.
    GltfDocument document;
    std::vector<GltfPiece> pieces;  // point into blobs
    std::vector<std::vector<unsigned char>> blobs;
    EndError endError;  // of the end as a viewer decodes it, against EndTolerance
    // The base as a viewer decodes it, before the node's scale and
    // translation, and its normals: what in-betweens are offsets from.
    std::vector<Vec3> baseLocal, baseNormals;
};

// Where one grid, 1/16383 of the half extent of both ends together along
// its longest axis, holds each end within its own step (EndGridStep) and
// turns no triangle flat, both ends go on it as 16-bit integers (mapped back
// by the node's scale and translation), offsets as differences on it.
// Otherwise the start goes on a grid of its own, 1/32767 of its half
// extent, or stays in float where that grid would turn a triangle flat,
// and the offsets are floats: the end then comes back as exactly as from an
// uncompressed file. Where a float offset cannot hold the end either, and
// can hold the start (the smaller shape at the end), the end is the base
// and the target the start (the document says reversed). Normals become
// normalised bytes and their offsets floats on the same 1/127 grid.
// corners: three per triangle.
EncodedMorph EncodeMorph(const std::vector<uint32_t>& corners, const Vec3* start, const Vec3* end, const std::vector<Vec3>& startNormals,
                         const std::vector<Vec3>& endNormals);

// Appends in-between targets to document (EncodeMorph's, the animation
// added): for each, the positions and unit normals of the used vertices,
// stored as float offsets from out's base in the node's units (in-betweens
// need not come back exactly, and a float holds a path that leaves both
// ends' box). Their pieces go after pieces'.
void EncodeMiddles(EncodedMorph& out, const std::vector<std::vector<Vec3>>& middles, const std::vector<std::vector<Vec3>>& normals,
                   GltfDocument& document, std::vector<GltfPiece>& pieces);

// The step of the one grid EncodeMorph puts both ends on, where it does:
// the largest error of a decoded position on any axis is half of it.
double QuantisationStep(const Vec3* start, const Vec3* end, std::size_t count);

}  // namespace vorlane
