// What a vorlane-merge command line asks, checked whole before anything is
// read: the job for the pipeline and how to write its result.
#pragma once

#include <string>

#include "command_line/merge_arguments.h"
#include "io/gltf_writer.h"
#include "io/mesh_writer.h"
#include "pipeline/morph_job.h"

namespace vorlane {

// How a wrong command line is told: a usage error prints the usage after
// its line; a file name the tool cannot use, or a landmark file it cannot
// read, prints its line alone.
enum class PlanProblem { None, Usage, BadName, Unreadable };

struct MergePlan {
    PlanProblem problem = PlanProblem::None;
    std::string message;  // the line to print where problem is not None
    MorphRequest request;
    // The -o form: the file, its format and what of the path it holds.
    bool gltf = false;
    GltfContainer container{};
    StepFormat stepFormat{};
    int step = 0;     // the step an .obj or .ply holds
    int targets = 0;  // glTF morph targets along the shape path; 0 on the straight one
};

// The demo's form, NAME cx cy cz NAME cx cy cz.
MergePlan PlanCatalogueForm(const MergeArguments& arguments);

// SOURCE TARGET -o OUT. Reads the landmark file, nothing else.
MergePlan PlanFileForm(const MergeArguments& arguments);

}  // namespace vorlane
