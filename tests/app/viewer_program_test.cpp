// The real program showing a morph of the user's own, as its own process.
#include <QProcess>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <string>
#include <thread>

#include "bench/mesh_generator.h"
#include "app_test_support.h"
#include "test_support.h"
#include "x11_close.h"

namespace {

namespace fs = std::filesystem;
using vorlane::test::Capture;
using vorlane::test::WaitUntil;
using vorlane::test::WriteOff;

class ViewerProgramTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directory(work)); }
    void TearDown() override
    {
        program.kill();
        program.waitForFinished();
    }

    void Start(const QStringList& arguments)
    {
        program.setWorkingDirectory(QString::fromStdString(work.string()));
        program.start(QStringLiteral(VORLANE_PATH), arguments);
        ASSERT_TRUE(program.waitForStarted());
    }

    // The ids of the process's visible windows once there are count of them.
    QStringList Windows(int count)
    {
        QStringList ids;
        const std::string command = "xdotool search --onlyvisible --pid " + std::to_string(program.processId()) + " 2>/dev/null";
        WaitUntil([&] {
            ids = QString::fromStdString(Capture(command)).split('\n', Qt::SkipEmptyParts);
            return program.state() != QProcess::Running || ids.size() >= count;
        }, 90000);
        return ids;
    }

    int ExitStatus(int timeoutMs = 30000)
    {
        if (!program.waitForFinished(timeoutMs) || program.exitStatus() != QProcess::NormalExit) return -1;
        return program.exitCode();
    }

    std::vector<std::string> WorkFiles()
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    vorlane::test::ScratchDirectory scratch;
    fs::path work = scratch.path() / "work";
    QProcess program;
};

// The demo's merge of two built-in models, in the window: no Temp.txt, no dumps.
TEST_F(ViewerProgramTest, BuiltInPairIsTitledAfterItsInputsAndWritesNothing)
{
    Start({"cube", "icosahedron"});
    const QStringList windows = Windows(1);
    ASSERT_EQ(windows.size(), 1) << program.readAllStandardError().toStdString();
    EXPECT_EQ(Capture("xdotool getwindowname " + windows.front().toStdString()), "Vorlane: cube to icosahedron\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(vorlane::test::RequestWindowClose(windows.front().toULong()));
    EXPECT_EQ(ExitStatus(), 0);
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{});
}

TEST_F(ViewerProgramTest, BadFileShowsItsReasonThenExitsWithOneLeavingNoWindow)
{
    std::ofstream(work / "bad.off") << "OFF\n3 1 0\n0 0 0\n";
    Start({"bad.off", "cube"});
    const QStringList windows = Windows(2);  // the window and its message
    ASSERT_EQ(windows.size(), 2) << program.readAllStandardError().toStdString();
    Capture("xdotool windowfocus --sync " + windows.back().toStdString() + " key Return");
    EXPECT_EQ(ExitStatus(), 1);
    const std::string errors = program.readAllStandardError().toStdString();
    EXPECT_NE(errors.find("vorlane: bad.off: truncated"), std::string::npos) << errors;
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"bad.off"});
}

TEST_F(ViewerProgramTest, ClosingDuringALongMergeExitsWithZeroPromptly)
{
    WriteOff(work / "big.off", vorlane::Icosphere(7, 1.0f));
    WriteOff(work / "bigger.off", vorlane::CubeSphere(170, 1.0f));
    Start({"big.off", "bigger.off", "--source-centre", "0", "0", "0", "--target-centre", "0", "0", "0"});
    const QStringList windows = Windows(1);
    ASSERT_EQ(windows.size(), 1) << program.readAllStandardError().toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(program.state(), QProcess::Running);
    const auto closed = std::chrono::steady_clock::now();
    ASSERT_TRUE(vorlane::test::RequestWindowClose(windows.front().toULong()));
    EXPECT_EQ(ExitStatus(), 0) << program.readAllStandardError().toStdString();
    // note: the load stops at its next progress report, so the running phase
    // finishes first: under half a second here, more on a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(8));
    EXPECT_EQ(program.readAllStandardError().toStdString().find("vorlane:"), std::string::npos);
}

TEST_F(ViewerProgramTest, HelpPrintsTheUsageWithStatusZero)
{
    Start({"--help"});
    EXPECT_EQ(ExitStatus(), 0);
    EXPECT_EQ(program.readAllStandardOutput().toStdString().rfind("usage: vorlane", 0), 0u);
}

}  // namespace
