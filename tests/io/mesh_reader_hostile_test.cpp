// Files built to trip the readers: each case once read wrongly, slowly or
// with a misleading message.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "io/mesh_reader.h"
#include "mesh_files.h"
#include "test_support.h"

namespace {

using vorlane::MeshFormat;
using vorlane::MeshReadResult;
using vorlane::Triangle;
using vorlane::Vec3;
using namespace vorlane::test;

std::string Replaced(std::string bytes, const std::string& from, const std::string& to)
{
    bytes.replace(bytes.find(from), from.size(), to);
    return bytes;
}

// The cube read by another format: the same corners and the same triangles,
// as a set of position triples.
bool SameCube(const vorlane::ModelTable& table)
{
    const MeshReadResult reference = vorlane::ReadMeshBytes(CubeOff(), MeshFormat::Off, "reference");
    if (table.vertices.size() != 8 || table.triangles.size() != 12) return false;
    for (const Triangle& t : table.triangles) {
        bool found = false;
        for (const Triangle& r : reference.table.triangles) {
            for (int turn = 0; turn < 3 && !found; ++turn) {
                found = true;
                for (int i = 0; i < 3; ++i)
                    found = found && table.vertices[static_cast<size_t>(t[i])] ==
                                         reference.table.vertices[static_cast<size_t>(r[(i + turn) % 3])];
            }
        }
        if (!found) return false;
    }
    return true;
}

// A PLY with many elements once took tens of seconds: each element name was
// compared with every earlier one.
TEST(MeshReaderHostile, PlyHeaderWithManyElementsIsCheckedInLinearTime)
{
    std::string header;
    for (int i = 0; i < 200000; ++i) header += "element e" + std::to_string(i) + " 0\n";
    const std::string bytes = Replaced(CubePlyAscii(), "element vertex", header + "element vertex");
    const auto start = std::chrono::steady_clock::now();
    const MeshReadResult read = vorlane::ReadMeshBytes(bytes, MeshFormat::Ply, "many.ply");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(read.error, "");
    EXPECT_LT(seconds, 3.0);
}

struct Hostile {
    const char* name;
    MeshFormat format;
    std::string bytes;
    const char* says;  // nullptr: read as the cube
};

TEST(MeshReaderHostile, EachFileIsReadOrRefusedForWhatItIs)
{
    std::string plyFaceFirst = CubePlyAscii();
    {
        // The face element and its lines moved before the vertex element.
        const size_t faceHeader = plyFaceFirst.find("element face");
        const size_t headerEnd = plyFaceFirst.find("end_header\n");
        const std::string faceDeclaration = plyFaceFirst.substr(faceHeader, headerEnd - faceHeader);
        std::string body = plyFaceFirst.substr(headerEnd + 11);
        const size_t firstFace = body.find("\n4 ") + 1;
        body = body.substr(firstFace) + body.substr(0, firstFace);
        plyFaceFirst = plyFaceFirst.substr(0, plyFaceFirst.find("element vertex")) + faceDeclaration +
                       plyFaceFirst.substr(plyFaceFirst.find("element vertex"), faceHeader - plyFaceFirst.find("element vertex")) +
                       "end_header\n" + body;
    }
    const std::string stlText = CubeStlAscii();
    const Hostile cases[] = {
        {"binary STL one byte long", MeshFormat::Stl, CubeStlBinary() + "x",
         "binary STL longer than its triangle count promises: 12 triangles promised need 684 bytes, the file has 685"},
        {"text STL with a NUL byte", MeshFormat::Stl, Replaced(stlText, "endloop", std::string("endloop\0", 8)),
         "line 7: a NUL byte (\\x00) in a text STL"},
        {"OBJ behind a byte-order mark", MeshFormat::Obj, "\xEF\xBB\xBF" + CubeObj().substr(CubeObj().find("v ")), nullptr},
        {"PLY with the faces first", MeshFormat::Ply, plyFaceFirst, nullptr},
        {"ASCII PLY with a value too many", MeshFormat::Ply,
         Replaced(CubePlyAscii(), "\n1.000000 -1.000000 -1.000000\n", "\n1.000000 -1.000000 -1.000000 7\n"),
         "line 12: 4 values where the 2nd of 8 vertices needs 3"},
        {"ASCII PLY with a value too few", MeshFormat::Ply, Replaced(CubePlyAscii(), "4 0 3 2 1", "4 0 3 2"),
         "line 19: the 1st of 6 faces promises 4 corners, the line holds 3"},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        const MeshReadResult read = vorlane::ReadMeshBytes(c.bytes, c.format, "hostile");
        if (!c.says) {
            EXPECT_EQ(read.error, "");
            EXPECT_TRUE(SameCube(read.table));
        } else {
            EXPECT_EQ(read.error.rfind(std::string("hostile: ") + c.says, 0), 0u) << read.error;
        }
    }
}

// What a file says is echoed in messages; an escape sequence in it must not
// reach the terminal as one.
TEST(MeshReaderHostile, ControlCharactersFromTheFileAreShownEscaped)
{
    const std::string red = "\x1b[31m\x07";
    const Hostile cases[] = {
        {"OBJ corner", MeshFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 " + red + "\n",
         "line 4: face corner '\\x1b[31m\\x07' is not a vertex index"},
        {"OFF keyword", MeshFormat::Off, red + "OFF\n", "does not start with an OFF header (found '\\x1b[31m\\x07OFF')"},
        {"PLY keyword", MeshFormat::Ply, "ply\nformat ascii 1.0\n" + red + "\nend_header\n",
         "header line 3: unknown keyword '\\x1b[31m\\x07'"},
        {"STL keyword", MeshFormat::Stl, "solid x\n" + red + "\nendsolid x\n", "line 2: unexpected '\\x1b[31m\\x07'"},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = vorlane::ReadMeshBytes(c.bytes, c.format, "hostile").error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        for (const char ch : error) EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f);
    }
}

// OFF writers often close a face by repeating its first corner; the repeat
// must go, or the square below gains a sliver triangle back to its start.
TEST(MeshReaderHostile, OffFaceRepeatingItsFirstCornerIsClosedOnce)
{
    const std::string tetrahedron = "OFF\n4 4 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
                                    "4 0 2 1 0\n3 0 1 3\n3 1 2 3\n3 2 0 3\n";
    const MeshReadResult read = vorlane::ReadMeshBytes(tetrahedron, MeshFormat::Off, "closed.off");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.table.triangles.size(), 4u);
    EXPECT_EQ(read.table.triangles[0], (Triangle{0, 1, 2}));
}

// STL's repeated corners weld by position; +0 and -0 are one position, and
// the first corner seen gives the vertex.
TEST(MeshReaderHostile, StlWeldsSignedZerosKeepingTheFirst)
{
    const std::string text = "solid z\nfacet normal 0 0 1\nouter loop\nvertex -0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
                             "endloop\nendfacet\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 0 -1 0\n"
                             "vertex 1 0 0\nendloop\nendfacet\nendsolid z\n";
    const MeshReadResult read = vorlane::ReadMeshBytes(text, MeshFormat::Stl, "zeros.stl");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.table.vertices.size(), 4u);
    EXPECT_TRUE(std::signbit(read.table.vertices[0].x));
    EXPECT_EQ(read.table.triangles[1], (Triangle{0, 3, 1}));
}

// A large file tells its progress now and then, each phase from 0 to 1.
TEST(MeshReaderHostile, ProgressIsReportedRarelyAndInOrder)
{
    ScratchDirectory scratch;
    const int n = 300000;  // vertices on a fan of n - 2 triangles
    std::string text = "OFF\n" + std::to_string(n) + " " + std::to_string(n - 2) + " 0\n";
    for (int i = 0; i < n; ++i) text += std::to_string(i) + " " + std::to_string(i % 7) + " 0\n";
    for (int i = 1; i + 1 < n; ++i) text += "3 0 " + std::to_string(i) + " " + std::to_string(i + 1) + "\n";
    std::ofstream("fan.off", std::ios::binary) << text;
    std::vector<std::pair<std::string, double>> reports;
    const MeshReadResult read =
        vorlane::ReadMeshFile("fan.off", [&](std::string_view phase, double fraction) { reports.emplace_back(phase, fraction); });
    ASSERT_EQ(read.error, "");
    EXPECT_GE(reports.size(), 4u);
    EXPECT_LT(reports.size(), 100u);
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].second, 0.0);
        EXPECT_LE(reports[i].second, 1.0);
        if (i > 0 && reports[i].first == reports[i - 1].first) {
            EXPECT_GE(reports[i].second, reports[i - 1].second);
        }
    }
}

}  // namespace
