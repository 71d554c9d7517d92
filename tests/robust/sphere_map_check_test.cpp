#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "bench/mesh_generator.h"
#include "geometry/dvec3.h"
#include "geometry/model_catalogue.h"
#include "robust/sphere_map_check.h"
#include "test_support.h"

namespace vorlane {
namespace {

struct Refusal {
    const char* what;
    ModelTable table;
    Vec3 centre;
    const char* says;
};

TEST(CheckSphereMap, UnsoundMeshesAreRefusedWithTheirFirstFault)
{
    const Refusal refusals[] = {
        {"open", test::WithoutTriangle(CubeTable(), 11), {0, 0, 0}, "source mesh refused: it is not closed: edge (2, 3) of triangle 5 is in 1 triangle"},
        {"flipped", test::WithTriangleReversed(CubeTable(), 3), {0, 0, 0},
         "source mesh refused: it is not consistently oriented: triangle 3 runs edge (1, 6) the same way as triangle 2"},
        {"centre outside", CubeTable(), {20, 20, 20}, "source mesh refused: it is not star-shaped about its centre: triangle 0 is seen edge-on or from behind"},
        {"centre on a face", CubeTable(), {0, 0, 25}, "source mesh refused: it is not star-shaped about its centre: triangle 8 is seen edge-on or from behind"},
        {"wraps twice", test::Joined(Icosphere(1, 20.0f), Icosphere(1, 40.0f)), {0, 0, 0}, "source mesh refused: it is not star-shaped about its centre: triangle 0 and triangle "},
        {"repeated corner", ModelTable{CubeTable().vertices, {{0, 0, 1}}}, {0, 0, 0}, "source mesh refused: triangle 0 names one vertex twice"},
        {"missing vertex", ModelTable{CubeTable().vertices, {{0, 1, 8}}}, {0, 0, 0}, "source mesh refused: triangle 0 names vertex 8, which does not exist"},
        {"empty", ModelTable{}, {0, 0, 0}, "source mesh refused: it has no triangles"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        Polyhedron bad;
        bad.vertices = r.table.vertices;
        for (Vec3& v : bad.vertices) v = {v.x - r.centre.x, v.y - r.centre.y, v.z - r.centre.z};
        bad.faces = r.table.triangles;
        bad.centre = r.centre;
        const std::string error = CheckSphereMap(bad, "source");
        EXPECT_EQ(error.rfind(r.says, 0), 0u) << error;
        EXPECT_EQ(CheckSphereMap(bad, "target").rfind("target mesh refused: ", 0), 0u);
    }
}

// Closed and oriented by trying every pair of sides: each side u -> v the
// only one running so, and exactly one running v -> u.
bool EverySideOnceEachWay(const ModelTable& table)
{
    for (const Triangle& f : table.triangles) {
        for (size_t i = 0; i < 3; ++i) {
            int along = 0, against = 0;
            for (const Triangle& g : table.triangles) {
                for (size_t j = 0; j < 3; ++j) {
                    along += g[j] == f[i] && g[(j + 1) % 3] == f[(i + 1) % 3];
                    against += g[j] == f[(i + 1) % 3] && g[(j + 1) % 3] == f[i];
                }
            }
            if (along != 1 || against != 1) return false;
        }
    }
    return true;
}

// Seeded damage to an icosphere (triangles dropped, reversed, repeated or
// given another corner; sound pieces added): an edge fault is named exactly
// where trying every pair finds one, so the fast pass accepts nothing open.
TEST(ValidateSphereCover, NamesAnEdgeFaultExactlyWhereEveryPairOfSidesFindsOne)
{
    std::mt19937 random(24);
    int sound = 0;
    for (int trial = 0; trial < 400; ++trial) {
        ModelTable table = Icosphere(1, 10.0f);
        for (int d = 0; d <= trial % 3; ++d) {
            const size_t t = random() % table.triangles.size();
            const auto v = static_cast<int32_t>(random() % table.vertices.size());
            Triangle& f = table.triangles[t];
            switch (random() % 5) {
            case 0: table = test::WithoutTriangle(table, t); break;
            case 1: table = test::WithTriangleReversed(table, t); break;
            case 2: table.triangles.push_back(f); break;
            case 3: if (v != f[1] && v != f[2]) f[0] = v; break;
            default: table = test::Joined(table, ModelTable{Icosphere(0, 1.0f).vertices, {{0, 1, 2}, {0, 2, 1}}});
            }
        }
        Polyhedron model;
        model.vertices = table.vertices;
        model.faces = table.triangles;
        const std::string problem = ValidateSphereCover(model);
        const bool edgeFault = problem.rfind("it is not closed", 0) == 0 || problem.rfind("it is not consistently oriented", 0) == 0;
        EXPECT_EQ(edgeFault, !EverySideOnceEachWay(table)) << trial << ": " << problem;
        sound += !edgeFault;
    }
    EXPECT_EQ(sound, 35);  // the pieces added alone, or damage undone
}

// How often the faces' total solid angle wraps the sphere.
long SolidAngleCover(const Polyhedron& model)
{
    double total = 0.0;
    for (const Triangle& f : model.faces) total += SolidAngle(ToD(model.vertices[f[0]]), ToD(model.vertices[f[1]]), ToD(model.vertices[f[2]]));
    return std::lround(total / (4.0 * M_PI));
}

// The exact cover count skips triangles whose corners lie all on one side
// of a plane through the probe: long fans across both planes, a corner right
// on the probe's ray (the next probe taken) and a double cover still count
// as their solid angles say.
TEST(CoversSphereOnce, AgreesWithTheSolidAngleWhereTrianglesSpanTheProbesPlanes)
{
    ModelTable onProbe = Icosphere(3, 2.0f);
    Vec3* nearest = &onProbe.vertices[0];
    for (Vec3& v : onProbe.vertices) nearest = v.x * 0.2913f - v.y * 0.8137f + v.z * 0.5029f > nearest->x * 0.2913f - nearest->y * 0.8137f + nearest->z * 0.5029f ? &v : nearest;
    *nearest = {0.5826f, -1.6274f, 1.0058f};  // twice the first probe, exactly
    ModelTable turned = CubeSphere(7, 5.0f);
    Rotate(turned, 3);
    const struct {
        const char* what;
        Polyhedron model;
        long cover;
    } cases[] = {{"icosphere", BuildPolyhedron(Icosphere(3, 10.0f), {3, -2, 1}), 1}, {"fans", BuildPolyhedron(Bipyramid(300, 10.0f, 0.1), {0, 0, 1}), 1},
                 {"turned cube-sphere", BuildPolyhedron(turned, {0, 0, 0}), 1}, {"corner on the probe", BuildPolyhedron(onProbe, {0, 0, 0}), 1},
                 {"twice", BuildPolyhedron(test::Joined(Icosphere(2, 4.0f), Icosphere(1, 8.0f)), {0, 0, 0}), 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(SolidAngleCover(c.model), c.cover);
        EXPECT_EQ(CoversSphereOnce(c.model), c.cover == 1);
        EXPECT_EQ(ValidateSphereCover(c.model).empty(), c.cover == 1);
    }
}

TEST(CheckSphereMap, EveryCatalogueModelAboutTheOriginPasses)
{
    for (const CatalogueEntry& entry : Catalogue()) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(CheckSphereMap(entry.build({0, 0, 0}), "source"), "");
    }
}

// Built-in models skip PrepareMesh: this check, before the merge, refuses
// them whole, past float or not.
TEST(CheckSphereMap, BuiltInModelAboutAFarCentreIsRefusedNotTrapped)
{
    const Polyhedron cube = BuildCube({-3e38f, 0, 0});
    EXPECT_EQ(CheckSphereMap(cube, "source").rfind("source mesh refused: ", 0), 0u);
    ModelTable box = CubeTable();
    for (Vec3& v : box.vertices) v = {3e38f + v.x * 3e35f, v.y * 3e35f, v.z * 3e35f};
    const Polyhedron far = BuildPolyhedron(box, {-3e38f, 0, 0});
    EXPECT_EQ(CheckSphereMap(far, "target").rfind("target mesh refused: vertex 0 lies too far", 0), 0u) << CheckSphereMap(far, "target");
}

}  // namespace
}  // namespace vorlane
