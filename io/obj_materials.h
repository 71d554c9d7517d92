// An OBJ's materials: the diffuse colour and texture of each "newmtl" in the
// libraries its "mtllib" lines name, and the colour each vertex shows under
// the faces that use them. Internal to io/.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/vec3.h"
#include "io/gltf_colour.h"

namespace vorlane::mesh_reading {

// What the OBJ's own lines say of materials, gathered as it is checked.
struct ObjPaintLines {
    std::vector<std::string> libraries;         // as the mtllib lines name them
    std::vector<std::string> names;             // each usemtl name once
    std::vector<std::array<float, 2>> texcoords;  // by vt line
    // By f line: its points and texture coordinates (from 0; -1 where a
    // corner names none or one out of range) and its usemtl (-1 before any).
    std::vector<int32_t> points, uvs;
    std::vector<std::size_t> starts;
    std::vector<int32_t> material;
    int32_t current = -1;  // the last usemtl's, into names
};

// Notes an "f" line's corners (tokens after the "f") against the vertices
// and texture coordinates read so far; false for a corner whose vertex is
// not a plain index, which the reader then refuses on its own.
bool NoteObjFace(const std::vector<std::string_view>& corners, std::size_t vertices, ObjPaintLines& lines);

struct ObjMaterial {
    gltf_colour::Linear colour{1.0, 1.0, 1.0};  // Kd, in linear light
    std::string textureName;                    // map_Kd's file, empty where none
    bool clamped = false;                       // map_Kd's "-clamp on"
    std::string library;                        // where map_Kd was read, for warnings
    int texture = -1;                           // its image, into ObjMaterials::textures
};

struct ObjMaterials {
    std::map<std::string, ObjMaterial, std::less<>> byName;
    std::vector<gltf_colour::Texture> textures;
};

// The materials of the libraries lines names, read from folder (none:
// bytes from no file, so none is read), with the textures of those a face
// uses decoded. A library or texture that cannot be read, or a texture that
// cannot be decoded, is one line in warnings naming it; the rest is read as
// if it were not named.
ObjMaterials ReadObjMaterials(const ObjPaintLines& lines, const std::optional<std::string>& folder,
                              std::vector<std::string>& warnings);

// By point, its colour as shown where faceCorners (the reader's faces, over
// the same points) has a face matching a noted f line with a known
// material; the average in linear light of its corners (a point, material
// and texture coordinate once each), times vertexColours' where given.
// Empty where no face has a known material.
std::vector<Vec3> ObjPointColours(const ObjPaintLines& lines, const ObjMaterials& materials,
                                  const std::vector<int32_t>& faceCorners, const std::vector<std::size_t>& faceStarts,
                                  std::size_t points, const std::vector<Vec3>& vertexColours);

}  // namespace vorlane::mesh_reading
