// A merged mesh as a glTF 2.0 morph that any viewer plays.
#pragma once

#include <string>

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

// Writes the triangles of mesh over the vertices they use: the base mesh at
// the start positions with their normals, one morph target holding end minus
// start for positions and normals, and a looping-ready animation of the
// target's weight. The file appears whole or not at all. A mesh without
// faces is refused. Returns an empty string or "<path>: <reason>".
std::string WriteGltfMorph(const MorphMesh& mesh, const std::string& path, GltfContainer container);

}  // namespace vorlane
