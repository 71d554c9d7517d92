// The whole path from two inputs to one morph, as both programs run it:
// read (a file) or build (a built-in model), prepare, check, merge.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry/morph_colours.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "merge/merge_models.h"
#include "path/shape_path.h"
#include "prepare/alignment.h"
#include "prepare/pair_pieces.h"
#include "prepare/prepare_mesh.h"
#include "simplify/simplify_morph.h"

namespace vorlane {

// How two models merge.
enum class MergeChoice {
    Robust,   // the merge for real meshes
    // The demo's merge for two built-in models (anything else takes the
    // merge for real meshes): Literal writes no face lists and refuses a
    // result that is not closed; Demo runs it as the demo does, writing the
    // face lists and keeping any result.
    Literal,
    Demo,
};

struct MorphRequest {
    std::string source;  // a mesh file or the name of a built-in model
    std::string target;
    // Meshes given in memory (say by the Python module) instead of read from
    // source and target, which then only name them in messages.
    std::optional<ModelTable> sourceMesh;
    std::optional<ModelTable> targetMesh;
    // Models built and kept by the caller (the demo scene's, whose morphs
    // point into its own list), merged where they lie as built-in models;
    // source and target then only name them. They must outlive the job's
    // mesh; a turn of the sphere changes a copy, never them.
    const Polyhedron* sourceModel = nullptr;
    const Polyhedron* targetModel = nullptr;
    std::optional<Vec3> sourceCentre;  // by default the origin for built-in models, the kernel's centre for files
    std::optional<Vec3> targetCentre;
    EmbeddingChoice embedding = EmbeddingChoice::Auto;  // for mesh files; built-in models are central
    HoleChoice holes = HoleChoice::Fill;                // for mesh files
    double weld = 0.0;  // seam vertices this near, a fraction of the box's diagonal, become one (PrepareOptions)
    std::vector<LandmarkPair> landmarks;  // source vertex, target vertex, in the files' numbering
    MergeChoice merge = MergeChoice::Robust;
    int threads = 1;      // 2 or more: both inputs at once, and the merge on two threads
    SimplifyOptions simplify;  // none asked: the merge is kept whole
    // How the merged mesh walks between its ends; the shape path is built
    // after the merge (the demo and built-in pairs walk straight).
    PathChoice path = PathChoice::Linear;
};

struct MorphJob {
    // Empty on success; otherwise one line naming the input and the reason.
    std::string error;
    // Where the merged mesh points: kept apart so the job can move. Null
    // where the mesh points at the request's own model instead.
    std::unique_ptr<Polyhedron> source;
    std::unique_ptr<Polyhedron> target;
    MergedModels merged;
    // Each merged vertex's colour at both ends, from the colours its input
    // files give (see MergedColours); empty where neither file gives any.
    MorphColours colours;
    // What reading the inputs left out, a line each naming the file (an
    // OBJ's material library that cannot be read); the morph goes on.
    std::vector<std::string> warnings;
    // How the target's sphere was turned to meet the source's (see
    // AlignTarget); empty where it was not (two central maps, no landmarks).
    std::string alignment;
    bool alignmentFellBack = false;  // the map the landmarks asked for was not kept (see Alignment)
    // The follower's map follows the intrinsic correspondence (FollowCorrespondence).
    bool intrinsic = false;
    SphereMap sourceMap = SphereMap::Central;  // as each mesh was prepared
    SphereMap targetMap = SphereMap::Central;
    SimplifyReport simplified;  // where the request asked for it: what the simplify stage did
    MeshRepairs sourceRepairs;  // what preparing mended in each mesh file
    MeshRepairs targetRepairs;
    // Merged faces left out as they lie in a patch at both ends (LeaveOutCommonPatches).
    int32_t leftOpen = 0;
    ShapePath path;  // empty unless the request asked for the shape path
    // Which pieces morphed into which, where either mesh is in several
    // (MorphPieces); one to one otherwise.
    PiecePairing pieces;
};

// True when argument names a built-in model or a mesh file by its extension.
bool IsModelArgument(const std::string& argument);

// The path a pair walks unless asked otherwise: the shape path where either
// is a mesh file; two built-in models walk straight, as the demo does.
PathChoice DefaultPath(const std::string& source, const std::string& target);

// Reads landmark pairs from the file at path (see ParseLandmarks); an empty
// string or "<path>: <reason>". Anything but a regular file is refused
// without waiting on it, and so is a file that holds no pair.
std::string ReadLandmarkFile(const std::string& path, std::vector<LandmarkPair>& pairs);

// Runs the path for request, reporting its phases (from one thread at a
// time); stops at the first input that cannot be read, prepared or merged
// (refused by the merge's check, or, under MergeChoice::Literal, merged
// into a mesh that is not closed), the source's fault first when both fail.
// Where either mesh is mapped spherically, or landmarks are given, the
// target's sphere is aligned to the source's before the robust merge.
// Where request.simplify asks, the merged mesh is simplified (SimplifyMorph)
// last; a mesh it cannot take is an error. A mesh file in several pieces
// morphs piece by piece (MorphPieces); with landmarks it is refused.
MorphJob RunMorphJob(const MorphRequest& request, const Progress& progress = {});

}  // namespace vorlane
