// The real program, started as its own process on the display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "x11_close.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A start under the sanitizers, with every merge of the scene, can be slow.
constexpr auto StartTimeout = 90s;
constexpr auto ExitTimeout = 30s;
constexpr int TimedOut = -1;

std::string Capture(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 256> buffer;
        while (fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
        pclose(pipe);
    }
    return output;
}

// Runs the program in dir, its output going to files beside dir so that dir
// holds only what the program makes. Killed if a test leaves it running.
class Program {
public:
    Program(const fs::path& dir, bool withDisplay = true)
        : out_(dir.parent_path() / "program.out"), err_(dir.parent_path() / "program.err")
    {
        // Everything the child needs is prepared here: after fork it may only
        // make async-signal-safe calls.
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            if (withDisplay || std::strncmp(*entry, "DISPLAY=", 8) != 0) environment.emplace_back(*entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string path = VORLANE_PATH;
        char* argv[] = {path.data(), nullptr};
        const std::string directory = dir.string(), out = out_.string(), err = err_.string();

        pid_ = fork();
        if (pid_ == 0) {
            const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 || chdir(directory.c_str()) != 0)
                _exit(126);
            execve(argv[0], argv, envp.data());
            _exit(127);
        }
    }
    ~Program()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return pid_; }
    bool Running()
    {
        Poll();
        return !exited_;
    }

    // The exit status, 128 + the signal for a killed program, or TimedOut.
    int WaitForExit(std::chrono::milliseconds timeout = ExitTimeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!exited_ && std::chrono::steady_clock::now() < end) {
            Poll();
            if (!exited_) std::this_thread::sleep_for(20ms);
        }
        return exited_ ? status_ : TimedOut;
    }

    std::string Out() const { return vorlane::test::ReadFile(out_); }
    std::string Err() const { return vorlane::test::ReadFile(err_); }

    // Its visible top-level windows, by X id.
    std::vector<std::string> VisibleWindows(const std::string& name = "") const
    {
        std::string command = "xdotool search --onlyvisible --pid " + std::to_string(pid_);
        if (!name.empty()) command += " --name '" + name + "'";
        const std::string listed = Capture(command + " 2>/dev/null");
        std::vector<std::string> ids;
        size_t start = 0;
        for (size_t end; (end = listed.find('\n', start)) != std::string::npos; start = end + 1)
            ids.push_back(listed.substr(start, end - start));
        return ids;
    }

    // The main window once it is visible, or "" if it never shows.
    std::string WaitForMainWindow()
    {
        const auto end = std::chrono::steady_clock::now() + StartTimeout;
        while (Running() && std::chrono::steady_clock::now() < end) {
            const std::vector<std::string> ids = VisibleWindows("^Vorlane$");
            if (!ids.empty()) return ids.front();
            std::this_thread::sleep_for(50ms);
        }
        return "";
    }

private:
    void Poll()
    {
        int raw = 0;
        if (pid_ > 0 && !exited_ && waitpid(pid_, &raw, WNOHANG) == pid_) {
            exited_ = true;
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
    }

    fs::path out_;
    fs::path err_;
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

class ProgramTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directory(work)) << work; }

    vorlane::test::ScratchDirectory scratch;
    fs::path work = scratch.path() / "work";
};

int GeometryField(const std::string& info, const std::string& field)
{
    const size_t at = info.find(field);
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + field.size()));
}

TEST_F(ProgramTest, ShowsItsWindowEmptiesTempFileAndExitsThroughTheMenu)
{
    std::ofstream(work / "Temp.txt") << "left over from an earlier run\n";
    Program program(work);
    const std::string window = program.WaitForMainWindow();
    ASSERT_FALSE(window.empty()) << "no window; status " << program.WaitForExit(0ms) << "\n" << program.Err();

    EXPECT_EQ(Capture("xdotool getwindowname " + window), "Vorlane\n");
    const std::string info = Capture("xwininfo -id " + window);
    EXPECT_EQ(GeometryField(info, "Absolute upper-left X:"), 50) << info;
    EXPECT_EQ(GeometryField(info, "Absolute upper-left Y:"), 50);
    EXPECT_EQ(GeometryField(info, "Width:"), 800);
    EXPECT_EQ(GeometryField(info, "Height:"), 800);
    ASSERT_TRUE(fs::is_regular_file(work / "Temp.txt"));
    EXPECT_EQ(fs::file_size(work / "Temp.txt"), 0u) << "created or truncated, never written";
    EXPECT_EQ(program.VisibleWindows().size(), 1u);

    // Alt+F opens the File menu as a window of its own; X picks E&xit.
    Capture("xdotool windowfocus --sync " + window + " key --clearmodifiers alt+f");
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (program.VisibleWindows().size() < 2 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(50ms);
    ASSERT_EQ(program.VisibleWindows().size(), 2u) << "the File menu did not open";
    Capture("xdotool key x");
    EXPECT_EQ(program.WaitForExit(), 0) << program.Err();
    EXPECT_EQ(fs::file_size(work / "Temp.txt"), 0u);
}

TEST_F(ProgramTest, ClosingTheWindowExitsWithZero)
{
    Program program(work);
    const std::string window = program.WaitForMainWindow();
    ASSERT_FALSE(window.empty()) << program.Err();
    ASSERT_TRUE(vorlane::test::RequestWindowClose(std::stoul(window)));
    EXPECT_EQ(program.WaitForExit(), 0) << program.Err();
}

// "Temp.txt" as a directory cannot be opened for writing, even by root.
// Without a display as well, reaching Qt at all would abort the program, so
// status 1 and silence show it stopped before any window.
TEST_F(ProgramTest, WithoutItsTempFileItExitsWithOneSilentlyBeforeAnyWindow)
{
    fs::create_directory(work / "Temp.txt");
    for (bool withDisplay : {true, false}) {
        SCOPED_TRACE(withDisplay ? "on the display" : "without a display");
        Program program(work, withDisplay);
        EXPECT_EQ(program.WaitForExit(), 1);
        EXPECT_EQ(program.Out(), "");
        EXPECT_EQ(program.Err(), "");
        EXPECT_TRUE(fs::is_directory(work / "Temp.txt"));
    }
}

}  // namespace
