#include "io/gltf_document.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "geometry/morph_step.h"
#include "io/gltf_writer.h"

namespace vorlane {

namespace {

using Json = nlohmann::json;

constexpr const char* MeshoptExtension = "EXT_meshopt_compression";
constexpr const char* QuantizationExtension = "KHR_mesh_quantization";

Json View(const GltfView& view)
{
    // note: optional members only when they differ from their defaults, as tinygltf writes them.
    Json out = {{"buffer", view.buffer}, {"byteLength", view.byteLength}};
    if (view.byteStride >= 4) out["byteStride"] = view.byteStride;
    if (view.byteOffset > 0) out["byteOffset"] = view.byteOffset;
    if (view.target != 0) out["target"] = view.target;
    if (view.meshoptMode) {
        Json encoded = {{"buffer", 0},
                        {"byteLength", view.meshoptLength},
                        {"byteStride", view.meshoptStride},
                        {"count", view.meshoptCount},
                        {"mode", view.meshoptMode}};
        if (view.meshoptOffset > 0) encoded["byteOffset"] = view.meshoptOffset;
        out["extensions"] = {{MeshoptExtension, encoded}};
    }
    return out;
}

Json Accessor(const GltfAccessor& accessor)
{
    Json out = {{"bufferView", accessor.view},
                {"componentType", accessor.componentType},
                {"count", accessor.count},
                {"type", accessor.type}};
    if (accessor.normalized) out["normalized"] = true;
    if (!accessor.min.empty()) out["min"] = accessor.min;
    if (!accessor.max.empty()) out["max"] = accessor.max;
    return out;
}

}  // namespace

std::string GltfJson(const GltfDocument& document)
{
    Json root;
    for (const GltfAccessor& accessor : document.accessors) root["accessors"].push_back(Accessor(accessor));
    root["animations"] = Json::array({{{"channels", Json::array({{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}}})},
                                       {"name", "morph"},
                                       {"samplers", Json::array({{{"input", 5}, {"interpolation", "LINEAR"}, {"output", 6}}})}}});
    root["asset"] = {{"generator", "vorlane-merge"}, {"version", "2.0"}};
    for (const GltfView& view : document.views) root["bufferViews"].push_back(View(view));
    Json binary = {{"byteLength", document.binaryLength}};
    if (!document.uri.empty()) binary["uri"] = document.uri;
    root["buffers"].push_back(binary);
    if (document.fallbackLength > 0) {
        root["buffers"].push_back(
            {{"byteLength", document.fallbackLength}, {"extensions", {{MeshoptExtension, {{"fallback", true}}}}}});
        root["extensionsUsed"] = Json::array({MeshoptExtension, QuantizationExtension});
        root["extensionsRequired"] = Json::array({MeshoptExtension, QuantizationExtension});
    }
    // The in-betweens first, named by their step, so that a viewer lists the
    // targets in the order they play; the other end last.
    Json targets = Json::array(), names = Json::array(), weights = Json::array();
    const int count = document.middleTargets + 1;
    for (int i = 0; i < document.middleTargets; ++i) {
        Json target = {{"NORMAL", document.middleAccessor + 2 * i + 1}, {"POSITION", document.middleAccessor + 2 * i}};
        if (document.coloured) target["COLOR_0"] = document.colourAccessor + 2 + i;
        targets.push_back(target);
        names.push_back(MiddleTargetName(i + 1, count));
        weights.push_back(0.0);
    }
    Json last = {{"NORMAL", 4}, {"POSITION", 3}};
    if (document.coloured) last["COLOR_0"] = document.colourAccessor + 1;
    targets.push_back(last);
    names.push_back(count == 1 ? std::string(MorphTargetName) : MiddleTargetName(count, count));
    weights.push_back(document.reversed ? 1.0 : 0.0);
    Json primitive = {{"attributes", {{"NORMAL", 2}, {"POSITION", 1}}},
                      {"indices", 0},
                      {"material", 0},
                      {"mode", 4},
                      {"targets", targets}};
    if (document.coloured) primitive["attributes"]["COLOR_0"] = document.colourAccessor;
    root["meshes"] = Json::array({{{"extras", {{"targetNames", names}}},
                                   {"name", "vorlane-morph"},
                                   {"primitives", Json::array({primitive})},
                                   {"weights", weights}}});
    // Without a material viewers take glTF's default, fully metallic: black
    // in the shade under plain lights, white under an environment map.
    root["materials"] = Json::array({{{"name", "vorlane-morph"},
                                      {"pbrMetallicRoughness",
                                       {{"baseColorFactor", document.coloured ? Json::array({1.0, 1.0, 1.0, 1.0})
                                                                                : Json::array({0.8, 0.8, 0.8, 1.0})},
                                        {"metallicFactor", 0.0},
                                        {"roughnessFactor", 0.6}}}}});
    Json node = {{"mesh", 0}, {"name", "vorlane-morph"}};
    if (document.quantized) {
        node["translation"] = Json::array({document.translation[0], document.translation[1], document.translation[2]});
        node["scale"] = Json::array({document.scale, document.scale, document.scale});
    }
    root["nodes"] = Json::array({node});
    root["scene"] = 0;
    root["scenes"] = Json::array({{{"nodes", Json::array({0})}}});
    return root.dump();
}

std::string MiddleTargetName(int target, int count)
{
    // note: steps of K targets fall on halves and quarters of a step for K of 8, 16...
    char text[32];
    std::snprintf(text, sizeof text, "step %g", static_cast<double>(MorphSteps) * target / count);
    return text;
}

void FloatBounds(const Vec3* values, std::size_t count, GltfAccessor& accessor)
{
    accessor.min.assign(3, std::numeric_limits<double>::infinity());
    accessor.max.assign(3, -std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i < count; ++i) {
        const float c[3] = {values[i].x, values[i].y, values[i].z};
        for (std::size_t k = 0; k < 3; ++k) {
            accessor.min[k] = std::min(accessor.min[k], static_cast<double>(c[k]));
            accessor.max[k] = std::max(accessor.max[k], static_cast<double>(c[k]));
        }
    }
}

}  // namespace vorlane
