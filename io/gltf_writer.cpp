#include "io/gltf_writer.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "io/morph_triangles.h"
#include "io/output_file.h"

namespace vorlane {

namespace {

// Area-weighted vertex normals of the triangles over positions, unit length.
std::vector<Vec3> VertexNormals(const std::vector<Vec3>& positions, const std::vector<Triangle>& triangles)
{
    std::vector<double> sum(positions.size() * 3, 0.0);
    for (const Triangle& t : triangles) {
        const Vec3& p = positions[static_cast<std::size_t>(t[0])];
        const Vec3& q = positions[static_cast<std::size_t>(t[1])];
        const Vec3& r = positions[static_cast<std::size_t>(t[2])];
        const double ux = static_cast<double>(q.x) - p.x, uy = static_cast<double>(q.y) - p.y,
                     uz = static_cast<double>(q.z) - p.z;
        const double wx = static_cast<double>(r.x) - p.x, wy = static_cast<double>(r.y) - p.y,
                     wz = static_cast<double>(r.z) - p.z;
        const double n[3] = {uy * wz - uz * wy, uz * wx - ux * wz, ux * wy - uy * wx};
        for (int32_t corner : t)
            for (int i = 0; i < 3; ++i) sum[static_cast<std::size_t>(corner) * 3 + static_cast<std::size_t>(i)] += n[i];
    }
    std::vector<Vec3> normals(positions.size());
    for (std::size_t v = 0; v < positions.size(); ++v) {
        const double x = sum[v * 3], y = sum[v * 3 + 1], z = sum[v * 3 + 2];
        const double length = std::sqrt(x * x + y * y + z * z);
        // note: viewers and validators want unit normals, even where the
        // faces around a vertex cancel.
        normals[v] = length > 0.0 && std::isfinite(length)
                         ? Vec3{static_cast<float>(x / length), static_cast<float>(y / length),
                                static_cast<float>(z / length)}
                         : Vec3{0.0f, 0.0f, 1.0f};
    }
    return normals;
}

class ModelBuilder {
public:
    tinygltf::Model model;

    ModelBuilder() { model.buffers.emplace_back(); }

    // Appends floats or uint32 values as their own buffer view and accessor;
    // returns the accessor's index.
    int Add(const void* values, std::size_t count, int componentCount, int componentType, int type, int target,
            bool withBounds)
    {
        std::vector<unsigned char>& data = model.buffers[0].data;
        const std::size_t bytes = count * static_cast<std::size_t>(componentCount) * 4;
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = bytes;
        view.target = target;
        const unsigned char* first = static_cast<const unsigned char*>(values);
        data.insert(data.end(), first, first + bytes);
        model.bufferViews.push_back(view);

        tinygltf::Accessor accessor;
        accessor.bufferView = static_cast<int>(model.bufferViews.size() - 1);
        accessor.byteOffset = 0;
        accessor.componentType = componentType;
        accessor.count = count;
        accessor.type = type;
        if (withBounds) {
            const float* floats = static_cast<const float*>(values);
            accessor.minValues.assign(static_cast<std::size_t>(componentCount), std::numeric_limits<double>::infinity());
            accessor.maxValues.assign(static_cast<std::size_t>(componentCount), -std::numeric_limits<double>::infinity());
            for (std::size_t i = 0; i < count; ++i) {
                for (std::size_t c = 0; c < static_cast<std::size_t>(componentCount); ++c) {
                    const double value = floats[i * static_cast<std::size_t>(componentCount) + c];
                    accessor.minValues[c] = std::min(accessor.minValues[c], value);
                    accessor.maxValues[c] = std::max(accessor.maxValues[c], value);
                }
            }
        }
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    }

    int AddVectors(const std::vector<Vec3>& vectors, bool withBounds)
    {
        static_assert(sizeof(Vec3) == 3 * sizeof(float), "Vec3 must be three packed floats");
        return Add(vectors.data(), vectors.size(), 3, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3,
                   TINYGLTF_TARGET_ARRAY_BUFFER, withBounds);
    }
};

std::vector<Vec3> Difference(const std::vector<Vec3>& to, const std::vector<Vec3>& from)
{
    std::vector<Vec3> out(to.size());
    for (std::size_t i = 0; i < to.size(); ++i)
        out[i] = Vec3{to[i].x - from[i].x, to[i].y - from[i].y, to[i].z - from[i].z};
    return out;
}

tinygltf::Model BuildModel(const MorphTriangles& mesh)
{
    ModelBuilder builder;
    std::vector<uint32_t> indices;
    indices.reserve(mesh.triangles.size() * 3);
    for (const Triangle& t : mesh.triangles)
        for (int32_t corner : t) indices.push_back(static_cast<uint32_t>(corner));
    const int indexAccessor = builder.Add(indices.data(), indices.size(), 1, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                                          TINYGLTF_TYPE_SCALAR, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);

    const std::vector<Vec3> startNormals = VertexNormals(mesh.startPositions, mesh.triangles);
    const std::vector<Vec3> endNormals = VertexNormals(mesh.endPositions, mesh.triangles);
    const int positions = builder.AddVectors(mesh.startPositions, true);
    const int normals = builder.AddVectors(startNormals, false);
    const int positionOffsets = builder.AddVectors(Difference(mesh.endPositions, mesh.startPositions), true);
    const int normalOffsets = builder.AddVectors(Difference(endNormals, startNormals), false);

    const float half = MorphAnimationSeconds / 2.0f;
    const float times[3] = {0.0f, half, MorphAnimationSeconds};
    const float weights[3] = {0.0f, 1.0f, 0.0f};
    const int timeAccessor = builder.Add(times, 3, 1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 0, true);
    const int weightAccessor = builder.Add(weights, 3, 1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 0, false);
    tinygltf::Model& model = builder.model;
    // note: animation data is no vertex or index data, so its views carry no target.
    model.bufferViews[model.accessors[static_cast<std::size_t>(timeAccessor)].bufferView].target = 0;
    model.bufferViews[model.accessors[static_cast<std::size_t>(weightAccessor)].bufferView].target = 0;

    tinygltf::Primitive primitive;
    primitive.attributes["POSITION"] = positions;
    primitive.attributes["NORMAL"] = normals;
    primitive.indices = indexAccessor;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.targets.push_back({{"POSITION", positionOffsets}, {"NORMAL", normalOffsets}});

    tinygltf::Mesh gltfMesh;
    gltfMesh.name = "vorlane-morph";
    gltfMesh.primitives.push_back(primitive);
    gltfMesh.weights = {0.0};
    tinygltf::Value::Object extras;
    extras["targetNames"] = tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(std::string(MorphTargetName))});
    gltfMesh.extras = tinygltf::Value(extras);
    model.meshes.push_back(gltfMesh);

    tinygltf::Node node;
    node.mesh = 0;
    node.name = "vorlane-morph";
    model.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;

    tinygltf::AnimationSampler sampler;
    sampler.input = timeAccessor;
    sampler.output = weightAccessor;
    sampler.interpolation = "LINEAR";
    tinygltf::AnimationChannel channel;
    channel.sampler = 0;
    channel.target_node = 0;
    channel.target_path = "weights";
    tinygltf::Animation animation;
    animation.name = "morph";
    animation.samplers.push_back(sampler);
    animation.channels.push_back(channel);
    model.animations.push_back(animation);

    model.asset.version = "2.0";
    model.asset.generator = "vorlane-merge";
    return model;
}

}  // namespace

bool GltfContainerOfPath(const std::string& path, GltfContainer& container)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".glb") container = GltfContainer::Binary;
    else if (extension == ".gltf") container = GltfContainer::Text;
    else return false;
    return true;
}

std::string WriteGltfMorph(const MorphMesh& mesh, const std::string& path, GltfContainer container)
{
    const MorphTriangles triangles = CollectMorphTriangles(mesh);
    if (triangles.triangles.empty()) return path + ": nothing to write: the mesh has no faces";
    const tinygltf::Model model = BuildModel(triangles);
    return WriteStreamAtomically(path, [&](std::ostream& out) -> std::string {
        tinygltf::TinyGLTF writer;
        const bool written = writer.WriteGltfSceneToStream(&model, out, false, container == GltfContainer::Binary);
        if (!written || !out.flush()) return "cannot write the glTF data";
        return {};
    });
}

}  // namespace vorlane
