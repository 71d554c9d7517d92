// vorlane-merge: one merge of two models, catalogue or mesh files, without a
// window; prints its counts or writes the morph to a file. A driver of the
// stages: read, prepare, merge, write.
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "base/huge_pages.h"
#include "command_line/merge_plan.h"
#include "command_line/terminal_text.h"
#include "geometry/morph_step.h"
#include "tools/merge_summary.h"
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

// ----------------------------------------------------------------- NAME cx cy cz form

// The demo's merge of two built-in models about the given centres, or the
// merge for real meshes when asked.
int RunCatalogueForm(const vorlane::MergeArguments& arguments)
{
    const vorlane::MergePlan plan = vorlane::PlanCatalogueForm(arguments);
    if (plan.problem != vorlane::PlanProblem::None) return Usage(plan.message);
    vorlane::ProgressMeter meter(stderr, isatty(STDERR_FILENO) != 0);
    const vorlane::MorphJob job =
        vorlane::RunMorphJob(plan.request, [&](std::string_view phase, double fraction) { meter.Report(phase, fraction); });
    meter.Finish();
    if (!job.error.empty()) return Failure(job.error);
    std::printf("%s\n", vorlane::MergeSummary(plan.request.source, plan.request.target, job.merged).c_str());
    return 0;
}

// ----------------------------------------------------------------- SOURCE TARGET -o OUT form

int RunFileForm(const vorlane::MergeArguments& arguments)
{
    const vorlane::MergePlan plan = vorlane::PlanFileForm(arguments);
    switch (plan.problem) {
    case vorlane::PlanProblem::None: break;
    case vorlane::PlanProblem::Usage: return Usage(plan.message);
    case vorlane::PlanProblem::BadName: return BadName(plan.message);
    case vorlane::PlanProblem::Unreadable: return Failure(plan.message);
    }
    const vorlane::MorphRequest& request = plan.request;
    const std::string output = arguments.output;

    vorlane::ProgressMeter meter(stderr, isatty(STDERR_FILENO) != 0);
    // note: the progress line is cleared first, so the message starts its own line.
    const auto fail = [&](const std::string& message) {
        meter.Finish();
        return Failure(message);
    };
    const vorlane::MorphJob job =
        vorlane::RunMorphJob(request, [&](std::string_view phase, double fraction) { meter.Report(phase, fraction); });
    if (!job.error.empty()) return fail(job.error);
    for (const std::string& line : job.warnings) PrintMessage("warning: " + line);
    const vorlane::MergedModels& merged = job.merged;

    std::vector<std::vector<Vec3>> middles;
    std::vector<Vec3> stepPositions;
    const bool shapePath = request.path == vorlane::PathChoice::Shape;
    if (shapePath && plan.gltf) {
        for (int i = 1; i < plan.targets; ++i) {
            meter.Report("solving the in-betweens", static_cast<double>(i - 1) / (plan.targets - 1));
            middles.push_back(job.path.At(static_cast<double>(i) / plan.targets));
        }
    } else if (shapePath && plan.step > 0 && plan.step < vorlane::MorphSteps) {
        meter.Report("solving the in-betweens", 0.0);
        stepPositions = job.path.AtStep(plan.step);
    }
    meter.Announce("writing " + output);
    std::string warning;
    vorlane::GltfOptions gltfOptions{arguments.compress, request.threads, &warning, &job.colours};
    if (!middles.empty()) gltfOptions.middles = &middles;
    const std::string written =
        plan.gltf ? vorlane::WriteGltfMorph(merged.mesh, output, plan.container, gltfOptions)
                  : vorlane::WriteMeshAtStep(merged.mesh, plan.step, output, plan.stepFormat, job.colours,
                                             stepPositions.empty() ? nullptr : &stepPositions);
    if (!written.empty()) return fail(written);
    meter.Finish();
    if (!warning.empty()) PrintMessage("warning: " + warning);
    std::printf("%s\n",
                vorlane::MergeSummary(request.source, request.target, merged, vorlane::FileFormDetails(request, job)).c_str());
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
