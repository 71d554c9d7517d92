#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "geometry/model_catalogue.h"
#include "io/gltf_writer.h"
#include "io/mesh_writer.h"
#include "pipeline/morph_job.h"
#include "test_support.h"

namespace {

using namespace vorlane;
using test::WriteOff;

// Every output of the whole path, from files to .glb, compressed .glb and
// .ply, is the same byte for byte on one thread and on two. The pairs are
// large enough that every split in two runs, and include near misses that
// split arcs and vertices snapped to the other mesh's.
TEST(MorphJob, TwoThreadsWriteTheSameFilesAsOne)
{
    test::ScratchDirectory scratch;
    ModelTable perturbed = Icosphere(5, 50.0f);
    PerturbRadially(perturbed, 0.05f, 3);
    const struct {
        const char* name;
        ModelTable source;
        ModelTable target;
    } cases[] = {
        {"icosphere against cube-sphere", Icosphere(5, 50.0f), BenchCubeSphere(5)},
        {"subdivisions of one icosahedron", Icosphere(5, 40.0f), Icosphere(3, 30.0f)},
        {"cube-spheres on shared circles", CubeSphere(30, 55.0f), CubeSphere(40, 55.0f)},
        {"a sphere and its bumpy copy", perturbed, Icosphere(5, 45.0f)},
        {"bipyramid into icosphere", Bipyramid(48, 30.0f, 0.0), Icosphere(5, 40.0f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteOff("source.off", c.source);
        WriteOff("target.off", c.target);
        std::string outputs[2];
        for (int threads = 1; threads <= 2; ++threads) {
            MorphRequest request;
            request.source = "source.off";
            request.target = "target.off";
            request.sourceCentre = Vec3{};
            request.targetCentre = Vec3{};
            request.threads = threads;
            const MorphJob job = RunMorphJob(request);
            ASSERT_EQ(job.error, "");
            ASSERT_EQ(WriteGltfMorph(job.merged.mesh, "morph.glb", GltfContainer::Binary, {false, threads}), "");
            ASSERT_EQ(WriteGltfMorph(job.merged.mesh, "small.glb", GltfContainer::Binary, {true, threads}), "");
            ASSERT_EQ(WriteMeshAtStep(job.merged.mesh, 7, "step.ply", StepFormat::Ply), "");
            for (const char* file : {"morph.glb", "small.glb", "step.ply"}) outputs[threads - 1] += test::ReadFile(file);
        }
        EXPECT_TRUE(outputs[0] == outputs[1]);
    }
}

// A bent C, which no inner point sees whole, against its own copy
// stretched by 10 % along x and turned: every merged vertex must end where
// its start lies on the second copy, so the morph turns and stretches the
// shape and no part of it travels to another.
TEST(MorphJob, ACopyTurnedAndStretchedMorphsPointToLikePoint)
{
    test::ScratchDirectory scratch;
    const ModelTable shape = BentC(6);
    // Turn by 1.1 about (1, 2, 3) after the stretch.
    const double axis[3] = {1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0)};
    const double c = std::cos(1.1), s = std::sin(1.1);
    double turn[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double cross = i == j ? 0.0 : ((j == (i + 1) % 3 ? -1.0 : 1.0) * axis[3 - i - j]);
            turn[i][j] = (i == j ? c : 0.0) + (1 - c) * axis[i] * axis[j] + s * cross;
        }
    }
    const auto moved = [&](const Vec3& p) {
        const double q[3] = {1.1 * p.x, p.y, p.z};
        std::array<double, 3> r{};
        for (int i = 0; i < 3; ++i) r[static_cast<size_t>(i)] = turn[i][0] * q[0] + turn[i][1] * q[1] + turn[i][2] * q[2];
        return r;
    };
    ModelTable copy = shape;
    for (Vec3& v : copy.vertices) {
        const auto r = moved(v);
        v = {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
    }
    WriteOff("c.off", shape);
    WriteOff("turned.off", copy);
    MorphRequest request;
    request.source = "c.off";
    request.target = "turned.off";
    const MorphJob job = RunMorphJob(request);
    ASSERT_EQ(job.error, "");
    ASSERT_EQ(job.sourceMap, SphereMap::Spherical) << "the case needs a mesh that is not star-shaped";
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Vec3& v : copy.vertices) {
        const double p[3] = {v.x, v.y, v.z};
        for (int k = 0; k < 3; ++k) low[k] = std::min(low[k], p[k]), high[k] = std::max(high[k], p[k]);
    }
    const double diagonal = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
    std::vector<double> misses;
    const MorphMesh& mesh = job.merged.mesh;
    for (size_t v = 0; v < mesh.startPositions.size(); ++v) {
        const auto expected = moved(mesh.startPositions[v]);
        const Vec3& end = mesh.endPositions[v];
        misses.push_back(std::hypot(end.x - expected[0], end.y - expected[1], end.z - expected[2]) / diagonal);
    }
    std::sort(misses.begin(), misses.end());
    const double median = misses[misses.size() / 2], ninetieth = misses[misses.size() * 9 / 10];
    EXPECT_LT(median, 0.03);
    EXPECT_LT(ninetieth, 0.06);
    std::printf("misses over the diagonal: median %.4f, 90th percentile %.4f, largest %.4f\n", median, ninetieth,
                misses.back());
}

// Landmarks turn (and, for two or three, bend) the target so that each
// target vertex meets its partner to within rounding; the merge then snaps
// the two together, and the morph carries the one exactly onto the other.
// The snap once copied the target's surface points over the directions the
// turn had made.
TEST(MorphJob, LandmarksMeetTheirPairsExactly)
{
    const struct {
        const char* source;
        const char* target;
        std::vector<LandmarkPair> pairs;
    } cases[] = {
        {"cube", "icosahedron", {{0, 0}}},
        {"cube", "icosahedron", {{1, 2}}},
        {"icosahedron", "cube", {{1, 2}}},
        {"icosahedron", "pyramid", {{5, 4}}},
        {"cube", "icosahedron", {{0, 0}, {6, 3}}},
        {"icosahedron", "cube", {{0, 0}, {1, 2}, {7, 5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + c.target + " " + std::to_string(c.pairs.size()));
        MorphRequest request;
        request.source = c.source;
        request.target = c.target;
        request.landmarks = c.pairs;
        const MorphJob job = RunMorphJob(request);
        ASSERT_EQ(job.error, "");
        const MorphMesh& mesh = job.merged.mesh;
        for (const LandmarkPair& pair : c.pairs) {
            const size_t v = static_cast<size_t>(pair.source);
            EXPECT_TRUE(mesh.startPositions[v] == FindCatalogueModel(c.source)->build({}).vertices[v]);
            EXPECT_TRUE(mesh.endPositions[v] == FindCatalogueModel(c.target)->build({}).vertices[static_cast<size_t>(pair.target)])
                << job.alignment;
        }
    }
}

// A map the merge's check refuses may meet a landmark's turn first: the
// turn must not trap on it (a zero direction, a triangle seen from behind),
// and the check then refuses it as before.
TEST(MorphJob, AMapTurnedBeforeTheCheckIsStillRefused)
{
    MorphRequest request;
    request.source = "tet.off";
    request.sourceMesh = ModelTable{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
    request.sourceCentre = Vec3{};  // a corner: its direction is zero
    request.embedding = EmbeddingChoice::Central;
    request.target = "cube";
    request.targetCentre = Vec3{20, 20, 20};
    request.landmarks = {{1, 0}};
    const std::string seen = " mesh refused: it is not star-shaped about its centre: triangle 0 is seen edge-on or from behind";
    EXPECT_EQ(RunMorphJob(request).error, "source" + seen);
    request.sourceMesh.reset();
    request.source = "icosahedron";
    EXPECT_EQ(RunMorphJob(request).error, "target" + seen);
}

// Models the request gives are merged where they lie, as the demo's merge
// and as the merge for real meshes; a landmark's turn of the sphere works
// on the job's own copy and leaves the caller's model as it was.
TEST(MorphJob, GivenModelsAreMergedInPlaceAndNeverTurned)
{
    const Polyhedron cube = BuildCube({0, 0, 0});
    const Polyhedron icosahedron = BuildIcosahedron({0, 0, 0});
    for (const MergeChoice choice : {MergeChoice::Literal, MergeChoice::Robust}) {
        SCOPED_TRACE(static_cast<int>(choice));
        MorphRequest request;
        request.source = "cube";
        request.target = "icosahedron";
        request.sourceModel = &cube;
        request.targetModel = &icosahedron;
        request.merge = choice;
        const MorphJob job = RunMorphJob(request);
        ASSERT_EQ(job.error, "");
        EXPECT_EQ(job.merged.mesh.source, &cube);
        EXPECT_EQ(job.merged.mesh.target, &icosahedron);
        EXPECT_FALSE(job.source || job.target);
        // The same pair built by name merges to the same mesh.
        request.sourceModel = request.targetModel = nullptr;
        const MorphJob named = RunMorphJob(request);
        EXPECT_EQ(named.merged.mesh.endPositions, job.merged.mesh.endPositions);
        EXPECT_EQ(named.merged.mesh.faceCount(), job.merged.mesh.faceCount());
    }
    MorphRequest turned;
    turned.sourceModel = &cube;
    turned.targetModel = &icosahedron;
    turned.landmarks = {{0, 3}};
    const MorphJob job = RunMorphJob(turned);
    ASSERT_EQ(job.error, "");
    ASSERT_TRUE(job.target);
    EXPECT_EQ(job.merged.mesh.target, job.target.get());
    EXPECT_EQ(job.target->map, SphereMap::Spherical);
    EXPECT_EQ(icosahedron.map, SphereMap::Central);
    EXPECT_EQ(icosahedron.vertices, BuildIcosahedron({0, 0, 0}).vertices);
}

// Landmarks name vertices as the file numbers them, though the reader
// numbers them by first use and drops those no face uses: an icosahedron
// written with its vertices in reverse, after one no face uses.
TEST(MorphJob, LandmarksFollowTheFilesNumbering)
{
    test::ScratchDirectory scratch;
    const ModelTable ico = IcosahedronTable();
    const int32_t n = static_cast<int32_t>(ico.vertices.size());
    std::ofstream off("reversed.off");
    off.precision(9);
    off << "OFF\n" << n + 1 << ' ' << ico.triangles.size() << " 0\n0 0 0\n";
    for (int32_t v = n - 1; v >= 0; --v) off << ico.vertices[static_cast<size_t>(v)].x << ' ' << ico.vertices[static_cast<size_t>(v)].y << ' ' << ico.vertices[static_cast<size_t>(v)].z << '\n';
    for (const Triangle& t : ico.triangles) off << "3 " << n - t[0] << ' ' << n - t[1] << ' ' << n - t[2] << '\n';
    off.close();
    const Polyhedron cube = FindCatalogueModel("cube")->build({});
    MorphRequest request;
    request.source = "reversed.off";
    request.target = "cube";
    request.sourceCentre = Vec3{};
    request.landmarks = {{3, 5}};  // file vertex 3 is the icosahedron's vertex n - 3
    const MorphJob job = RunMorphJob(request);
    ASSERT_EQ(job.error, "");
    const MorphMesh& mesh = job.merged.mesh;
    size_t at = mesh.startPositions.size();
    for (size_t v = 0; v < job.source->vertices.size(); ++v) {
        if (mesh.startPositions[v] == ico.vertices[static_cast<size_t>(n - 3)]) at = v;
    }
    ASSERT_LT(at, mesh.startPositions.size());
    EXPECT_TRUE(mesh.endPositions[at] == cube.vertices[5]);
    request.landmarks = {{0, 5}};
    EXPECT_EQ(RunMorphJob(request).error, "landmarks: landmark 1 names source vertex 0, which no face of the file uses");
}

}  // namespace

// Landmark files that hold nothing, or are no files, get the reason; a FIFO
// must not block.
TEST(ReadLandmarkFile, NamesTheReason)
{
    const vorlane::test::ScratchDirectory scratch;
    std::ofstream("empty.txt").flush();
    std::ofstream("comments.txt") << "# none\n\n";
    std::filesystem::create_directory("folder");
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"empty.txt", "empty.txt: holds no landmark pairs"},
        {"comments.txt", "comments.txt: holds no landmark pairs"},
        {"/dev/null", "/dev/null: cannot read the landmarks: is a device, not a regular file"},
        {"folder", "folder: cannot read the landmarks: is a directory"},
        {"fifo", "fifo: cannot read the landmarks: is a FIFO, not a regular file"},
        {"missing", "missing: cannot read the landmarks: cannot open: No such file or directory"},
    };
    for (const auto& [path, says] : cases) {
        std::vector<vorlane::LandmarkPair> pairs;
        EXPECT_EQ(vorlane::ReadLandmarkFile(path, pairs), says);
    }
}
