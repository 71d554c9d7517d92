#include <QApplication>
#include <QSurfaceFormat>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/frame_view.h"
#include "app/gl_context_check.h"
#include "app/main_window.h"
#include "app/viewer_main.h"
#include "files/output_file.h"

namespace {

bool Set(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

// Without a display Qt aborts while it builds the application; a platform
// chosen by variable or by -platform is left to Qt.
bool HasDisplay(int argc, char* argv[])
{
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1) return vorlane::RunViewer(argc, argv);  // a morph of the user's own, not the demo

    // First of all, and silently fatal: held open, and left empty, until the
    // process ends. A link, FIFO or device in its place counts as uncreatable.
    std::string reason;
    if (vorlane::OpenRegularFileForWriting("Temp.txt", reason) < 0) return 1;

    if (!HasDisplay(argc, argv)) {
        std::fputs("vorlane: no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n", stderr);
        return 1;
    }
    // Set before the application exists, so every context Qt shares with the
    // view's gets the same format.
    QSurfaceFormat::setDefaultFormat(vorlane::RequestedSurfaceFormat());
    QApplication application(argc, argv);
    if (const std::string problem = vorlane::GlDisplayProblem(vorlane::DemoGlVersion); !problem.empty()) {
        std::fprintf(stderr, "vorlane: %s\n", problem.c_str());
        return 1;
    }
    int status = 0;
    {
        vorlane::MainWindow window;
        window.show();
        // The view sets up its context as it is shown, before any paint.
        if (const std::string problem = vorlane::GlViewProblem(*window.view()); !problem.empty()) {
            std::fprintf(stderr, "vorlane: %s\n", problem.c_str());
            return 1;
        }
        status = application.exec();
    }  // the window, its context and its timer are gone before the exit status is returned
    return status;
}
