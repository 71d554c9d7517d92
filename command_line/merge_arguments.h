// The command line of vorlane-merge.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

struct MergeArguments {
    std::vector<const char*> positional;
    bool help = false;
    bool robust = false;
    bool literal = false;
    const char* output = nullptr;
    std::optional<Vec3> sourceCentre;
    std::optional<Vec3> targetCentre;
    std::optional<int> step;
    const char* embedding = nullptr;  // auto, central or spherical
    const char* landmarks = nullptr;  // a file of vertex pairs
    int threads = 0;  // 0: every core
    bool compress = false;
    std::optional<long long> maxTriangles;  // simplify to at most this many triangles
    std::optional<float> tolerance;         // simplify within this share of each end's diagonal
    const char* holes = nullptr;  // fill or refuse
    std::optional<float> weld;    // a fraction of the bounding box's diagonal
    const char* path = nullptr;  // linear or shape
    std::optional<int> targets;  // glTF morph targets along the shape path
};

// Reads the options out of argv and keeps the rest in order, all of it after
// "--"; stops at --help. An option given twice, or --robust with --literal,
// is wrong. Returns an empty string or what is wrong.
std::string ParseMergeArguments(int argc, char** argv, MergeArguments& arguments);

// A whole finite float, as a command line spells it.
bool ParseFloat(const char* text, float& value);

// The usage text, naming the built-in models.
std::string MergeUsage();

}  // namespace vorlane
