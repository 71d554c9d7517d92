// Times the catalogue merges. The merges write their face dumps into the
// working directory, as they do in the demo.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "bench/mesh_generator.h"
#include "geometry/model_catalogue.h"
#include "literal/merge_topologies.h"
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
        benchmark::DoNotOptimize(result.mesh.faceCount);
    }
    state.SetComplexityN(source.faceCount + target.faceCount);
    state.counters["triangles"] = static_cast<double>(source.faceCount + target.faceCount);
    state.counters["crossings"] = static_cast<double>(crossings);
}
// One thread up to level 8; the fit against n log n in the input triangles,
// and how far it misses. Then two threads at levels 6 to 8.
BENCHMARK(BM_MergeMeshes)->ArgsProduct({{2, 3, 4, 5, 6, 7, 8}, {1}})->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);
BENCHMARK(BM_MergeMeshes)->ArgsProduct({{6, 7, 8}, {2}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
