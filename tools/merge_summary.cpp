#include "tools/merge_summary.h"

#include <cstdio>

#include "command_line/terminal_text.h"
#include "prepare/prepare_mesh.h"

namespace vorlane {
namespace {

// What the simplify stage did, where it was asked: the triangles before and
// after, and each end's largest distance of a vertex from its input, over
// that input's diagonal.
std::string SimplifiedSummary(const MorphRequest& request, const SimplifyReport& report)
{
    if (!request.simplify.Asked()) return {};
    char text[160];
    std::snprintf(text, sizeof text, " triangles-before %lld triangles-after %lld start-distance %.2e end-distance %.2e",
                  static_cast<long long>(report.trianglesBefore), static_cast<long long>(report.trianglesAfter),
                  report.startDistance, report.endDistance);
    return text;
}

// What preparing mended, source then target, where it mended anything (so
// the line of a closed input stays as it was).
std::string RepairCounts(const MorphJob& job)
{
    const MeshRepairs& s = job.sourceRepairs;
    const MeshRepairs& t = job.targetRepairs;
    std::string counts;
    const auto add = [&](const char* name, int32_t a, int32_t b) {
        if (a != 0 || b != 0) counts += std::string(" ") + name + " " + std::to_string(a) + " " + std::to_string(b);
    };
    add("welded", s.welded, t.welded);
    add("duplicates", s.duplicates, t.duplicates);
    add("split-edges", s.splitEdges, t.splitEdges);
    add("flipped", s.flipped, t.flipped);
    add("holes-filled", s.filled, t.filled);
    return counts;
}

}  // namespace

std::string MergeSummary(const std::string& source, const std::string& target, const MergedModels& merged,
                         const std::string& details)
{
    const MorphMesh& m = merged.mesh;
    return "source " + EscapeControls(source) + " target " + EscapeControls(target) + " crossings " +
           std::to_string(m.crossingCount) + " vertices " + std::to_string(m.vertexCount()) + " folded " +
           std::to_string(merged.foldedCount) + " edges " + std::to_string(m.edgeCount()) + " faces " +
           std::to_string(m.faceCount()) + details;
}

std::string FileFormDetails(const MorphRequest& request, const MorphJob& job)
{
    return std::string(" embeddings ") + SphereMapName(job.sourceMap) + " " + SphereMapName(job.targetMap) +
           (request.path == PathChoice::Shape ? " path shape" : "") + RepairCounts(job) +
           PairingText(job.pieces) + SimplifiedSummary(request, job.simplified) + (job.intrinsic ? " match intrinsic" : "");
}

}  // namespace vorlane
