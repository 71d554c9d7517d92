// vorlane-merge: one merge of two models, catalogue or mesh files, without a
// window; prints its counts or writes the morph to a file. A driver of the
// stages: read, prepare, merge, write.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "base/huge_pages.h"
#include "command_line/merge_arguments.h"
#include "command_line/terminal_text.h"
#include "geometry/model_catalogue.h"
#include "geometry/morph_step.h"
#include "io/gltf_writer.h"
#include "io/mesh_writer.h"
#include "merge/merge_models.h"
#include "path/shape_path.h"
#include "pipeline/morph_job.h"
#include "prepare/prepare_mesh.h"
#include "tools/progress_meter.h"

namespace {

using vorlane::Vec3;

constexpr int UsageStatus = 2;
constexpr int FailureStatus = 1;

// Messages echo arguments: their control characters are shown escaped.
void PrintMessage(const std::string& message)
{
    std::fprintf(stderr, "vorlane-merge: %s\n", vorlane::EscapeControls(message).c_str());
}

// A usage error: its message, then the usage, and status 2.
int Usage(const std::string& message)
{
    PrintMessage(message);
    std::fputs(vorlane::MergeUsage().c_str(), stderr);
    return UsageStatus;
}

// A file name the tool cannot use: one line, status 2.
int BadName(const std::string& message)
{
    PrintMessage(message);
    return UsageStatus;
}

// A failure of the work itself: one line, status 1.
int Failure(const std::string& message)
{
    PrintMessage(message);
    return FailureStatus;
}

std::string Quoted(const char* argument)
{
    return std::string("'") + argument + "'";
}

std::string Arguments(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

// The counts of a merge; the -o form also names each mesh's map onto the
// sphere (the target's as it was made, before any turn to meet the source).
void PrintSummary(const char* source, const char* target, const vorlane::MergedModels& merged,
                  const std::string& maps = {})
{
    const vorlane::MorphMesh& m = merged.mesh;
    std::printf("source %s target %s crossings %d vertices %d folded %d edges %d faces %d%s\n",
                vorlane::EscapeControls(source).c_str(), vorlane::EscapeControls(target).c_str(), m.crossingCount,
                m.vertexCount(), merged.foldedCount, m.edgeCount(), m.faceCount(), maps.c_str());
}

// What the simplify stage did, where it was asked: the triangles before and
// after, and each end's largest distance of a vertex from its input, over
// that input's diagonal.
std::string SimplifiedSummary(const vorlane::MorphRequest& request, const vorlane::SimplifyReport& report)
{
    if (!request.simplify.Asked()) return {};
    char text[160];
    std::snprintf(text, sizeof text, " triangles-before %lld triangles-after %lld start-distance %.2e end-distance %.2e",
                  static_cast<long long>(report.trianglesBefore), static_cast<long long>(report.trianglesAfter),
                  report.startDistance, report.endDistance);
    return text;
}

// What preparing mended, source then target, where it mended anything (so
// the line of a closed input stays as it was).
std::string RepairCounts(const vorlane::MorphJob& job)
{
    const vorlane::MeshRepairs& s = job.sourceRepairs;
    const vorlane::MeshRepairs& t = job.targetRepairs;
    std::string counts;
    const auto add = [&](const char* name, int32_t a, int32_t b) {
        if (a != 0 || b != 0) counts += std::string(" ") + name + " " + std::to_string(a) + " " + std::to_string(b);
    };
    add("welded", s.welded, t.welded);
    add("duplicates", s.duplicates, t.duplicates);
    add("split-edges", s.splitEdges, t.splitEdges);
    add("flipped", s.flipped, t.flipped);
    add("holes-filled", s.filled, t.filled);
    return counts;
}

// The input file that output names, however either is spelled, or null.
const char* InputAt(const char* output, const std::vector<const char*>& inputs)
{
    struct stat written {};
    if (stat(output, &written) != 0) return nullptr;
    for (const char* input : inputs) {
        struct stat read {};
        if (!vorlane::FindCatalogueModel(input) && stat(input, &read) == 0 && read.st_dev == written.st_dev &&
            read.st_ino == written.st_ino)
            return input;
    }
    return nullptr;
}

// ----------------------------------------------------------------- NAME cx cy cz form

// The demo's merge of two built-in models about the given centres, or the
// merge for real meshes when asked.
int RunCatalogueForm(const vorlane::MergeArguments& arguments)
{
    if (arguments.sourceCentre || arguments.targetCentre || arguments.step || arguments.maxTriangles || arguments.tolerance)
        return Usage("--source-centre, --target-centre, --step, --max-triangles and --tolerance need -o OUT");
    if (arguments.positional.size() != 8)
        return Usage("expected 8 arguments, got " + std::to_string(arguments.positional.size()));
    vorlane::MorphRequest request;
    request.source = arguments.positional[0];
    request.target = arguments.positional[4];
    request.merge = arguments.robust ? vorlane::MergeChoice::Robust : vorlane::MergeChoice::Demo;
    for (int m = 0; m < 2; ++m) {
        const char* name = arguments.positional[static_cast<size_t>(m * 4)];
        if (!vorlane::FindCatalogueModel(name)) return Usage(std::string("unknown model '") + name + "'");
        Vec3 centre;
        float* coordinates[3] = {&centre.x, &centre.y, &centre.z};
        for (int i = 0; i < 3; ++i) {
            const char* text = arguments.positional[static_cast<size_t>(m * 4 + 1 + i)];
            if (!vorlane::ParseFloat(text, *coordinates[i])) return Usage(std::string("'") + text + "' is not a number");
        }
        (m == 0 ? request.sourceCentre : request.targetCentre) = centre;
    }
    vorlane::ProgressMeter meter(stderr, isatty(STDERR_FILENO) != 0);
    const vorlane::MorphJob job =
        vorlane::RunMorphJob(request, [&](std::string_view phase, double fraction) { meter.Report(phase, fraction); });
    meter.Finish();
    if (!job.error.empty()) return Failure(job.error);
    PrintSummary(arguments.positional[0], arguments.positional[4], job.merged);
    return 0;
}

// ----------------------------------------------------------------- SOURCE TARGET -o OUT form

int RunFileForm(const vorlane::MergeArguments& arguments)
{
    if (arguments.positional.size() != 2)
        return Usage("expected SOURCE TARGET with -o, got " + Arguments(arguments.positional.size()));
    for (const char* argument : arguments.positional) {
        if (!vorlane::IsModelArgument(argument))
            return BadName(std::string("'") + argument +
                           "' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)");
    }
    const std::string output = arguments.output;
    vorlane::GltfContainer container{};
    vorlane::StepFormat stepFormat{};
    const bool gltf = vorlane::GltfContainerOfPath(output, container);
    if (!gltf && !vorlane::StepFormatOfPath(output, stepFormat))
        return BadName("cannot tell the output format of '" + output + "' (expected .glb, .gltf, .obj or .ply)");
    if (gltf && arguments.step) return Usage("--step applies to .obj and .ply output; glTF holds every step");
    if (arguments.literal &&
        !(vorlane::FindCatalogueModel(arguments.positional[0]) && vorlane::FindCatalogueModel(arguments.positional[1])))
        return Usage("--literal takes two catalogue models");
    // note: before anything is read, so a failed write cannot have cost the input.
    if (const char* input = InputAt(arguments.output, arguments.positional))
        return BadName("-o " + Quoted(arguments.output) + " is the input " + Quoted(input) + "; write elsewhere");
    if (!gltf && arguments.compress) return Usage("--compress applies to .glb and .gltf output");
    if (arguments.literal && (arguments.maxTriangles || arguments.tolerance))
        return Usage("--max-triangles and --tolerance take the merge for real meshes, not --literal");
    vorlane::PathChoice pathChoice = vorlane::DefaultPath(arguments.positional[0], arguments.positional[1]);
    if (arguments.path) vorlane::ParsePathChoice(arguments.path, pathChoice);
    const bool shapePath = pathChoice == vorlane::PathChoice::Shape;
    if (shapePath && arguments.literal) return Usage("--literal walks straight; --path shape needs the merge for real meshes");
    if (arguments.targets && !shapePath) return Usage("--targets applies to the shape path");
    if (arguments.targets && !gltf) return Usage("--targets applies to .glb and .gltf output");
    const int threads = arguments.threads > 0 ? arguments.threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    vorlane::ProgressMeter meter(stderr, isatty(STDERR_FILENO) != 0);
    // note: the progress line is cleared first, so the message starts its own line.
    const auto fail = [&](const std::string& message) {
        meter.Finish();
        return Failure(message);
    };
    vorlane::MorphRequest request;
    request.source = arguments.positional[0];
    request.target = arguments.positional[1];
    request.sourceCentre = arguments.sourceCentre;
    request.targetCentre = arguments.targetCentre;
    request.merge = arguments.literal ? vorlane::MergeChoice::Literal : vorlane::MergeChoice::Robust;
    if (arguments.embedding && !vorlane::ParseEmbeddingChoice(arguments.embedding, request.embedding))
        return Usage("--embedding takes auto, central or spherical, not " + Quoted(arguments.embedding));
    if (arguments.holes && !vorlane::ParseHoleChoice(arguments.holes, request.holes))
        return Usage("--holes takes fill or refuse, not " + Quoted(arguments.holes));
    request.weld = arguments.weld.value_or(0.0f);
    if (arguments.landmarks) {
        const std::string problem = vorlane::ReadLandmarkFile(arguments.landmarks, request.landmarks);
        if (!problem.empty()) return fail(vorlane::EscapeControls(problem));
    }
    request.threads = threads;
    if (arguments.maxTriangles) request.simplify.maxTriangles = *arguments.maxTriangles;
    if (arguments.tolerance) request.simplify.tolerance = *arguments.tolerance;
    request.path = pathChoice;
    const vorlane::MorphJob job =
        vorlane::RunMorphJob(request, [&](std::string_view phase, double fraction) { meter.Report(phase, fraction); });
    if (!job.error.empty()) return fail(job.error);
    const vorlane::MergedModels& merged = job.merged;

    std::vector<std::vector<Vec3>> middles;
    std::vector<Vec3> stepPositions;
    const int step = arguments.step.value_or(0);
    if (shapePath && gltf) {
        const int targets = arguments.targets.value_or(8);
        for (int i = 1; i < targets; ++i) {
            meter.Report("solving the in-betweens", static_cast<double>(i - 1) / (targets - 1));
            middles.push_back(job.path.At(static_cast<double>(i) / targets));
        }
    } else if (shapePath && step > 0 && step < vorlane::MorphSteps) {
        meter.Report("solving the in-betweens", 0.0);
        stepPositions = job.path.AtStep(step);
    }
    meter.Announce("writing " + output);
    std::string warning;
    vorlane::GltfOptions gltfOptions{arguments.compress, threads, &warning, &job.colours};
    if (!middles.empty()) gltfOptions.middles = &middles;
    const std::string written =
        gltf ? vorlane::WriteGltfMorph(merged.mesh, output, container, gltfOptions)
             : vorlane::WriteMeshAtStep(merged.mesh, step, output, stepFormat, job.colours,
                                        stepPositions.empty() ? nullptr : &stepPositions);
    if (!written.empty()) return fail(written);
    meter.Finish();
    if (!warning.empty()) PrintMessage("warning: " + warning);
    PrintSummary(arguments.positional[0], arguments.positional[1], merged,
                 std::string(" embeddings ") + vorlane::SphereMapName(job.sourceMap) + " " +
                     vorlane::SphereMapName(job.targetMap) + (shapePath ? " path shape" : "") + RepairCounts(job) +
                     SimplifiedSummary(request, job.simplified));
    if (job.alignmentFellBack) std::fprintf(stderr, "vorlane-merge: warning: the landmarks are met only roughly: %s\n", job.alignment.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    vorlane::StartWithMemorySettings(argv);
    try {
        vorlane::MergeArguments arguments;
        const std::string problem = vorlane::ParseMergeArguments(argc, argv, arguments);
        if (!problem.empty()) return Usage(problem);
        if (arguments.help) {
            std::fputs(vorlane::MergeUsage().c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : FailureStatus;
        }
        return arguments.output ? RunFileForm(arguments) : RunCatalogueForm(arguments);
    } catch (const std::bad_alloc&) {
        return Failure("out of memory");
    }
}
