#include "prepare/prepare_mesh.h"

#include <utility>

#include "prepare/float_range.h"
#include "prepare/kernel_centre.h"
#include "prepare/orient_outward.h"
#include "prepare/star_shaped.h"

namespace vorlane {

PreparedModel PrepareMesh(ModelTable table, const std::optional<Vec3>& centre, const std::string& name,
                          const PrepareProgress& progress)
{
    PreparedModel prepared;
    if (std::string problem = CheckFiniteTable(table); !problem.empty()) {
        prepared.error = name + ": " + problem;
        return prepared;
    }
    // note: a mesh wound the other way round throughout is still the mesh.
    OrientOutward(table);
    Vec3 chosen;
    if (centre) {
        chosen = *centre;
    } else {
        const std::string phase = "finding the centre of " + name;
        if (progress) progress(phase, 0.0);
        const KernelCentreResult found = FindKernelCentre(table);
        if (progress) progress(phase, 1.0);
        if (!found.error.empty()) {
            prepared.error = name + ": " + found.error;
            return prepared;
        }
        chosen = found.centre;
    }
    prepared.model = BuildPolyhedron(table, chosen);
    if (std::string problem = CheckFloatRange(prepared.model); !problem.empty()) prepared.error = name + ": " + problem;
    return prepared;
}

std::string CheckStarShaped(const Polyhedron& model, const std::string& role, const PrepareProgress& progress)
{
    if (progress) progress("validating", 0.0);
    std::string problem = CheckFloatRange(model);
    if (problem.empty()) problem = ValidateStarShaped(model);
    return problem.empty() ? problem : role + " mesh refused: " + problem;
}

}  // namespace vorlane
