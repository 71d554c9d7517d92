// The glTF reader against compressed morphs and hostile files: none may
// block, crash, read outside the file's folder or flood the message.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "geometry/model_catalogue.h"
#include "io/gltf_compress.h"
#include "io/gltf_reader.h"
#include "io/gltf_writer.h"
#include "literal/merge_topologies.h"
#include "test_support.h"

namespace {

using vorlane::MorphTriangles;
using vorlane::Vec3;

MorphTriangles Written(const std::string& path, vorlane::GltfContainer container, bool compress)
{
    const vorlane::MorphMesh mesh =
        vorlane::MergeTopologies(vorlane::BuildIcosahedron(Vec3{}), vorlane::BuildCube(Vec3{}));
    vorlane::GltfOptions options;
    options.compress = compress;
    EXPECT_EQ(vorlane::WriteGltfMorph(mesh, path, container, options), "");
    return vorlane::CollectMorphTriangles(mesh);
}

std::vector<std::array<int32_t, 3>> Canonical(const MorphTriangles& morph)
{
    std::vector<std::array<int32_t, 3>> out;
    for (const auto& t : morph.triangles) {
        std::array<int32_t, 3> c = {t[0], t[1], t[2]};
        std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
        out.push_back(c);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Compressed triangles come in cache order; each position lies within half
// a grid step of its own on every axis.
TEST(GltfReader, ReadsCompressedMorphs)
{
    const vorlane::test::ScratchDirectory scratch;
    for (const auto& [name, container] : {std::pair{"c.glb", vorlane::GltfContainer::Binary},
                                          std::pair{"c.gltf", vorlane::GltfContainer::Text}}) {
        SCOPED_TRACE(name);
        const MorphTriangles written = Written(name, container, true);
        const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph(name);
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(Canonical(read.morph), Canonical(written));
        const double half = vorlane::QuantisationStep(written.startPositions.data(), written.endPositions.data(),
                                                      written.startPositions.size()) / 2 * 1.001;
        ASSERT_EQ(read.morph.startPositions.size(), written.startPositions.size());
        for (size_t v = 0; v < written.startPositions.size(); ++v) {
            for (const auto& [got, want] : {std::pair{read.morph.startPositions[v], written.startPositions[v]},
                                            std::pair{read.morph.endPositions[v], written.endPositions[v]}}) {
                EXPECT_NEAR(got.x, want.x, half);
                EXPECT_NEAR(got.y, want.y, half);
                EXPECT_NEAR(got.z, want.z, half);
            }
        }
    }
}

// A plain .gltf spoiled one way, written under name.
void Spoiled(const std::string& name, const std::function<void(nlohmann::json&)>& spoil)
{
    nlohmann::json root = nlohmann::json::parse(vorlane::test::ReadFile("plain.gltf"));
    spoil(root);
    std::ofstream(name) << root.dump();
}

TEST(GltfReader, HostileFilesFailFastWithOneLine)
{
    const vorlane::test::ScratchDirectory scratch;
    Written("plain.gltf", vorlane::GltfContainer::Text, false);
    const std::string data = nlohmann::json::parse(vorlane::test::ReadFile("plain.gltf"))["buffers"][0]["uri"];
    std::filesystem::create_directory("folder.glb");
    std::filesystem::create_directory("inner");
    std::ofstream("secret.bin") << std::string(4096, 'x');
    ASSERT_EQ(mkfifo("fifo.glb", 0600), 0);
    ASSERT_EQ(mkfifo("fifo.bin", 0600), 0);
    const auto withUri = [](std::string uri) { return [uri](nlohmann::json& j) { j["buffers"][0]["uri"] = uri; }; };
    Spoiled("fifo-buffer.gltf", withUri("fifo.bin"));
    Spoiled("inner/up.gltf", withUri("../secret.bin"));
    Spoiled("absolute.gltf", withUri(std::filesystem::absolute("secret.bin").string()));
    Spoiled("scheme.gltf", withUri("file:///etc/passwd"));
    Spoiled("corrupt-data.gltf", withUri(data.substr(0, 40) + "!" + std::string(5 << 20, 'A')));
    Spoiled("deep.gltf", [](nlohmann::json& j) { j["extras"] = 0; });
    {
        std::string text = vorlane::test::ReadFile("deep.gltf");
        text.replace(text.find("\"extras\":0"), 10, "\"extras\":" + std::string(20000, '[') + std::string(20000, ']'));
        std::ofstream("deep.gltf") << text;
    }
    // A FIFO that no view uses is never opened: the morph reads.
    Spoiled("unused-image.gltf", [](nlohmann::json& j) { j["images"] = {{{"uri", "fifo.bin"}}}; });

    const std::pair<const char*, const char*> cases[] = {
        {"fifo.glb", "fifo.glb: is a FIFO, not a regular file"},
        {"folder.glb", "folder.glb: is a directory"},
        {"fifo-buffer.gltf", "fifo-buffer.gltf: buffer 0's file is a FIFO, not a regular file"},
        {"inner/up.gltf", "inner/up.gltf: buffer 0's uri leaves the file's folder"},
        {"absolute.gltf", "absolute.gltf: buffer 0's uri is an absolute path, not a file beside this one"},
        {"scheme.gltf", "scheme.gltf: buffer 0's uri names another scheme or drive, not a file beside this one"},
        {"corrupt-data.gltf", "corrupt-data.gltf: buffer 0's data URI is not valid base64"},
        {"deep.gltf", "deep.gltf: the JSON nests deeper than 256 levels"},
        {"unused-image.gltf", ""},
    };
    for (const auto& [path, says] : cases) {
        SCOPED_TRACE(path);
        const auto began = std::chrono::steady_clock::now();
        EXPECT_EQ(vorlane::ReadGltfMorph(path).error, says);
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
    }
}

}  // namespace
