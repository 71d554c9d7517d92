// vorlane-simplify-bench SOURCE TARGET [--max-triangles N] [--tolerance F]
// [-o OUT.glb]: merges two inputs on one thread as vorlane-merge does, then
// simplifies the merged mesh (by default to the two inputs' triangles
// together) and prints one line: the processor seconds of the whole job
// (read, prepare, merge), of its merge stage (map check, overlay, flat
// repair) and of the simplification, the triangles before and after, and each end's two-way Hausdorff
// distance from its input over the input's diagonal. The distance is
// sampled on both surfaces (every vertex and about 200,000 points spread by
// area), each point's nearest on the other surface found by the bench's
// own grid, none of the merge's code. OUT.glb, when given, is written for
// vorlane-check-morph.
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/morph_surface.h"
#include "io/gltf_writer.h"
#include "pipeline/morph_job.h"
#include "simplify/simplify_morph.h"

namespace {

using namespace vorlane::bench;
// Processor time, as the machine is shared: every stage runs on this one thread.
double Now()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Every vertex of surface and about count points spread over it by area,
// from a fixed sequence so that runs repeat.
std::vector<P3> Samples(const Surface& surface, double count)
{
    std::vector<P3> samples = surface.points;
    double total = 0.0;
    for (const vorlane::Triangle& t : surface.triangles) {
        const P3 n = Cross(surface.points[size_t(t[1])] - surface.points[size_t(t[0])], surface.points[size_t(t[2])] - surface.points[size_t(t[0])]);
        total += std::sqrt(Dot(n, n));
    }
    uint64_t state = 0x9e3779b97f4a7c15ull;
    const auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return double(state >> 11) * 0x1p-53;
    };
    double owed = 0.0;
    for (const vorlane::Triangle& t : surface.triangles) {
        const P3 a = surface.points[size_t(t[0])], b = surface.points[size_t(t[1])], c = surface.points[size_t(t[2])];
        const P3 n = Cross(b - a, c - a);
        owed += total > 0.0 ? count * std::sqrt(Dot(n, n)) / total : 0.0;
        for (; owed >= 1.0; owed -= 1.0) {
            double u = next(), v = next();
            if (u + v > 1.0) u = 1.0 - u, v = 1.0 - v;
            samples.push_back(a + u * (b - a) + v * (c - a));
        }
    }
    return samples;
}

// The largest distance of a sample of from from the surface to.
double OneWay(const Surface& from, const Surface& to)
{
    const NearestTriangle nearest(to);
    double worst = 0.0;
    for (const P3& p : Samples(from, 2e5)) worst = std::max(worst, nearest.Distance(p));
    return worst;
}

double Hausdorff(const Surface& input, const std::vector<vorlane::Vec3>& positions, const std::vector<vorlane::Triangle>& triangles)
{
    Surface end;
    for (const vorlane::Vec3& p : positions) end.points.push_back(ToP(p));
    end.triangles = triangles;
    Box box;
    for (const P3& p : input.points) box.Add(p);
    return std::max(OneWay(input, end), OneWay(end, input)) / box.Diagonal();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: vorlane-simplify-bench SOURCE TARGET [--max-triangles N] [--tolerance F] [-o OUT.glb]\n");
        return 1;
    }
    vorlane::MorphRequest request;
    request.source = argv[1];
    request.target = argv[2];
    vorlane::SimplifyOptions options;
    std::string output;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--max-triangles") options.maxTriangles = std::atoll(argv[i + 1]);
        else if (option == "--tolerance") options.tolerance = std::atof(argv[i + 1]);
        else if (option == "-o") output = argv[i + 1];
    }
    Surface source, target;
    if (!LoadSurface(request.source, source) || !LoadSurface(request.target, target)) return 1;
    if (!options.maxTriangles) options.maxTriangles = int64_t(source.triangles.size() + target.triangles.size());

    const double begin = Now();
    double merging = begin;
    bool located = false;
    vorlane::MorphJob job = vorlane::RunMorphJob(request, [&](std::string_view phase, double fraction) {
        // The merge stage starts with its check of both maps, the last one
        // before the overlay locates the vertices.
        if (phase == "validating" && fraction == 0.0 && !located) merging = Now();
        if (phase == "locating vertices") located = true;
    });
    const double done = Now();
    if (!job.error.empty()) {
        std::fprintf(stderr, "%s\n", job.error.c_str());
        return 1;
    }
    vorlane::MorphMesh& mesh = job.merged.mesh;
    const vorlane::SimplifyReport report = vorlane::SimplifyMorph(mesh, options);
    const double simplified = Now();
    if (!report.error.empty()) {
        std::fprintf(stderr, "%s\n", report.error.c_str());
        return 1;
    }
    std::vector<vorlane::Triangle> triangles;
    for (const vorlane::MeshFace& face : mesh.faces) triangles.push_back({face.indices[0], face.indices[1], face.indices[2]});
    std::printf("job_s %.3f merge_s %.3f simplify_s %.3f before %lld after %lld hausdorff0 %.2e hausdorff20 %.2e\n",
                done - begin, done - merging, simplified - done,
                static_cast<long long>(report.trianglesBefore), static_cast<long long>(report.trianglesAfter),
                Hausdorff(source, mesh.startPositions, triangles), Hausdorff(target, mesh.endPositions, triangles));
    if (!output.empty()) {
        const std::string written = vorlane::WriteGltfMorph(mesh, output, vorlane::GltfContainer::Binary);
        if (!written.empty()) {
            std::fprintf(stderr, "%s\n", written.c_str());
            return 1;
        }
    }
    return 0;
}
