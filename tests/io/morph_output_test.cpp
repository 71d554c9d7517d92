#include <gtest/gtest.h>
#include <meshoptimizer.h>
#include <unistd.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "geometry/model_catalogue.h"
#include "geometry/morph_step.h"
#include "io/gltf_compress.h"
#include "io/gltf_writer.h"
#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "io/morph_triangles.h"
#include "bench/mesh_generator.h"
#include "literal/merge_topologies.h"
#include "robust/merge_meshes.h"
#include "io/output_tests.h"
#include "test_support.h"

namespace {

using vorlane::MorphMesh;
using vorlane::Vec3;
using vorlane::test::RunShell;
using vorlane::test::TopologyMerge;


std::vector<const float*> Floats(const tinygltf::Model& model, int accessorIndex, size_t& count)
{
    const tinygltf::Accessor& accessor = model.accessors[static_cast<size_t>(accessorIndex)];
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(accessor.bufferView)];
    const unsigned char* data = model.buffers[static_cast<size_t>(view.buffer)].data.data() + view.byteOffset +
                                accessor.byteOffset;
    count = accessor.count;
    const size_t width = accessor.type == TINYGLTF_TYPE_VEC3 ? 3 : 1;
    std::vector<const float*> items;
    for (size_t i = 0; i < count; ++i) items.push_back(reinterpret_cast<const float*>(data) + i * width);
    return items;
}

bool Load(const std::string& path, tinygltf::Model& model)
{
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    const bool binary = path.size() > 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
    return binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                  : loader.LoadASCIIFromFile(&model, &error, &warning, path);
}

void ExpectRoundTrip(const MorphMesh& mesh, const std::string& path)
{
    SCOPED_TRACE(path);
    vorlane::GltfContainer container{};
    ASSERT_TRUE(vorlane::GltfContainerOfPath(path, container));
    ASSERT_EQ(vorlane::WriteGltfMorph(mesh, path, container), "");
    tinygltf::Model model;
    ASSERT_TRUE(Load(path, model));

    const vorlane::MorphTriangles expected = vorlane::CollectMorphTriangles(mesh);
    ASSERT_EQ(model.meshes.size(), 1u);
    const tinygltf::Primitive& primitive = model.meshes[0].primitives.at(0);
    size_t vertexCount = 0, normalCount = 0, offsetCount = 0, indexCount = 0;
    const auto positions = Floats(model, primitive.attributes.at("POSITION"), vertexCount);
    const auto normals = Floats(model, primitive.attributes.at("NORMAL"), normalCount);
    ASSERT_EQ(primitive.targets.size(), 1u);
    const auto offsets = Floats(model, primitive.targets[0].at("POSITION"), offsetCount);
    ASSERT_EQ(vertexCount, expected.startPositions.size());
    ASSERT_EQ(normalCount, vertexCount);
    ASSERT_EQ(offsetCount, vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const Vec3& start = expected.startPositions[v];
        const Vec3& end = expected.endPositions[v];
        EXPECT_EQ((Vec3{positions[v][0], positions[v][1], positions[v][2]}), start) << v;
        const float ends[3] = {end.x, end.y, end.z};
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(positions[v][i] + offsets[v][i], ends[i], 1e-6 * (1.0 + std::fabs(ends[i]))) << v;
        EXPECT_NEAR(std::hypot(normals[v][0], normals[v][1], normals[v][2]), 1.0, 1e-6);
    }

    const tinygltf::Accessor& indices = model.accessors[static_cast<size_t>(primitive.indices)];
    ASSERT_EQ(indices.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    indexCount = indices.count;
    ASSERT_EQ(indexCount, expected.triangles.size() * 3);
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(indices.bufferView)];
    const uint32_t* index =
        reinterpret_cast<const uint32_t*>(model.buffers[0].data.data() + view.byteOffset + indices.byteOffset);
    for (size_t t = 0; t < expected.triangles.size(); ++t)
        for (size_t c = 0; c < 3; ++c) EXPECT_EQ(index[t * 3 + c], static_cast<uint32_t>(expected.triangles[t][c]));

    ASSERT_EQ(model.animations.size(), 1u);
    const tinygltf::AnimationSampler& sampler = model.animations[0].samplers.at(0);
    EXPECT_EQ(model.animations[0].channels.at(0).target_path, "weights");
    size_t keyCount = 0, weightCount = 0;
    const auto times = Floats(model, sampler.input, keyCount);
    const auto weights = Floats(model, sampler.output, weightCount);
    ASSERT_EQ(keyCount, 3u);
    ASSERT_EQ(weightCount, 3u);
    EXPECT_EQ(*times[0], 0.0f);
    EXPECT_EQ(*times[2], vorlane::MorphAnimationSeconds);
    EXPECT_EQ(*weights[0], 0.0f);
    EXPECT_EQ(*weights[1], 1.0f);
    EXPECT_EQ(*weights[2], 0.0f);
    EXPECT_EQ(model.meshes[0].extras.Get("targetNames").Get(0).Get<std::string>(), vorlane::MorphTargetName);

    // glTF's default material is fully metallic: black in the shade under plain lights.
    ASSERT_EQ(model.materials.size(), 1u);
    EXPECT_EQ(model.meshes[0].primitives[0].material, 0);
    EXPECT_EQ(model.materials[0].pbrMetallicRoughness.metallicFactor, 0.0);
    EXPECT_EQ(model.materials[0].pbrMetallicRoughness.roughnessFactor, 0.6);
}

TEST(GltfWriter, RoundTripGivesTheMergedMeshAndItsMorph)
{
    vorlane::test::ScratchDirectory scratch;
    const MorphMesh topology = TopologyMerge();
    // Folded vertices are left out: 73 merged, 18 folded away.
    EXPECT_EQ(vorlane::CollectMorphTriangles(topology).startPositions.size(),
              static_cast<size_t>(topology.vertexCount() - vorlane::CountFoldedVertices(topology)));
    EXPECT_EQ(vorlane::CollectMorphTriangles(topology).triangles.size(), static_cast<size_t>(topology.faceCount()));
    ExpectRoundTrip(topology, "topology.glb");
    ExpectRoundTrip(topology, "topology.GLTF");

    vorlane::Polyhedron source = vorlane::BuildPyramid(Vec3{});
    vorlane::Polyhedron target = vorlane::BuildIcosahedron(Vec3{});
    const vorlane::MeshMergeResult robust = vorlane::MergeMeshes(source, target);
    EXPECT_EQ(vorlane::CollectMorphTriangles(robust.mesh).startPositions.size(),
              static_cast<size_t>(robust.mesh.vertexCount()));
    ExpectRoundTrip(robust.mesh, "robust.glb");
}

TEST(GltfWriter, MeshWithoutFacesIsRefusedAndNothingWritten)
{
    vorlane::test::ScratchDirectory scratch;
    MorphMesh empty;
    EXPECT_EQ(vorlane::WriteGltfMorph(empty, "empty.glb", vorlane::GltfContainer::Binary),
              "empty.glb: nothing to write: the mesh has no faces");
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}


TEST(GltfWriter, KhronosValidatorFindsNoErrors)
{
    ASSERT_EQ(RunShell("node --version > /dev/null 2>&1"), 0) << "node is needed to run the glTF validator";
    const std::string validator = GLTF_VALIDATOR_DIR;
    if (RunShell("'" + std::string(INSTALL_GLTF_VALIDATOR) + "' '" + validator + "' > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "npm could not install gltf-validator into " << validator
                     << " (no network?); install it with the gltf_validator build target";

    vorlane::test::ScratchDirectory scratch;
    const MorphMesh topology = TopologyMerge();
    vorlane::Polyhedron source = vorlane::BuildBox(Vec3{});
    vorlane::Polyhedron target = vorlane::BuildRhombicPrism(Vec3{});
    const vorlane::MeshMergeResult robust = vorlane::MergeMeshes(source, target);
    const struct {
        const MorphMesh& mesh;
        const char* path;
        bool compress;
    } cases[] = {{topology, "topology.glb", false},         {topology, "topology.gltf", false},
                 {robust.mesh, "robust.glb", false},        {robust.mesh, "compressed.glb", true},
                 {robust.mesh, "compressed.gltf", true},    {topology, "topology-compressed.glb", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        vorlane::GltfContainer container{};
        ASSERT_TRUE(vorlane::GltfContainerOfPath(c.path, container));
        ASSERT_EQ(vorlane::WriteGltfMorph(c.mesh, c.path, container, {c.compress, 2}), "");
        ASSERT_EQ(RunShell("node '" + std::string(VALIDATE_GLTF_SCRIPT) + "' '" + validator + "' " + c.path + " > report.txt"),
                  0);
        const std::string report = vorlane::test::ReadFile("report.txt");
        EXPECT_EQ(report.rfind("errors 0 ", 0), 0u) << report;
    }
}

TEST(MeshWriter, StepsRoundTripThroughTheReader)
{
    vorlane::test::ScratchDirectory scratch;
    const MorphMesh mesh = TopologyMerge();
    const vorlane::MorphTriangles expected = vorlane::CollectMorphTriangles(mesh);
    for (const char* name : {"step.obj", "step.ply"}) {
        for (int step : {0, 7, 20}) {
            SCOPED_TRACE(std::string(name) + " step " + std::to_string(step));
            vorlane::StepFormat format{};
            ASSERT_TRUE(vorlane::StepFormatOfPath(name, format));
            ASSERT_EQ(vorlane::WriteMeshAtStep(mesh, step, name, format), "");
            const vorlane::MeshReadResult read = vorlane::ReadMeshFile(name);
            ASSERT_EQ(read.error, "");
            ASSERT_EQ(read.table.triangles.size(), expected.triangles.size());
            ASSERT_EQ(read.table.vertices.size(), expected.startPositions.size());
            for (size_t t = 0; t < expected.triangles.size(); ++t) {
                for (size_t c = 0; c < 3; ++c) {
                    const size_t v = static_cast<size_t>(expected.triangles[t][c]);
                    const Vec3 want = vorlane::MorphPosition(expected.startPositions[v], expected.endPositions[v], step);
                    EXPECT_EQ(read.table.vertices[static_cast<size_t>(read.table.triangles[t][c])], want);
                }
            }
        }
    }
}

}  // namespace

namespace {

// The bytes a meshopt-compressed view decodes to, by its extension's record.
std::vector<unsigned char> Decoded(const tinygltf::Model& model, int accessorIndex, size_t& stride)
{
    const tinygltf::Accessor& accessor = model.accessors[static_cast<size_t>(accessorIndex)];
    const tinygltf::Value& meshopt = model.bufferViews[static_cast<size_t>(accessor.bufferView)].extensions.at("EXT_meshopt_compression");
    const size_t count = static_cast<size_t>(meshopt.Get("count").GetNumberAsInt());
    stride = static_cast<size_t>(meshopt.Get("byteStride").GetNumberAsInt());
    const size_t offset = meshopt.Has("byteOffset") ? static_cast<size_t>(meshopt.Get("byteOffset").GetNumberAsInt()) : 0;
    const unsigned char* encoded = model.buffers[0].data.data() + offset;
    const size_t length = static_cast<size_t>(meshopt.Get("byteLength").GetNumberAsInt());
    std::vector<unsigned char> out(count * stride);
    const int status = meshopt.Get("mode").Get<std::string>() == "TRIANGLES"
                           ? meshopt_decodeIndexBuffer(reinterpret_cast<uint32_t*>(out.data()), count, 4, encoded, length)
                           : meshopt_decodeVertexBuffer(out.data(), count, stride, encoded, length);
    EXPECT_EQ(status, 0);
    return out;
}

// A triangle's corners from its smallest, so that order within a list
// of triangles and the corner it starts at do not matter.
std::vector<std::array<uint32_t, 3>> Canonical(const uint32_t* corners, size_t count)
{
    std::vector<std::array<uint32_t, 3>> triangles;
    for (size_t t = 0; t + 2 < count; t += 3) {
        std::array<uint32_t, 3> c{corners[t], corners[t + 1], corners[t + 2]};
        std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
        triangles.push_back(c);
    }
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

}  // namespace

// tinygltf 2.5 takes every buffer without a uri in a .glb for the binary
// chunk, so it refuses the meshopt fallback buffer, which holds no bytes;
// the fallback is dropped before the file is handed to it.
bool LoadCompressed(const std::string& path, tinygltf::Model& model)
{
    const std::string bytes = vorlane::test::ReadFile(path);
    const bool binary = path.size() > 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
    uint32_t jsonLength = 0;
    if (binary) std::memcpy(&jsonLength, bytes.data() + 12, 4);
    const std::string json = binary ? bytes.substr(20, jsonLength) : bytes;
    const std::string fallback = R"(,{"byteLength":)";
    const size_t at = json.find(fallback, json.find("\"buffers\""));
    const size_t close = json.find("}}}", at);
    if (at == std::string::npos || close == std::string::npos) return false;
    std::string patched = json.substr(0, at) + json.substr(close + 3);
    for (size_t p = 0; (p = patched.find("{\"buffer\":1,", p)) != std::string::npos;) patched.replace(p, 12, "{\"buffer\":0,");
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (!binary) return loader.LoadASCIIFromString(&model, &error, &warning, patched.c_str(), static_cast<unsigned>(patched.size()), "");
    patched.append((4 - patched.size() % 4) % 4, ' ');
    std::string glb = bytes.substr(0, 12);
    const uint32_t length = static_cast<uint32_t>(patched.size());
    glb.append(reinterpret_cast<const char*>(&length), 4).append("JSON").append(patched).append(bytes.substr(20 + jsonLength));
    const uint32_t total = static_cast<uint32_t>(glb.size());
    std::memcpy(&glb[8], &total, 4);
    return loader.LoadBinaryFromMemory(&model, &error, &warning, reinterpret_cast<const unsigned char*>(glb.data()),
                                       static_cast<unsigned>(glb.size()));
}

// Where one grid holds both ends (no slivers to flatten), the compressed
// file decodes, through tinygltf and meshopt's decoder, to the same
// triangles and to positions at both ends within half a step of that grid.
TEST(GltfWriter, CompressedMorphDecodesWithinTheQuantisationStep)
{
    vorlane::test::ScratchDirectory scratch;
    const MorphMesh mesh = TopologyMerge();
    const vorlane::MorphTriangles written = vorlane::CollectMorphTriangles(mesh);
    for (const char* path : {"compressed.glb", "compressed.gltf"}) {
        SCOPED_TRACE(path);
        vorlane::GltfContainer container{};
        ASSERT_TRUE(vorlane::GltfContainerOfPath(path, container));
        ASSERT_EQ(vorlane::WriteGltfMorph(mesh, path, container, {true, 2}), "");
        tinygltf::Model model;
        ASSERT_TRUE(LoadCompressed(path, model));
        const tinygltf::Node& node = model.nodes.at(0);
        ASSERT_EQ(node.scale.size(), 3u);
        const double step = vorlane::QuantisationStep(written.startPositions.data(), written.endPositions.data(), written.startPositions.size());
        EXPECT_EQ(node.scale[0], step);
        const tinygltf::Primitive& primitive = model.meshes.at(0).primitives.at(0);
        size_t stride = 0;
        const std::vector<unsigned char> positions = Decoded(model, primitive.attributes.at("POSITION"), stride);
        ASSERT_EQ(stride, 8u);
        const std::vector<unsigned char> offsets = Decoded(model, primitive.targets.at(0).at("POSITION"), stride);
        ASSERT_EQ(positions.size(), written.startPositions.size() * 8);
        for (size_t v = 0; v < written.startPositions.size(); ++v) {
            const int16_t* q = reinterpret_cast<const int16_t*>(positions.data() + v * 8);
            const int16_t* d = reinterpret_cast<const int16_t*>(offsets.data() + v * 8);
            const float start[3] = {written.startPositions[v].x, written.startPositions[v].y, written.startPositions[v].z};
            const float end[3] = {written.endPositions[v].x, written.endPositions[v].y, written.endPositions[v].z};
            for (size_t k = 0; k < 3; ++k) {
                // note: the bound is half a step plus the rounding of the decoded sum in double.
                EXPECT_LE(std::fabs(node.translation[k] + step * q[k] - start[k]), step * (0.5 + 1e-9)) << v;
                EXPECT_LE(std::fabs(node.translation[k] + step * (q[k] + d[k]) - end[k]), step * (0.5 + 1e-9)) << v;
            }
        }
        const std::vector<unsigned char> corners = Decoded(model, primitive.indices, stride);
        const vorlane::MorphIndices expected = vorlane::CollectMorphIndices(mesh);
        EXPECT_EQ(Canonical(reinterpret_cast<const uint32_t*>(corners.data()), corners.size() / 4),
                  Canonical(expected.corners.data(), expected.corners.size()));
    }
}

// The header of a .glb says its lengths in 32 bits: a morph whose file
// would pass 4 GiB is refused, and the size is known from the counts first.
TEST(GltfWriter, GlbOverFourGibibytesIsRefused)
{
    // 12 bytes a triangle, 48 a vertex, 24 of animation.
    EXPECT_EQ(vorlane::MorphBinaryBytes(10, 16), 16u * 12 + 10 * 48 + 24);
    const uint64_t limit = 4294967295u;
    const struct {
        uint64_t json;
        uint64_t binary;
        bool fits;
    } cases[] = {
        {2000, 1000, true},
        // Chunks are padded to four bytes: 4294967292 is the largest file.
        {2000, limit - 3 - 12 - 8 - 2000 - 8, true},
        {2000, limit - 3 - 12 - 8 - 2000 - 8 + 1, false},
        {1997, limit - 3 - 12 - 8 - 2000 - 8, true},
        {2001, limit - 3 - 12 - 8 - 2000 - 8, false},
        {2000, vorlane::MorphBinaryBytes(60000000, 120000000), false},
        {2000, vorlane::MorphBinaryBytes(20000000, 40000000), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.json) + " + " + std::to_string(c.binary));
        const std::string problem = vorlane::GlbSizeProblem(c.json, c.binary);
        EXPECT_EQ(problem.empty(), c.fits) << problem;
        if (!c.fits) {
            EXPECT_NE(problem.find("4 GiB"), std::string::npos);
        }
    }
}

// End minus start of two cubes 5e38 apart is no float: refused, naming the
// output, before anything is written (it used to hold -inf and null bounds).
TEST(GltfWriter, OffsetBeyondFloatIsRefused)
{
    vorlane::test::ScratchDirectory scratch;
    vorlane::Polyhedron cubes[2];
    for (int side = 0; side < 2; ++side) {
        const float x = side == 0 ? 2.5e38f : -2.5e38f;
        vorlane::ModelTable table = vorlane::CubeSphere(1, 1.7e33f);
        for (Vec3& v : table.vertices) v.x += x;
        cubes[side] = vorlane::BuildPolyhedron(table, Vec3{x, 0.0f, 0.0f});
    }
    const MorphMesh mesh = vorlane::MergeMeshes(cubes[0], cubes[1]).mesh;
    for (const char* path : {"far.glb", "far.gltf"}) {
        const std::string problem = vorlane::WriteGltfMorph(mesh, path, path[5] == 'b' ? vorlane::GltfContainer::Binary : vorlane::GltfContainer::Text);
        EXPECT_EQ(problem.rfind(std::string(path) + ": vertex ", 0), 0u) << problem;
        EXPECT_NE(problem.find("no finite float"), std::string::npos) << problem;
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

// A cube merged with finer spheres: each of its corners shades along its
// diagonal, the angle-weighted normal of the cube there, whatever the other
// mesh; normals of the merged slivers around it lean every which way.
TEST(GltfWriter, RobustNormalsAreThoseOfTheInputSurface)
{
    vorlane::test::ScratchDirectory scratch;
    vorlane::Polyhedron cube = vorlane::BuildPolyhedron(vorlane::CubeSphere(1, 50.0f), Vec3{});
    for (uint32_t seed : {1u, 2u}) {
        vorlane::ModelTable ball = vorlane::Icosphere(3, 40.0f);
        vorlane::Rotate(ball, seed);
        vorlane::Polyhedron sphere = vorlane::BuildPolyhedron(ball, Vec3{});
        const MorphMesh mesh = vorlane::MergeMeshes(cube, sphere).mesh;
        MorphMesh recomputed = mesh;
        recomputed.startLocations.clear();
        recomputed.endLocations.clear();
        double worst[2] = {1.0, 1.0};
        for (int located = 0; located < 2; ++located) {
            SCOPED_TRACE("seed " + std::to_string(seed) + (located ? " from locations" : " recomputed"));
            ASSERT_EQ(vorlane::WriteGltfMorph(located ? mesh : recomputed, "cube.glb", vorlane::GltfContainer::Binary), "");
            tinygltf::Model model;
            ASSERT_TRUE(Load("cube.glb", model));
            size_t count = 0;
            const auto normals = Floats(model, model.meshes.at(0).primitives.at(0).attributes.at("NORMAL"), count);
            int corners = 0;
            for (size_t v = 0; v < count; ++v) {
                const Vec3& p = mesh.startPositions[v];
                if (std::find(cube.vertices.begin(), cube.vertices.end(), p) == cube.vertices.end()) continue;
                ++corners;
                const double cosine = (normals[v][0] * p.x + normals[v][1] * p.y + normals[v][2] * p.z) / std::hypot(p.x, p.y, p.z);
                worst[located] = std::min(worst[located], cosine);
            }
            EXPECT_EQ(corners, 8);
        }
        EXPECT_GT(worst[1], 1.0 - 1e-6);
        EXPECT_LT(worst[0], 0.99);
    }
}
