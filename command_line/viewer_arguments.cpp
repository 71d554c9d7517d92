#include "command_line/viewer_arguments.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "command_line/merge_arguments.h"
#include "command_line/terminal_text.h"
#include "io/gltf_writer.h"

namespace vorlane {

namespace {

// note: window managers and xdotool hand the title on to terminals.
std::string BaseName(const std::string& path)
{
    return EscapeControls(std::filesystem::path(path).filename().string());
}

std::string SafeStem(const std::string& path)
{
    std::string stem = std::filesystem::path(path).stem().string();
    for (char& c : stem) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!(u < 128 && (std::isalnum(u) || c == '-' || c == '_'))) c = '_';
    }
    return stem.empty() ? "morph" : stem;
}

}  // namespace

std::string ViewerUsage()
{
    return "usage: vorlane                     the demo\n"
           "       vorlane SOURCE TARGET [--source-centre X Y Z] [--target-centre X Y Z] [--robust]\n"
           "               [--path linear|shape]\n"
           "       vorlane MORPH.glb\n"
           "  SOURCE, TARGET: a built-in model or a mesh file, as vorlane-merge takes them\n"
           "  MORPH.glb: a morph vorlane-merge wrote (.glb or .gltf)\n"
           "  keys: A, S, F, R, arrows, Page Up/Down, O, L, V, 1 to 3 as in the demo;\n"
           "        Ctrl+S saves the frame as a PNG in the working folder\n";
}

std::string ParseViewerArguments(int argc, char** argv, ViewerArguments& arguments)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            arguments.help = true;
            return {};
        }
    }
    MergeArguments parsed;
    const std::string problem = ParseMergeArguments(argc, argv, parsed);
    if (!problem.empty()) return problem;
    if (parsed.output || parsed.step || parsed.targets) return "-o, --step and --targets write files: that is vorlane-merge's work";
    const bool mergeOptions = parsed.robust || parsed.literal || parsed.sourceCentre || parsed.targetCentre ||
                              parsed.embedding || parsed.landmarks || parsed.path;
    GltfContainer container{};
    if (parsed.positional.size() == 1 && GltfContainerOfPath(parsed.positional[0], container)) {
        if (mergeOptions) return "the merge options choose how to merge; a morph file is merged already";
        arguments.input.morphFile = parsed.positional[0];
        return {};
    }
    if (parsed.positional.size() != 2)
        return "expected SOURCE TARGET or one .glb file, got " + std::to_string(parsed.positional.size()) +
               " arguments";
    MorphRequest& request = arguments.input.request;
    request.source = parsed.positional[0];
    request.target = parsed.positional[1];
    request.sourceCentre = parsed.sourceCentre;
    request.targetCentre = parsed.targetCentre;
    request.merge = parsed.literal ? MergeChoice::Literal : MergeChoice::Robust;
    request.path = parsed.literal ? PathChoice::Linear : DefaultPath(request.source, request.target);
    if (parsed.path) ParsePathChoice(parsed.path, request.path);
    if (request.path == PathChoice::Shape && parsed.literal) return "--literal walks straight; --path shape needs the merge for real meshes";
    if (parsed.embedding && !ParseEmbeddingChoice(parsed.embedding, request.embedding))
        return std::string("--embedding takes auto, central or spherical, not '") + parsed.embedding + "'";
    if (parsed.landmarks) return ReadLandmarkFile(parsed.landmarks, request.landmarks);
    return {};
}

std::string ViewerTitle(const ViewerInput& input)
{
    if (!input.morphFile.empty()) return "Vorlane: " + BaseName(input.morphFile);
    return "Vorlane: " + BaseName(input.request.source) + " to " + BaseName(input.request.target);
}

std::string SnapshotFileName(const ViewerInput& input, int step)
{
    char stepText[16];
    std::snprintf(stepText, sizeof stepText, "-step%02d.png", step);
    const std::string names = input.morphFile.empty()
                                  ? SafeStem(input.request.source) + "-" + SafeStem(input.request.target)
                                  : SafeStem(input.morphFile);
    return "vorlane-" + names + stepText;
}

}  // namespace vorlane
