// Spherical embedding of about 80,000 triangles: a smooth sphere, and a comb
// of long fingers that a plain Tutte map squeezes into specks.
#include <benchmark/benchmark.h>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "embed/spherical_embedding.h"

namespace vorlane {
namespace {

void Embed(benchmark::State& state, const ModelTable& table, EmbedMethod method)
{
    EmbedOptions options;
    options.method = method;
    for (auto _ : state) {
        const SphericalEmbedding embedding = EmbedOnSphere(table, options);
        if (!embedding.error.empty()) state.SkipWithError(embedding.error.c_str());
        benchmark::DoNotOptimize(embedding.directions.data());
    }
    state.counters["triangles"] = static_cast<double>(table.triangles.size());
}

// Icosphere(6): 81,920 triangles.
void BM_EmbedIcosphere(benchmark::State& state) { Embed(state, Icosphere(6, 1.0f), EmbedMethod::Hierarchical); }
// 8 fingers 11 cubes long, 10 x 10 squares per cube face: 82,800 triangles.
void BM_EmbedFingerComb(benchmark::State& state) { Embed(state, FingerComb(8, 11, 10), EmbedMethod::Hierarchical); }
// The plain Tutte map for comparison (on the comb it fails the exact check).
void BM_EmbedIcosphereTutte(benchmark::State& state) { Embed(state, Icosphere(6, 1.0f), EmbedMethod::Tutte); }

// From a conformal map, one sparse factorisation, then the sweeps.
void BM_EmbedIcosphereConformal(benchmark::State& state) { Embed(state, Icosphere(6, 1.0f), EmbedMethod::Conformal); }

BENCHMARK(BM_EmbedIcosphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmbedFingerComb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmbedIcosphereTutte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmbedIcosphereConformal)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlane

BENCHMARK_MAIN();
