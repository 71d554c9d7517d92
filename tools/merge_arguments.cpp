#include "tools/merge_arguments.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "geometry/model_catalogue.h"
#include "geometry/morph_step.h"

namespace vorlane {

std::string MergeUsage()
{
    std::string names;
    for (const CatalogueEntry& entry : Catalogue()) {
        if (!names.empty()) names += ", ";
        names += entry.name;
    }
    return "usage: vorlane-merge SOURCE cx cy cz TARGET cx cy cz\n"
           "       vorlane-merge SOURCE TARGET -o OUT [--source-centre X Y Z] [--target-centre X Y Z]"
           " [--step K]\n"
           "  SOURCE, TARGET: one of " +
           names +
           "; in the second form also a mesh file\n"
           "    (.obj, .off, .ply, .stl), closed and star-shaped\n"
           "  cx cy cz: the model's centre\n"
           "  -o OUT: .glb or .gltf (the morph, animated), .obj or .ply (one step)\n"
           "  --source-centre, --target-centre: the centre to merge about; by default\n"
           "    the origin for catalogue models and the kernel's centre for files\n"
           "  --step K: the step written to .obj or .ply, 0 to " +
           std::to_string(MorphSteps) +
           " (default 0)\n"
           "  --robust: the merge for real meshes also for two catalogue models\n"
           "  --threads N: threads to use, 0 (the default) for every core\n"
           "  --compress: a smaller .glb or .gltf (meshopt compression; viewers need its decoder)\n";
}

bool ParseFloat(const char* text, float& value)
{
    char* end = nullptr;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

std::string ParseMergeArguments(int argc, char** argv, MergeArguments& arguments)
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
        } else if (option == "--compress") {
            arguments.compress = true;
        } else if (option == "--threads") {
            if (i + 1 >= argc) return "--threads needs a number";
            char* end = nullptr;
            const long threads = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || threads < 0 || threads > 1024)
                return std::string("--threads takes a whole number from 0 to 1024, not '") + argv[i] + "'";
            arguments.threads = static_cast<int>(threads);
        } else if (option == "--step") {
            if (i + 1 >= argc) return "--step needs a number";
            char* end = nullptr;
            const long step = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || step < 0 || step > MorphSteps)
                return std::string("--step takes a whole number from 0 to ") + std::to_string(MorphSteps) + ", not '" +
                       argv[i] + "'";
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

}  // namespace vorlane
