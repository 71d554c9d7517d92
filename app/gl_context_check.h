// Whether the display gives the OpenGL the windows draw with, asked before
// the window's first paint: without it Qt's widgets crash there or show
// nothing.
#pragma once

#include <QSurfaceFormat>

#include <string>

class QOpenGLWidget;

namespace vorlane {

struct GlVersion {
    int major = 0;
    int minor = 0;
};

// The demo draws with display lists and immediate mode; the viewer's morphs
// come from buffer objects.
inline constexpr GlVersion DemoGlVersion{1, 1};
inline constexpr GlVersion ViewerGlVersion{1, 5};

enum class GlProblem {
    None,
    NoContext,        // the display gives no context of the format
    NotCurrent,       // one was made but cannot be made current
    NoFixedFunction,  // a core profile or OpenGL ES: no fixed-function drawing
    TooOld,           // below the version needed
};

struct GlContextCheck {
    GlProblem problem = GlProblem::None;
    GlVersion got;  // the context's version; 0.0 without one
    bool es = false;
};

// Judges a context of format got (OpenGL ES when es) against needed.
GlProblem JudgeGlContext(const QSurfaceFormat& got, bool es, GlVersion needed);

// Makes a context of format on an offscreen surface, makes it current and
// judges it against needed. Needs a QGuiApplication; leaves no context current.
GlContextCheck CheckGlContext(const QSurfaceFormat& format, GlVersion needed);

// Why the window cannot draw, in one line without the program's name
// ("OpenGL 1.1 is too old: the window needs 1.5 or later"); empty for None.
std::string GlProblemText(const GlContextCheck& check, GlVersion needed);

// CheckGlContext of the views' RequestedSurfaceFormat, as GlProblemText says
// it: empty when the display gives what the window needs.
std::string GlDisplayProblem(GlVersion needed);

// After the view's window is shown: empty when the view set up its context,
// otherwise why not (a platform whose windows take no OpenGL view).
std::string GlViewProblem(const QOpenGLWidget& view);

}  // namespace vorlane
