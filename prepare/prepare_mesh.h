// The stage between reading and merging: a mesh made ready for the merge.
#pragma once

#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/progress.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// What preparing changed in a mesh as read, for the summary.
struct MeshRepairs {
    int32_t welded = 0;      // vertices joined to another on a seam (WeldVertices)
    int32_t duplicates = 0;  // repeated triangles dropped (RepairMesh)
    int32_t splitEdges = 0;  // crowded edges split into sheets
    int32_t flipped = 0;     // triangles turned to agree with their piece
    int32_t filled = 0;      // holes closed by a patch (FillHoles)
};

// One piece of a mesh in several, made ready on its own.
struct PreparedPiece {
    Polyhedron model;
    // By vertex of model, its vertex in the welded table (vertices a split
    // of a pinched vertex added, past the end, have none).
    std::vector<int32_t> vertices;
};

struct PreparedModel {
    // Empty on success; otherwise one line naming the mesh and the reason.
    std::string error;
    Polyhedron model;  // empty where pieces are given
    // Where options.pieces asks and the mesh is in several: each piece
    // prepared as a mesh of its own (SplitPieces numbers them).
    std::vector<PreparedPiece> pieces;
    MeshRepairs repairs;
    // By vertex of the table given, its vertex in model where the weld moved
    // it (-1 where dropped); empty where none moved.
    std::vector<int32_t> renumbered;
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

// What becomes of a mesh's holes.
enum class HoleChoice {
    Fill,    // each loop of open edges closed by a patch (FillHoles)
    Refuse,  // left open, for the topology checks to refuse
};
bool ParseHoleChoice(const std::string& name, HoleChoice& choice);

struct PrepareOptions {
    std::optional<Vec3> centre;  // by default the kernel's centre (central) or the middle of the bounding box
    EmbeddingChoice embedding = EmbeddingChoice::Auto;
    HoleChoice holes = HoleChoice::Fill;
    double weld = 0.0;  // seam vertices this near (a fraction of the box's diagonal) become one; 0: at one position
    // Several pieces each prepared apart (PreparedModel::pieces), after the
    // weld, repairs and holes, each about its own centre (centre then
    // applies to a mesh in one piece only); false refuses them.
    bool pieces = false;
};

// A mesh as read, made ready: its seams welded (WeldVertices), repeated
// triangles, crowded edges and disagreeing windings repaired (RepairMesh),
// its holes filled as options ask (FillHoles), turned the right way out when wound inward
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
