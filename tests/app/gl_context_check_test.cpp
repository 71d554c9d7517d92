// The check of the display's OpenGL, on a real context and by its verdicts.
#include "app/gl_context_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/frame_view.h"

namespace vorlane {
namespace {

// The display's own context is judged by its real version: an impossible
// need is refused naming it, the viewer's is met.
TEST(GlContextCheck, RealContextIsJudgedByItsVersion)
{
    const GlContextCheck met = CheckGlContext(RequestedSurfaceFormat(), ViewerGlVersion);
    EXPECT_EQ(met.problem, GlProblem::None);
    EXPECT_FALSE(met.es);
    EXPECT_GE(met.got.major * 100 + met.got.minor, 105);
    const GlContextCheck impossible = CheckGlContext(RequestedSurfaceFormat(), GlVersion{99, 0});
    EXPECT_EQ(impossible.problem, GlProblem::TooOld);
    EXPECT_EQ(impossible.got.major, met.got.major);
    EXPECT_EQ(impossible.got.minor, met.got.minor);
}

TEST(GlContextCheck, VerdictsAndTheirLines)
{
    struct Case {
        int major, minor;
        QSurfaceFormat::OpenGLContextProfile profile;
        bool es;
        GlVersion needed;
        GlProblem problem;
        std::string line;
    };
    const auto compatibility = QSurfaceFormat::CompatibilityProfile, none = QSurfaceFormat::NoProfile;
    const std::vector<Case> cases{
        {1, 5, none, false, {1, 5}, GlProblem::None, ""},
        {1, 4, none, false, {1, 5}, GlProblem::TooOld, "OpenGL 1.4 is too old: the window needs 1.5 or later"},
        {1, 10, none, false, {1, 5}, GlProblem::None, ""},  // minor by number, not by digits
        {2, 0, none, false, {1, 5}, GlProblem::None, ""},
        {0, 9, none, false, {1, 1}, GlProblem::TooOld, "OpenGL 0.9 is too old: the window needs 1.1 or later"},
        {4, 5, compatibility, false, {1, 5}, GlProblem::None, ""},
        {4, 1, QSurfaceFormat::CoreProfile, false, {1, 1}, GlProblem::NoFixedFunction,
         "OpenGL 4.1 core profile has no fixed-function drawing, which the window needs"},
        {3, 2, none, true, {1, 1}, GlProblem::NoFixedFunction,
         "OpenGL ES 3.2 has no fixed-function drawing, which the window needs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << (c.es ? " ES" : ""));
        QSurfaceFormat format;
        format.setVersion(c.major, c.minor);
        format.setProfile(c.profile);
        EXPECT_EQ(JudgeGlContext(format, c.es, c.needed), c.problem);
        EXPECT_EQ(GlProblemText(GlContextCheck{c.problem, {c.major, c.minor}, c.es}, c.needed), c.line);
    }
    EXPECT_EQ(GlProblemText(GlContextCheck{GlProblem::NoContext, {}, false}, ViewerGlVersion),
              "the display gives no OpenGL context");
}

}  // namespace
}  // namespace vorlane
