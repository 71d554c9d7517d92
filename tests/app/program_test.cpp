// The real program, started as its own process on the display.
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app_test_support.h"
#include "test_support.h"
#include "x11_close.h"

namespace {

namespace fs = std::filesystem;
using vorlane::test::Capture;
using vorlane::test::WaitUntil;

// A start under the sanitizers, with every merge of the scene, can be slow.
constexpr int StartTimeoutMs = 90000;
constexpr int ExitTimeoutMs = 30000;

// The process's visible top-level windows, as xdotool lists them.
QStringList VisibleWindows(const QProcess& program, const std::string& name = "")
{
    std::string command = "xdotool search --onlyvisible --pid " + std::to_string(program.processId());
    if (!name.empty()) command += " --name '" + name + "'";
    return QString::fromStdString(Capture(command + " 2>/dev/null")).split('\n', Qt::SkipEmptyParts);
}

class ProgramTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directory(work)); }
    void TearDown() override
    {
        program.kill();
        program.waitForFinished();
    }

    void Start(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               const QStringList& arguments = {})
    {
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(work.string()));
        program.start(QStringLiteral(VORLANE_PATH), arguments);
        ASSERT_TRUE(program.waitForStarted());
    }

    // The main window's X id once it is visible, or "" if it never shows.
    std::string MainWindowId()
    {
        QStringList ids;
        WaitUntil([&] { return program.state() != QProcess::Running || !(ids = VisibleWindows(program, "^Vorlane$")).isEmpty(); },
                  StartTimeoutMs);
        return ids.isEmpty() ? std::string() : ids.front().toStdString();
    }

    // The exit status, or -1 if it did not end normally in time.
    int ExitStatus()
    {
        if (!program.waitForFinished(ExitTimeoutMs) || program.exitStatus() != QProcess::NormalExit) return -1;
        return program.exitCode();
    }

    vorlane::test::ScratchDirectory scratch;
    fs::path work = scratch.path() / "work";
    QProcess program;
};

int GeometryField(const std::string& info, const std::string& field)
{
    const size_t at = info.find(field);
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + field.size()));
}

TEST_F(ProgramTest, ShowsItsWindowEmptiesTempFileAndExitsThroughTheMenu)
{
    std::ofstream(work / "Temp.txt") << "left over from an earlier run\n";
    Start();
    const std::string window = MainWindowId();
    ASSERT_FALSE(window.empty()) << program.readAllStandardError().toStdString();

    EXPECT_EQ(Capture("xdotool getwindowname " + window), "Vorlane\n");
    const std::string info = Capture("xwininfo -id " + window);
    EXPECT_EQ(GeometryField(info, "Absolute upper-left X:"), 50) << info;
    EXPECT_EQ(GeometryField(info, "Absolute upper-left Y:"), 50);
    EXPECT_EQ(GeometryField(info, "Width:"), 800);
    EXPECT_EQ(GeometryField(info, "Height:"), 800);
    ASSERT_TRUE(fs::is_regular_file(work / "Temp.txt"));
    EXPECT_EQ(fs::file_size(work / "Temp.txt"), 0u) << "created or truncated, never written";

    // Alt+F opens the File menu as a window of its own; X picks E&xit.
    Capture("xdotool windowfocus --sync " + window + " key --clearmodifiers alt+f");
    ASSERT_TRUE(WaitUntil([&] { return VisibleWindows(program).size() == 2; }, 20000)) << "no File menu";
    Capture("xdotool key x");
    EXPECT_EQ(ExitStatus(), 0) << program.readAllStandardError().toStdString();
    EXPECT_EQ(fs::file_size(work / "Temp.txt"), 0u);
}

TEST_F(ProgramTest, ClosingTheWindowExitsWithZero)
{
    Start();
    const std::string window = MainWindowId();
    ASSERT_FALSE(window.empty()) << program.readAllStandardError().toStdString();
    ASSERT_TRUE(vorlane::test::RequestWindowClose(std::stoul(window)));
    EXPECT_EQ(ExitStatus(), 0) << program.readAllStandardError().toStdString();
}

// "Temp.txt" as a directory cannot be opened for writing, even by root.
// Without a display as well, reaching Qt at all would abort the program, so
// status 1 and silence show it stopped before any window.
TEST_F(ProgramTest, WithoutItsTempFileItExitsWithOneSilentlyBeforeAnyWindow)
{
    fs::create_directory(work / "Temp.txt");
    QProcessEnvironment withoutDisplay = QProcessEnvironment::systemEnvironment();
    withoutDisplay.remove(QStringLiteral("DISPLAY"));
    for (const QProcessEnvironment& environment : {QProcessEnvironment::systemEnvironment(), withoutDisplay}) {
        SCOPED_TRACE(environment.contains(QStringLiteral("DISPLAY")) ? "on the display" : "without a display");
        Start(environment);
        EXPECT_EQ(ExitStatus(), 1);
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), "");
        EXPECT_EQ(program.readAllStandardError().toStdString(), "");
        EXPECT_TRUE(fs::is_directory(work / "Temp.txt"));
    }
}

// A FIFO or a link as Temp.txt counts as a file it cannot create: never
// waited on, nothing written through the link, status 1 before any window.
TEST_F(ProgramTest, TempFileAsAFifoOrALinkIsRefusedAtOnce)
{
    std::ofstream(scratch.path() / "other.txt") << "keep";
    for (const char* kind : {"fifo", "link", "dangling link"}) {
        SCOPED_TRACE(kind);
        const fs::path temp = work / "Temp.txt";
        if (std::string(kind) == "fifo") ASSERT_EQ(mkfifo(temp.c_str(), 0600), 0);
        else fs::create_symlink(std::string(kind) == "link" ? "../other.txt" : "../nowhere.txt", temp);
        Start();
        EXPECT_EQ(ExitStatus(), 1);
        EXPECT_EQ(program.readAllStandardError().toStdString(), "");
        EXPECT_EQ(vorlane::test::ReadFile(scratch.path() / "other.txt"), "keep");
        EXPECT_FALSE(fs::exists(scratch.path() / "nowhere.txt"));
        fs::remove(temp);
    }
}

// Qt would abort inside QApplication; the program says why in one line.
TEST_F(ProgramTest, WithoutADisplayItSaysSoAndExitsWithOne)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QString(name));
    Start(environment);
    EXPECT_EQ(ExitStatus(), 1);
    const std::string error = program.readAllStandardError().toStdString();
    EXPECT_EQ(error.rfind("vorlane: no display", 0), 0u) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1);
}

// Without the OpenGL its window draws with, Qt would crash at the first paint
// or show nothing: each program says why in one line and exits with 1. The
// demo needs OpenGL 1.1, the viewer's buffer objects 1.5.
TEST_F(ProgramTest, WithoutTheOpenGLItDrawsWithItSaysWhyAndExitsWithOne)
{
    struct Case {
        const char* variable;
        const char* value;
        QStringList arguments;
        std::string line;  // empty: the window shows
    };
    const QStringList viewer{"cube", "icosahedron"};
    const std::vector<Case> cases{
        {"QT_XCB_GL_INTEGRATION", "none", {}, "vorlane: the display gives no OpenGL context"},
        {"LIBGL_ALWAYS_INDIRECT", "1", viewer, "vorlane: the display gives no OpenGL context"},
        {"QT_QPA_PLATFORM", "offscreen", {}, "vorlane: this platform's windows take no OpenGL view"},
        {"QT_QPA_PLATFORM", "offscreen", viewer, "vorlane: this platform's windows take no OpenGL view"},
        {"MESA_GL_VERSION_OVERRIDE", "1.0", {}, "vorlane: OpenGL 1.0 is too old: the window needs 1.1 or later"},
        {"MESA_GL_VERSION_OVERRIDE", "1.1", viewer, "vorlane: OpenGL 1.1 is too old: the window needs 1.5 or later"},
        {"MESA_GL_VERSION_OVERRIDE", "1.1", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + "=" + c.value + (c.arguments.isEmpty() ? " demo" : " viewer"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString(c.variable), QString(c.value));
        Start(environment, c.arguments);
        if (c.line.empty()) {
            const std::string window = MainWindowId();
            ASSERT_FALSE(window.empty()) << program.readAllStandardError().toStdString();
            ASSERT_TRUE(vorlane::test::RequestWindowClose(std::stoul(window)));
            EXPECT_EQ(ExitStatus(), 0);
            continue;
        }
        EXPECT_EQ(ExitStatus(), 1);
        // Qt may say what it could not do first; the program's line is the last.
        const std::string error = program.readAllStandardError().toStdString();
        const size_t last = error.rfind('\n', error.size() - 2);
        EXPECT_EQ(error.substr(last == std::string::npos ? 0 : last + 1), c.line + "\n") << error;
        EXPECT_EQ(error.find("vorlane:"), error.rfind("vorlane:")) << error;
    }
}

}  // namespace
