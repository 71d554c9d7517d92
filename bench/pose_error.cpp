// vorlane-pose-error ANGLE MESH...: each mesh against its own copy bent by
// ANGLE radians along its long axis, remeshed, turned and moved (ANGLE 0:
// only remeshed, turned and moved), merged as vorlane-merge would. Prints
// per mesh the median and 90th percentile over the merged vertices of
// |end - true partner of start| over the diagonal, the same for the
// intrinsic correspondence alone (each copy vertex's partner on the
// original), the correspondence's confidence figures, and the route taken.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/pose_pair.h"
#include "correspond/correspondence.h"
#include "io/mesh_reader.h"
#include "pipeline/morph_job.h"
#include "prepare/shape_match.h"

namespace {

using vorlane::D3;

struct Spread {
    double median = 0.0, p90 = 0.0;
};

Spread Percentiles(std::vector<double> values)
{
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))]; };
    return {at(0.5), at(0.9)};
}

double Diagonal(const vorlane::ModelTable& table)
{
    D3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const vorlane::Vec3& v : table.vertices) {
        low = {std::min(low.x, double(v.x)), std::min(low.y, double(v.y)), std::min(low.z, double(v.z))};
        high = {std::max(high.x, double(v.x)), std::max(high.y, double(v.y)), std::max(high.z, double(v.z))};
    }
    return vorlane::Norm(vorlane::Sub(high, low));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: vorlane-pose-error ANGLE MESH...\n", stderr);
        return 2;
    }
    if (std::string(argv[1]) == "--pair") {
        // The confidence figures of two different meshes, the first leading.
        for (int i = 2; i + 1 < argc; i += 2) {
            const vorlane::MeshReadResult a = vorlane::ReadMeshFile(argv[i]), b = vorlane::ReadMeshFile(argv[i + 1]);
            if (!a.error.empty() || !b.error.empty()) return 1;
            const vorlane::Correspondence map = vorlane::Correspond(a.table, b.table);
            std::printf("%s %s resid %.3f orth %.3f cover %.3f confident %d\n", argv[i], argv[i + 1], map.residual,
                        map.orthogonality, map.coverage, map.confident ? 1 : 0);
        }
        return 0;
    }
    const double angle = std::atof(argv[1]);
    std::printf("%-14s %8s %8s %8s %8s %7s %7s %7s %6s  %s\n", "mesh", "map-med%", "map-p90%", "end-med%", "end-p90%", "resid",
                "orth", "cover", "sec", "route");
    for (int i = 2; i < argc; ++i) {
        const vorlane::MeshReadResult read = vorlane::ReadMeshFile(argv[i]);
        if (!read.error.empty()) {
            std::fprintf(stderr, "%s\n", read.error.c_str());
            return 1;
        }
        const vorlane::PosePair pair = vorlane::MakePosePair(read.table, angle);
        const double diagonal = Diagonal(read.table);

        const auto begin = std::chrono::steady_clock::now();
        // The hint the pipeline gives: the copy laid on the original in space.
        vorlane::CorrespondOptions options;
        const vorlane::ShapeMatch match = vorlane::MatchShapes(read.table, pair.copy);
        for (const vorlane::Vec3& v : pair.copy.vertices) options.hint.push_back(match.Apply(vorlane::ToD(v)));
        const vorlane::Correspondence map = vorlane::Correspond(read.table, pair.copy, options);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        std::vector<double> mapErrors;
        for (std::size_t v = 0; v < map.partners.size(); ++v)
            mapErrors.push_back(100.0 * vorlane::Norm(vorlane::Sub(map.partners[v], pair.origins[v])) / diagonal);

        vorlane::MorphRequest request;
        request.source = argv[i];
        request.target = "copy";
        request.sourceMesh = read.table;
        request.targetMesh = pair.copy;
        request.threads = 2;
        const vorlane::MorphJob job = vorlane::RunMorphJob(request);
        std::vector<double> endErrors;
        if (job.error.empty()) {
            const vorlane::MorphMesh& mesh = job.merged.mesh;
            for (std::size_t v = 0; v < mesh.startPositions.size(); ++v) {
                const D3 truth = pair.bend.Apply(vorlane::ToD(mesh.startPositions[v]));
                endErrors.push_back(100.0 * vorlane::Norm(vorlane::Sub(vorlane::ToD(mesh.endPositions[v]), truth)) / diagonal);
            }
        }
        const Spread m = Percentiles(mapErrors), e = Percentiles(endErrors);
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        std::printf("%-14s %8.2f %8.2f %8.2f %8.2f %7.3f %7.3f %7.3f %6.2f  %s\n", name.c_str(), m.median, m.p90, e.median, e.p90,
                    map.residual, map.orthogonality, map.coverage, seconds,
                    job.error.empty() ? job.alignment.c_str() : job.error.c_str());
        std::fflush(stdout);
    }
    return 0;
}
