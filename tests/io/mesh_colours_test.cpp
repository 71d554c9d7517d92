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

}  // namespace
