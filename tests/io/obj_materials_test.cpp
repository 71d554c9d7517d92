// An OBJ's materials as colours: Kd, map_Kd sampled at each corner's vt,
// and the libraries or textures that cannot be read, each one warning.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "io/mesh_reader.h"
#include "io/obj_files.h"
#include "test_support.h"

namespace {

using vorlane::Vec3;
namespace test = vorlane::test;

// The tetrahedron of the colour tests, face k under material k of its
// library t.mtl, corner v taking vt v.
std::string PaintedTetrahedron(const std::vector<const char*>& materials, const char* library = "t.mtl")
{
    std::string text = std::string("mtllib ") + library + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n";
    text += "vt 0.25 0.75\nvt 0.75 0.75\nvt 0.25 0.25\nvt 0.75 0.25\n";
    const char* faces[4] = {"f 1/1 3/3 2/2", "f 1/1 2/2 4/4", "f 1/1 4/4 3/3", "f 2/2 3/3 4/4"};
    for (std::size_t f = 0; f < 4; ++f) text += std::string("usemtl ") + materials[f] + "\n" + faces[f] + "\n";
    return text;
}

// 0.5 in linear light as shown: where a red and a blue corner meet.
constexpr float Half = 0.735356983f;

TEST(ObjMaterials, FacesShowTheirMaterialsAndLeftOutFilesAreOneWarningEach)
{
    test::ScratchDirectory scratch;
    // 2 by 2: red, green over blue, white; vt (0.25, 0.75) is the top left texel.
    std::ofstream("tex.png", std::ios::binary) << test::RgbPng(2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    const std::string library = "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n"
                                "newmtl pic\nKd 1 1 1\nmap_Kd -s 1 1 1 tex.png\nnewmtl lost\nKd 0 1 0\nmap_Kd gone.png\n";
    std::ofstream("t.mtl") << library;
    const struct {
        const char* name;
        std::string obj;
        std::vector<Vec3> colours;  // in table order: 1, 3, 2, 4 by first use
        std::vector<std::string> warnings;
    } cases[] = {
        {"Kd, averaged in linear light", PaintedTetrahedron({"red", "red", "red", "blue"}),
         {{1, 0, 0}, {Half, 0, Half}, {Half, 0, Half}, {Half, 0, Half}}, {}},
        {"map_Kd at vt, v counted from the bottom", PaintedTetrahedron({"pic", "pic", "pic", "pic"}),
         {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {1, 1, 1}}, {}},
        {"a texture that cannot be read", PaintedTetrahedron({"lost", "lost", "lost", "lost"}),
         {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}},
         {"t.obj: texture 'gone.png' of 't.mtl' cannot open: No such file or directory; its material shows its "
          "colour alone"}},
        {"an unknown material is white", PaintedTetrahedron({"red", "red", "red", "nameless"}),
         {{1, 0, 0}, {1, Half, Half}, {1, Half, Half}, {1, Half, Half}}, {}},
        {"a missing library", PaintedTetrahedron({"red", "red", "red", "red"}, "gone.mtl"), {},
         {"t.obj: material library 'gone.mtl' cannot open: No such file or directory; its materials are left out"}},
        {"a library outside the folder", PaintedTetrahedron({"red", "red", "red", "red"}, "../t.mtl"), {},
         {"t.obj: material library '../t.mtl' leaves the file's folder; its materials are left out"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream("t.obj") << c.obj;
        const vorlane::MeshReadResult read = vorlane::ReadMeshFile("t.obj");
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.warnings, c.warnings);
        ASSERT_EQ(read.colours.size(), c.colours.size());
        for (std::size_t v = 0; v < c.colours.size(); ++v) {
            EXPECT_NEAR(read.colours[v].x, c.colours[v].x, 1e-6) << v;
            EXPECT_NEAR(read.colours[v].y, c.colours[v].y, 1e-6) << v;
            EXPECT_NEAR(read.colours[v].z, c.colours[v].z, 1e-6) << v;
        }
    }
}

}  // namespace
