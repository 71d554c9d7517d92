// Morphs read back from the glTF files vorlane-merge writes, and the files
// the reader must refuse.
#include "io/gltf_reader.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "geometry/model_catalogue.h"
#include "io/gltf_writer.h"
#include "io/morph_triangles.h"
#include "literal/merge_topologies.h"
#include "test_support.h"

namespace {

using vorlane::MorphTriangles;
using vorlane::Vec3;

MorphTriangles WrittenMorph(const std::string& path, vorlane::GltfContainer container)
{
    const vorlane::Polyhedron source = vorlane::BuildIcosahedron(Vec3{});
    const vorlane::Polyhedron target = vorlane::BuildCube(Vec3{});
    const vorlane::MorphMesh mesh = vorlane::MergeTopologies(source, target);
    EXPECT_EQ(vorlane::WriteGltfMorph(mesh, path, container), "");
    return vorlane::CollectMorphTriangles(mesh);
}

TEST(GltfReader, ReadsBackWhatTheWriterWrote)
{
    const vorlane::test::ScratchDirectory scratch;
    for (const auto& [name, container] : {std::pair{"morph.glb", vorlane::GltfContainer::Binary},
                                          std::pair{"morph.gltf", vorlane::GltfContainer::Text}}) {
        SCOPED_TRACE(name);
        const MorphTriangles written = WrittenMorph(name, container);
        const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph(name);
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.morph.triangles, written.triangles);
        ASSERT_EQ(read.morph.startPositions.size(), written.startPositions.size());
        for (size_t v = 0; v < written.startPositions.size(); ++v) {
            const Vec3& s = read.morph.startPositions[v];
            const Vec3& e = read.morph.endPositions[v];
            EXPECT_EQ(s, written.startPositions[v]);
            // The file holds end - start; adding it back may round once.
            EXPECT_NEAR(e.x, written.endPositions[v].x, 1e-4);
            EXPECT_NEAR(e.y, written.endPositions[v].y, 1e-4);
            EXPECT_NEAR(e.z, written.endPositions[v].z, 1e-4);
        }
    }
}

// Each case spoils a good file in one way; the reader names the file and a reason.
TEST(GltfReader, RefusesWhatIsNotAMorph)
{
    const vorlane::test::ScratchDirectory scratch;
    WrittenMorph("good.glb", vorlane::GltfContainer::Binary);
    const std::string good = vorlane::test::ReadFile("good.glb");
    tinygltf::Model model;
    std::string error, warning;
    ASSERT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&model, &error, &warning, "good.glb"));
    const auto saved = [](tinygltf::Model changed, const std::string& path) {
        tinygltf::TinyGLTF().WriteGltfSceneToFile(&changed, path, true, true, false, true);
    };
    tinygltf::Model withoutTarget = model;
    withoutTarget.meshes[0].primitives[0].targets.clear();
    saved(withoutTarget, "plain.glb");
    tinygltf::Model badIndex = model;
    tinygltf::Primitive& primitive = badIndex.meshes[0].primitives[0];
    for (const int accessor : {primitive.attributes["POSITION"], primitive.targets[0]["POSITION"]})
        badIndex.accessors[static_cast<size_t>(accessor)].count = 3;
    saved(badIndex, "short.glb");
    tinygltf::Model overrun = model;
    overrun.accessors[static_cast<size_t>(overrun.meshes[0].primitives[0].indices)].byteOffset = good.size();
    saved(overrun, "overrun.glb");
    std::ofstream("truncated.glb", std::ios::binary) << good.substr(0, good.size() / 2);
    std::ofstream("text.glb") << "not glTF at all\n";

    const struct {
        const char* path;
        const char* reason;
    } cases[] = {
        {"plain.glb", "no morph target"},        {"short.glb", "out of range"},
        {"overrun.glb", "runs past the end"},    {"truncated.glb", ""},
        {"text.glb", ""},                        {"missing.glb", ""},
        {"morph.obj", "not a glTF file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph(c.path);
        EXPECT_EQ(read.error.rfind(std::string(c.path) + ": ", 0), 0u) << read.error;
        EXPECT_NE(read.error.find(c.reason), std::string::npos) << read.error;
        EXPECT_EQ(read.error.find('\n'), std::string::npos) << "one line";
        EXPECT_TRUE(read.morph.triangles.empty() && read.morph.startPositions.empty());
    }
}

// The highest index names the last vertex: one vertex fewer and the file
// is refused, as many and it is read.
TEST(GltfReader, IndexBoundIsTheVertexCount)
{
    const vorlane::test::ScratchDirectory scratch;
    const MorphTriangles written = WrittenMorph("good.glb", vorlane::GltfContainer::Binary);
    tinygltf::Model model;
    std::string error, warning;
    ASSERT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&model, &error, &warning, "good.glb"));
    for (const size_t vertices : {written.startPositions.size() - 1, written.startPositions.size()}) {
        SCOPED_TRACE(vertices);
        tinygltf::Model changed = model;
        tinygltf::Primitive& primitive = changed.meshes[0].primitives[0];
        for (const int accessor : {primitive.attributes["POSITION"], primitive.targets[0]["POSITION"]})
            changed.accessors[static_cast<size_t>(accessor)].count = vertices;
        tinygltf::TinyGLTF().WriteGltfSceneToFile(&changed, "cut.glb", true, true, false, true);
        const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph("cut.glb");
        EXPECT_EQ(read.error, vertices < written.startPositions.size() ? "cut.glb: an index is out of range" : "");
    }
}

}  // namespace
