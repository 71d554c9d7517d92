// The window's command line and the names it gives a morph.
#include "command_line/viewer_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorlane {
namespace {

std::string Parse(std::vector<std::string> words, ViewerArguments& arguments)
{
    words.insert(words.begin(), "vorlane");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return ParseViewerArguments(static_cast<int>(argv.size()), argv.data(), arguments);
}

TEST(ViewerArguments, PairsMorphFilesAndWhatIsRefused)
{
    const struct {
        std::vector<std::string> words;
        const char* problem;  // a part of the message, "" for none
        const char* morphFile;
        const char* source;
    } cases[] = {
        {{"a.off", "b.ply"}, "", "", "a.off"},
        {{"cube", "--robust", "icosahedron", "--source-centre", "1", "2", "3"}, "", "", "cube"},
        {{"morph.glb"}, "", "morph.glb", ""},
        {{"MORPH.GLTF"}, "", "MORPH.GLTF", ""},
        {{"morph.glb", "--robust"}, "merged already", "", ""},
        {{"a.off"}, "got 1", "", ""},
        {{"a.off", "b.off", "c.off"}, "got 3", "", ""},
        {{"a.off", "b.off", "-o", "out.glb"}, "vorlane-merge", "", ""},
        {{"a.off", "b.off", "--step", "3"}, "vorlane-merge", "", ""},
        {{"a.off", "b.off", "--frobnicate"}, "unknown option", "", ""},
        {{"a.off", "b.off", "--target-centre", "1", "x", "3"}, "not a number", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.front() + " ... (" + std::to_string(c.words.size()) + " words)");
        ViewerArguments arguments;
        const std::string problem = Parse(c.words, arguments);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(problem.empty(), std::string(c.problem).empty()) << problem;
        if (!problem.empty()) continue;
        EXPECT_EQ(arguments.input.morphFile, c.morphFile);
        EXPECT_EQ(arguments.input.request.source, c.source);
    }
    ViewerArguments help;
    EXPECT_EQ(Parse({"a.off", "--help", "--frobnicate"}, help), "");
    EXPECT_TRUE(help.help);
}

TEST(ViewerArguments, TitleAndSnapshotNameUseBaseNamesOfSafeCharacters)
{
    ViewerInput pair;
    pair.request.source = "/data/my rock.v2.ply";
    pair.request.target = "cube";
    EXPECT_EQ(ViewerTitle(pair), "Vorlane: my rock.v2.ply to cube");
    EXPECT_EQ(SnapshotFileName(pair, 7), "vorlane-my_rock_v2-cube-step07.png");
    ViewerInput morph;
    morph.morphFile = "../out/../é.glb";
    EXPECT_EQ(ViewerTitle(morph), "Vorlane: é.glb");
    EXPECT_EQ(SnapshotFileName(morph, 20), "vorlane-__-step20.png");
    morph.morphFile = "dir/.glb";
    EXPECT_EQ(SnapshotFileName(morph, 0), "vorlane-_glb-step00.png") << "a hidden file's whole name is its stem";
}

}  // namespace
}  // namespace vorlane
