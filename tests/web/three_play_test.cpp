// Morphs written by vorlane-merge, played by three.js in headless chromium:
// what a browser shows must be the inputs at the ends and the path between.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "geometry/model_catalogue.h"
#include "io/mesh_reader.h"
#include "test_support.h"

namespace {

using Box = std::array<std::array<double, 3>, 2>;  // min, max

Box BoxOf(const std::vector<vorlane::Vec3>& points)
{
    Box box{{{1e300, 1e300, 1e300}, {-1e300, -1e300, -1e300}}};
    for (const vorlane::Vec3& p : points) {
        const std::array<double, 3> c{p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            box[0][a] = std::min(box[0][a], c[a]);
            box[1][a] = std::max(box[1][a], c[a]);
        }
    }
    return box;
}

Box BoxOf(const nlohmann::json& box)
{
    Box out;
    for (int a = 0; a < 3; ++a) {
        out[0][a] = box["min"][a].get<double>();
        out[1][a] = box["max"][a].get<double>();
    }
    return out;
}

// A six-pointed star with four dented faces, its tips of unequal length (so
// each end's box is its own), and a colour per corner for the coloured case.
const std::vector<vorlane::Vec3> StarPoints{{60, 0, 0}, {-30, 0, 0}, {0, 45, 0}, {0, -20, 0}, {0, 0, 35}, {0, 0, -50},
                                            {9, 9, 9},  {-6, 8, -7}, {7, -5, -8}, {-8, -6, 7}};

std::string StarObj(bool coloured)
{
    const char* colours[] = {"1 0 0", "0 1 0", "0 0 1", "1 1 0", "0 1 1", "1 0 1", "1 1 1", "0.2 0.2 0.2", "1 0.5 0", "0 0.5 1"};
    std::string obj;
    for (std::size_t i = 0; i < StarPoints.size(); ++i) {
        const vorlane::Vec3& p = StarPoints[i];
        obj += "v " + std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' + std::to_string(p.z);
        obj += coloured ? std::string(" ") + colours[i] + "\n" : "\n";
    }
    // The octahedron's faces, four of them dented to a low pit on an inner
    // point: +x+y+z by 7, -x+y-z by 8, +x-y-z by 9, -x-y+z by 10.
    obj +=
        "f 1 3 7\nf 3 5 7\nf 5 1 7\n"
        "f 2 3 8\nf 3 6 8\nf 6 2 8\n"
        "f 1 4 9\nf 4 6 9\nf 6 1 9\n"
        "f 2 4 10\nf 4 5 10\nf 5 2 10\n"
        "f 1 6 3\nf 2 5 3\nf 1 5 4\nf 2 6 4\n";
    return obj;
}

struct PlayCase {
    const char* name;
    bool coloured;
    const char* options;
    double tolerance;  // of the ends' boxes, over the larger extent
};

// Plain files hold the ends as float offsets; compressed ones on a 16-bit
// grid of half the morph's extent, so a box side may be a grid step off.
const PlayCase Cases[] = {
    {"plain", false, "", 1e-6},
    {"compressed", false, "--compress", 1.0 / 16383},
    {"coloured", true, "", 1e-6},
};

int Shell(const std::string& command) { return std::system(command.c_str()); }

class ThreePlay : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch_ = new vorlane::test::ScratchDirectory;
        ASSERT_EQ(Shell("'" INSTALL_WEB_DEPS "' '" WEB_DEPS_DIR "' > npm.log 2>&1"), 0)
            << "npm could not install three and playwright-core: " << vorlane::test::ReadFile("npm.log");
        std::string files;
        for (const PlayCase& c : Cases) {
            const std::string input = std::string(c.name) + ".obj";
            std::ofstream(input) << StarObj(c.coloured);
            const std::string merge = std::string("'") + VORLANE_MERGE_PATH + "' " + input + " icosahedron ";
            ASSERT_EQ(Shell(merge + "--targets 8 " + c.options + " -o " + c.name + ".glb > merge.out 2>&1"), 0)
                << vorlane::test::ReadFile("merge.out");
            ASSERT_EQ(Shell(merge + "--step 10 -o " + c.name + "-step10.obj > merge.out 2>&1"), 0) << vorlane::test::ReadFile("merge.out");
            files += std::string(" ") + c.name + ".glb";
        }
        ASSERT_EQ(Shell("timeout 240 node '" PLAY_MORPH_SCRIPT "' --modules '" WEB_DEPS_DIR "' --out seen --size 256 --samples 64 "
                      "--shots 0,1,2" + files + " > play.log 2>&1"),
                  0)
            << vorlane::test::ReadFile("play.log");
        for (const PlayCase& c : Cases)
            seen_.push_back(nlohmann::json::parse(vorlane::test::ReadFile(std::string("seen/") + c.name + ".json")));
    }
    static void TearDownTestSuite()
    {
        delete scratch_;
        scratch_ = nullptr;
    }
    void SetUp() override
    {
        if (seen_.size() != std::size(Cases)) GTEST_FAIL() << "three.js did not play every case";
    }

    // The sample at time t (the samples are at the clip's 64ths).
    static const nlohmann::json& At(const nlohmann::json& seen, double t)
    {
        for (const nlohmann::json& s : seen["samples"])
            if (s["time"].get<double>() == t) return s;
        ADD_FAILURE() << "no sample at " << t;
        return seen["samples"][0];
    }

    static vorlane::test::ScratchDirectory* scratch_;
    static std::vector<nlohmann::json> seen_;
};

vorlane::test::ScratchDirectory* ThreePlay::scratch_ = nullptr;
std::vector<nlohmann::json> ThreePlay::seen_;

void ExpectBox(const Box& seen, const Box& expected, double tolerance)
{
    double extent = 0;
    for (int a = 0; a < 3; ++a) extent = std::max(extent, expected[1][a] - expected[0][a]);
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(seen[side][a], expected[side][a], tolerance * extent) << (side ? "max" : "min") << " of axis " << a;
}

// The morph runs to the target at half the clip and back: the ends' boxes
// are the inputs' own, and step 10 (a quarter) is the path's step 10.
TEST_F(ThreePlay, MorphedBoxesAreTheInputsAtTheEndsAndThePathBetween)
{
    const Box icosahedron = BoxOf(vorlane::IcosahedronTable().vertices);
    for (std::size_t i = 0; i < std::size(Cases); ++i) {
        SCOPED_TRACE(Cases[i].name);
        const nlohmann::json& seen = seen_[i];
        const double duration = seen["duration"].get<double>();
        EXPECT_EQ(duration, 4.0);
        ExpectBox(BoxOf(At(seen, 0)["box"]), BoxOf(StarPoints), Cases[i].tolerance);
        ExpectBox(BoxOf(At(seen, duration / 2)["box"]), icosahedron, Cases[i].tolerance);
        ExpectBox(BoxOf(At(seen, duration)["box"]), BoxOf(StarPoints), Cases[i].tolerance);
        const vorlane::MeshReadResult step10 = vorlane::ReadMeshFile(std::string(Cases[i].name) + "-step10.obj");
        ASSERT_EQ(step10.error, "");
        ExpectBox(BoxOf(At(seen, duration / 4)["box"]), BoxOf(step10.table.vertices), Cases[i].tolerance);
    }
}

// Eight targets, weighted one after another: never more than two at once,
// never more than the whole offset, and each keyframe shows one target whole.
TEST_F(ThreePlay, AtMostTwoTargetsWeighAtOnce)
{
    for (std::size_t i = 0; i < std::size(Cases); ++i) {
        SCOPED_TRACE(Cases[i].name);
        const nlohmann::json& seen = seen_[i];
        EXPECT_EQ(seen["morphTargets"].get<int>(), 8);
        ASSERT_EQ(seen["samples"].size(), 65u);
        for (const nlohmann::json& s : seen["samples"]) {
            const std::vector<double> w = s["influences"][0].get<std::vector<double>>();
            ASSERT_EQ(w.size(), 8u);
            const long nonZero = std::count_if(w.begin(), w.end(), [](double x) { return x != 0.0; });
            double sum = 0;
            for (double x : w) sum += x;
            EXPECT_LE(nonZero, 2) << "at " << s["time"];
            EXPECT_LE(sum, 1.0 + 1e-6) << "at " << s["time"];
        }
        // Target k (step 2.5 (k + 1)) alone at (k + 1) / 4 s, on the way there.
        for (int k = 0; k < 8; ++k) {
            std::vector<double> expected(8, 0.0);
            expected[static_cast<std::size_t>(k)] = 1.0;
            EXPECT_EQ(At(seen, (k + 1) / 4.0)["influences"][0].get<std::vector<double>>(), expected) << "target " << k;
        }
    }
}

TEST_F(ThreePlay, FramesShowTheMorphAndColoursWhereTheInputHasThem)
{
    for (std::size_t i = 0; i < std::size(Cases); ++i) {
        SCOPED_TRACE(Cases[i].name);
        const nlohmann::json& seen = seen_[i];
        EXPECT_EQ(seen["quantised"].get<bool>(), std::string(Cases[i].options) == "--compress");
        EXPECT_EQ(seen["colour"]["attribute"].get<bool>(), Cases[i].coloured);
        EXPECT_EQ(seen["colour"]["vertexColors"].get<bool>(), Cases[i].coloured);
        EXPECT_EQ(seen["colour"]["morphTargets"].get<int>(), Cases[i].coloured ? 8 : 0);
        EXPECT_EQ(seen["problems"].size(), 0u) << seen["problems"];
        ASSERT_EQ(seen["shots"].size(), 3u);
        for (const nlohmann::json& shot : seen["shots"]) {
            EXPECT_GT(shot["variance"].get<double>(), 100.0) << "at " << shot["time"];
            EXPECT_GT(shot["covered"].get<double>(), 0.05) << "at " << shot["time"];
            EXPECT_TRUE(std::filesystem::file_size(std::string("seen/") + shot["png"].get<std::string>()) > 1000);
        }
    }
}

}  // namespace
