// A merged mesh as a glTF 2.0 morph that any viewer plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/morph_colours.h"
#include "geometry/morph_mesh.h"

namespace vorlane {

enum class GltfContainer { Binary, Text };  // .glb, or .gltf with the buffer embedded

// The container that path's extension names (case-insensitive); false for
// any other extension.
bool GltfContainerOfPath(const std::string& path, GltfContainer& container);

// Seconds the written animation takes: the morph weight runs 0 to 1 in the
// first half and back to 0 in the second.
inline constexpr float MorphAnimationSeconds = 4.0f;

// The name of the one morph target, which Blender shows as the shape key.
inline constexpr const char* MorphTargetName = "morph";

struct GltfOptions {
    // EXT_meshopt_compression over KHR_mesh_quantization: positions as 16-bit
    // integers where a grid holds them (EncodeMorph tells which), normals as
    // bytes. Viewers need a meshopt decoder to open it.
    bool compress = false;
    int threads = 1;  // 2 or more: normals made while the rest is written
    // When set and the file is written: EndWarning's line on the end a viewer
    // shows (base plus offset, in float), empty when it holds every vertex.
    std::string* warning = nullptr;
    // When given and not empty: COLOR_0 at the base and a colour morph target,
    // so colours blend as the shape does (by merged vertex, see MorphColours).
    const MorphColours* colours = nullptr;
    // In-betweens of a path: K - 1 arrays, each a position for every mesh
    // vertex at i / K of the way. With them the file holds K targets, these
    // then the end, and the animation plays them one after another, at most
    // two weighted at any time; without them, one target, straight.
    const std::vector<std::vector<Vec3>>* middles = nullptr;
};

// Writes the triangles of mesh over the vertices they use: the base mesh at
// the start positions with their normals, one morph target holding end minus
// start for positions and normals (after the path's in-betweens where
// options give them), and a looping-ready animation of the targets' weights. Normals are those of the input surfaces at each vertex
// where mesh carries locations (the robust merge), else area-weighted over
// the merged triangles. The file appears whole or not at all. Refused
// before anything is written: a mesh without faces, an end minus start
// that is no finite float, and a .glb over 4 GiB. Returns an empty string
// or "<path>: <reason>".
std::string WriteGltfMorph(const MorphMesh& mesh, const std::string& path, GltfContainer container, const GltfOptions& options = {});

// The bytes of the binary buffer of an uncompressed morph of these counts.
uint64_t MorphBinaryBytes(uint64_t vertexCount, uint64_t triangleCount);

// Empty when a .glb of this JSON and binary buffer stays within the 4 GiB
// its header's 32-bit lengths can say; else why not, in one phrase.
std::string GlbSizeProblem(uint64_t jsonBytes, uint64_t binaryBytes);

}  // namespace vorlane
