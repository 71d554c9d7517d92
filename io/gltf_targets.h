// The views of a glTF morph beyond its base mesh: the animation of the
// target weights, a path's in-betweens as targets and the colours with their
// targets. Inside io only; the writer lays them out after the base.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/morph_colours.h"
#include "geometry/vec3.h"
#include "io/gltf_document.h"
#include "io/gltf_writer.h"
#include "io/morph_triangles.h"

namespace vorlane {

// Appends a plain view and its accessor over bytes of buffer 0.
void AddPlain(GltfDocument& document, uint64_t bytes, int target, int componentType, uint64_t count, const char* type);

// There and back: keyframe j of the first half shows pose j (the base, then
// each target in turn), the second half the same poses backwards. Where the
// base holds the end, pose 0 is the last target (the start) and the last
// pose the base. Between keyframes at most two weights are not zero.
void AddAnimation(GltfDocument& document, std::vector<GltfPiece>& pieces);

// The in-betweens as targets: offsets from the base for positions and
// normals, over the used vertices (ix.vertices maps them to the mesh's, or
// is empty when all are used in order).
struct MiddleTargets {
    std::vector<std::vector<Vec3>> offsets, normalOffsets;
};

MiddleTargets MakeMiddles(const std::vector<std::vector<Vec3>>& middles, const Vec3* base, const std::vector<Vec3>& baseNormals,
                          const MorphIndices& ix);

// The positions of the used vertices only.
std::vector<Vec3> UsedOnly(const std::vector<Vec3>& positions, const MorphIndices& ix);

// Appends the in-betweens' views after the animation's, and counts them.
void AddMiddles(GltfDocument& document, std::vector<GltfPiece>& pieces, const MiddleTargets& middles);

// The colour arrays the file's pieces point into, held till it is written.
struct ColourTargets {
    std::vector<Vec3> colours;  // the base's, linear
    std::vector<Vec3> colourOffsets;
    std::vector<std::vector<Vec3>> middleColourOffsets;  // for a path's in-betweens
};

// The colours of the used vertices (mesh vertex of each, or all in order
// where vertices is empty) in linear light, base first, after the animation.
void AddColours(GltfDocument& document, std::vector<GltfPiece>& pieces, const MorphColours& colours,
                const std::vector<int32_t>& vertices, std::size_t count, ColourTargets& arrays);

}  // namespace vorlane
