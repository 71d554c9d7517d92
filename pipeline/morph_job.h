// The whole path from two inputs to one morph, as both programs run it:
// read (a file) or build (a built-in model), prepare, check, merge.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "merge/merge_models.h"
#include "prepare/prepare_mesh.h"

namespace vorlane {

struct MorphRequest {
    std::string source;  // a mesh file or the name of a built-in model
    std::string target;
    std::optional<Vec3> sourceCentre;  // by default the origin for built-in models, the kernel's centre for files
    std::optional<Vec3> targetCentre;
    bool robust = false;  // the merge for real meshes also for two built-in models
    int threads = 1;      // 2 or more: both inputs at once, and the merge on two threads
};

struct MorphJob {
    // Empty on success; otherwise one line naming the input and the reason.
    std::string error;
    // Where the merged mesh points: kept apart so the job can move.
    std::unique_ptr<Polyhedron> source;
    std::unique_ptr<Polyhedron> target;
    MergedModels merged;
};

// True when argument names a built-in model or a mesh file by its extension.
bool IsModelArgument(const std::string& argument);

// Runs the path for request, reporting its phases (from one thread at a
// time); stops at the first input that cannot be read, prepared or merged,
// the source's fault first when both fail.
MorphJob RunMorphJob(const MorphRequest& request, const PrepareProgress& progress = {});

}  // namespace vorlane
