#include "merge/merge_models.h"

#include <utility>

#include "literal/merge_topologies.h"

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
    MeshMergeResult result = MergeMeshes(source, target, progress, threads, Polygons::Drop);
    merged.mesh = std::move(result.mesh);
    if (progress) progress("flat triangles", 0.0);
    merged.flat = RepairFlatTriangles(merged.mesh, threads);
    return merged;
}

}  // namespace vorlane
