// The program when given arguments: a morph of the user's own in the window.
#pragma once

namespace vorlane {

// Parses the command line (usage on standard output for --help, status 0;
// usage errors on standard error, status 2), checks the display's OpenGL
// (why not on standard error, status 1), then shows the window until it
// closes (status 0) or a failed load's message is dismissed (status 1).
// Writes no file of its own; Ctrl+S saves frames.
int RunViewer(int argc, char** argv);

}  // namespace vorlane
