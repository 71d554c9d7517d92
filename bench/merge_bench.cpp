// Times the catalogue merges. The merges write their face dumps into the
// working directory, as they do in the demo.
#include <benchmark/benchmark.h>

#include <string>

#include "geometry/model_catalogue.h"
#include "morph/merge_topologies.h"

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

}  // namespace

BENCHMARK_MAIN();
