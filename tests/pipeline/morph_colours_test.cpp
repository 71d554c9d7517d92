// Colours through the morph: a textured glTF cube's texture at both ends,
// an OBJ cube's materials at both ends, and a cube split at its seams
// merging as the closed cube does.
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <fstream>

#include "io/gltf_files.h"
#include "io/gltf_reader.h"
#include "io/gltf_writer.h"
#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "io/obj_files.h"
#include "pipeline/morph_job.h"
#include "test_support.h"

namespace {

using vorlane::Vec3;
namespace test = vorlane::test;

// The cube corner nearest p, 8 where none lies within 1e-4.
std::size_t CornerAt(const Vec3& p)
{
    for (std::size_t k = 0; k < 8; ++k) {
        const Vec3& c = test::CubeCorners()[k];
        if (std::fabs(c.x - p.x) < 1e-4f && std::fabs(c.y - p.y) < 1e-4f && std::fabs(c.z - p.z) < 1e-4f) return k;
    }
    return 8;
}

void ExpectPixel(const Vec3& colour, std::size_t corner)
{
    ASSERT_LT(corner, 8u);
    const auto pixel = test::CubeCornerPixels()[corner];
    EXPECT_NEAR(colour.x, pixel[0] / 255.0, 1e-5);
    EXPECT_NEAR(colour.y, pixel[1] / 255.0, 1e-5);
    EXPECT_NEAR(colour.z, pixel[2] / 255.0, 1e-5);
}

vorlane::MorphJob Merged(const std::string& source, const std::string& target)
{
    vorlane::MorphRequest request;
    request.source = source;
    request.target = target;
    return vorlane::RunMorphJob(request);
}

// Merged vertices start with the source's vertices and go on with the
// target's: those sit on a cube corner at their own end and take its pixel.
TEST(MorphColours, EachEndShowsItsOwnCubesTexture)
{
    test::ScratchDirectory scratch;
    test::CubeGltfOptions doubled;
    doubled.nodes = {{{"mesh", 0}, {"scale", {2, 2, 2}}, {"rotation", {0, 0, 0.6, 0.8}}}};
    std::ofstream("cube.glb", std::ios::binary) << test::CubeGltf().Glb();
    std::ofstream("turned.glb", std::ios::binary) << test::CubeGltf(doubled).Glb();
    const vorlane::MorphJob job = Merged("cube.glb", "turned.glb");
    ASSERT_EQ(job.error, "");
    const vorlane::MorphMesh& mesh = job.merged.mesh;
    ASSERT_EQ(job.colours.start.size(), mesh.startPositions.size());
    ASSERT_EQ(job.colours.end.size(), mesh.startPositions.size());
    for (std::size_t v = 0; v < 8; ++v) {
        SCOPED_TRACE(v);
        ExpectPixel(job.colours.start[v], CornerAt(mesh.startPositions[v]));
        // note: undone by hand: halved, then turned back about z (cos 0.28, sin 0.96).
        const Vec3 q = mesh.endPositions[8 + v];
        ExpectPixel(job.colours.end[8 + v], CornerAt({(0.28f * q.x + 0.96f * q.y) / 2, (-0.96f * q.x + 0.28f * q.y) / 2, q.z / 2}));
    }
    // The glTF holds them in linear light, the end as base plus offset.
    ASSERT_EQ(vorlane::WriteGltfMorph(mesh, "morph.glb", vorlane::GltfContainer::Binary, {false, 1, nullptr, &job.colours}), "");
    tinygltf::Model model;
    std::string error, warning;
    ASSERT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&model, &error, &warning, "morph.glb")) << error;
    const tinygltf::Primitive& primitive = model.meshes.at(0).primitives.at(0);
    const auto floats = [&](int accessor) {
        const tinygltf::BufferView& view = model.bufferViews.at(static_cast<std::size_t>(model.accessors.at(static_cast<std::size_t>(accessor)).bufferView));
        return reinterpret_cast<const float*>(model.buffers.at(0).data.data() + view.byteOffset);
    };
    const float* base = floats(primitive.attributes.at("COLOR_0"));
    const float* offset = floats(primitive.targets.at(0).at("COLOR_0"));
    for (std::size_t v = 0; v < 16; ++v) {
        for (std::size_t k = 0; k < 3; ++k) {
            const double start = (&job.colours.start[v].x)[k], end = (&job.colours.end[v].x)[k];
            const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
            EXPECT_NEAR(base[3 * v + k], linear(start), 1e-6);
            EXPECT_NEAR(base[3 * v + k] + offset[3 * v + k], linear(end), 1e-6);
        }
    }
    // The window's reader brings back both ends' colours as shown.
    const vorlane::GltfMorphReadResult back = vorlane::ReadGltfMorph("morph.glb");
    ASSERT_EQ(back.error, "");
    ASSERT_EQ(back.morph.startColours.size(), job.colours.start.size());
    for (std::size_t v = 0; v < job.colours.start.size(); ++v) {
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR((&back.morph.startColours[v].x)[k], (&job.colours.start[v].x)[k], 1e-5);
            EXPECT_NEAR((&back.morph.endColours[v].x)[k], (&job.colours.end[v].x)[k], 1e-5);
        }
    }
    // The binary PLY of step 0 reads back with them, to a byte.
    ASSERT_EQ(vorlane::WriteMeshAtStep(mesh, 0, "start.ply", vorlane::StepFormat::Ply, job.colours), "");
    const vorlane::MeshReadResult ply = vorlane::ReadMeshFile("start.ply");
    ASSERT_EQ(ply.error, "");
    ASSERT_EQ(ply.colours.size(), ply.table.vertices.size());
    for (std::size_t v = 0; v < ply.table.vertices.size(); ++v) {
        const std::size_t corner = CornerAt(ply.table.vertices[v]);
        if (corner == 8) continue;
        const auto pixel = test::CubeCornerPixels()[corner];
        EXPECT_NEAR(ply.colours[v].x, pixel[0] / 255.0, 1e-6);
        EXPECT_NEAR(ply.colours[v].y, pixel[1] / 255.0, 1e-6);
        EXPECT_NEAR(ply.colours[v].z, pixel[2] / 255.0, 1e-6);
    }
    // The OBJ of step 0 carries the same colours after each position.
    ASSERT_EQ(vorlane::WriteMeshAtStep(mesh, 0, "start.obj", vorlane::StepFormat::Obj, job.colours), "");
    std::ifstream obj("start.obj");
    std::string line;
    std::getline(obj, line);
    for (std::size_t v = 0; v < 8; ++v) {
        char tag = 0;
        Vec3 p, c;
        obj >> tag >> p.x >> p.y >> p.z >> c.x >> c.y >> c.z;
        ASSERT_EQ(tag, 'v');
        const auto pixel = test::CubeCornerPixels()[CornerAt(p)];
        EXPECT_NEAR(c.x, pixel[0] / 255.0, 1e-3);
        EXPECT_NEAR(c.y, pixel[1] / 255.0, 1e-3);
        EXPECT_NEAR(c.z, pixel[2] / 255.0, 1e-3);
    }
}

TEST(MorphColours, ASplitSeamCubeMergesAsTheClosedOne)
{
    test::ScratchDirectory scratch;
    std::ofstream("cube.off") << test::CubeOff();
    std::ofstream("seams.glb", std::ios::binary) << test::CubeGltf().Glb();
    const vorlane::MorphJob closed = Merged("cube.off", "icosahedron");
    const vorlane::MorphJob seams = Merged("seams.glb", "icosahedron");
    ASSERT_EQ(closed.error, "");
    ASSERT_EQ(seams.error, "");
    EXPECT_EQ(seams.merged.mesh.startPositions, closed.merged.mesh.startPositions);
    EXPECT_EQ(seams.merged.mesh.endPositions, closed.merged.mesh.endPositions);
    ASSERT_EQ(seams.merged.mesh.faces.size(), closed.merged.mesh.faces.size());
    for (std::size_t f = 0; f < closed.merged.mesh.faces.size(); ++f)
        EXPECT_EQ(seams.merged.mesh.faces[f].indices, closed.merged.mesh.faces[f].indices) << f;
    EXPECT_TRUE(closed.colours.empty());
    // note: the icosahedron has no colours, so the end is white throughout.
    ASSERT_FALSE(seams.colours.empty());
    for (const Vec3& c : seams.colours.end) EXPECT_EQ(c, (Vec3{1, 1, 1}));
}

// Vertex colours interpolate linearly, so on a cube whose corners' colours
// depend on one coordinate alone every merged vertex shows that function.
TEST(MorphColours, AnObjCubesMaterialsShowAtBothEnds)
{
    test::ScratchDirectory scratch;
    std::ofstream("c.mtl") << "newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\nnewmtl blue\nKd 0 0 1\n";
    // Quad 5 is the face x = 1, quad 3 the face y = 1.
    std::ofstream("source.obj") << test::MaterialCubeObj({"blue", "blue", "blue", "blue", "blue", "red"}, "c.mtl");
    std::ofstream("target.obj") << test::MaterialCubeObj({"red", "red", "red", "green", "red", "red"}, "c.mtl");
    const vorlane::MorphJob job = Merged("source.obj", "target.obj");
    ASSERT_EQ(job.error, "");
    EXPECT_TRUE(job.warnings.empty());
    const vorlane::MorphMesh& mesh = job.merged.mesh;
    ASSERT_EQ(job.colours.start.size(), mesh.startPositions.size());
    ASSERT_EQ(job.colours.end.size(), mesh.endPositions.size());
    // note: where a red and a blue (or green) corner meet, 0.5 in linear light.
    constexpr float Half = 0.735356983f;
    const auto along = [](float t, const Vec3& low, const Vec3& high) {
        return Vec3{low.x + (high.x - low.x) * t, low.y + (high.y - low.y) * t, low.z + (high.z - low.z) * t};
    };
    const struct {
        const char* end;
        const std::vector<Vec3>& positions;
        const std::vector<Vec3>& colours;
        int axis;
        Vec3 low, high;  // the colours at -1 and +1 along the axis
    } ends[] = {
        {"source", mesh.startPositions, job.colours.start, 0, {0, 0, 1}, {Half, 0, Half}},
        {"target", mesh.endPositions, job.colours.end, 1, {1, 0, 0}, {Half, Half, 0}},
    };
    for (const auto& e : ends) {
        SCOPED_TRACE(e.end);
        for (std::size_t v = 0; v < e.positions.size(); ++v) {
            const Vec3 expected = along(((&e.positions[v].x)[e.axis] + 1.0f) / 2.0f, e.low, e.high);
            EXPECT_NEAR(e.colours[v].x, expected.x, 1e-5) << v;
            EXPECT_NEAR(e.colours[v].y, expected.y, 1e-5) << v;
            EXPECT_NEAR(e.colours[v].z, expected.z, 1e-5) << v;
        }
    }
}

}  // namespace
