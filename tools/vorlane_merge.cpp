// vorlane-merge: one merge of two models, catalogue or mesh files, without a
// window; prints its counts or writes the morph to a file.
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry/model_catalogue.h"
#include "io/gltf_writer.h"
#include "io/kernel_centre.h"
#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "io/morph_triangles.h"
#include "io/orient_outward.h"
#include "morph/merge_meshes.h"
#include "morph/merge_topologies.h"
#include "tools/progress_meter.h"

namespace {

using vorlane::Vec3;

constexpr int UsageStatus = 2;
constexpr int FailureStatus = 1;

void PrintUsage()
{
    std::string names;
    for (const vorlane::CatalogueEntry& entry : vorlane::Catalogue()) {
        if (!names.empty()) names += ", ";
        names += entry.name;
    }
    std::fprintf(stderr,
                 "usage: vorlane-merge SOURCE cx cy cz TARGET cx cy cz\n"
                 "       vorlane-merge SOURCE TARGET -o OUT [--source-centre X Y Z] [--target-centre X Y Z]"
                 " [--step K]\n"
                 "  SOURCE, TARGET: one of %s; in the second form also a mesh file\n"
                 "    (.obj, .off, .ply, .stl), closed and star-shaped\n"
                 "  cx cy cz: the model's centre\n"
                 "  -o OUT: .glb or .gltf (the morph, animated), .obj or .ply (one step)\n"
                 "  --source-centre, --target-centre: the centre to merge about; by default\n"
                 "    the origin for catalogue models and the kernel's centre for files\n"
                 "  --step K: the step written to .obj or .ply, 0 to %d (default 0)\n"
                 "  --robust: the merge for real meshes also for two catalogue models\n",
                 names.c_str(), vorlane::LastMorphStep);
}

bool ParseFloat(const char* text, float& value)
{
    char* end = nullptr;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// A usage error: its message, then the usage, and status 2.
int Usage(const std::string& message)
{
    std::fprintf(stderr, "vorlane-merge: %s\n", message.c_str());
    PrintUsage();
    return UsageStatus;
}

// A file name the tool cannot use: one line, status 2.
int BadName(const std::string& message)
{
    std::fprintf(stderr, "vorlane-merge: %s\n", message.c_str());
    return UsageStatus;
}

// A failure of the work itself: one line, status 1.
int Failure(const std::string& message)
{
    std::fprintf(stderr, "vorlane-merge: %s\n", message.c_str());
    return FailureStatus;
}

struct Arguments {
    std::vector<const char*> positional;
    bool robust = false;
    const char* output = nullptr;
    std::optional<Vec3> sourceCentre;
    std::optional<Vec3> targetCentre;
    std::optional<int> step;
};

// Reads the options out of argv and keeps the rest in order; returns an
// empty string or what is wrong.
std::string ParseArguments(int argc, char** argv, Arguments& arguments)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--robust") {
            arguments.robust = true;
        } else if (option == "-o") {
            if (i + 1 >= argc) return "-o needs a file name";
            if (arguments.output) return "-o given twice";
            arguments.output = argv[++i];
        } else if (option == "--source-centre" || option == "--target-centre") {
            if (i + 3 >= argc) return option + " needs three numbers";
            Vec3 centre;
            float* coordinates[3] = {&centre.x, &centre.y, &centre.z};
            for (float* coordinate : coordinates) {
                if (!ParseFloat(argv[++i], *coordinate)) return std::string("'") + argv[i] + "' is not a number";
            }
            (option == "--source-centre" ? arguments.sourceCentre : arguments.targetCentre) = centre;
        } else if (option == "--step") {
            if (i + 1 >= argc) return "--step needs a number";
            char* end = nullptr;
            const long step = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || step < 0 || step > vorlane::LastMorphStep)
                return std::string("--step takes a whole number from 0 to ") + std::to_string(vorlane::LastMorphStep) +
                       ", not '" + argv[i] + "'";
            arguments.step = static_cast<int>(step);
        } else if (option.size() > 1 && option[0] == '-' && !std::isdigit(static_cast<unsigned char>(option[1])) &&
                   option[1] != '.') {
            return "unknown option '" + option + "'";
        } else {
            arguments.positional.push_back(argv[i]);
        }
    }
    return {};
}

struct Summary {
    int crossings = 0;
    int vertices = 0;
    int folded = 0;
    int edges = 0;
    int faces = 0;
};

void PrintSummary(const char* source, const char* target, const Summary& s)
{
    std::printf("source %s target %s crossings %d vertices %d folded %d edges %d faces %d\n", source, target,
                s.crossings, s.vertices, s.folded, s.edges, s.faces);
}

Summary RobustSummary(const vorlane::MeshMergeResult& result)
{
    return Summary{result.crossingCount, result.mesh.vertexCount, 0, result.mesh.edgeCount, result.mesh.faceCount};
}

// ----------------------------------------------------------------- NAME cx cy cz form

int RunCatalogueForm(const Arguments& arguments)
{
    if (arguments.sourceCentre || arguments.targetCentre || arguments.step)
        return Usage("--source-centre, --target-centre and --step need -o OUT");
    if (arguments.positional.size() != 8)
        return Usage("expected 8 arguments, got " + std::to_string(arguments.positional.size()));
    const vorlane::CatalogueEntry* entries[2] = {nullptr, nullptr};
    Vec3 centres[2];
    for (int m = 0; m < 2; ++m) {
        const char* name = arguments.positional[static_cast<size_t>(m * 4)];
        entries[m] = vorlane::FindCatalogueModel(name);
        if (!entries[m]) return Usage(std::string("unknown model '") + name + "'");
        float* coordinates[3] = {&centres[m].x, &centres[m].y, &centres[m].z};
        for (int i = 0; i < 3; ++i) {
            const char* text = arguments.positional[static_cast<size_t>(m * 4 + 1 + i)];
            if (!ParseFloat(text, *coordinates[i])) return Usage(std::string("'") + text + "' is not a number");
        }
    }

    vorlane::Polyhedron source = entries[0]->build(centres[0]);
    vorlane::Polyhedron target = entries[1]->build(centres[1]);
    if (arguments.robust) {
        vorlane::ProgressMeter meter(stderr, isatty(STDERR_FILENO) != 0);
        const vorlane::MeshMergeResult result = vorlane::MergeMeshes(
            source, target, [&](const char* phase, double fraction) { meter.Report(phase, fraction); });
        meter.Finish();
        if (!result.error.empty()) return Failure(result.error);
        PrintSummary(entries[0]->name, entries[1]->name, RobustSummary(result));
        return 0;
    }
    const vorlane::MorphMesh mesh = vorlane::MergeTopologies(source, target);
    PrintSummary(entries[0]->name, entries[1]->name,
                 Summary{source.crossingCount, mesh.vertexCount, vorlane::CountFoldedVertices(mesh), mesh.edgeCount,
                         mesh.faceCount});
    return 0;
}

// ----------------------------------------------------------------- SOURCE TARGET -o OUT form

struct LoadedModel {
    std::string error;
    bool catalogue = false;
    vorlane::Polyhedron model;
};

LoadedModel Load(const char* argument, const std::optional<Vec3>& centre, vorlane::ProgressMeter& meter)
{
    LoadedModel loaded;
    if (const vorlane::CatalogueEntry* entry = vorlane::FindCatalogueModel(argument)) {
        loaded.catalogue = true;
        loaded.model = entry->build(centre.value_or(Vec3{}));
        return loaded;
    }
    meter.Report(std::string("reading ") + argument, 0.0);
    vorlane::MeshReadResult read = vorlane::ReadMeshFile(argument);
    meter.Report(std::string("reading ") + argument, 1.0);
    if (!read.error.empty()) {
        loaded.error = read.error;
        return loaded;
    }
    // note: a mesh wound the other way round throughout is still the mesh.
    vorlane::OrientOutward(read.table);
    Vec3 chosen;
    if (centre) {
        chosen = *centre;
    } else {
        meter.Report(std::string("finding the centre of ") + argument, 0.0);
        const vorlane::KernelCentreResult found = vorlane::FindKernelCentre(read.table);
        meter.Report(std::string("finding the centre of ") + argument, 1.0);
        if (!found.error.empty()) {
            loaded.error = std::string(argument) + ": " + found.error;
            return loaded;
        }
        chosen = found.centre;
    }
    loaded.model = vorlane::BuildPolyhedron(read.table, chosen);
    return loaded;
}

bool IsModelArgument(const char* argument)
{
    vorlane::MeshFormat format{};
    return vorlane::FindCatalogueModel(argument) || vorlane::MeshFormatOfPath(argument, format);
}

int RunFileForm(const Arguments& arguments)
{
    if (arguments.positional.size() != 2)
        return Usage("expected SOURCE TARGET with -o, got " + std::to_string(arguments.positional.size()) +
                     " arguments");
    for (const char* argument : arguments.positional) {
        if (!IsModelArgument(argument))
            return BadName(std::string("'") + argument +
                           "' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl)");
    }
    const std::string output = arguments.output;
    vorlane::GltfContainer container{};
    vorlane::StepFormat stepFormat{};
    const bool gltf = vorlane::GltfContainerOfPath(output, container);
    if (!gltf && !vorlane::StepFormatOfPath(output, stepFormat))
        return BadName("cannot tell the output format of '" + output + "' (expected .glb, .gltf, .obj or .ply)");
    if (gltf && arguments.step) return Usage("--step applies to .obj and .ply output; glTF holds every step");

    vorlane::ProgressMeter meter(stderr, isatty(STDERR_FILENO) != 0);
    // note: the progress line is cleared first, so the message starts its own line.
    const auto fail = [&](const std::string& message) {
        meter.Finish();
        return Failure(message);
    };
    const char* sourceName = arguments.positional[0];
    const char* targetName = arguments.positional[1];
    LoadedModel source = Load(sourceName, arguments.sourceCentre, meter);
    if (!source.error.empty()) return fail(source.error);
    LoadedModel target = Load(targetName, arguments.targetCentre, meter);
    if (!target.error.empty()) return fail(target.error);

    vorlane::MorphMesh mesh;
    Summary summary;
    if (source.catalogue && target.catalogue && !arguments.robust) {
        mesh = vorlane::MergeTopologies(source.model, target.model);
        summary = Summary{source.model.crossingCount, mesh.vertexCount, vorlane::CountFoldedVertices(mesh),
                          mesh.edgeCount, mesh.faceCount};
    } else {
        vorlane::MeshMergeResult result = vorlane::MergeMeshes(
            source.model, target.model, [&](const char* phase, double fraction) { meter.Report(phase, fraction); });
        if (!result.error.empty()) return fail(result.error);
        summary = RobustSummary(result);
        mesh = std::move(result.mesh);
    }

    meter.Report("writing " + output, 0.0);
    const std::string written = gltf ? vorlane::WriteGltfMorph(mesh, output, container)
                                     : vorlane::WriteMeshAtStep(mesh, arguments.step.value_or(0), output, stepFormat);
    if (!written.empty()) return fail(written);
    meter.Finish();
    PrintSummary(sourceName, targetName, summary);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        Arguments arguments;
        const std::string problem = ParseArguments(argc, argv, arguments);
        if (!problem.empty()) return Usage(problem);
        return arguments.output ? RunFileForm(arguments) : RunCatalogueForm(arguments);
    } catch (const std::bad_alloc&) {
        return Failure("out of memory");
    }
}
