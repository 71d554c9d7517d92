#include "command_line/merge_plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "command_line/terminal_text.h"
#include "geometry/model_catalogue.h"
#include "geometry/morph_step.h"
#include "path/shape_path.h"
#include "prepare/prepare_mesh.h"

namespace vorlane {
namespace {

std::string Quoted(const char* argument)
{
    return std::string("'") + argument + "'";
}

std::string Arguments(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

MergePlan Refused(PlanProblem problem, std::string message)
{
    MergePlan plan;
    plan.problem = problem;
    plan.message = std::move(message);
    return plan;
}

// The input file that output names, however either is spelled, or null.
const char* InputAt(const char* output, const std::vector<const char*>& inputs)
{
    struct stat written {};
    if (stat(output, &written) != 0) return nullptr;
    for (const char* input : inputs) {
        struct stat read {};
        if (!FindCatalogueModel(input) && stat(input, &read) == 0 && read.st_dev == written.st_dev &&
            read.st_ino == written.st_ino)
            return input;
    }
    return nullptr;
}

}  // namespace

MergePlan PlanCatalogueForm(const MergeArguments& arguments)
{
    if (arguments.sourceCentre || arguments.targetCentre || arguments.step || arguments.maxTriangles || arguments.tolerance)
        return Refused(PlanProblem::Usage, "--source-centre, --target-centre, --step, --max-triangles and --tolerance need -o OUT");
    if (arguments.positional.size() != 8)
        return Refused(PlanProblem::Usage, "expected 8 arguments, got " + std::to_string(arguments.positional.size()));
    MergePlan plan;
    MorphRequest& request = plan.request;
    request.source = arguments.positional[0];
    request.target = arguments.positional[4];
    request.merge = arguments.robust ? MergeChoice::Robust : MergeChoice::Demo;
    for (int m = 0; m < 2; ++m) {
        const char* name = arguments.positional[static_cast<size_t>(m * 4)];
        if (!FindCatalogueModel(name)) return Refused(PlanProblem::Usage, std::string("unknown model '") + name + "'");
        Vec3 centre;
        float* coordinates[3] = {&centre.x, &centre.y, &centre.z};
        for (int i = 0; i < 3; ++i) {
            const char* text = arguments.positional[static_cast<size_t>(m * 4 + 1 + i)];
            if (!ParseFloat(text, *coordinates[i])) return Refused(PlanProblem::Usage, std::string("'") + text + "' is not a number");
        }
        (m == 0 ? request.sourceCentre : request.targetCentre) = centre;
    }
    return plan;
}

MergePlan PlanFileForm(const MergeArguments& arguments)
{
    if (arguments.positional.size() != 2)
        return Refused(PlanProblem::Usage, "expected SOURCE TARGET with -o, got " + Arguments(arguments.positional.size()));
    for (const char* argument : arguments.positional) {
        if (!IsModelArgument(argument))
            return Refused(PlanProblem::BadName, std::string("'") + argument +
                                                     "' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)");
    }
    MergePlan plan;
    const std::string output = arguments.output;
    plan.gltf = GltfContainerOfPath(output, plan.container);
    if (!plan.gltf && !StepFormatOfPath(output, plan.stepFormat))
        return Refused(PlanProblem::BadName, "cannot tell the output format of '" + output + "' (expected .glb, .gltf, .obj or .ply)");
    if (plan.gltf && arguments.step) return Refused(PlanProblem::Usage, "--step applies to .obj and .ply output; glTF holds every step");
    if (arguments.literal && !(FindCatalogueModel(arguments.positional[0]) && FindCatalogueModel(arguments.positional[1])))
        return Refused(PlanProblem::Usage, "--literal takes two catalogue models");
    // note: before anything is read, so a failed write cannot have cost the input.
    if (const char* input = InputAt(arguments.output, arguments.positional))
        return Refused(PlanProblem::BadName, "-o " + Quoted(arguments.output) + " is the input " + Quoted(input) + "; write elsewhere");
    if (!plan.gltf && arguments.compress) return Refused(PlanProblem::Usage, "--compress applies to .glb and .gltf output");
    if (arguments.literal && (arguments.maxTriangles || arguments.tolerance))
        return Refused(PlanProblem::Usage, "--max-triangles and --tolerance take the merge for real meshes, not --literal");
    PathChoice path = DefaultPath(arguments.positional[0], arguments.positional[1]);
    if (arguments.path) ParsePathChoice(arguments.path, path);
    const bool shapePath = path == PathChoice::Shape;
    if (shapePath && arguments.literal)
        return Refused(PlanProblem::Usage, "--literal walks straight; --path shape needs the merge for real meshes");
    if (arguments.targets && !shapePath) return Refused(PlanProblem::Usage, "--targets applies to the shape path");
    if (arguments.targets && !plan.gltf) return Refused(PlanProblem::Usage, "--targets applies to .glb and .gltf output");

    MorphRequest& request = plan.request;
    request.source = arguments.positional[0];
    request.target = arguments.positional[1];
    request.sourceCentre = arguments.sourceCentre;
    request.targetCentre = arguments.targetCentre;
    request.merge = arguments.literal ? MergeChoice::Literal : MergeChoice::Robust;
    if (arguments.embedding && !ParseEmbeddingChoice(arguments.embedding, request.embedding))
        return Refused(PlanProblem::Usage, "--embedding takes auto, central or spherical, not " + Quoted(arguments.embedding));
    if (arguments.holes && !ParseHoleChoice(arguments.holes, request.holes))
        return Refused(PlanProblem::Usage, "--holes takes fill or refuse, not " + Quoted(arguments.holes));
    request.weld = arguments.weld.value_or(0.0f);
    if (arguments.landmarks) {
        const std::string problem = ReadLandmarkFile(arguments.landmarks, request.landmarks);
        if (!problem.empty()) return Refused(PlanProblem::Unreadable, EscapeControls(problem));
    }
    request.threads = arguments.threads > 0 ? arguments.threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (arguments.maxTriangles) request.simplify.maxTriangles = *arguments.maxTriangles;
    if (arguments.tolerance) request.simplify.tolerance = *arguments.tolerance;
    request.path = path;
    plan.step = arguments.step.value_or(0);
    if (shapePath && plan.gltf) plan.targets = arguments.targets.value_or(8);
    return plan;
}

}  // namespace vorlane
