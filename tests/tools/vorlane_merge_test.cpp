#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "command_line/merge_arguments.h"
#include "io/mesh_files.h"
#include "io/mesh_reader.h"
#include "test_support.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool in the current (scratch) directory; one that hangs ends with 124.
ToolRun RunMerge(const std::string& arguments)
{
    const std::string command =
        std::string("timeout 120 '") + VORLANE_MERGE_PATH + "' " + arguments + " > ../merge.out 2> ../merge.err";
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
    // Writes an input file beside the working directory: "../name".
    std::string Input(const std::string& name, const std::string& bytes)
    {
        std::ofstream(outer.path() / name, std::ios::binary) << bytes;
        return "../" + name;
    }
};


std::vector<std::string> Listing()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::current_path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

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

TEST_F(VorlaneMerge, BadArgumentsAndOptionsGetUsageAndStatusTwoAndWriteNothing)
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
        {"cube box -o", "-o needs a file name"},
        {"cube box -o a.glb -o b.glb", "-o given twice"},
        {"cube box -o out.glb --step 3", "--step applies to .obj and .ply output"},
        {"cube box -o out.obj --step 21", "--step takes a whole number from 0 to 20, not '21'"},
        {"cube box -o out.obj --step x", "--step takes a whole number"},
        {"cube box -o out.obj --source-centre 1 2", "--source-centre needs three numbers"},
        {"cube box -o out.obj --target-centre 1 x 2", "'x' is not a number"},
        {"cube -o out.obj", "expected SOURCE TARGET with -o, got 1 argument\n"},
        {"-- cube box -o out.obj", "expected 8 arguments, got 4"},
        {"cube box -o out.obj --step 1 --step 2", "--step given twice"},
        {"cube box -o out.obj --target-centre 0 0 0 --target-centre 0 0 0", "--target-centre given twice"},
        {"cube box -o out.obj --robust --literal", "--robust and --literal exclude each other"},
        {"cube box.off -o out.obj --literal", "--literal takes two catalogue models"},
        {"cube 0 0 0 box 0 0 0 --step 2", "need -o OUT"},
        {"cube 0 0 0 box 0 0 0 --fast", "unknown option '--fast'"},
        {"cube box -o out.glb --max-triangles 3", "--max-triangles takes a whole number from 4, not '3'"},
        {"cube box -o out.glb --max-triangles 1e3", "--max-triangles takes a whole number from 4, not '1e3'"},
        {"cube box -o out.glb --tolerance -0.1", "--tolerance takes a number from 0, not '-0.1'"},
        {"cube box -o out.glb --tolerance", "--tolerance needs a number"},
        {"cube icosahedron -o o.obj --literal --max-triangles 10", "take the merge for real meshes, not --literal"},
        {"cube 0 0 0 box 0 0 0 --tolerance 0.1", "need -o OUT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = RunMerge(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: vorlane-merge SOURCE cx cy cz TARGET cx cy cz\n"
                               "       vorlane-merge SOURCE TARGET -o OUT"),
                  std::string::npos);
        EXPECT_EQ(Listing(), std::vector<std::string>{});
    }
}

TEST_F(VorlaneMerge, HelpPrintsTheUsageWithStatusZero)
{
    const ToolRun run = RunMerge("cube --help --fast");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out + run.err, vorlane::MergeUsage());
}

TEST_F(VorlaneMerge, RobustSummaryCountsVerticesInUse)
{
    const ToolRun run = RunMerge("--robust icosahedron 0 0 0 cube 0 0 0");
    EXPECT_EQ(run.status, 0) << run.err;
    // The same topology as the original merge, without its 18 folded vertices.
    EXPECT_EQ(run.out, "source icosahedron target cube crossings 35 vertices 55 folded 0 edges 121 faces 106\n");
    EXPECT_EQ(Listing(), std::vector<std::string>{});
}

TEST_F(VorlaneMerge, SimplifiedMorphsSayTheirTrianglesBeforeAndAfterInEveryOutput)
{
    for (const char* output : {"o.glb --compress", "o.gltf", "o.ply --step 20", "o.obj"}) {
        SCOPED_TRACE(output);
        const ToolRun run = RunMerge(std::string("icosahedron cube -o ") + output + " --max-triangles 40");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(" faces 40 embeddings central central triangles-before 106 triangles-after 40 start-distance "),
                  std::string::npos)
            << run.out;
    }
    // Without the options the summary is as it was.
    const ToolRun plain = RunMerge("icosahedron cube -o p.obj");
    EXPECT_EQ(plain.out.find("triangles-before"), std::string::npos);
}

TEST_F(VorlaneMerge, FilesOfEveryFormatMergeIntoEveryOutput)
{
    using namespace vorlane::test;
    const std::string inputs[] = {Input("cube.obj", CubeObj()), Input("cube.off", CubeOff()),
                                  Input("cube.ply", CubePlyBinary(false)), Input("cube.stl", CubeStlBinary()),
                                  Input("ascii.stl", CubeStlAscii())};
    const char* outputs[] = {"out.glb", "out.gltf", "out.obj", "out.ply"};
    for (size_t i = 0; i < std::size(inputs); ++i) {
        const std::string& input = inputs[i];
        const char* output = outputs[i % std::size(outputs)];
        SCOPED_TRACE(input + " -> " + output);
        const ToolRun run = RunMerge(input + " icosahedron -o " + output);
        EXPECT_EQ(run.status, 0) << run.err;
        // note: the OBJ names a material library it does not ship, which is no refusal.
        EXPECT_EQ(run.err, i == 0 ? "vorlane-merge: warning: " + input +
                                        ": material library 'nowhere.mtl' cannot open: No such file or directory; its "
                                        "materials are left out\n"
                                  : "");
        EXPECT_EQ(run.out.rfind("source " + input + " target icosahedron crossings ", 0), 0u) << run.out;
        EXPECT_EQ(Listing(), std::vector<std::string>{output});
        std::filesystem::remove(output);
    }
}

vorlane::ModelTable ReadBack(const std::string& path)
{
    const vorlane::MeshReadResult read = vorlane::ReadMeshFile(path);
    EXPECT_EQ(read.error, "");
    return read.table;
}

// Each side of each triangle met once each way: closed and consistently oriented.
bool ClosedAndOriented(const vorlane::ModelTable& table)
{
    std::map<std::pair<int32_t, int32_t>, int> sides;
    for (const vorlane::Triangle& t : table.triangles)
        for (int c = 0; c < 3; ++c) ++sides[{t[static_cast<size_t>(c)], t[static_cast<size_t>((c + 1) % 3)]}];
    for (const auto& [side, count] : sides) {
        const auto back = sides.find({side.second, side.first});
        if (count != 1 || back == sides.end() || back->second != 1) return false;
    }
    return !sides.empty();
}

// The -o form writes its output and nothing else, and only a closed mesh:
// built-in models take the robust merge there unless --literal is given.
TEST_F(VorlaneMerge, OutputFormWritesOnlyClosedMeshesAndNoDumps)
{
    const struct {
        const char* arguments;
        int status;
        const char* says;
    } cases[] = {
        {"cube icosahedron -o o.obj", 0, "folded 0 "},
        {"cube cube -o o.obj --source-centre 0.001 0 0", 0, "folded 0 "},
        {"-o o.obj -- cube icosahedron", 0, "folded 0 "},
        {"cube icosahedron -o o.obj --literal --step 20", 0, "folded 18 "},
        {"cube cube -o o.obj --source-centre 0.001 0 0 --literal", 1,
         "vorlane-merge: the literal merge of cube and cube is not closed: "},
        {"cube icosahedron -o o.obj --source-centre 100 0 0 --literal", 1, " is not closed: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = RunMerge(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        EXPECT_EQ(Listing(), c.status == 0 ? std::vector<std::string>{"o.obj"} : std::vector<std::string>{});
        if (c.status == 0) {
            EXPECT_TRUE(ClosedAndOriented(ReadBack("o.obj")));
        }
        std::filesystem::remove("o.obj");
    }
}

// A FIFO where a dump or the output goes is never waited on: the output is
// refused, the dump left out as one that cannot be written always was.
TEST_F(VorlaneMerge, FifosInPlaceOfWrittenFilesAreRefusedAtOnce)
{
    const struct {
        const char* name;
        const char* arguments;
        int status;
        const char* says;
    } cases[] = {{"facelist1.txt", "cube 0 0 0 icosahedron 0 0 0", 0, "source cube target icosahedron"},
                 {"o.glb", "cube icosahedron -o o.glb", 1, "vorlane-merge: o.glb: is a FIFO, not a regular file\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(mkfifo(c.name, 0600), 0);
        const ToolRun run = RunMerge(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        EXPECT_EQ(std::filesystem::status(c.name).type(), std::filesystem::file_type::fifo);
        for (const std::string& name : Listing()) std::filesystem::remove(name);
    }
}

void ExpectBox(const vorlane::ModelTable& table, const vorlane::Vec3& low, const vorlane::Vec3& high)
{
    vorlane::Vec3 min = table.vertices.at(0), max = table.vertices.at(0);
    for (const vorlane::Vec3& v : table.vertices) {
        min = {std::min(min.x, v.x), std::min(min.y, v.y), std::min(min.z, v.z)};
        max = {std::max(max.x, v.x), std::max(max.y, v.y), std::max(max.z, v.z)};
    }
    EXPECT_EQ(min, low);
    EXPECT_EQ(max, high);
}

// An L-shaped prism is star-shaped but not convex; the step files show it
// at the start and the cube at the end.
TEST_F(VorlaneMerge, StepsRunFromSourceToTarget)
{
    const std::string l = Input("l.off", vorlane::test::PrismOff({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}));
    const std::string cube = Input("cube.ply", vorlane::test::CubePlyAscii());
    for (const char* step : {"", "--step 0", "--step 20"}) {
        SCOPED_TRACE(step);
        const ToolRun run = RunMerge(l + " " + cube + " -o s.ply " + step);
        ASSERT_EQ(run.status, 0) << run.err;
        if (std::string(step) == "--step 20") ExpectBox(ReadBack("s.ply"), {-1, -1, -1}, {1, 1, 1});
        else ExpectBox(ReadBack("s.ply"), {0, 0, 0}, {2, 2, 1});
    }
}

TEST_F(VorlaneMerge, CentresCanBeGivenForFilesAndCatalogueModels)
{
    const std::string cube = Input("cube.off", vorlane::test::CubeOff());
    ToolRun run = RunMerge(cube + " box -o c.glb --source-centre 0.5 -0.5 0 --target-centre 1 2 3");
    EXPECT_EQ(run.status, 0) << run.err;
    // Outside the cube nothing sees all of it: a central map is refused.
    run = RunMerge(cube + " box -o c.glb --source-centre 5 0 0 --embedding central");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("vorlane-merge: ", 0), 0u);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"c.glb"});
}

// Each refusal: one line on standard error, status 1, no output and no
// temporary file left in the working directory.
TEST_F(VorlaneMerge, BadMeshesAreRefusedInOneLineWithNoOutput)
{
    using namespace vorlane::test;
    std::string openCube = CubeOff();
    openCube.replace(openCube.find("8 6 12"), 6, "8 5 12");
    openCube.erase(openCube.rfind("4 "));
    std::string nanStl = CubeStlBinary();
    nanStl.replace(84 + 12, 4, std::string("\x00\x00\xc0\x7f", 4));
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"missing.obj", "", "missing.obj: cannot open"},
        {"truncated.ply", CubePlyBinary(false).substr(0, 300), "truncated.ply: truncated: the data ends in"},
        {"range.off", CubeOff().replace(CubeOff().find("4 0 3 2 1"), 9, "4 0 3 2 9"), "range.off: the 1st face"},
        {"nan.stl", nanStl, "nan.stl: the 1st triangle has a corner that is not a finite number"},
        {"empty.obj", "# nothing here\n", "empty.obj: the file holds no vertices"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = c.bytes.empty() ? std::string("../") + c.name : Input(c.name, c.bytes);
        for (const char* output : {"out.glb", "out.obj"}) {
            const ToolRun run = RunMerge("cube " + input + " -o " + output);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_EQ(Listing(), std::vector<std::string>{});
        }
    }
    // Two pieces morph piece by piece, but not with landmarks, which name vertices of one mesh.
    const std::string pieces = Input("pieces.off", TwoCubesOff());
    const ToolRun paired = RunMerge("cube " + pieces + " -o out.obj");
    EXPECT_EQ(paired.status, 0) << paired.err;
    EXPECT_NE(paired.out.find(" path shape pieces 1:2 paired 0-0 unpaired point>1\n"), std::string::npos) << paired.out;
    std::remove("out.obj");
    std::ofstream("pair.txt") << "0 0\n";
    const ToolRun marked = RunMerge("cube " + pieces + " -o out.obj --landmarks pair.txt");
    EXPECT_EQ(marked.status, 1);
    EXPECT_NE(marked.err.find("pieces.off: the mesh has 2 separate pieces"), std::string::npos) << marked.err;
    std::remove("pair.txt");
    // An open cube is patched unless asked not to be.
    const std::string open = Input("open.off", openCube);
    const ToolRun refused = RunMerge("cube " + open + " -o out.obj --holes refuse");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("open.off: the mesh is not closed: edge ("), std::string::npos) << refused.err;
    const ToolRun filled = RunMerge("cube " + open + " -o out.obj");
    EXPECT_EQ(filled.status, 0) << filled.err;
    EXPECT_NE(filled.out.find(" holes-filled 0 1\n"), std::string::npos) << filled.out;
}


// A thick letter C: no point sees all of it. It merges through the
// spherical embedding, and only a central map, asked for, refuses it.
TEST_F(VorlaneMerge, MeshNoPointSeesWholeMergesSphericallyUnlessCentralIsAsked)
{
    const std::string input =
        Input("letter-c.off", vorlane::test::PrismOff({{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {3, 2}, {3, 3}, {0, 3}}));
    const ToolRun merged = RunMerge("cube " + input + " -o out.obj");
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_NE(merged.out.find(" embeddings central spherical path shape\n"), std::string::npos) << merged.out;
    const ToolRun central = RunMerge("cube " + input + " -o out2.obj --embedding central");
    EXPECT_EQ(central.status, 1);
    EXPECT_NE(central.err.find("letter-c.off: the mesh is not star-shaped"), std::string::npos) << central.err;
}

// Names the tool cannot use get one line, without the usage.
TEST_F(VorlaneMerge, UnknownExtensionsGetOneLineAndStatusTwo)
{
    const std::string cube = vorlane::test::CubeObj();
    Input("in.obj", cube);
    const struct {
        const char* arguments;
        const char* says;
    } cases[] = {
        {"cube box -o out.stl",
         "vorlane-merge: cannot tell the output format of 'out.stl' (expected .glb, .gltf, .obj or .ply)\n"},
        {"cube shape.xyz -o out.obj",
         "vorlane-merge: 'shape.xyz' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)\n"},
        {"dodecahedron cube -o out.obj",
         "vorlane-merge: 'dodecahedron' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)\n"},
        // Echoed names never reach the terminal raw.
        {"cube 'sh\x1b[2Jape\x9b.xyz' -o out.obj", "vorlane-merge: 'sh\\x1b[2Jape\\x9b.xyz' is neither a catalogue model "
                                                   "nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)\n"},
        // The output named as an input, however spelled: refused before either is opened.
        {"cube ../in.obj -o .././in.obj", "vorlane-merge: -o '.././in.obj' is the input '../in.obj'; write elsewhere\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = RunMerge(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.says);
        EXPECT_EQ(Listing(), std::vector<std::string>{});
    }
    EXPECT_EQ(vorlane::test::ReadFile(outer.path() / "in.obj"), cube);
}

}  // namespace

// Runs vorlane-check-morph on the arguments; its line and status.
ToolRun RunCheck(const std::string& arguments)
{
    const std::string command = std::string("'") + VORLANE_CHECK_MORPH_PATH + "' " + arguments + " > ../check.out 2> ../check.err";
    const int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, vorlane::test::ReadFile("../check.out"), vorlane::test::ReadFile("../check.err")};
    std::filesystem::remove("../check.out");
    std::filesystem::remove("../check.err");
    return run;
}

// An exporter's cube, every face with corners of its own, in OBJ and in PLY,
// morphs exactly as the cube with shared corners does.
TEST_F(VorlaneMerge, CubeSplitAlongItsSeamsMorphsAsTheWeldedCube)
{
    using namespace vorlane::test;
    const ToolRun welded = RunMerge("icosahedron " + Input("cube.off", CubeOff()) + " -o welded.obj --step 10");
    ASSERT_EQ(welded.status, 0) << welded.err;
    for (const bool ply : {false, true}) {
        const std::string name = ply ? "split.ply" : "split.obj";
        const ToolRun split = RunMerge("icosahedron " + Input(name, SplitCube(ply)) + " -o out.obj --step 10");
        ASSERT_EQ(split.status, 0) << split.err;
        EXPECT_NE(split.out.find(" welded 0 16\n"), std::string::npos) << split.out;
        EXPECT_EQ(ReadFile("out.obj"), ReadFile("welded.obj")) << name;
    }
}

// A vase open at the top: rings of n corners up a profile, a fan closing the bottom.
std::string VaseOff(int n, int rings, double bulge)
{
    std::string text = "OFF\n" + std::to_string(n * (rings + 1) + 1) + " " + std::to_string(2 * n * rings + n) + " 0\n";
    for (int j = 0; j <= rings; ++j) {
        const double z = static_cast<double>(j) / rings, r = 0.5 + bulge * std::sin(3.14159265 * z);
        for (int i = 0; i < n; ++i)
            text += std::to_string(r * std::cos(6.2831853 * i / n)) + " " + std::to_string(r * std::sin(6.2831853 * i / n)) +
                    " " + std::to_string(z) + "\n";
    }
    text += "0 0 0\n";
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * n + i, b = j * n + (i + 1) % n, c = b + n, d = a + n;
            text += "3 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n3 " +
                    std::to_string(a) + " " + std::to_string(c) + " " + std::to_string(d) + "\n";
        }
    for (int i = 0; i < n; ++i)
        text += "3 " + std::to_string(n * (rings + 1)) + " " + std::to_string((i + 1) % n) + " " + std::to_string(i) + "\n";
    return text;
}

// Two vases open at the top morph with the opening kept: the result is one
// disk (V - E + F = 1), oriented, on both vases (their openings closed flat
// where only one shape is open there), no triangle flat.
TEST_F(VorlaneMerge, VasesOpenAtTheTopKeepTheirOpening)
{
    const std::string wide = Input("wide.off", VaseOff(24, 12, 0.3));
    const std::string narrow = Input("narrow.off", VaseOff(17, 9, 0.0));
    for (const std::string& target : {narrow, wide}) {
        SCOPED_TRACE(target);
        const ToolRun run = RunMerge(wide + " " + target + " -o out.glb");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(" holes-filled 1 1\n"), std::string::npos) << run.out;
        const ToolRun check = RunCheck("--open " + wide + " " + target + " out.glb");
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        EXPECT_NE(check.out.find("closed=yes oriented=yes genus=?(V-E+F=1) "), std::string::npos) << check.out;
    }
}
