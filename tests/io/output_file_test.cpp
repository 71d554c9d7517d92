#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/output_file.h"
#include "io/gltf_writer.h"
#include "io/mesh_writer.h"
#include "io/output_tests.h"
#include "test_support.h"

namespace {

using vorlane::MorphMesh;
using vorlane::test::RunShell;
using vorlane::test::TopologyMerge;

TEST(OutputFile, AppearsWholeOrNotAtAll)
{
    vorlane::test::ScratchDirectory scratch;
    std::filesystem::create_directory("folder");
    const auto writeHello = [](std::FILE* file) {
        std::fputs("hello", file);
        return std::string();
    };
    const auto failHalfway = [](std::FILE* file) {
        std::fputs("hel", file);
        return std::string("disk full");
    };
    EXPECT_EQ(vorlane::WriteFileAtomically("half.txt", failHalfway), "half.txt: disk full");
    EXPECT_EQ(vorlane::WriteFileAtomically("folder", writeHello), "folder: is a directory");
    EXPECT_EQ(vorlane::WriteFileAtomically("missing/out.txt", writeHello).rfind("missing/out.txt: cannot create", 0), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 1);

    std::ofstream("old.txt") << "old contents";
    EXPECT_EQ(vorlane::WriteFileAtomically("old.txt", failHalfway), "old.txt: disk full");
    EXPECT_EQ(vorlane::test::ReadFile("old.txt"), "old contents");
    ASSERT_EQ(vorlane::WriteFileAtomically("old.txt", writeHello), "");
    EXPECT_EQ(vorlane::test::ReadFile("old.txt"), "hello");
    const mode_t mask = umask(0);
    umask(mask);
    struct stat status {};
    ASSERT_EQ(stat("old.txt", &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 2);
}

std::string WriteHello(std::FILE* file)
{
    std::fputs("hello", file);
    return {};
}

// A FIFO, link or device where a file is written: refused at once, and what
// a link points to is neither changed nor created.
TEST(OutputFile, RefusesFifosLinksAndDevicesWithoutWaitingOrFollowing)
{
    vorlane::test::ScratchDirectory scratch;
    std::ofstream("other.txt") << "keep";
    ASSERT_TRUE(mkfifo("fifo", 0600) == 0 && symlink("other.txt", "link") == 0 && symlink("none", "dangling") == 0);
    const char* link = "is a symbolic link, which is not followed";
    const char* cases[][2] = {{"fifo", "is a FIFO, not a regular file"}, {"link", link}, {"dangling", link},
                              {"/dev/null", "is a device, not a regular file"}};
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_EQ(vorlane::OpenRegularFileForWriting(c[0], reason), -1);
        EXPECT_EQ(reason, c[1]);
        EXPECT_EQ(vorlane::WriteFileAtomically(c[0], WriteHello), std::string(c[0]) + ": " + c[1]);
    }
    EXPECT_EQ(vorlane::test::ReadFile("other.txt"), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 4);
}

// An overwritten file keeps its permissions; a name at the length limit
// still finds room for its temporary file.
TEST(OutputFile, KeepsPermissionsAndTakesNamesAtTheLimit)
{
    vorlane::test::ScratchDirectory scratch;
    for (const mode_t mode : {0600, 0640, 0755}) {
        std::ofstream("old.obj") << "old";
        ASSERT_EQ(chmod("old.obj", mode), 0);
        ASSERT_EQ(vorlane::WriteFileAtomically("old.obj", WriteHello), "");
        struct stat status {};
        ASSERT_EQ(stat("old.obj", &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode);
    }
    const std::string longName = std::string(246, 'n') + ".obj";
    EXPECT_EQ(vorlane::WriteFileAtomically(longName, WriteHello), "");
    EXPECT_EQ(vorlane::test::ReadFile(longName), "hello");
}

// Whatever ends the writer halfway, a kill included, nothing of the file is
// left where the user looks.
TEST(OutputFile, SignalsWhileWritingRemoveTheTemporaryFile)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGPIPE, SIGKILL}) {
        SCOPED_TRACE(signal);
        vorlane::test::ScratchDirectory scratch;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            if (signal != SIGKILL) std::signal(signal, SIG_DFL);
            vorlane::WriteFileAtomically("out.glb", [&](std::FILE* file) {
                std::fputs("half", file);
                std::fflush(file);
                raise(signal);
                return std::string();
            });
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
    }
}

// Every writer past the size limit says why and leaves nothing, where the
// limit's signal used to end it silently with a partial file beside the
// output.
TEST(OutputFile, SizeLimitGivesTheReason)
{
    vorlane::test::ScratchDirectory scratch;
    const MorphMesh mesh = TopologyMerge();
    std::filesystem::create_directory("out");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit small{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &small);
        int told = 0;
        for (const char* path : {"out/o.glb", "out/o.gltf", "out/o.ply"}) {
            vorlane::GltfContainer container{};
            const std::string message = vorlane::GltfContainerOfPath(path, container)
                                            ? vorlane::WriteGltfMorph(mesh, path, container)
                                            : vorlane::WriteMeshAtStep(mesh, 0, path, vorlane::StepFormat::Ply);
            told += message.rfind(std::string(path) + ": ", 0) == 0 && message.find(": File too large") != std::string::npos;
        }
        _exit(told == 3 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(std::filesystem::is_empty("out"));
}

// Every writer on a full disk says why, and leaves nothing behind.
TEST(OutputFile, FullDiskGivesTheSystemsReason)
{
    vorlane::test::ScratchDirectory scratch;
    std::filesystem::create_directory("small");
    if (RunShell("mount -t tmpfs -o size=64k tmpfs small 2> /dev/null") != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
    std::ofstream("small/filler", std::ios::binary) << std::string(64 * 1024, 'x');
    const MorphMesh mesh = TopologyMerge();
    for (const char* path : {"small/o.glb", "small/o.gltf", "small/o.ply"}) {
        SCOPED_TRACE(path);
        vorlane::GltfContainer container{};
        const std::string message = vorlane::GltfContainerOfPath(path, container)
                                        ? vorlane::WriteGltfMorph(mesh, path, container)
                                        : vorlane::WriteMeshAtStep(mesh, 0, path, vorlane::StepFormat::Ply);
        EXPECT_NE(message.find(": No space left on device"), std::string::npos) << message;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("small"), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(RunShell("umount small"), 0);
}

}  // namespace
