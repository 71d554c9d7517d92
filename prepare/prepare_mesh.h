// The stage between reading and merging: a mesh made ready for the merge.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// Called now and then with the phase running and its fraction done (0..1).
using PrepareProgress = std::function<void(const std::string& phase, double fraction)>;

struct PreparedModel {
    // Empty on success; otherwise one line naming the mesh and the reason.
    std::string error;
    Polyhedron model;
};

// A mesh as read, made ready: turned the right way out when wound inward
// throughout, then built about centre, or about its kernel's centre when
// none is given. name labels the errors (the file name). Refuses a
// coordinate that is not finite, and a vertex whose offset from the centre,
// or anything the merge computes from it, would overflow (CheckFloatRange).
PreparedModel PrepareMesh(ModelTable table, const std::optional<Vec3>& centre, const std::string& name,
                          const PrepareProgress& progress = {});

// Refuses a prepared model the merge for real meshes cannot take (see
// CheckFloatRange and ValidateStarShaped): "<role> mesh refused: <reason>",
// role being "source" or "target". Returns an empty string for a sound model.
std::string CheckStarShaped(const Polyhedron& model, const std::string& role, const PrepareProgress& progress = {});

}  // namespace vorlane
