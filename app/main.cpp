#include <QApplication>
#include <QSurfaceFormat>

#include <cstdio>

#include "app/frame_view.h"
#include "app/main_window.h"
#include "app/viewer_main.h"

int main(int argc, char* argv[])
{
    if (argc > 1) return vorlane::RunViewer(argc, argv);  // a morph of the user's own, not the demo

    // First of all, and silently fatal: held open, and left empty, until the
    // process ends.
    std::FILE* diagnostic = std::fopen("Temp.txt", "w");
    if (!diagnostic) return 1;

    // Set before the application exists, so every context Qt shares with the
    // view's gets the same format.
    QSurfaceFormat::setDefaultFormat(vorlane::RequestedSurfaceFormat());
    QApplication application(argc, argv);
    int status = 0;
    {
        vorlane::MainWindow window;
        window.show();
        status = application.exec();
    }  // the window, its context and its timer are gone before the exit status is returned
    return status;
}
