#include "app/gl_context_check.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLWidget>

#include "app/frame_view.h"

namespace vorlane {

namespace {

bool Below(GlVersion got, GlVersion needed)
{
    return got.major != needed.major ? got.major < needed.major : got.minor < needed.minor;
}

std::string VersionText(GlVersion version)
{
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

}  // namespace

GlProblem JudgeGlContext(const QSurfaceFormat& got, bool es, GlVersion needed)
{
    if (es || got.profile() == QSurfaceFormat::CoreProfile) return GlProblem::NoFixedFunction;
    if (Below(GlVersion{got.majorVersion(), got.minorVersion()}, needed)) return GlProblem::TooOld;
    return GlProblem::None;
}

GlContextCheck CheckGlContext(const QSurfaceFormat& format, GlVersion needed)
{
    GlContextCheck check;
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create()) {
        check.problem = GlProblem::NoContext;
        return check;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        check.problem = GlProblem::NotCurrent;
        return check;
    }
    const QSurfaceFormat got = context.format();
    check.got = GlVersion{got.majorVersion(), got.minorVersion()};
    check.es = context.isOpenGLES();
    check.problem = JudgeGlContext(got, check.es, needed);
    context.doneCurrent();
    return check;
}

std::string GlProblemText(const GlContextCheck& check, GlVersion needed)
{
    const std::string got = (check.es ? "OpenGL ES " : "OpenGL ") + VersionText(check.got);
    switch (check.problem) {
    case GlProblem::None: return {};
    case GlProblem::NoContext: return "the display gives no OpenGL context";
    case GlProblem::NotCurrent: return "the display's OpenGL context cannot be made current";
    case GlProblem::NoFixedFunction:
        return got + (check.es ? "" : " core profile") + " has no fixed-function drawing, which the window needs";
    case GlProblem::TooOld: return got + " is too old: the window needs " + VersionText(needed) + " or later";
    }
    return {};
}

std::string GlDisplayProblem(GlVersion needed)
{
    return GlProblemText(CheckGlContext(RequestedSurfaceFormat(), needed), needed);
}

std::string GlViewProblem(const QOpenGLWidget& view)
{
    if (view.isValid()) return {};
    return "this platform's windows take no OpenGL view";
}

}  // namespace vorlane
