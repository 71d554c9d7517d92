// vorlane-path-check SOURCE TARGET: merges two meshes and measures the
// in-betweens of both paths, straight and shape-keeping, at steps 0, 5, 10,
// 15 and 20: the share of area crossing itself, the enclosed volume, the
// sphericity, and how far step 10 is in shape. One line per path.
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/step_measures.h"
#include "geometry/morph_step.h"
#include "path/shape_path.h"
#include "pipeline/morph_job.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorlane-path-check SOURCE TARGET\n");
        return 2;
    }
    vorlane::MorphRequest request;
    request.source = argv[1];
    request.target = argv[2];
    request.threads = 2;
    Clock::time_point begin = Clock::now();
    const vorlane::MorphJob job = vorlane::RunMorphJob(request);
    if (!job.error.empty()) {
        std::fprintf(stderr, "vorlane-path-check: %s\n", job.error.c_str());
        return 1;
    }
    const double mergeSeconds = Seconds(begin);
    const vorlane::MorphMesh& mesh = job.merged.mesh;
    vorlane::bench::Triangles triangles;
    for (const vorlane::MeshFace& f : mesh.faces) triangles.push_back({f.indices[0], f.indices[1], f.indices[2]});

    begin = Clock::now();
    std::string error;
    const vorlane::ShapePath path = vorlane::ShapePath::Build(mesh, error);
    if (!error.empty()) {
        std::fprintf(stderr, "vorlane-path-check: %s\n", error.c_str());
        return 1;
    }
    const double buildSeconds = Seconds(begin);
    const int steps[] = {0, 5, 10, 15, 20};
    std::printf("%s %s triangles %zu merge %.2f s\n", argv[1], argv[2], triangles.size(), mergeSeconds);
    for (const char* kind : {"linear", "shape"}) {
        const bool shape = std::string(kind) == "shape";
        std::vector<std::vector<vorlane::Vec3>> at;
        double solveSeconds = 0.0;
        for (int step : steps) {
            if (shape) {
                const Clock::time_point solve = Clock::now();
                at.push_back(path.AtStep(step));
                solveSeconds += Seconds(solve);
            } else {
                std::vector<vorlane::Vec3> p(mesh.startPositions.size());
                for (size_t v = 0; v < p.size(); ++v)
                    p[v] = vorlane::MorphPosition(mesh.startPositions[v], mesh.endPositions[v], step);
                at.push_back(std::move(p));
            }
        }
        std::printf("  %-6s crossing%%", kind);
        for (const auto& p : at) std::printf(" %.2f", 100.0 * vorlane::bench::CrossingShare(p, triangles));
        std::printf("  volume>0");
        for (const auto& p : at) std::printf(" %d", vorlane::bench::EnclosedVolume(p, triangles) > 0.0 ? 1 : 0);
        std::printf("  sphericity");
        for (const auto& p : at) std::printf(" %.3f", vorlane::bench::Sphericity(p, triangles));
        std::printf("  step10 %.2f", vorlane::bench::ShapeProgress(at[0], at[2], at[4], triangles));
        if (shape) std::printf("  build %.2f s, 3 solves %.2f s", buildSeconds, solveSeconds * 3.0 / 5.0);
        std::printf("\n");
    }
    return 0;
}
