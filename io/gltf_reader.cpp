#include "io/gltf_reader.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "io/gltf_writer.h"

namespace vorlane {

namespace {

// The bytes of one accessor's elements, each of elementSize bytes, stride
// apart; or a reason it cannot be read.
struct AccessorBytes {
    std::string error;
    const unsigned char* first = nullptr;
    std::size_t count = 0;
    std::size_t stride = 0;
};

AccessorBytes Locate(const tinygltf::Model& model, int index, const std::string& what, int type,
                     const std::vector<int>& componentTypes)
{
    AccessorBytes out;
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) {
        out.error = what + " has no accessor";
        return out;
    }
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    bool typeKnown = false;
    for (int componentType : componentTypes) typeKnown = typeKnown || accessor.componentType == componentType;
    if (accessor.type != type || !typeKnown) {
        out.error = what + " has an unexpected element type";
        return out;
    }
    if (accessor.sparse.isSparse || accessor.bufferView < 0 ||
        static_cast<std::size_t>(accessor.bufferView) >= model.bufferViews.size()) {
        out.error = what + " is sparse or has no buffer view";
        return out;
    }
    const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        out.error = what + " has no buffer";
        return out;
    }
    const std::vector<unsigned char>& data = model.buffers[static_cast<std::size_t>(view.buffer)].data;
    const std::size_t elementSize = static_cast<std::size_t>(tinygltf::GetComponentSizeInBytes(
                                        static_cast<uint32_t>(accessor.componentType))) *
                                    static_cast<std::size_t>(tinygltf::GetNumComponentsInType(
                                        static_cast<uint32_t>(accessor.type)));
    out.stride = view.byteStride != 0 ? view.byteStride : elementSize;
    out.count = accessor.count;
    // note: sizes come from the file; each sum is checked before it is used.
    const std::size_t limit = std::numeric_limits<std::size_t>::max() / 4;
    const bool viewFits = view.byteOffset <= data.size() && view.byteLength <= data.size() - view.byteOffset;
    const bool sane = out.stride >= elementSize && out.count < limit / out.stride && accessor.byteOffset < limit;
    const std::size_t span = out.count == 0 ? 0 : accessor.byteOffset + out.stride * (out.count - 1) + elementSize;
    if (!viewFits || !sane || span > view.byteLength) {
        out.error = what + " runs past the end of its buffer";
        return out;
    }
    out.first = data.data() + view.byteOffset + accessor.byteOffset;
    return out;
}

std::string ReadVectors(const tinygltf::Model& model, int index, const std::string& what, std::vector<Vec3>& out)
{
    const AccessorBytes bytes = Locate(model, index, what, TINYGLTF_TYPE_VEC3, {TINYGLTF_COMPONENT_TYPE_FLOAT});
    if (!bytes.error.empty()) return bytes.error;
    out.resize(bytes.count);
    for (std::size_t i = 0; i < bytes.count; ++i) {
        float xyz[3];
        std::memcpy(xyz, bytes.first + i * bytes.stride, sizeof xyz);
        if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2]))
            return what + " holds a coordinate that is not a finite number";
        out[i] = Vec3{xyz[0], xyz[1], xyz[2]};
    }
    return {};
}

// The index list, or 0, 1, 2, ... when the primitive has none.
std::string ReadIndices(const tinygltf::Model& model, const tinygltf::Primitive& primitive, std::size_t vertexCount,
                        std::vector<uint32_t>& out)
{
    if (primitive.indices < 0) {
        out.resize(vertexCount);
        for (std::size_t i = 0; i < vertexCount; ++i) out[i] = static_cast<uint32_t>(i);
        return {};
    }
    const AccessorBytes bytes =
        Locate(model, primitive.indices, "the index list", TINYGLTF_TYPE_SCALAR,
               {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT});
    if (!bytes.error.empty()) return bytes.error;
    const int componentType = model.accessors[static_cast<std::size_t>(primitive.indices)].componentType;
    out.resize(bytes.count);
    for (std::size_t i = 0; i < bytes.count; ++i) {
        const unsigned char* at = bytes.first + i * bytes.stride;
        uint32_t value = 0;
        if (componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
            value = *at;
        } else if (componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            uint16_t v16 = 0;
            std::memcpy(&v16, at, sizeof v16);
            value = v16;
        } else {
            std::memcpy(&value, at, sizeof value);
        }
        if (value >= vertexCount) return "an index is out of range";
        out[i] = value;
    }
    return {};
}

std::string ReadPrimitive(const tinygltf::Model& model, MorphTriangles& morph)
{
    if (model.meshes.empty() || model.meshes[0].primitives.empty()) return "no mesh";
    const tinygltf::Primitive& primitive = model.meshes[0].primitives[0];
    if (primitive.mode != TINYGLTF_MODE_TRIANGLES && primitive.mode != -1) return "the mesh is not a triangle list";
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) return "the mesh has no positions";
    if (primitive.targets.empty()) return "no morph target: not a morph";
    const auto offset = primitive.targets[0].find("POSITION");
    if (offset == primitive.targets[0].end()) return "the morph target moves no position: not a morph";

    std::string problem = ReadVectors(model, position->second, "POSITION", morph.startPositions);
    if (problem.empty()) problem = ReadVectors(model, offset->second, "the morph target", morph.endPositions);
    if (!problem.empty()) return problem;
    if (morph.endPositions.size() != morph.startPositions.size())
        return "the morph target does not move every vertex";
    for (std::size_t v = 0; v < morph.startPositions.size(); ++v) {
        const Vec3& s = morph.startPositions[v];
        Vec3& e = morph.endPositions[v];
        e = Vec3{s.x + e.x, s.y + e.y, s.z + e.z};
        if (!std::isfinite(e.x) || !std::isfinite(e.y) || !std::isfinite(e.z))
            return "the morph target moves a vertex beyond the float range";
    }

    std::vector<uint32_t> indices;
    problem = ReadIndices(model, primitive, morph.startPositions.size(), indices);
    if (!problem.empty()) return problem;
    if (indices.size() % 3 != 0) return "the triangle list has a loose end";
    if (indices.empty()) return "the mesh has no triangles";
    morph.triangles.resize(indices.size() / 3);
    for (std::size_t t = 0; t < morph.triangles.size(); ++t) {
        for (std::size_t c = 0; c < 3; ++c) morph.triangles[t][c] = static_cast<int32_t>(indices[3 * t + c]);
    }
    return {};
}

}  // namespace

GltfMorphReadResult ReadGltfMorph(const std::string& path)
{
    GltfMorphReadResult result;
    GltfContainer container{};
    if (!GltfContainerOfPath(path, container)) {
        result.error = path + ": not a glTF file (expected .glb or .gltf)";
        return result;
    }
    std::string problem;
    try {
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        const bool loaded = container == GltfContainer::Binary
                                ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                                : loader.LoadASCIIFromFile(&model, &error, &warning, path);
        if (!loaded) {
            // note: the loader's messages can run over several lines.
            problem = error.empty() ? "cannot read the glTF data" : error.substr(0, error.find('\n'));
        } else {
            problem = ReadPrimitive(model, result.morph);
        }
    } catch (const std::exception& e) {
        problem = std::string("cannot read the glTF data: ") + e.what();
    }
    if (!problem.empty()) {
        result.error = path + ": " + problem;
        result.morph = MorphTriangles{};
    }
    return result;
}

}  // namespace vorlane
