#include "app/viewer_main.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "app/frame_view.h"
#include "app/gl_context_check.h"
#include "app/morph_view.h"
#include "app/viewer_window.h"
#include "command_line/terminal_text.h"
#include "command_line/viewer_arguments.h"

namespace vorlane {

namespace {

constexpr int UsageStatus = 2;
constexpr int FailureStatus = 1;

// Qt aborts when it finds no display; say so plainly instead.
bool HasDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

}  // namespace

int RunViewer(int argc, char** argv)
{
    ViewerArguments arguments;
    const std::string problem = ParseViewerArguments(argc, argv, arguments);
    if (!problem.empty()) {
        std::fprintf(stderr, "vorlane: %s\n%s", EscapeControls(problem).c_str(), ViewerUsage().c_str());
        return UsageStatus;
    }
    if (arguments.help) {
        std::fputs(ViewerUsage().c_str(), stdout);
        return 0;
    }
    if (!HasDisplay()) {
        std::fputs("vorlane: no display to show the window on (DISPLAY is not set)\n", stderr);
        return FailureStatus;
    }
    try {
        QSurfaceFormat::setDefaultFormat(RequestedSurfaceFormat());
        QApplication application(argc, argv);
        if (const std::string gl = GlDisplayProblem(ViewerGlVersion); !gl.empty()) {
            std::fprintf(stderr, "vorlane: %s\n", gl.c_str());
            return FailureStatus;
        }
        // The window says when the program is done, and with which status.
        QApplication::setQuitOnLastWindowClosed(false);
        ViewerWindow window(arguments.input);
        QObject::connect(&window, &ViewerWindow::finished, &application,
                         [](int status) { QCoreApplication::exit(status); });
        window.show();
        // The view sets up its context as it is shown, before any paint.
        if (const std::string gl = GlViewProblem(*window.view()); !gl.empty()) {
            std::fprintf(stderr, "vorlane: %s\n", gl.c_str());
            return FailureStatus;
        }
        window.StartLoading();
        return application.exec();
    } catch (const std::bad_alloc&) {
        std::fputs("vorlane: out of memory\n", stderr);
        return FailureStatus;
    }
}

}  // namespace vorlane
