#include <gtest/gtest.h>

#include <string>

#include "bench/mesh_generator.h"
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
