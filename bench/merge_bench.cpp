// Times the catalogue merges. The merges write their face dumps into the
// working directory, as they do in the demo.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "base/huge_pages.h"
#include "bench/mesh_generator.h"
#include "geometry/model_catalogue.h"
#include "literal/merge_topologies.h"
#include "prepare/kernel_centre.h"
#include "robust/merge_meshes.h"

namespace {

using namespace vorlane;

// The four merges the demo runs at start-up, in its order.
void BM_SceneMerges(benchmark::State& state)
{
    Polyhedron icosahedronOff = BuildIcosahedron({-10, -10, -10});
    Polyhedron icosahedron = BuildIcosahedron({0, 0, 0});
    Polyhedron cubeOff = BuildCube({20, 20, 20});
    Polyhedron cube = BuildCube({0, 0, 0});
    for (auto _ : state) {
        benchmark::DoNotOptimize(MergeTopologies(icosahedronOff, cubeOff));
        benchmark::DoNotOptimize(MergeTopologies(cubeOff, icosahedronOff));
        benchmark::DoNotOptimize(MergeTopologies(icosahedron, cube));
        benchmark::DoNotOptimize(MergeTopologies(cube, icosahedron));
    }
}
BENCHMARK(BM_SceneMerges)->Unit(benchmark::kMillisecond);

void BM_CataloguePair(benchmark::State& state, ModelBuilder source, ModelBuilder target)
{
    Polyhedron a = source({0, 0, 0});
    Polyhedron b = target({0, 0, 0});
    for (auto _ : state) benchmark::DoNotOptimize(MergeTopologies(a, b));
}

const bool registered = [] {
    for (const CatalogueEntry& a : Catalogue()) {
        for (const CatalogueEntry& b : Catalogue()) {
            benchmark::RegisterBenchmark((std::string("BM_CataloguePair/") + a.name + "/" + b.name).c_str(), BM_CataloguePair,
                                         a.build, b.build)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

// The merge for real meshes: an icosphere of 20 * 4^level triangles against a
// rotated cube-sphere of about as many, the whole merge from validation to
// triangles, on state.range(1) threads. Level 6 is 81,920 against 82,668
// triangles, level 8 1.31 million each.
void BM_MergeMeshes(benchmark::State& state)
{
    const int level = static_cast<int>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    const Polyhedron source = BuildPolyhedron(Icosphere(level, 50.0f), {0, 0, 0});
    const Polyhedron target = BuildPolyhedron(BenchCubeSphere(level), {0, 0, 0});
    int64_t crossings = 0;
    for (auto _ : state) {
        const MeshMergeResult result = MergeMeshes(source, target, {}, threads);
        crossings = result.mesh.crossingCount;
        benchmark::DoNotOptimize(result.mesh.faceCount());
    }
    state.SetComplexityN(source.faceCount() + target.faceCount());
    state.counters["triangles"] = static_cast<double>(source.faceCount() + target.faceCount());
    state.counters["crossings"] = static_cast<double>(crossings);
}
// One thread up to level 8; the fit against n log n in the input triangles,
// and how far it misses. Then two threads at levels 6 to 8.
BENCHMARK(BM_MergeMeshes)->ArgsProduct({{2, 3, 4, 5, 6, 7, 8}, {1}})->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);
BENCHMARK(BM_MergeMeshes)->ArgsProduct({{6, 7, 8}, {2}})->Unit(benchmark::kMillisecond);

// Two bipyramids of 2 n triangles each, one turned by half a side: four
// poles of degree n, where a walk round a vertex one triangle at a time
// would take time n^2. 50,000 is the pair of 200,000 triangles. About the
// origin (0) or, as the tool takes files, about their kernels' centres (1).
void BM_MergeBipyramids(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const ModelTable a = Bipyramid(n, 50.0f), b = Bipyramid(n, 60.0f, 0.5);
    const bool kernel = state.range(1) != 0;
    const Polyhedron source = BuildPolyhedron(a, kernel ? FindKernelCentre(a).centre : Vec3{0, 0, 0});
    const Polyhedron target = BuildPolyhedron(b, kernel ? FindKernelCentre(b).centre : Vec3{0, 0, 0});
    for (auto _ : state) benchmark::DoNotOptimize(MergeMeshes(source, target).mesh.faceCount());
    state.counters["triangles"] = static_cast<double>(source.faceCount() + target.faceCount());
}
BENCHMARK(BM_MergeBipyramids)->ArgsProduct({{2000, 50000}, {0, 1}})->Unit(benchmark::kMillisecond);

// The kernel's centre of a level-6 icosphere (0) and of a cube-sphere of
// about as many triangles (1), round or radially perturbed.
void BM_KernelCentre(benchmark::State& state)
{
    ModelTable table = state.range(0) == 0 ? Icosphere(6, 50.0f) : CubeSphere(83, 60.0f);
    if (state.range(1)) PerturbRadially(table, 0.2f, 9);
    for (auto _ : state) benchmark::DoNotOptimize(FindKernelCentre(table).radius);
    state.counters["triangles"] = static_cast<double>(table.triangles.size());
}
BENCHMARK(BM_KernelCentre)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

// The tool's memory settings, so a merge is timed as the tool runs it.
int main(int argc, char** argv)
{
    vorlane::StartWithMemorySettings(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
