#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool in the current (scratch) directory.
ToolRun RunMerge(const std::string& arguments)
{
    const std::string command =
        std::string("'") + VORLANE_MERGE_PATH + "' " + arguments + " > ../merge.out 2> ../merge.err";
    const int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, vorlane::test::ReadFile("../merge.out"),
            vorlane::test::ReadFile("../merge.err")};
    std::filesystem::remove("../merge.out");
    std::filesystem::remove("../merge.err");
    return run;
}

class VorlaneMerge : public testing::Test {
protected:
    // The outputs go beside the scratch directory so it holds only what the tool writes.
    vorlane::test::ScratchDirectory outer;
    std::filesystem::path inner = outer.path() / "work";
    void SetUp() override
    {
        std::filesystem::create_directory(inner);
        std::filesystem::current_path(inner);
    }
};

TEST_F(VorlaneMerge, ScenePairPrintsItsSummaryAndLeavesTheDumps)
{
    const ToolRun run = RunMerge("icosahedron 0 0 0 cube 0 0 0");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "source icosahedron target cube crossings 53 vertices 73 folded 18 edges 121 faces 106\n");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::filesystem::exists("facelist1.txt"));
    const std::string triangles = vorlane::test::ReadFile("facelist2.txt");
    EXPECT_NE(triangles.find("Face 105: \t"), std::string::npos);
    EXPECT_EQ(triangles.find("Face 106: "), std::string::npos);
}

TEST_F(VorlaneMerge, CentresAreParsedAsNumbers)
{
    const ToolRun run = RunMerge("cube 20 20 20 icosahedron -10 -10 -10");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "source cube target icosahedron crossings 28 vertices 48 folded 0 edges 104 faces 98\n");
}

TEST_F(VorlaneMerge, BadArgumentsGetUsageAndStatusTwoAndWriteNothing)
{
    const struct {
        const char* arguments;
        const char* says;
    } cases[] = {
        {"", "expected 8 arguments"},
        {"cube 0 0 0 box 0 0", "expected 8 arguments"},
        {"cube 0 0 0 box 0 0 0 extra", "expected 8 arguments"},
        {"dodecahedron 0 0 0 box 0 0 0", "unknown model 'dodecahedron'"},
        {"cube 0 0 0 Box 0 0 0", "unknown model 'Box'"},
        {"cube 0 x 0 box 0 0 0", "'x' is not a number"},
        {"cube 0 0 0 box 0 0 1.5e", "'1.5e' is not a number"},
        {"cube 0 0 nan box 0 0 0", "'nan' is not a number"},
        {"cube 0 0 0 box 0 0 1e99", "'1e99' is not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = RunMerge(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: vorlane-merge SOURCE cx cy cz TARGET cx cy cz"), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
    }
}

}  // namespace
