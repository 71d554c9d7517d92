// Vertex colours in the text formats that carry them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/mesh_reader.h"

namespace {

using vorlane::Vec3;

// A tetrahedron whose vertex lines carry what is given after x y z.
std::string Tetrahedron(const std::vector<std::string>& after)
{
    const char* points[4] = {"0 0 0", "1 0 0", "0 1 0", "0 0 1"};
    std::string text;
    for (int v = 0; v < 4; ++v) text += std::string("v ") + points[v] + " " + after[static_cast<std::size_t>(v)] + "\n";
    return text + "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";
}

TEST(MeshColours, ObjVertexLinesGiveTheirColoursByTableVertex)
{
    const struct {
        const char* name;
        std::vector<std::string> after;
        std::vector<Vec3> colours;  // in table order: 1, 3, 2, 4 by first use
    } cases[] = {
        {"fractions", {"1 0 0", "0 1 0", "0 0 1", "0.5 0.25 1"}, {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0.5f, 0.25f, 1}}},
        {"none", {"", "", "", ""}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vorlane::MeshReadResult read = vorlane::ReadMeshBytes(Tetrahedron(c.after), vorlane::MeshFormat::Obj, "t.obj");
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.colours, c.colours);
    }
}

// The same tetrahedron as PLY whose vertices carry properties after x y z.
std::string PlyTetrahedron(const std::string& properties, const std::vector<std::string>& after)
{
    const char* points[4] = {"0 0 0", "1 0 0", "0 1 0", "0 0 1"};
    std::string text = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n" +
                       properties + "element face 4\nproperty list uchar int vertex_indices\nend_header\n";
    for (int v = 0; v < 4; ++v) text += std::string(points[v]) + " " + after[static_cast<std::size_t>(v)] + "\n";
    return text + "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
}

TEST(MeshColours, PlyVertexPropertiesGiveTheirColoursByTableVertex)
{
    const std::string bytes = "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n";
    const std::string floats = "property float diffuse_red\nproperty float diffuse_green\nproperty float diffuse_blue\n";
    const struct {
        const char* name;
        std::string properties;
        std::vector<std::string> after;
        std::vector<Vec3> colours;  // in table order: 0, 2, 1, 3 by first use
    } cases[] = {
        {"bytes, alpha ignored", bytes, {"255 0 0 9", "0 255 0 9", "0 0 255 9", "51 102 255 9"},
         {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0.2f, 0.4f, 1}}},
        {"fractions, clamped", floats, {"1 0 0", "0 1 0", "0 0 2", "0.5 -1 0.25"},
         {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0.5f, 0, 0.25f}}},
        {"none", "", {"", "", "", ""}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vorlane::MeshReadResult read =
            vorlane::ReadMeshBytes(PlyTetrahedron(c.properties, c.after), vorlane::MeshFormat::Ply, "t.ply");
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.colours, c.colours);
    }
}

}  // namespace
