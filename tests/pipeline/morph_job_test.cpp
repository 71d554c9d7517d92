#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "bench/mesh_generator.h"
#include "io/gltf_writer.h"
#include "io/mesh_writer.h"
#include "pipeline/morph_job.h"
#include "test_support.h"

namespace {

using namespace vorlane;

void WriteOff(const ModelTable& table, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "OFF\n%zu %zu 0\n", table.vertices.size(), table.triangles.size());
    for (const Vec3& v : table.vertices) std::fprintf(file, "%.9g %.9g %.9g\n", v.x, v.y, v.z);
    for (const Triangle& t : table.triangles) std::fprintf(file, "3 %d %d %d\n", t[0], t[1], t[2]);
    std::fclose(file);
}

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
        WriteOff(c.source, "source.off");
        WriteOff(c.target, "target.off");
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

}  // namespace
