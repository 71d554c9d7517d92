// The command line of the window when it shows a morph of the user's own,
// and the names it gives that morph. No Qt.
#pragma once

#include <string>

#include "pipeline/morph_job.h"

namespace vorlane {

// What the window shows: a morph file to play, or a pair to merge.
struct ViewerInput {
    std::string morphFile;  // a .glb or .gltf written by vorlane-merge; empty for a pair
    MorphRequest request;   // the pair and its merge options when morphFile is empty
};

struct ViewerArguments {
    bool help = false;
    ViewerInput input;
};

// Reads SOURCE TARGET [merge options] or MORPH.glb, the options through
// vorlane-merge's own parser (minus -o and --step, which only write files).
// Returns an empty string or what is wrong with the command line.
std::string ParseViewerArguments(int argc, char** argv, ViewerArguments& arguments);

// The usage text.
std::string ViewerUsage();

// "Vorlane: SOURCE to TARGET" or "Vorlane: MORPH.glb", file names without
// their folders and with their control characters escaped.
std::string ViewerTitle(const ViewerInput& input);

// "vorlane-SOURCE-TARGET-stepKK.png" (or "vorlane-MORPH-stepKK.png"): the
// inputs' base names without extension, every character but letters, digits,
// '-' and '_' made '_', an empty name made "morph"; step in two digits.
std::string SnapshotFileName(const ViewerInput& input, int step);

}  // namespace vorlane
