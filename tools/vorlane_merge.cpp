// vorlane-merge: one merge of two catalogue models, without a window.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "geometry/model_catalogue.h"
#include "morph/merge_topologies.h"

namespace {

using vorlane::Vec3;

void PrintUsage()
{
    std::string names;
    for (const vorlane::CatalogueEntry& entry : vorlane::Catalogue()) {
        if (!names.empty()) names += ", ";
        names += entry.name;
    }
    std::fprintf(stderr,
                 "usage: vorlane-merge SOURCE cx cy cz TARGET cx cy cz\n"
                 "  SOURCE, TARGET: one of %s\n"
                 "  cx cy cz: the model's centre\n",
                 names.c_str());
}

bool ParseFloat(const char* text, float& value)
{
    char* end = nullptr;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

struct ModelArgument {
    const vorlane::CatalogueEntry* entry = nullptr;
    Vec3 centre;
};

// Reads NAME cx cy cz from argv[first..first+3]; prints what is wrong.
bool ParseModel(char** argv, int first, ModelArgument& model)
{
    model.entry = vorlane::FindCatalogueModel(argv[first]);
    if (!model.entry) {
        std::fprintf(stderr, "vorlane-merge: unknown model '%s'\n", argv[first]);
        return false;
    }
    float* coordinates[3] = {&model.centre.x, &model.centre.y, &model.centre.z};
    for (int i = 0; i < 3; ++i) {
        if (!ParseFloat(argv[first + 1 + i], *coordinates[i])) {
            std::fprintf(stderr, "vorlane-merge: '%s' is not a number\n", argv[first + 1 + i]);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    ModelArgument source;
    ModelArgument target;
    if (argc != 9) {
        std::fprintf(stderr, "vorlane-merge: expected 8 arguments, got %d\n", argc - 1);
        PrintUsage();
        return 2;
    }
    if (!ParseModel(argv, 1, source) || !ParseModel(argv, 5, target)) {
        PrintUsage();
        return 2;
    }

    vorlane::Polyhedron sourceModel = source.entry->build(source.centre);
    vorlane::Polyhedron targetModel = target.entry->build(target.centre);
    const vorlane::MorphMesh mesh = vorlane::MergeTopologies(sourceModel, targetModel);
    std::printf("source %s target %s crossings %d vertices %d folded %d edges %d faces %d\n", source.entry->name,
                target.entry->name, sourceModel.crossingCount, mesh.vertexCount, vorlane::CountFoldedVertices(mesh),
                mesh.edgeCount, mesh.faceCount);
    return 0;
}
