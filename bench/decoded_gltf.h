// A written glTF morph decoded as a viewer decodes it, with none of the
// program's reader: meshopt views unpacked, quantised attributes mapped
// back by the node's scale and translation, the end as base plus the first
// morph target added in float, the start being the shape the mesh rests in
// (its default weight, 0 or 1). Takes the layouts vorlane-merge writes.
#pragma once

#include <string>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane::bench {

struct DecodedMorph {
    std::string error;  // empty, or why the file cannot be decoded
    std::vector<Triangle> triangles;
    std::vector<Vec3> startPositions, endPositions;
    std::vector<Vec3> startNormals, endNormals;  // unit, or empty when the file has none
};

DecodedMorph ReadDecodedMorph(const std::string& path);

}  // namespace vorlane::bench
