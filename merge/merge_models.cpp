#include "merge/merge_models.h"

#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "base/two_halves.h"
#include "literal/merge_topologies.h"
#include "robust/sphere_map_check.h"

namespace vorlane {

MergeMethod ChooseMergeMethod(bool bothBuiltIn, bool robustAsked)
{
    return bothBuiltIn && !robustAsked ? MergeMethod::Literal : MergeMethod::Robust;
}

MergedModels MergeModels(const Polyhedron& source, const Polyhedron& target, MergeMethod method,
                         const Progress& progress, int threads, FaceDumps dumps)
{
    MergedModels merged;
    if (method == MergeMethod::Literal) {
        merged.mesh = MergeTopologies(source, target, dumps);
        merged.foldedCount = CountFoldedVertices(merged.mesh);
        return merged;
    }
    std::mutex reporting;
    const Progress report = [&](std::string_view phase, double fraction) {
        const std::lock_guard<std::mutex> lock(reporting);
        if (progress) progress(phase, fraction);
    };
    std::string problems[2];
    BothAtOnce(
        threads > 1, [&] { problems[0] = CheckSphereMap(source, "source", report); },
        [&] { problems[1] = CheckSphereMap(target, "target", report); });
    merged.error = std::move(problems[0].empty() ? problems[1] : problems[0]);
    if (!merged.error.empty()) return merged;
    MeshMergeResult result = MergeMeshes(source, target, progress, threads, Polygons::Drop);
    merged.mesh = std::move(result.mesh);
    if (progress) progress("flat triangles", 0.0);
    merged.flat = RepairFlatTriangles(merged.mesh, threads);
    return merged;
}

}  // namespace vorlane
