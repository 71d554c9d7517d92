#include "command_line/merge_arguments.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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
           " [--step K] [--literal]\n"
           "         [--max-triangles N] [--tolerance F]\n"
           "         [--embedding auto|central|spherical] [--landmarks FILE] [--holes fill|refuse]\n"
           "         [--weld DISTANCE] [--path linear|shape] [--targets K]\n"
           "       vorlane-merge --help\n"
           "  SOURCE, TARGET: one of " +
           names +
           "; in the second form also a mesh file\n"
           "    (.obj, .off, .ply, .stl, .gltf, .glb): one piece of genus 0 (no hole\n"
           "    through it); open seams are welded, holes filled, repeated triangles\n"
           "    dropped, edges of three or more triangles split, windings made to agree\n"
           "  cx cy cz: the model's centre\n"
           "  The first form merges as the demo does: it prints the counts and writes\n"
           "    the face lists facelist1.txt and facelist2.txt into the working\n"
           "    directory. The second writes OUT and nothing else.\n"
           "  -o OUT: .glb or .gltf (the morph, animated), .obj or .ply (one step); an\n"
           "    existing OUT is replaced by a new file with the same permissions (other\n"
           "    hard links keep the old contents); OUT must not be an input\n"
           "  --source-centre, --target-centre: the centre to merge about; by default\n"
           "    the origin for catalogue models and the kernel's centre for files\n"
           "  --step K: the step written to .obj or .ply, 0 to " +
           std::to_string(MorphSteps) +
           " (default 0)\n"
           "  --robust: the merge for real meshes, also for two catalogue models (the\n"
           "    default with -o)\n"
           "  --literal: with -o, the demo's merge for two catalogue models; a result\n"
           "    that is not closed is refused\n"
           "  --embedding: how a mesh file is mapped onto the sphere: central where it\n"
           "    is star-shaped about its centre, spherical (any genus-0 mesh) otherwise\n"
           "    (auto, the default), or always the one named\n"
           "  --landmarks FILE: lines 'SOURCE_VERTEX TARGET_VERTEX' (0-based, as the\n"
           "    files are read) whose vertices should meet: one or two fix the turn of\n"
           "    the target's sphere, three are met exactly, more as nearly as may be\n"
           "  --holes: fill (the default) closes each hole with a patch, left out of the\n"
           "    output where both shapes have a patch there; refuse refuses an open mesh\n"
           "  --weld DISTANCE: seam vertices this near (a fraction of the bounding box's\n"
           "    diagonal, 0 to 0.1) become one, at the first one's position\n"
           "  --threads N: threads to use, 0 (the default) for every core\n"
           "  --compress: a smaller .glb or .gltf (meshopt compression; viewers need its decoder)\n"
           "  --max-triangles N: simplify the morph to at most N triangles (N >= 4), both\n"
           "    ends watched\n"
           "  --tolerance F: simplify the morph as far as no collapse moves either end by\n"
           "    more than F of its bounding-box diagonal (0 keeps all but flat regions)\n"
           "  --path linear|shape: how the in-betweens walk: each vertex straight, or\n"
           "    turning and growing so the shape keeps (the default where an input is a\n"
           "    mesh file; two catalogue models walk straight)\n"
           "  --targets K: glTF morph targets along the shape path, 1 to 20 (default 8),\n"
           "    at steps 20 i / K, played one after another\n"
           "  --: ends the options, so a file name may start with '-'\n";
}

bool ParseFloat(const char* text, float& value)
{
    char* end = nullptr;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

std::string ParseMergeArguments(int argc, char** argv, MergeArguments& arguments)
{
    std::vector<std::string> seen;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool isOption = !optionsEnded && option.size() > 1 && option[0] == '-' &&
                              !std::isdigit(static_cast<unsigned char>(option[1])) && option[1] != '.';
        if (!isOption) {
            arguments.positional.push_back(argv[i]);
            continue;
        }
        if (option == "--") {
            optionsEnded = true;
            continue;
        }
        if (std::find(seen.begin(), seen.end(), option) != seen.end()) return option + " given twice";
        seen.push_back(option);
        if (option == "--help") {
            arguments.help = true;
            return {};
        } else if (option == "--robust" || option == "--literal") {
            (option == "--robust" ? arguments.robust : arguments.literal) = true;
            if (arguments.robust && arguments.literal) return "--robust and --literal exclude each other";
        } else if (option == "-o") {
            if (i + 1 >= argc) return "-o needs a file name";
            arguments.output = argv[++i];
        } else if (option == "--source-centre" || option == "--target-centre") {
            if (i + 3 >= argc) return option + " needs three numbers";
            Vec3 centre;
            float* coordinates[3] = {&centre.x, &centre.y, &centre.z};
            for (float* coordinate : coordinates) {
                if (!ParseFloat(argv[++i], *coordinate)) return std::string("'") + argv[i] + "' is not a number";
            }
            (option == "--source-centre" ? arguments.sourceCentre : arguments.targetCentre) = centre;
        } else if (option == "--path") {
            if (i + 1 >= argc) return "--path needs linear or shape";
            arguments.path = argv[++i];
            if (std::string(arguments.path) != "linear" && std::string(arguments.path) != "shape")
                return std::string("--path takes linear or shape, not '") + arguments.path + "'";
        } else if (option == "--targets" || option == "--step") {
            if (i + 1 >= argc) return option + " needs a number";
            const long low = option == "--targets" ? 1 : 0;
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || value < low || value > MorphSteps)
                return option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(MorphSteps) +
                       ", not '" + argv[i] + "'";
            (option == "--targets" ? arguments.targets : arguments.step) = static_cast<int>(value);
        } else if (option == "--embedding" || option == "--landmarks") {
            if (i + 1 >= argc) return option + (option == "--embedding" ? " needs auto, central or spherical" : " needs a file name");
            (option == "--embedding" ? arguments.embedding : arguments.landmarks) = argv[++i];
        } else if (option == "--holes") {
            if (i + 1 >= argc) return "--holes needs fill or refuse";
            arguments.holes = argv[++i];
        } else if (option == "--weld") {
            float weld = 0.0f;
            if (i + 1 >= argc) return "--weld needs a distance";
            if (!ParseFloat(argv[++i], weld) || weld < 0.0f || weld > 0.1f)
                return std::string("--weld takes a fraction of the diagonal from 0 to 0.1, not '") + argv[i] + "'";
            arguments.weld = weld;
        } else if (option == "--compress") {
            arguments.compress = true;
        } else if (option == "--threads") {
            if (i + 1 >= argc) return "--threads needs a number";
            char* end = nullptr;
            const long threads = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || threads < 0 || threads > 1024)
                return std::string("--threads takes a whole number from 0 to 1024, not '") + argv[i] + "'";
            arguments.threads = static_cast<int>(threads);
        } else if (option == "--max-triangles") {
            if (i + 1 >= argc) return "--max-triangles needs a number";
            char* end = nullptr;
            errno = 0;
            const long long count = std::strtoll(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || errno != 0 || count < 4 || count > (1LL << 40))
                return std::string("--max-triangles takes a whole number from 4, not '") + argv[i] + "'";
            arguments.maxTriangles = count;
        } else if (option == "--tolerance") {
            if (i + 1 >= argc) return "--tolerance needs a number";
            float tolerance = 0.0f;
            if (!ParseFloat(argv[++i], tolerance) || tolerance < 0.0f)
                return std::string("--tolerance takes a number from 0, not '") + argv[i] + "'";
            arguments.tolerance = tolerance;
        } else {
            return "unknown option '" + option + "'";
        }
    }
    return {};
}

}  // namespace vorlane
