#include "morph/merge_meshes.h"

namespace vorlane {

// Stand-in until the exact overlay lands.
std::string ValidateStarShaped(const Polyhedron&)
{
    return {};
}

MeshMergeResult MergeMeshes(const Polyhedron&, const Polyhedron&, const MergeProgress&)
{
    MeshMergeResult result;
    result.error = "the merge for real meshes is not built yet";
    return result;
}

}  // namespace vorlane
