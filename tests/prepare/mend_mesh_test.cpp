#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bench/mesh_generator.h"
#include "embed/mesh_topology.h"
#include "prepare/fill_holes.h"
#include "prepare/orient_outward.h"
#include "prepare/repair_mesh.h"
#include "prepare/weld_vertices.h"
#include "test_support.h"

namespace {

using namespace vorlane;

// Twice the smallest triangle area over the squared diagonal: 0 for a flat one.
double SmallestArea(const ModelTable& table)
{
    double smallest = HUGE_VAL;
    for (const Triangle& t : table.triangles) {
        const Vec3 a = table.vertices[static_cast<size_t>(t[0])], b = table.vertices[static_cast<size_t>(t[1])],
                   c = table.vertices[static_cast<size_t>(t[2])];
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const double x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
        smallest = std::min(smallest, std::sqrt(x * x + y * y + z * z));
    }
    return smallest;
}

// The triangles of the icosphere around vertex v, taken out: a hole of v's valence.
ModelTable WithoutFan(ModelTable table, int32_t v)
{
    table.triangles.erase(std::remove_if(table.triangles.begin(), table.triangles.end(),
                                         [&](const Triangle& t) { return std::find(t.begin(), t.end(), v) != t.end(); }),
                          table.triangles.end());
    return table;
}

// Without the vertices no triangle uses, as a reader leaves a mesh.
ModelTable Compact(ModelTable table)
{
    std::vector<int32_t> slot(table.vertices.size(), -1);
    for (const Triangle& t : table.triangles)
        for (const int32_t c : t) slot[static_cast<size_t>(c)] = 0;
    ModelTable out;
    for (size_t v = 0; v < slot.size(); ++v)
        if (slot[v] == 0) slot[v] = static_cast<int32_t>(out.vertices.size()), out.vertices.push_back(table.vertices[v]);
    for (Triangle t : table.triangles) out.triangles.push_back({slot[static_cast<size_t>(t[0])], slot[static_cast<size_t>(t[1])], slot[static_cast<size_t>(t[2])]});
    return out;
}

// Holes of a sphere are closed into one oriented genus-0 surface, each
// patch the fewest triangles a polygon of its rim needs, none flat.
TEST(FillHoles, SpheresWithOneAndThreeHolesCloseOutward)
{
    const ModelTable sphere = Icosphere(2, 1.0f);
    const ModelTable three = Compact(WithoutFan(WithoutFan(test::WithoutTriangle(sphere, 40), 0), 11));
    const struct {
        const char* name;
        ModelTable table;
        int32_t loops, patch;
    } cases[] = {
        {"one triangle out", test::WithoutTriangle(sphere, 7), 1, 1},
        {"a five-fan out", Compact(WithoutFan(sphere, 0)), 1, 3},
        {"a triangle and two five-fans out", three, 3, 7},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        const size_t input = c.table.triangles.size();
        const HoleFilling filling = FillHoles(c.table);
        EXPECT_EQ(filling.error, "");
        EXPECT_EQ(filling.loops, c.loops);
        EXPECT_EQ(c.table.patchTriangles, c.patch);
        EXPECT_EQ(c.table.triangles.size(), input + static_cast<size_t>(c.patch));
        EXPECT_EQ(CheckSphereTopology(c.table), "");
        EXPECT_FALSE(OrientOutward(c.table)) << "a patch was wound inward";
        EXPECT_GT(SmallestArea(c.table), 1e-4);
    }
}

// A rim longer than the exact limit gets a fan about its centroid.
TEST(FillHoles, LongRimGetsACentroidFan)
{
    ModelTable disk;
    const int n = ExactPatchLimit + 1;
    disk.vertices.push_back({0, 0, -1});
    for (int i = 0; i < n; ++i)
        disk.vertices.push_back({std::cos(6.2831853f * i / n), std::sin(6.2831853f * i / n), 0.0f});
    for (int i = 0; i < n; ++i) disk.triangles.push_back({0, 1 + (i + 1) % n, 1 + i});
    const HoleFilling filling = FillHoles(disk);
    EXPECT_EQ(filling.loops, 1);
    EXPECT_EQ(disk.patchTriangles, n);
    ASSERT_EQ(disk.vertices.size(), static_cast<size_t>(n + 2));
    EXPECT_NEAR(disk.vertices.back().z, 0.0f, 1e-6f);
    EXPECT_EQ(CheckSphereTopology(disk), "");
    EXPECT_FALSE(OrientOutward(disk));
}

// A fin on an edge of a tetrahedron whose other triangles join its sheets
// at both ends, so the repair keeps the edge crowded: the open rim runs
// through that edge and is no loop. Before, it was traced as a hole of one
// edge; now the edge is named, as the topology checks name it.
TEST(FillHoles, RimThroughACrowdedEdgeIsRefusedNamingIt)
{
    const struct {
        const char* name;
        Vec3 tip;  // the fin's third corner
        const char* says;
        int32_t loops;
    } cases[] = {
        {"fin on the far side", {-1, -1, 0.5f}, "the mesh is not manifold: edge (0, 1) is held by 3 triangles", 0},
        {"fin inside, split off", {1, 1, 0.5f}, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModelTable table{{{0, 0, 0}, {0, 0, 1}, {1, 0, 0.5f}, {0, 1, 0.5f}, c.tip}, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}, {0, 2, 3}, {1, 3, 2}}};
        EXPECT_EQ(RepairMesh(table).error, "");
        const HoleFilling filling = FillHoles(table);
        EXPECT_EQ(filling.error, c.says);
        EXPECT_EQ(filling.loops, c.loops);
    }
}

// Repairs pinned on an icosphere: what each fault leaves once repaired.
TEST(RepairMesh, RepeatsFlipsAndCrowdedEdges)
{
    const ModelTable sphere = Icosphere(1, 1.0f);
    ModelTable repeated = sphere;
    repeated.triangles.push_back(sphere.triangles[3]);
    repeated.triangles.push_back({sphere.triangles[5][0], sphere.triangles[5][2], sphere.triangles[5][1]});
    // A fin: a third triangle on the edge of triangle 0's first two corners.
    ModelTable fin = sphere;
    fin.vertices.push_back({3.0f, 3.0f, 3.0f});
    fin.triangles.push_back({sphere.triangles[0][0], sphere.triangles[0][1], static_cast<int32_t>(sphere.vertices.size())});
    const struct {
        const char* name;
        ModelTable table;
        int32_t duplicates, split, flipped;
        const char* topology;
    } cases[] = {
        {"two repeats", repeated, 2, 0, 0, ""},
        {"one reversed", test::WithTriangleReversed(sphere, 9), 0, 0, 1, ""},
        {"most reversed", [&] {
             ModelTable t = sphere;
             for (size_t k = 1; k < t.triangles.size(); ++k) std::swap(t.triangles[k][1], t.triangles[k][2]);
             return t;
         }(), 0, 0, 1, ""},
        {"an edge of three triangles", fin, 0, 1, 0, "the mesh is not closed: edge (42, 43) is held by 1 triangle"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        const RepairReport report = RepairMesh(c.table);
        EXPECT_EQ(report.error, "");
        EXPECT_EQ(report.duplicates, c.duplicates);
        EXPECT_EQ(report.splitEdges, c.split);
        EXPECT_EQ(report.flipped, c.flipped);
        EXPECT_EQ(CheckSphereTopology(c.table), c.topology);
    }
}

// Seams of an exporter: the cube with its faces' corners apart comes back
// as the 8-vertex cube; near but not equal corners need a distance.
TEST(WeldVertices, SplitCubeBecomesTheCube)
{
    ModelTable split;
    const ModelTable cube = CubeSphere(1, 1.0f);
    for (const Triangle& t : cube.triangles) {
        for (const int32_t c : t) split.vertices.push_back(cube.vertices[static_cast<size_t>(c)]);
        const auto n = static_cast<int32_t>(split.vertices.size());
        split.triangles.push_back({n - 3, n - 2, n - 1});
    }
    ModelTable nudged = split;
    for (size_t v = 0; v < nudged.vertices.size(); ++v) nudged.vertices[v].x += 1e-5f * static_cast<float>(v + 1);
    const struct {
        const char* name;
        ModelTable table;
        double distance;
        size_t vertices;
    } cases[] = {
        {"at one position", split, 0.0, cube.vertices.size()},
        {"nudged, exact", nudged, 0.0, split.vertices.size()},
        {"nudged, within 1e-3", nudged, 1e-3, cube.vertices.size()},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        const ModelTable before = c.table;
        const WeldResult weld = WeldVertices(c.table, c.distance);
        EXPECT_EQ(c.table.vertices.size(), c.vertices);
        EXPECT_EQ(weld.welded, static_cast<int32_t>(split.vertices.size() - c.vertices));
        EXPECT_EQ(c.table.triangles.size(), cube.triangles.size());
        if (c.vertices == cube.vertices.size()) {
            EXPECT_EQ(CheckSphereTopology(c.table), "");
            // Each group keeps its first corner's position, never an average.
            std::vector<int32_t> first(c.table.vertices.size(), -1);
            for (size_t v = 0; v < weld.renumbered.size(); ++v) {
                const auto to = static_cast<size_t>(weld.renumbered[v]);
                if (first[to] < 0) first[to] = static_cast<int32_t>(v);
            }
            for (size_t w = 0; w < first.size(); ++w) {
                const Vec3& kept = c.table.vertices[w];
                const Vec3& was = before.vertices[static_cast<size_t>(first[w])];
                EXPECT_TRUE(kept.x == was.x && kept.y == was.y && kept.z == was.z) << w;
            }
        }
    }
}

}  // namespace
