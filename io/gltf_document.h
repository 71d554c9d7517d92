// The JSON part of a glTF morph file, laid out from counts and bounds before
// any byte of the file is written. The writers fill it; GltfJson prints it
// as tinygltf would (keys sorted, no spaces), so the files keep their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

// glTF's codes for buffer targets and component types.
namespace gltf {
inline constexpr int ArrayBuffer = 34962;
inline constexpr int ElementArrayBuffer = 34963;
inline constexpr int Byte = 5120;
inline constexpr int Short = 5122;
inline constexpr int UnsignedInt = 5125;
inline constexpr int Float = 5126;
}  // namespace gltf

struct GltfView {
    int buffer = 0;
    uint64_t byteOffset = 0;
    uint64_t byteLength = 0;
    int byteStride = 0;  // 0: tightly packed
    int target = 0;      // gltf::ArrayBuffer, gltf::ElementArrayBuffer or 0
    // EXT_meshopt_compression: the encoded bytes in buffer 0, decoding to
    // count elements of byteStride bytes by mode; mode null for a plain view.
    const char* meshoptMode = nullptr;
    int meshoptStride = 0;
    uint64_t meshoptOffset = 0;
    uint64_t meshoptLength = 0;
    uint64_t meshoptCount = 0;
};

struct GltfAccessor {
    int view = 0;
    int componentType = 0;  // gltf::Byte, Short, UnsignedInt or Float
    uint64_t count = 0;
    const char* type = "SCALAR";
    bool normalized = false;
    std::vector<double> min;  // empty: none written
    std::vector<double> max;
};

// Accessors in this order: indices, positions, normals, position offsets,
// normal offsets, animation times, animation weights; then, for a path, a
// position and a normal offset for each in-between target (from
// middleAccessor); then, where coloured, colours, colour offsets and one
// colour offset for each in-between (from colourAccessor).
struct GltfDocument {
    std::vector<GltfView> views;
    std::vector<GltfAccessor> accessors;
    uint64_t binaryLength = 0;    // buffer 0, the file's own bytes
    uint64_t fallbackLength = 0;  // buffer 1, the meshopt fallback that holds no data; 0 when none
    // Positions stored as integers: the node maps them back by scale, then translation.
    bool quantized = false;
    double translation[3] = {0.0, 0.0, 0.0};
    double scale = 1.0;
    // The base holds the end and the target the start: the mesh rests at
    // weight 1 and the animation runs it 1, 0, 1.
    bool reversed = false;
    // Accessors 7 and 8 hold the base's colours (COLOR_0, linear) and the
    // target's colour offsets; the material is then white.
    bool coloured = false;
    std::string uri;  // buffer 0's uri; empty in a .glb
    // Targets before the last one (the other end): in-betweens of a path, at
    // 1/K .. (K-1)/K of the way for K targets, played one after another.
    int middleTargets = 0;
    int middleAccessor = 7;
    int colourAccessor = 7;
    // The animation's keyframes, held here for the file (see AddAnimation).
    std::vector<float> animationTimes, animationWeights;
};

// Bytes of buffer 0 in file order, each padded with zeros to four bytes:
// from data, or when data is null made by fill, items [first, first +
// count) of itemBytes each into out, a stretch at a time.
struct GltfPiece {
    const void* data;
    uint64_t bytes;
    std::function<void(std::size_t first, std::size_t count, unsigned char* out)> fill = {};
    std::size_t itemBytes = 0;
};

// The document as one line of JSON.
std::string GltfJson(const GltfDocument& document);

// The name of target (1 to count) of a path's count targets: its step.
std::string MiddleTargetName(int target, int count);

// Sets accessor's min and max to the bounds of count float vectors.
void FloatBounds(const Vec3* values, std::size_t count, GltfAccessor& accessor);

}  // namespace vorlane
