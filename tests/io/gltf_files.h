// Small glTF input files, written by the tests themselves: a cube split at
// every face's seams and painted by a PNG texture, in any container.
#pragma once

#include <meshoptimizer.h>
#include <nlohmann/json.hpp>
#include <png.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mesh_files.h"

namespace vorlane::test {

using GltfJson = nlohmann::json;

// Pixel i of the cube texture is the colour of cube corner i.
inline std::array<std::array<uint8_t, 3>, 8> CubeCornerPixels()
{
    return {{{200, 10, 10}, {10, 200, 10}, {10, 10, 200}, {250, 250, 0}, {0, 128, 255}, {255, 255, 255}, {64, 64, 64},
             {128, 0, 128}}};
}

// The pixels above as an 8 by 1 PNG, by libpng.
inline std::string CubeTexturePng()
{
    std::vector<uint8_t> pixels;
    for (const auto& p : CubeCornerPixels()) pixels.insert(pixels.end(), p.begin(), p.end());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 8;
    image.height = 1;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string out(size, '\0');
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    return out;
}

// A glTF document and its one binary buffer as they are built.
struct GltfParts {
    GltfJson json = {{"asset", {{"version", "2.0"}}}};
    std::string bin;

    // A buffer view of bytes (meshopt-encoded as mode when given: the
    // decoded form is count elements of stride bytes).
    int AddView(const std::string& bytes, const char* mode = nullptr, std::size_t count = 0, std::size_t stride = 0)
    {
        std::string stored = bytes;
        if (mode) {
            std::vector<unsigned char> encoded;
            if (std::string(mode) == "ATTRIBUTES") {
                encoded.resize(meshopt_encodeVertexBufferBound(count, stride));
                encoded.resize(meshopt_encodeVertexBuffer(encoded.data(), encoded.size(), bytes.data(), count, stride));
            } else {
                encoded.resize(meshopt_encodeIndexSequenceBound(count, count));
                encoded.resize(meshopt_encodeIndexSequence(encoded.data(), encoded.size(),
                                                           reinterpret_cast<const unsigned*>(bytes.data()), count));
            }
            stored.assign(encoded.begin(), encoded.end());
        }
        GltfJson view = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", stored.size()}};
        if (mode) {
            view["byteLength"] = bytes.size();
            view["extensions"]["EXT_meshopt_compression"] = {
                {"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", stored.size()},
                {"byteStride", stride}, {"count", count}, {"mode", mode}};
        }
        bin += stored;
        bin.resize((bin.size() + 3) / 4 * 4, '\0');
        json["bufferViews"].push_back(view);
        return static_cast<int>(json["bufferViews"].size() - 1);
    }

    int AddAccessor(const std::string& bytes, int componentType, std::size_t count, const char* type,
                    const char* mode = nullptr)
    {
        const std::size_t stride = count ? bytes.size() / count : 0;
        json["accessors"].push_back({{"bufferView", AddView(bytes, mode, count, stride)}, {"componentType", componentType},
                                     {"count", count}, {"type", type}});
        return static_cast<int>(json["accessors"].size() - 1);
    }

    template <typename T>
    static std::string Bytes(const std::vector<T>& values)
    {
        return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    }

    // The .glb of it.
    std::string Glb() const
    {
        GltfJson document = json;
        document["buffers"] = {{{"byteLength", bin.size()}}};
        std::string text = document.dump();
        text.resize((text.size() + 3) / 4 * 4, ' ');
        std::string out;
        const auto word = [&](uint32_t w) { out.append(reinterpret_cast<const char*>(&w), 4); };
        word(0x46546C67);
        word(2);
        word(static_cast<uint32_t>(12 + 8 + text.size() + 8 + bin.size()));
        word(static_cast<uint32_t>(text.size()));
        word(0x4E4F534A);
        out += text;
        word(static_cast<uint32_t>(bin.size()));
        word(0x004E4942);
        return out + bin;
    }

    // The .gltf of it, its buffer in the file binUri names.
    std::string Gltf(const std::string& binUri) const
    {
        GltfJson document = json;
        document["buffers"] = {{{"byteLength", bin.size()}, {"uri", binUri}}};
        return document.dump();
    }
};

struct CubeGltfOptions {
    bool textured = true;
    const char* mode = nullptr;  // "ATTRIBUTES": every view meshopt-encoded
    GltfJson nodes = GltfJson::array({{{"mesh", 0}}});
    std::vector<std::string> required = {};
};

// The cube of CubeCorners as 24 vertices, four a face, each face its own
// texture coordinates (those of its corners' pixels), triangulated as the
// OFF reader fans CubeQuads, under the nodes given (the scene shows node 0).
inline GltfParts CubeGltf(const CubeGltfOptions& options = {})
{
    GltfParts parts;
    std::vector<float> positions, texcoords;
    std::vector<uint32_t> indices;
    for (const auto& quad : CubeQuads()) {
        const auto first = static_cast<uint32_t>(positions.size() / 3);
        // note: from the last corner, as the OFF reader's triangulation begins.
        for (const int corner : {quad[3], quad[0], quad[1], quad[2]}) {
            const Vec3& p = CubeCorners()[static_cast<std::size_t>(corner)];
            positions.insert(positions.end(), {p.x, p.y, p.z});
            texcoords.insert(texcoords.end(), {(static_cast<float>(corner) + 0.5f) / 8.0f, 0.5f});
        }
        indices.insert(indices.end(), {first, first + 1, first + 2, first + 2, first + 3, first});
    }
    const char* mode = options.mode;
    GltfJson attributes = {{"POSITION", parts.AddAccessor(GltfParts::Bytes(positions), 5126, 24, "VEC3", mode)}};
    GltfJson primitive = {{"attributes", attributes}};
    if (options.textured) {
        primitive["attributes"]["TEXCOORD_0"] = parts.AddAccessor(GltfParts::Bytes(texcoords), 5126, 24, "VEC2", mode);
        parts.json["images"] = {{{"bufferView", parts.AddView(CubeTexturePng())}, {"mimeType", "image/png"}}};
        parts.json["samplers"] = {{{"magFilter", 9729}}};
        parts.json["textures"] = {{{"source", 0}, {"sampler", 0}}};
        parts.json["materials"] = {{{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}}}};
        primitive["material"] = 0;
    }
    primitive["indices"] = parts.AddAccessor(GltfParts::Bytes(indices), 5125, indices.size(), "SCALAR",
                                             mode ? "INDICES" : nullptr);
    parts.json["meshes"] = {{{"primitives", {primitive}}}};
    parts.json["nodes"] = options.nodes;
    parts.json["scenes"] = {{{"nodes", {0}}}};
    parts.json["scene"] = 0;
    std::vector<std::string> required = options.required;
    if (mode) required.push_back("EXT_meshopt_compression");
    if (!required.empty()) parts.json["extensionsRequired"] = required;
    if (!required.empty()) parts.json["extensionsUsed"] = required;
    return parts;
}

}  // namespace vorlane::test
