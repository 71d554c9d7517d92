// A glTF morph read back: the base shape and its first morph target, as
// vorlane-merge writes them.
#pragma once

#include <string>

#include "io/morph_triangles.h"

namespace vorlane {

struct GltfMorphReadResult {
    // Empty on success; otherwise "<path>: <reason>" in one line.
    std::string error;
    // Start: the base positions; end: base plus the first target's offsets
    // (the other way round where the mesh rests at weight 1); the colours of
    // both ends where the file has COLOR_0 at the base and in the target.
    MorphTriangles morph;
};

// Reads the first primitive of the first mesh of the .glb or .gltf file at
// path (by its extension). Refuses unreadable files, primitives that are not
// triangle lists, a missing or sparse POSITION, a primitive without a morph
// target holding POSITION, indices out of range, accessors that overrun their
// buffers and coordinates that are not finite. Never throws; on error the
// morph is empty.
GltfMorphReadResult ReadGltfMorph(const std::string& path);

}  // namespace vorlane
