#include "io/mesh_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "geometry/triangulate_polygon.h"
#include "mesh_files.h"
#include "test_support.h"

namespace {

using vorlane::MeshFormat;
using vorlane::ModelTable;
using vorlane::Triangle;
using vorlane::Vec3;

double Volume(const ModelTable& table)
{
    double volume = 0.0;
    for (const Triangle& t : table.triangles) {
        const Vec3& a = table.vertices[static_cast<size_t>(t[0])];
        const Vec3& b = table.vertices[static_cast<size_t>(t[1])];
        const Vec3& c = table.vertices[static_cast<size_t>(t[2])];
        volume += (static_cast<double>(a.x) * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
                   a.z * (b.x * c.y - b.y * c.x)) / 6.0;
    }
    return volume;
}

// Every directed edge once and its reverse once: closed and consistently wound.
bool ClosedAndConsistent(const ModelTable& table)
{
    std::map<std::pair<int32_t, int32_t>, int> directed;
    for (const Triangle& t : table.triangles)
        for (int i = 0; i < 3; ++i) ++directed[{t[i], t[(i + 1) % 3]}];
    for (const auto& [edge, count] : directed) {
        if (count != 1) return false;
        const auto reverse = directed.find({edge.second, edge.first});
        if (reverse == directed.end() || reverse->second != 1) return false;
    }
    return true;
}

void ExpectCube(const ModelTable& table)
{
    ASSERT_EQ(table.vertices.size(), 8u);
    EXPECT_EQ(table.triangles.size(), 12u);
    for (const Vec3& corner : vorlane::test::CubeCorners())
        EXPECT_EQ(std::count(table.vertices.begin(), table.vertices.end(), corner), 1);
    EXPECT_TRUE(ClosedAndConsistent(table));
    // Outward winding kept: the cube [-1, 1]^3 encloses +8.
    EXPECT_NEAR(Volume(table), 8.0, 1e-9);
}

struct NamedBytes {
    const char* name;
    MeshFormat format;
    std::string bytes;
};

TEST(MeshReader, EveryFormatGivesTheSameClosedOutwardCube)
{
    using vorlane::test::CubeOff;
    const NamedBytes cases[] = {
        {"obj with quads, mixed corner forms and a relative index", MeshFormat::Obj, vorlane::test::CubeObj()},
        {"off", MeshFormat::Off, CubeOff()},
        {"off with counts on the header line", MeshFormat::Off, "OFF 8 6 12\n" + CubeOff().substr(CubeOff().find("-1"))},
        {"coff with face colours", MeshFormat::Off, CubeOff("COFF", " 255 0 0")},
        {"ply ascii", MeshFormat::Ply, vorlane::test::CubePlyAscii()},
        {"ply binary little endian", MeshFormat::Ply, vorlane::test::CubePlyBinary(false)},
        {"ply binary big endian", MeshFormat::Ply, vorlane::test::CubePlyBinary(true)},
        {"stl ascii, names mentioning outer", MeshFormat::Stl, vorlane::test::CubeStlAscii()},
        {"stl binary, header starting with solid", MeshFormat::Stl, vorlane::test::CubeStlBinary()},
    };
    for (const NamedBytes& c : cases) {
        SCOPED_TRACE(c.name);
        const vorlane::MeshReadResult read = vorlane::ReadMeshBytes(c.bytes, c.format, "cube");
        ASSERT_EQ(read.error, "");
        ExpectCube(read.table);
    }
}

TEST(MeshReader, FilesAreFoundByExtensionInAnyCase)
{
    vorlane::test::ScratchDirectory scratch;
    std::ofstream("cube.PLY", std::ios::binary) << vorlane::test::CubePlyBinary(false);
    const vorlane::MeshReadResult read = vorlane::ReadMeshFile("cube.PLY");
    ASSERT_EQ(read.error, "");
    ExpectCube(read.table);
}

// STL repeats each corner per triangle; welding makes the shared vertices.
TEST(MeshReader, StlCornersAreWeldedByExactPosition)
{
    std::string text = "solid two\n";
    const char* triangles[2][3] = {{"0 0 0", "1 0 0", "0 1 0"}, {"1 0 0", "1 1 0", "0 1 0.000001"}};
    for (const auto& t : triangles) {
        text += "facet normal 0 0 1\nouter loop\n";
        for (const char* corner : t) text += std::string("vertex ") + corner + "\n";
        text += "endloop\nendfacet\n";
    }
    text += "endsolid two\n";
    const vorlane::MeshReadResult read = vorlane::ReadMeshBytes(text, MeshFormat::Stl, "two.stl");
    ASSERT_EQ(read.error, "");
    // (1 0 0) is shared; (0 1 0) and (0 1 0.000001) differ and stay apart.
    EXPECT_EQ(read.table.vertices.size(), 5u);
    EXPECT_EQ(read.table.triangles.size(), 2u);
}

TEST(MeshReader, UnusedVerticesAreDroppedAndIndicesFollow)
{
    const std::string text = "v 9 9 9\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 2 3 4\n";
    const vorlane::MeshReadResult read = vorlane::ReadMeshBytes(text, MeshFormat::Obj, "t.obj");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.table.vertices.size(), 3u);
    EXPECT_EQ(read.table.vertices[0], (Vec3{0, 0, 0}));
    EXPECT_EQ(read.table.triangles[0], (Triangle{0, 1, 2}));
}

struct Refusal {
    const char* name;
    MeshFormat format;
    std::string bytes;
    const char* says;
};

std::string FirstLines(const std::string& bytes, int count)
{
    size_t end = 0;
    for (int i = 0; i < count; ++i) end = bytes.find('\n', end) + 1;
    return bytes.substr(0, end);
}

std::string Truncated(std::string bytes, size_t drop)
{
    bytes.resize(bytes.size() - drop);
    return bytes;
}

std::string Replaced(std::string bytes, const std::string& from, const std::string& to)
{
    bytes.replace(bytes.find(from), from.size(), to);
    return bytes;
}

std::string Poked(std::string bytes, size_t at, const std::string& raw)
{
    bytes.replace(at, raw.size(), raw);
    return bytes;
}

std::string RawFloat(float value)
{
    std::string raw;
    vorlane::test::Put<float>(raw, value);
    return raw;
}

std::string RawDouble(double value, bool bigEndian)
{
    std::string raw;
    vorlane::test::Put<double>(raw, value, bigEndian);
    return raw;
}

TEST(MeshReader, MalformedFilesAreRefusedWithTheirReason)
{
    using namespace vorlane::test;
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    const size_t plyBody = CubePlyBinary(false).find("end_header\n") + 11;
    const size_t plyBigBody = CubePlyBinary(true).find("end_header\n") + 11;
    const size_t stlFirstCorner = 84 + 12;
    const Refusal cases[] = {
        {"empty", MeshFormat::Obj, "", "the file is empty"},
        {"obj index past the end", MeshFormat::Obj, triangle + "f 1 2 4\n",
         "the 1st face refers to vertex 4, but the file has only 3 vertices"},
        {"obj index zero", MeshFormat::Obj, triangle + "f 1 2 0\n", "the 1st face refers to a vertex before the first"},
        {"obj relative index before the start", MeshFormat::Obj, triangle + "f 1 2 -4\n", "before the first"},
        {"obj nan", MeshFormat::Obj, "v 0 0 nan\n", "line 1: a vertex needs three finite coordinates"},
        {"obj beyond float", MeshFormat::Obj, "v 0 0 0\nv 1e39 0 0\n", "line 2: a vertex needs three finite"},
        {"obj two coordinates", MeshFormat::Obj, "v 0 0\n", "line 1: a vertex needs three finite coordinates"},
        {"obj bad corner", MeshFormat::Obj, triangle + "f 1 2 x\n", "line 4: face corner 'x' is not a vertex index"},
        {"obj no vertices", MeshFormat::Obj, "# nothing\n", "the file holds no vertices"},
        {"obj no faces", MeshFormat::Obj, triangle, "the file holds no faces"},
        {"obj refused by OpenMesh, with its words", MeshFormat::Obj, triangle + "vt 0.5\nf 1 2 3\n",
         "the reader refused the file: Only single 2D or 3D texture coordinate"},
        {"off truncated vertices", MeshFormat::Off, FirstLines(CubeOff(), 4), "truncated: 8 vertices promised, 1 found"},
        {"off truncated faces", MeshFormat::Off, FirstLines(CubeOff(), 16), "truncated: 6 faces promised, 5 found"},
        {"off index out of range", MeshFormat::Off, Replaced(CubeOff(), "4 0 3 2 1", "4 0 3 2 8"),
         "the 1st face refers to vertex 8, but the file has only 8 vertices"},
        {"off inf", MeshFormat::Off, Replaced(CubeOff(), "1.000000 1.000000 1.000000", "1 inf 1"),
         "line 10: a vertex needs three finite coordinates"},
        {"off corner count beyond the line", MeshFormat::Off, Replaced(CubeOff(), "4 0 3 2 1", "4000000000 0 3 2 1"),
         "a face needs its corner count and that many vertex indices"},
        {"off four-dimensional", MeshFormat::Off, CubeOff("4OFF"), "only three-dimensional OFF"},
        {"off binary", MeshFormat::Off, CubeOff("OFF BINARY"), "binary OFF is not supported"},
        {"off wrong magic", MeshFormat::Off, CubePlyAscii(), "does not start with an OFF header"},
        {"off bad counts", MeshFormat::Off, "OFF\n8 x 0\n", "line 2: expected the vertex, face and edge counts"},
        {"ply no end_header", MeshFormat::Ply, CubePlyAscii().substr(0, 100), "no end_header"},
        {"ply ascii truncated", MeshFormat::Ply, FirstLines(CubePlyAscii(), 21),
         "truncated: the data ends in the 4th of 6 faces"},
        {"ply ascii nan", MeshFormat::Ply, Replaced(CubePlyAscii(), "-1.000000 1.000000 -1.000000", "-1 nan -1"),
         "malformed: a value in the 4th of 8 vertices is not a number"},
        {"ply ascii index out of range", MeshFormat::Ply, Replaced(CubePlyAscii(), "4 1 2 6 5", "4 1 2 6 9"),
         "the 6th face refers to vertex 9, but the file has only 8 vertices"},
        {"ply ascii corner count past the data", MeshFormat::Ply,
         Replaced(CubePlyAscii(), "4 1 2 6 5", "4294967295 1 2 6 5"),
         "line 24: the 6th of 6 faces promises 4294967295 corners, the line holds 4"},
        {"ply binary truncated in vertices", MeshFormat::Ply, CubePlyBinary(false).substr(0, plyBody + 100),
         "truncated: the data ends in the 5th of 8 vertices"},
        {"ply binary truncated in faces", MeshFormat::Ply, Truncated(CubePlyBinary(false), 3),
         "truncated: the data ends in the 6th of 6 faces"},
        {"ply binary nan", MeshFormat::Ply, Poked(CubePlyBinary(true), plyBigBody + 25 * 2 + 8, RawDouble(NAN, true)),
         "vertex 2 has a coordinate that is not a finite number"},
        {"ply binary huge list count", MeshFormat::Ply,
         Poked(Replaced(CubePlyBinary(false), "list uint8", "list uint32"), plyBody + 8 * 25, "\xff\xff\xff\x7f"),
         "truncated"},
        {"ply property before element", MeshFormat::Ply, "ply\nformat ascii 1.0\nproperty float x\nend_header\n",
         "header line 3: a property before any element"},
        {"ply unknown type", MeshFormat::Ply, Replaced(CubePlyAscii(), "property float x", "property int64 x"),
         "needs a known type"},
        {"ply unknown format", MeshFormat::Ply, Replaced(CubePlyAscii(), "ascii", "binary_middle_endian"),
         "unknown format"},
        {"ply element without values", MeshFormat::Ply,
         Replaced(CubePlyAscii(), "element face", "element nothing 2000000000\nelement face"),
         "element 'nothing' has no properties"},
        {"ply no z", MeshFormat::Ply, Replaced(CubePlyAscii(), "property float z\n", ""), "no 'z' property"},
        {"ply foreign list", MeshFormat::Ply,
         Replaced(CubePlyAscii(), "end_header", "property list uchar float texcoord\nend_header"),
         "list property 'texcoord' of element 'face' is not supported"},
        {"stl binary truncated", MeshFormat::Stl, Truncated(CubeStlBinary(), 10),
         "truncated binary STL: 12 triangles promised need 684 bytes, the file has 674"},
        {"stl binary nan", MeshFormat::Stl, Poked(CubeStlBinary(), stlFirstCorner + 2 * 50 + 16, RawFloat(NAN)),
         "the 3rd triangle has a corner that is not a finite number"},
        {"stl binary no triangles", MeshFormat::Stl, CubeStlBinary().substr(0, 80) + std::string(4, '\0'),
         "the file holds no vertices"},
        {"stl ascii no endsolid", MeshFormat::Stl, Truncated(CubeStlAscii(), 20), "truncated: no 'endsolid' line"},
        {"stl ascii two coordinates", MeshFormat::Stl, Replaced(CubeStlAscii(), "vertex -1.000000 -1.000000 -1.000000",
                                                                "vertex -1 -1"),
         "line 4: a vertex needs three finite coordinates"},
        {"stl ascii two corners", MeshFormat::Stl,
         Replaced(CubeStlAscii(), "      vertex 1.000000 1.000000 -1.000000\n", ""),
         "line 3: a triangle needs three vertex lines"},
        {"stl neither", MeshFormat::Stl, "hello", "neither ASCII STL nor long enough for binary STL"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        const vorlane::MeshReadResult read = vorlane::ReadMeshBytes(c.bytes, c.format, "bad.mesh");
        EXPECT_NE(read.error.find(c.says), std::string::npos) << read.error;
        EXPECT_EQ(read.error.rfind("bad.mesh: ", 0), 0u) << read.error;
        EXPECT_EQ(read.error.find('\n'), std::string::npos);
        EXPECT_TRUE(read.table.vertices.empty() && read.table.triangles.empty());
    }
}

TEST(MeshReader, FileProblemsNameTheFile)
{
    vorlane::test::ScratchDirectory scratch;
    std::filesystem::create_directory("folder.obj");
    std::ofstream("cube.xyz") << "v 0 0 0\n";
    ASSERT_EQ(mkfifo("pipe.stl", 0600), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"missing.obj", "missing.obj: cannot open: No such file or directory"},
        {"folder.obj", "folder.obj: is a directory"},
        {"pipe.stl", "pipe.stl: is a FIFO, not a regular file"},
        {"cube.xyz", "cube.xyz: unknown mesh format '.xyz' (expected .obj, .off, .ply, .stl, .gltf or .glb)"},
        {"cube", "cube: unknown mesh format ''"},
    };
    for (const auto& [path, says] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(vorlane::ReadMeshFile(path).error.substr(0, std::string(says).size()), says);
    }
}

// An L-shaped hexagon is concave: a fan from the wrong corner would cover
// area outside it.
TEST(TriangulatePolygon, ConcavePolygonKeepsItsAreaAndWinding)
{
    const std::vector<Vec3> points = {{0, 0, 5}, {2, 0, 5}, {2, 1, 5}, {1, 1, 5}, {1, 2, 5}, {0, 2, 5}};
    for (int start = 0; start < 6; ++start) {
        SCOPED_TRACE(start);
        std::vector<int32_t> corners;
        for (int i = 0; i < 6; ++i) corners.push_back((start + i) % 6);
        std::vector<Triangle> triangles;
        vorlane::TriangulatePolygon(points, corners.data(), corners.size(), triangles);
        ASSERT_EQ(triangles.size(), 4u);
        double area = 0.0;
        for (const Triangle& t : triangles) {
            const Vec3& a = points[static_cast<size_t>(t[0])];
            const Vec3& b = points[static_cast<size_t>(t[1])];
            const Vec3& c = points[static_cast<size_t>(t[2])];
            const double twice = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
            EXPECT_GT(twice, 0.0);
            area += twice / 2.0;
        }
        EXPECT_DOUBLE_EQ(area, 3.0);
    }
}

}  // namespace
