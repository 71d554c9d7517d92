#include "prepare/prepare_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "geometry/exact_predicates.h"
#include "geometry/model_catalogue.h"
#include "prepare/central_crowding.h"
#include "robust/float_range.h"

namespace vorlane {
namespace {

ModelTable Tetrahedron(const Vec3 (&corners)[4])
{
    return {{corners[0], corners[1], corners[2], corners[3]}, {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}, {0, 2, 1}}};
}

ModelTable Box(float x, float y, float z, float half)
{
    ModelTable box;
    for (int k = 0; k < 8; ++k) box.vertices.push_back({x + (k & 1 ? half : -half), y + (k & 2 ? half : -half), z + (k & 4 ? half : -half)});
    box.triangles = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                     {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    return box;
}

// Each refusal is one line naming the file and saying what is wrong; before
// the float checks the huge tetrahedron killed the tool inside GMP.
TEST(PrepareMesh, HostileCoordinatesAreRefusedWithOneLine)
{
    const ModelTable huge = Tetrahedron({{-3.4e38f, -3e38f, -3e38f}, {-3.4e38f, 3e38f, -3e38f}, {-3.4e38f, 0, 3e38f}, {3.4e38f, 0, 0}});
    ModelTable notFinite = Box(0, 0, 0, 1);
    notFinite.vertices[5].y = std::numeric_limits<float>::quiet_NaN();
    ModelTable flat = Box(0, 0, 0, 1);
    for (Vec3& v : flat.vertices) v.z = 0.0f;
    const struct {
        const char* name;
        ModelTable table;
        std::optional<Vec3> centre;
        const char* says;
    } cases[] = {
        {"huge tetrahedron", huge, std::nullopt, "huge.obj: vertex 0 lies too far from the centre"},
        {"huge tetrahedron about a far centre", huge, Vec3{-3e38f, 0, 0}, "huge.obj: vertex 0 lies too far from the centre"},
        {"cube about a far centre", Box(0, 0, 0, 1), Vec3{3.4e38f, 0, 0}, ""},
        {"not a number", notFinite, std::nullopt, "huge.obj: vertex 5 (1, nan, 1) is not a finite number"},
        {"flat", flat, std::nullopt, "huge.obj: the mesh has no volume"},
        {"2-unit cube at x = 1e9", Box(1e9f, 0, 0, 1), std::nullopt, "huge.obj: the mesh collapses in float precision"},
        {"2-unit cube at x = 1e6", Box(1e6f, 0, 0, 1), std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PreparedModel prepared = PrepareMesh(c.table, {c.centre, EmbeddingChoice::Auto}, "huge.obj");
        EXPECT_EQ(prepared.error.rfind(c.says, 0), 0u) << prepared.error;
        EXPECT_EQ(prepared.error.find('\n'), std::string::npos);
    }
}

// Offsets that are finite floats but land past the float range once the
// centre is added back, on either side.
TEST(CheckFloatRange, PositionsBackAboutTheCentreMustStayFloats)
{
    const struct {
        float centre, half;
        bool refused;
    } cases[] = {{3e38f, 1e38f, true}, {-3e38f, 1e38f, true}, {2e38f, 1e38f, false}, {-2e38f, 1e38f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.centre);
        Polyhedron model = BuildPolyhedron(Box(0, 0, 0, c.half), {0, 0, 0});
        model.centre = {c.centre, 0, 0};
        EXPECT_EQ(CheckFloatRange(model).find("positions about it overflow") != std::string::npos, c.refused) << CheckFloatRange(model);
    }
}

// A vertex where two fans meet is split whichever choice leads to the
// spherical map: one vertex more, and the mesh taken.
TEST(PrepareMesh, PinchedVerticesAreSplitUnderEveryChoiceThatEmbeds)
{
    const ModelTable pinched = PinchedLoop(1);
    for (const EmbeddingChoice choice : {EmbeddingChoice::Auto, EmbeddingChoice::Spherical}) {
        SCOPED_TRACE(EmbeddingName(choice));
        const PreparedModel prepared = PrepareMesh(pinched, {std::nullopt, choice}, "loop.off");
        EXPECT_EQ(prepared.error, "");
        EXPECT_EQ(prepared.model.vertices.size(), pinched.vertices.size() + 1);
        EXPECT_EQ(prepared.model.map, SphereMap::Spherical);
    }
}

// Seen from its middle, a tube piles its ends into two small caps of the
// sphere. On the side at height z (radius 1) the solid angle per area is
// (1 + z^2)^-1.5, against a fair 4 pi / (2 pi 100) for a tube 100 long;
// a hundredfold short from |z| = 17.06 on: about two thirds of the side.
// Auto then takes the spherical map, whose merge with a sphere made 15
// million crossings where it now makes a hundred thousand.
TEST(PrepareMesh, AutoLeavesACrowdedCentralMap)
{
    const struct {
        const char* name;
        ModelTable table;
        double share, within;
        SphereMap map;
    } cases[] = {
        {"icosphere", Icosphere(3, 1.0f), 0.0, 0.0, SphereMap::Central},
        {"cube", Box(0, 0, 0, 1), 0.0, 0.0, SphereMap::Central},
        {"tube 100 long", Tube(64, 201, 100.0f, 1.0f), 1.0 - 17.06 / 50.0, 0.02, SphereMap::Spherical},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(CrowdedShare(BuildPolyhedron(c.table, {})), c.share, c.within);
        const PreparedModel prepared = PrepareMesh(c.table, {}, c.name);
        ASSERT_EQ(prepared.error, "");
        EXPECT_EQ(prepared.model.map, c.map);
    }
}

// A flat decal (a square fanned about its middle, open) closed by its patch
// is a sphere in topology: auto embeds it, every face then turning
// counter-clockwise on the sphere, alone or as a piece beside a cube. A
// two-sided triangle, too few corners to embed, and a sheet asked to be
// mapped centrally, stay refused for their lack of volume.
TEST(PrepareMesh, FlatSheetsAreEmbeddedUnderAuto)
{
    const ModelTable sheet{{{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {0, 0, 0}}, {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}}};
    ModelTable beside = Box(0, 0, 0, 1);
    for (const Vec3& v : sheet.vertices) beside.vertices.push_back({v.x + 5, v.y, v.z});
    for (const Triangle& t : sheet.triangles) beside.triangles.push_back({t[0] + 8, t[1] + 8, t[2] + 8});
    const ModelTable triangle{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}};
    const struct {
        const char* name;
        ModelTable table;
        EmbeddingChoice choice;
        const char* says;  // the refusal's start, or "" for taken
        std::size_t pieces;
    } cases[] = {
        {"decal", sheet, EmbeddingChoice::Auto, "", 0},
        {"decal beside a cube", beside, EmbeddingChoice::Auto, "", 2},
        {"decal, central asked", sheet, EmbeddingChoice::Central, "sheet.obj: the mesh has no volume", 0},
        {"one triangle", triangle, EmbeddingChoice::Auto, "sheet.obj: the mesh has no volume", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareOptions options;
        options.embedding = c.choice;
        options.pieces = true;
        const PreparedModel prepared = PrepareMesh(c.table, options, "sheet.obj");
        EXPECT_EQ(prepared.error.rfind(c.says, 0), 0u) << prepared.error;
        if (*c.says != '\0') continue;
        ASSERT_EQ(prepared.pieces.size(), c.pieces);
        const Polyhedron& flat = c.pieces == 0 ? prepared.model : prepared.pieces.back().model;
        EXPECT_EQ(flat.map, SphereMap::Spherical);
        EXPECT_EQ(flat.faceCount(), 6);
        for (const Triangle& f : flat.faces) {
            EXPECT_EQ(Orient3(flat.spherePoints[static_cast<std::size_t>(f[0])], flat.spherePoints[static_cast<std::size_t>(f[1])],
                              flat.spherePoints[static_cast<std::size_t>(f[2])]), 1);
        }
    }
}

}  // namespace
}  // namespace vorlane
