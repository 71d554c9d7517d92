#include "prepare/kernel_centre.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "geometry/model_catalogue.h"
#include "io/mesh_files.h"
#include "io/mesh_reader.h"
#include "prepare/orient_outward.h"
#include "robust/merge_meshes.h"
#include "robust/sphere_map_check.h"

namespace {

using vorlane::ModelTable;
using vorlane::Triangle;
using vorlane::Vec3;

ModelTable Read(const std::string& off)
{
    const vorlane::MeshReadResult read = vorlane::ReadMeshBytes(off, vorlane::MeshFormat::Off, "prism.off");
    EXPECT_EQ(read.error, "");
    return read.table;
}

// Distance of centre behind the plane of the nearest triangle (negative if
// it is in front of one).
double Clearance(const ModelTable& table, const Vec3& centre)
{
    double clearance = INFINITY;
    for (const Triangle& t : table.triangles) {
        const Vec3& a = table.vertices[static_cast<size_t>(t[0])];
        const Vec3& b = table.vertices[static_cast<size_t>(t[1])];
        const Vec3& c = table.vertices[static_cast<size_t>(t[2])];
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
        const double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
        const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (length == 0.0) continue;
        clearance = std::min(clearance, (nx * (a.x - centre.x) + ny * (a.y - centre.y) + nz * (a.z - centre.z)) / length);
    }
    return clearance;
}

ModelTable SpikyIcosahedron()
{
    ModelTable table = vorlane::IcosahedronTable();
    for (size_t v = 0; v < table.vertices.size(); v += 2) {
        table.vertices[v].x *= 2.5f;
        table.vertices[v].y *= 2.5f;
        table.vertices[v].z *= 2.5f;
    }
    return table;
}

TEST(KernelCentre, KnownShapesGiveTheCentreOfTheLargestBall)
{
    const double inradius = 1.0 / (3.0 + std::sqrt(3.0));
    ModelTable tetrahedron{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
    const struct {
        const char* name;
        ModelTable table;
        Vec3 centre;
        double radius;
    } cases[] = {
        {"cube", Read(vorlane::test::CubeOff()), {0, 0, 0}, 1.0},
        {"tetrahedron: the incentre", tetrahedron,
         {static_cast<float>(inradius), static_cast<float>(inradius), static_cast<float>(inradius)}, inradius},
        // Seen from the unit cube at the L's corner, the whole L is visible.
        {"L-shaped prism: its kernel is the unit cube", Read(vorlane::test::PrismOff({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}})),
         {0.5f, 0.5f, 0.5f}, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vorlane::KernelCentreResult found = vorlane::FindKernelCentre(c.table);
        ASSERT_EQ(found.error, "");
        EXPECT_NEAR(found.centre.x, c.centre.x, 1e-5);
        EXPECT_NEAR(found.centre.y, c.centre.y, 1e-5);
        EXPECT_NEAR(found.centre.z, c.centre.z, 1e-5);
        EXPECT_NEAR(found.radius, c.radius, 1e-5);
    }
}

TEST(KernelCentre, CentreLiesInsideTheKernelOfEveryTestMesh)
{
    std::vector<std::pair<std::string, ModelTable>> meshes = {{"spiky icosahedron", SpikyIcosahedron()}};
    const std::pair<const char*, ModelTable (*)()> catalogue[] = {
        {"cube", vorlane::CubeTable},         {"rhombic prism", vorlane::RhombicPrismTable},
        {"icosahedron", vorlane::IcosahedronTable}, {"pyramid", vorlane::PyramidTable},
        {"pointed bar", vorlane::PointedBarTable},  {"box", vorlane::BoxTable}};
    for (const auto& [name, table] : catalogue) meshes.emplace_back(name, table());
    // A far-off, flattened copy: the fixed tolerances must scale with the mesh.
    ModelTable far = SpikyIcosahedron();
    for (Vec3& v : far.vertices) v = Vec3{v.x * 0.01f + 5000.0f, v.y * 0.002f - 300.0f, v.z * 0.01f};
    meshes.emplace_back("far and flat", far);
    // Its kernel, the slab itself, is half a unit thick at half-size 1000:
    // among the thinnest a centre is found for.
    ModelTable slab = Read(vorlane::test::CubeOff());
    for (Vec3& v : slab.vertices) v = Vec3{v.x * 1000.0f, v.y * 1000.0f, v.z * 0.5f};
    meshes.emplace_back("slab 2000 x 2000 x 1", slab);

    for (auto& [name, table] : meshes) {
        SCOPED_TRACE(name);
        vorlane::OrientOutward(table);
        const vorlane::KernelCentreResult found = vorlane::FindKernelCentre(table);
        ASSERT_EQ(found.error, "");
        EXPECT_GT(Clearance(table, found.centre), 0.0);
        EXPECT_NEAR(Clearance(table, found.centre), found.radius, 1e-6 * (1.0 + found.radius));
        EXPECT_EQ(vorlane::ValidateSphereCover(vorlane::BuildPolyhedron(table, found.centre)), "");
    }
}

TEST(KernelCentre, MeshesWithoutAUsableKernelAreRefused)
{
    ModelTable inward = Read(vorlane::test::CubeOff());
    for (Triangle& t : inward.triangles) std::swap(t[1], t[2]);
    ModelTable single{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}};
    ModelTable flat{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}}};
    ModelTable degenerate{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}}};
    const struct {
        const char* name;
        ModelTable table;
        const char* says;
        vorlane::CentreProblem problem;
    } cases[] = {
        // The arms of a thick C hide each other's inner faces from every point.
        {"thick letter C", Read(vorlane::test::PrismOff({{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {3, 2}, {3, 3}, {0, 3}})),
         "not star-shaped", vorlane::CentreProblem::NotStarShaped},
        // Facing inward, every face wants the centre outside the cube.
        {"cube facing inward", inward, "not star-shaped", vorlane::CentreProblem::NotStarShaped},
        {"one triangle", single, "unbounded", vorlane::CentreProblem::Unbounded},
        {"two-sided triangle", flat, "the mesh has no volume", vorlane::CentreProblem::NoVolume},
        {"no area", degenerate, "no triangle of any area", vorlane::CentreProblem::NoArea},
        {"nothing", ModelTable{}, "no triangles", vorlane::CentreProblem::NoTriangles},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vorlane::KernelCentreResult found = vorlane::FindKernelCentre(c.table);
        EXPECT_NE(found.error.find(c.says), std::string::npos) << found.error;
        EXPECT_EQ(found.problem, c.problem);
    }
}

TEST(OrientOutward, InwardMeshIsTurnedAndOutwardMeshKept)
{
    ModelTable table = Read(vorlane::test::CubeOff());
    const ModelTable outward = table;
    EXPECT_FALSE(vorlane::OrientOutward(table));
    EXPECT_EQ(table.triangles, outward.triangles);
    for (Triangle& t : table.triangles) std::swap(t[0], t[1]);
    EXPECT_TRUE(vorlane::OrientOutward(table));
    EXPECT_EQ(vorlane::FindKernelCentre(table).error, "");
}

}  // namespace
