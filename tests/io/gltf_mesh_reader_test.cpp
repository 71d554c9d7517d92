// glTF as an input mesh: the cube read whole, placed by its nodes, painted
// by its texture, the same through meshopt, and Draco refused by name.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <string>

#include "gltf_files.h"
#include "io/mesh_reader.h"
#include "test_support.h"

namespace {

using vorlane::MeshFormat;
using vorlane::MeshReadResult;
using vorlane::Vec3;
using vorlane::test::CubeGltf;
using vorlane::test::CubeGltfOptions;
using vorlane::test::GltfJson;

// Signed volume and whether every directed edge is matched once by its reverse.
double Volume(const vorlane::ModelTable& table)
{
    double volume = 0.0;
    for (const auto& t : table.triangles) {
        const Vec3 &a = table.vertices[t[0]], &b = table.vertices[t[1]], &c = table.vertices[t[2]];
        volume += (double{a.x} * (double{b.y} * c.z - double{b.z} * c.y) - double{a.y} * (double{b.x} * c.z - double{b.z} * c.x) +
                   double{a.z} * (double{b.x} * c.y - double{b.y} * c.x)) / 6.0;
    }
    return volume;
}

// Seams welded: the 24 vertices of the file are the cube's 8 corners.
TEST(GltfMeshReader, SplitSeamsAreWeldedAndTheTexturePaintsEachCorner)
{
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "glb" : "gltf beside its .bin");
        vorlane::test::ScratchDirectory scratch;
        const vorlane::test::GltfParts parts = CubeGltf();
        if (binary) {
            std::ofstream("cube.glb", std::ios::binary) << parts.Glb();
        } else {
            std::ofstream("cube.gltf", std::ios::binary) << parts.Gltf("cube%20data.bin");
            std::ofstream("cube data.bin", std::ios::binary) << parts.bin;
        }
        const MeshReadResult read = vorlane::ReadMeshFile(binary ? "cube.glb" : "cube.gltf");
        ASSERT_EQ(read.error, "");
        ASSERT_EQ(read.table.vertices.size(), 8u);
        EXPECT_EQ(read.table.triangles.size(), 12u);
        EXPECT_NEAR(Volume(read.table), 8.0, 1e-9);
        ASSERT_EQ(read.colours.size(), 8u);
        for (std::size_t v = 0; v < 8; ++v) {
            const auto& corners = vorlane::test::CubeCorners();
            const std::size_t corner = static_cast<std::size_t>(
                std::find(corners.begin(), corners.end(), read.table.vertices[v]) - corners.begin());
            ASSERT_LT(corner, 8u);
            const auto pixel = vorlane::test::CubeCornerPixels()[corner];
            EXPECT_NEAR(read.colours[v].x, pixel[0] / 255.0, 1e-5) << corner;
            EXPECT_NEAR(read.colours[v].y, pixel[1] / 255.0, 1e-5) << corner;
            EXPECT_NEAR(read.colours[v].z, pixel[2] / 255.0, 1e-5) << corner;
        }
    }
}

struct Placement {
    const char* name;
    GltfJson nodes;
    std::function<Vec3(const Vec3&)> expected;  // where a cube corner lands
    double volume;
};

// Nodes move, turn, scale and mirror the cube; a mirror keeps it outward.
TEST(GltfMeshReader, NodesPlaceTheMeshThroughTheirParents)
{
    const double h = std::sqrt(0.5);
    const Placement cases[] = {
        {"translation, rotation a quarter about z, scale 2, under a parent moved up 5",
         {{{"translation", {0, 0, 5}}, {"children", {1}}},
          {{"mesh", 0}, {"translation", {10, 0, 0}}, {"rotation", {0, 0, h, h}}, {"scale", {2, 2, 2}}}},
         [](const Vec3& p) { return Vec3{10 - 2 * p.y, 2 * p.x, 2 * p.z + 5}; }, 64.0},
        {"a matrix mirroring x",
         {{{"mesh", 0}, {"matrix", {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1}}}},
         [](const Vec3& p) { return Vec3{3 - p.x, p.y, p.z}; }, 8.0},
    };
    for (const Placement& c : cases) {
        SCOPED_TRACE(c.name);
        CubeGltfOptions options;
        options.textured = false;
        options.nodes = c.nodes;
        const MeshReadResult read = vorlane::ReadMeshBytes(CubeGltf(options).Glb(), MeshFormat::Glb, "placed.glb");
        ASSERT_EQ(read.error, "");
        EXPECT_TRUE(read.colours.empty());
        ASSERT_EQ(read.table.vertices.size(), 8u);
        for (std::size_t k = 0; k < 8; ++k) {
            const Vec3 want = c.expected(vorlane::test::CubeCorners()[k]);
            const auto found = std::find_if(read.table.vertices.begin(), read.table.vertices.end(), [&](const Vec3& v) {
                return std::fabs(v.x - want.x) < 1e-5f && std::fabs(v.y - want.y) < 1e-5f && std::fabs(v.z - want.z) < 1e-5f;
            });
            EXPECT_NE(found, read.table.vertices.end()) << k;
        }
        EXPECT_NEAR(Volume(read.table), c.volume, 1e-4);
    }
}

TEST(GltfMeshReader, MeshoptInputReadsAsThePlainFile)
{
    CubeGltfOptions compressed;
    compressed.mode = "ATTRIBUTES";
    const MeshReadResult plain = vorlane::ReadMeshBytes(CubeGltf().Glb(), MeshFormat::Glb, "plain.glb");
    const MeshReadResult packed = vorlane::ReadMeshBytes(CubeGltf(compressed).Glb(), MeshFormat::Glb, "packed.glb");
    ASSERT_EQ(plain.error, "");
    ASSERT_EQ(packed.error, "");
    EXPECT_EQ(packed.table.vertices, plain.table.vertices);
    EXPECT_EQ(packed.table.triangles, plain.table.triangles);
    EXPECT_EQ(packed.colours, plain.colours);
}

TEST(GltfMeshReader, RefusalsNameTheFileAndTheReason)
{
    CubeGltfOptions draco;
    draco.required = {"KHR_draco_mesh_compression"};
    CubeGltfOptions empty;
    empty.nodes = {{{"name", "no mesh"}}};
    CubeGltfOptions unknown;
    unknown.required = {"KHR_texture_basisu"};
    const struct {
        const char* name;
        std::string bytes;
        MeshFormat format;
        std::string error;
    } cases[] = {
        {"draco", CubeGltf(draco).Glb(), MeshFormat::Glb,
         "d.glb: the mesh is Draco-compressed (KHR_draco_mesh_compression), which this reader does not decode: "
         "export it without Draco"},
        {"unknown extension", CubeGltf(unknown).Glb(), MeshFormat::Glb,
         "d.glb: needs the glTF extension 'KHR_texture_basisu', which this reader does not know"},
        {"a file named from bytes", CubeGltf().Gltf("cube.bin"), MeshFormat::Gltf,
         "d.glb: buffer 0's uri names a file, but these bytes come from no folder"},
        {"a scene without a mesh", CubeGltf(empty).Glb(), MeshFormat::Glb, "d.glb: there are no triangles in the default scene"},
        {"JSON that is no object", "[1]", MeshFormat::Gltf, "d.glb: the JSON is not an object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MeshReadResult read = vorlane::ReadMeshBytes(c.bytes, c.format, "d.glb");
        EXPECT_EQ(read.error, c.error);
        EXPECT_TRUE(read.table.vertices.empty());
    }
}

}  // namespace
