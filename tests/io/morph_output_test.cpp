#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <tiny_gltf.h>

#include <csignal>
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
#include "io/gltf_writer.h"
#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "io/morph_triangles.h"
#include "io/output_file.h"
#include "literal/merge_topologies.h"
#include "robust/merge_meshes.h"
#include "test_support.h"

namespace {

using vorlane::MorphMesh;
using vorlane::Vec3;

// The original merge of two catalogue models: folded vertices included.
MorphMesh TopologyMerge()
{
    vorlane::Polyhedron source = vorlane::BuildIcosahedron(Vec3{});
    vorlane::Polyhedron target = vorlane::BuildCube(Vec3{});
    return vorlane::MergeTopologies(source, target);
}

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
}

TEST(GltfWriter, RoundTripGivesTheMergedMeshAndItsMorph)
{
    vorlane::test::ScratchDirectory scratch;
    const MorphMesh topology = TopologyMerge();
    // Folded vertices are left out: 73 merged, 18 folded away.
    EXPECT_EQ(vorlane::CollectMorphTriangles(topology).startPositions.size(),
              static_cast<size_t>(topology.vertexCount - vorlane::CountFoldedVertices(topology)));
    EXPECT_EQ(vorlane::CollectMorphTriangles(topology).triangles.size(), static_cast<size_t>(topology.faceCount));
    ExpectRoundTrip(topology, "topology.glb");
    ExpectRoundTrip(topology, "topology.GLTF");

    vorlane::Polyhedron source = vorlane::BuildPyramid(Vec3{});
    vorlane::Polyhedron target = vorlane::BuildIcosahedron(Vec3{});
    const vorlane::MeshMergeResult robust = vorlane::MergeMeshes(source, target);
    EXPECT_EQ(vorlane::CollectMorphTriangles(robust.mesh).startPositions.size(),
              static_cast<size_t>(robust.mesh.vertexCount));
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

int RunShell(const std::string& command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
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
    } cases[] = {{topology, "topology.glb"}, {topology, "topology.gltf"}, {robust.mesh, "robust.glb"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        vorlane::GltfContainer container{};
        ASSERT_TRUE(vorlane::GltfContainerOfPath(c.path, container));
        ASSERT_EQ(vorlane::WriteGltfMorph(c.mesh, c.path, container), "");
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

TEST(OutputFile, AppearsWholeOrNotAtAll)
{
    vorlane::test::ScratchDirectory scratch;
    std::filesystem::create_directory("folder");
    const auto writeHello = [](std::FILE* file) {
        std::fputs("hello", file);
        return std::string();
    };
    const auto failHalfway = [](std::FILE* file) {
        std::fputs("hel", file);
        return std::string("disk full");
    };
    EXPECT_EQ(vorlane::WriteFileAtomically("half.txt", failHalfway), "half.txt: disk full");
    EXPECT_EQ(vorlane::WriteFileAtomically("folder", writeHello), "folder: is a directory");
    EXPECT_EQ(vorlane::WriteFileAtomically("missing/out.txt", writeHello).rfind("missing/out.txt: cannot create", 0), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 1);

    std::ofstream("old.txt") << "old contents";
    EXPECT_EQ(vorlane::WriteFileAtomically("old.txt", failHalfway), "old.txt: disk full");
    EXPECT_EQ(vorlane::test::ReadFile("old.txt"), "old contents");
    ASSERT_EQ(vorlane::WriteFileAtomically("old.txt", writeHello), "");
    EXPECT_EQ(vorlane::test::ReadFile("old.txt"), "hello");
    const mode_t mask = umask(0);
    umask(mask);
    struct stat status {};
    ASSERT_EQ(stat("old.txt", &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 2);
}

std::string WriteHello(std::FILE* file)
{
    std::fputs("hello", file);
    return {};
}

// A FIFO, link or device where a file is written: refused at once, and what
// a link points to is neither changed nor created.
TEST(OutputFile, RefusesFifosLinksAndDevicesWithoutWaitingOrFollowing)
{
    vorlane::test::ScratchDirectory scratch;
    std::ofstream("other.txt") << "keep";
    ASSERT_TRUE(mkfifo("fifo", 0600) == 0 && symlink("other.txt", "link") == 0 && symlink("none", "dangling") == 0);
    const char* link = "is a symbolic link, which is not followed";
    const char* cases[][2] = {{"fifo", "is a FIFO, not a regular file"}, {"link", link}, {"dangling", link},
                              {"/dev/null", "is a device, not a regular file"}};
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_EQ(vorlane::OpenRegularFileForWriting(c[0], reason), -1);
        EXPECT_EQ(reason, c[1]);
        EXPECT_EQ(vorlane::WriteFileAtomically(c[0], WriteHello), std::string(c[0]) + ": " + c[1]);
    }
    EXPECT_EQ(vorlane::test::ReadFile("other.txt"), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 4);
}

// An overwritten file keeps its permissions; a name at the length limit
// still finds room for its temporary file.
TEST(OutputFile, KeepsPermissionsAndTakesNamesAtTheLimit)
{
    vorlane::test::ScratchDirectory scratch;
    for (const mode_t mode : {0600, 0640, 0755}) {
        std::ofstream("old.obj") << "old";
        ASSERT_EQ(chmod("old.obj", mode), 0);
        ASSERT_EQ(vorlane::WriteFileAtomically("old.obj", WriteHello), "");
        struct stat status {};
        ASSERT_EQ(stat("old.obj", &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode);
    }
    const std::string longName = std::string(246, 'n') + ".obj";
    EXPECT_EQ(vorlane::WriteFileAtomically(longName, WriteHello), "");
    EXPECT_EQ(vorlane::test::ReadFile(longName), "hello");
}

TEST(OutputFile, SignalsWhileWritingRemoveTheTemporaryFile)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        vorlane::test::ScratchDirectory scratch;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(signal, SIG_DFL);
            vorlane::WriteFileAtomically("out.glb", [&](std::FILE* file) {
                std::fputs("half", file);
                std::fflush(file);
                raise(signal);
                return std::string();
            });
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
    }
}

// Every writer on a full disk says why, and leaves nothing behind.
TEST(OutputFile, FullDiskGivesTheSystemsReason)
{
    vorlane::test::ScratchDirectory scratch;
    std::filesystem::create_directory("small");
    if (RunShell("mount -t tmpfs -o size=64k tmpfs small 2> /dev/null") != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
    std::ofstream("small/filler", std::ios::binary) << std::string(64 * 1024, 'x');
    const MorphMesh mesh = TopologyMerge();
    for (const char* path : {"small/o.glb", "small/o.gltf", "small/o.ply"}) {
        SCOPED_TRACE(path);
        vorlane::GltfContainer container{};
        const std::string message = vorlane::GltfContainerOfPath(path, container)
                                        ? vorlane::WriteGltfMorph(mesh, path, container)
                                        : vorlane::WriteMeshAtStep(mesh, 0, path, vorlane::StepFormat::Ply);
        EXPECT_NE(message.find(": No space left on device"), std::string::npos) << message;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("small"), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(RunShell("umount small"), 0);
}

}  // namespace
