// The stage between reading and merging: a mesh made ready for the merge.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/progress.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

struct PreparedModel {
    // Empty on success; otherwise one line naming the mesh and the reason.
    std::string error;
    Polyhedron model;
};

// Which map onto the sphere a mesh gets.
enum class EmbeddingChoice {
    Auto,       // central where the mesh is star-shaped about its centre and the map does not crowd it, spherical otherwise
    Central,    // central projection about the centre; refused where not star-shaped
    Spherical,  // the spherical embedding, for any closed genus-0 mesh
};

// The name of a choice as the command line spells it, and back; false for
// an unknown name.
const char* EmbeddingName(EmbeddingChoice choice);
bool ParseEmbeddingChoice(const std::string& name, EmbeddingChoice& choice);
const char* SphereMapName(SphereMap map);

struct PrepareOptions {
    std::optional<Vec3> centre;  // by default the kernel's centre (central) or the middle of the bounding box
    EmbeddingChoice embedding = EmbeddingChoice::Auto;
};

// A mesh as read, made ready: turned the right way out when wound inward
// throughout, pinched vertices split, and mapped onto the sphere as chosen.
// Spherical maps come after the topology checks, which refuse, in this
// order, a mesh not closed, not manifold, of genus above 0, in several
// pieces; a mesh whose embedding cannot be made valid is refused too.
// A coordinate that is not finite, and a vertex whose offset from the
// centre, or anything the merge computes from it, would overflow, are
// refused (CheckFloatRange). name labels the errors (the file name).
PreparedModel PrepareMesh(ModelTable table, const PrepareOptions& options, const std::string& name,
                          const Progress& progress = {});

}  // namespace vorlane
