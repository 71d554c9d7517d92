#include "merge/flat_repair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "bench/mesh_generator.h"
#include "geometry/triangle_connectivity.h"
#include "merge/flat_triangles.h"
#include "robust/merge_meshes.h"

namespace vorlane {
namespace {

using namespace flat_repair;

// Edges sent through collapses against a set built edge by edge: each
// survivor once, low-high, ascending, none between merged ends.
TEST(FlatRepairEdges, FollowCollapsesMatchesEveryEdgeMapped)
{
    const struct {
        const char* what;
        std::vector<int32_t> rep;
        std::vector<IndexPair> edges;
    } cases[] = {
        {"nothing collapsed", {0, 1, 2, 3}, {{0, 1}, {0, 2}, {1, 3}}},
        {"high end into a low one", {0, 1, 2, 1}, {{0, 3}, {1, 2}, {2, 3}, {1, 3}}},
        {"low end into a high one turns the pair", {0, 4, 2, 3, 4}, {{0, 1}, {1, 2}, {1, 3}, {2, 4}, {3, 4}}},
        {"a chain of collapses", {0, 0, 1, 2, 4}, {{0, 4}, {1, 4}, {2, 3}, {3, 4}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::set<std::pair<int32_t, int32_t>> expected;
        for (const IndexPair& e : c.edges) {
            int32_t a = e.from, b = e.to;
            while (c.rep[a] != a) a = c.rep[a];
            while (c.rep[b] != b) b = c.rep[b];
            if (a != b) expected.insert({std::min(a, b), std::max(a, b)});
        }
        std::vector<IndexPair> edges = c.edges;
        FollowCollapses(edges, c.rep);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (const IndexPair& e : edges) got.push_back({e.from, e.to});
        const std::vector<std::pair<int32_t, int32_t>> want(expected.begin(), expected.end());
        EXPECT_EQ(got, want);
    }
}

MorphMesh Morph(const ModelTable& start, const std::vector<Vec3>& end)
{
    MorphMesh mesh;
    mesh.startPositions = start.vertices, mesh.endPositions = end, mesh.edges = BuildPolyhedron(start, {0, 0, 0}).edges;
    for (const Triangle& t : start.triangles) mesh.faces.push_back({3, FaceIndices(t[0], t[1], t[2])});
    return mesh;
}

// A cube-sphere of 8748 triangles with 400 corners moved onto a neighbour at
// one end or both: slivers and needles everywhere.
MorphMesh RandomSlivers(uint32_t seed)
{
    ModelTable start = CubeSphere(27, 1.0f), end = start;
    PerturbRadially(end, 0.2f, seed);
    std::mt19937 random(seed);
    for (int i = 0; i < 400; ++i) {
        const Triangle& t = At(start.triangles, random() % start.triangles.size());
        const unsigned where = random() % 3;
        if (where != 1) At(start.vertices, t[1]) = At(start.vertices, t[0]);
        if (where != 0) At(end.vertices, t[1]) = At(end.vertices, t[0]);
    }
    return Morph(start, end.vertices);
}

// The flat triangles found on two threads are those a test of every
// triangle finds, and the repair on two threads writes what one does, bit
// for bit, on a merge and on random slivers.
TEST(FlatRepairTwoThreads, SameAsEveryTriangleAndAsOneThread)
{
    const Polyhedron a = BuildPolyhedron(Icosphere(4, 50.0f), {0, 0, 0}), b = BuildPolyhedron(BenchCubeSphere(4), {0, 0, 0});
    const MorphMesh cases[] = {MergeMeshes(a, b, {}, 1, Polygons::Drop).mesh, RandomSlivers(1), RandomSlivers(2), RandomSlivers(3)};
    for (const MorphMesh& merged : cases) {
        SCOPED_TRACE(&merged - cases);
        ASSERT_GE(merged.faces.size(), 8192u);
        std::vector<std::size_t> every;
        for (std::size_t t = 0; t < merged.faces.size(); ++t) {
            const FaceIndices& f = merged.faces[t].indices;
            if (IsFlatTriangle(merged, f[0], f[1], f[2])) every.push_back(t);
        }
        bool trianglesOnly = true;
        EXPECT_EQ(FindFlat(merged, Ends(merged), 2, trianglesOnly), every);
        EXPECT_GE(every.size(), &merged == cases ? 10u : 400u);
        MorphMesh one = merged, two = merged;
        const FlatRepair r1 = RepairFlatTriangles(one, 1), r2 = RepairFlatTriangles(two, 2);
        EXPECT_EQ(std::vector<int32_t>({r1.collapsed, r1.flipped, r1.remaining}), std::vector<int32_t>({r2.collapsed, r2.flipped, r2.remaining}));
        ASSERT_EQ(one.faces.size(), two.faces.size());
        for (std::size_t t = 0; t < one.faces.size(); ++t) EXPECT_EQ(one.faces[t].indices, two.faces[t].indices);
        EXPECT_EQ(one.edges, two.edges);
        EXPECT_EQ(one.startPositions, two.startPositions);
        EXPECT_EQ(one.endPositions, two.endPositions);
    }
}

// Each side in two triangles running it opposite ways, one fan at each
// vertex, no two triangles on one set of corners, V - E + F = 2.
bool SimplicialSphere(const std::vector<Triangle>& live, std::size_t vertices)
{
    EdgeProblem problem;
    const TriangleConnectivity net = BuildTriangleConnectivity(live, vertices, &problem);
    if (problem.fault != EdgeFault::None) return false;
    const std::vector<int32_t> fans = FanCounts(net);
    std::set<std::set<int32_t>> corners;
    for (const Triangle& t : live) corners.insert({t.begin(), t.end()});
    return corners.size() == live.size() && *std::max_element(fans.begin(), fans.end()) == 1 &&
           std::count(fans.begin(), fans.end(), 1) - static_cast<std::ptrdiff_t>(live.size()) / 2 == 2;
}

// Side collapses on small meshes with a sliver (triangle 0's second corner
// on its first), against a brute force of what a collapse may do: its ends
// share two neighbours and leave a simplicial sphere. The flat ones left are pinned.
TEST(FlatRepairCollapse, ChoosesACollapseTheBruteForceAllows)
{
    const ModelTable tetrahedron{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
    const struct {
        const char* what;
        ModelTable table;
        int end;  // where the corner moves: 0 the start, 1 the end, 2 both
        int32_t collapsed;
        std::size_t flatLeft;
    } cases[] = {
        {"icosphere, at the start", Icosphere(1, 1.0f), 0, 1, 0},
        {"icosphere, at the end", Icosphere(1, 1.0f), 1, 1, 0},
        {"cube-sphere, at both ends", CubeSphere(2, 1.0f), 2, 1, 0},
        {"tetrahedron: nothing to lose", tetrahedron, 0, 0, 2},
        {"bipyramid: the equator side pinches, a pole side leaves a flat one", Bipyramid(3, 1.0f), 0, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelTable start = c.table;
        std::vector<Vec3> end = start.vertices;
        if (c.end != 1) At(start.vertices, start.triangles[0][1]) = At(start.vertices, start.triangles[0][0]);
        if (c.end != 0) At(end, start.triangles[0][1]) = At(end, start.triangles[0][0]);
        const MorphMesh mesh = Morph(start, end);
        bool trianglesOnly = true;
        std::vector<std::size_t> flat = FindFlat(mesh, Ends(mesh), 1, trianglesOnly);
        TriangleConnectivity net{start.triangles, std::vector<int32_t>(3 * start.triangles.size()), std::vector<int32_t>(end.size())};
        Reach reach(end.size());
        std::vector<int32_t> rep(end.size());
        for (std::size_t v = 0; v < rep.size(); ++v) rep[v] = static_cast<int32_t>(v);
        EXPECT_EQ(CollapseShortSides(Ends(mesh), net, reach, rep, flat), c.collapsed);
        EXPECT_EQ(flat.size(), c.flatLeft);
        for (int32_t going = 0; going < static_cast<int32_t>(rep.size()); ++going) {
            const int32_t stays = At(rep, going);
            if (stays == going) continue;
            std::set<int32_t> around[2];  // the neighbours of going and of stays
            std::vector<Triangle> after;
            for (Triangle t : start.triangles) {
                for (int k = 0; k < 3; ++k)
                    if (t[k] == going || t[k] == stays) around[t[k] == stays].insert({t[(k + 1) % 3], t[(k + 2) % 3]});
                if (std::count(t.begin(), t.end(), going) + std::count(t.begin(), t.end(), stays) == 2) continue;
                std::replace(t.begin(), t.end(), going, stays);
                after.push_back(t);
            }
            std::vector<int32_t> shared;
            std::set_intersection(around[0].begin(), around[0].end(), around[1].begin(), around[1].end(), std::back_inserter(shared));
            EXPECT_TRUE(around[0].count(stays) && shared.size() == 2 && SimplicialSphere(after, end.size())) << going << " into " << stays;
        }
        std::vector<Triangle> live;
        std::copy_if(net.triangles.begin(), net.triangles.end(), std::back_inserter(live), [](const Triangle& t) { return t[0] >= 0; });
        EXPECT_TRUE(SimplicialSphere(live, end.size()));
        EXPECT_EQ(std::count_if(live.begin(), live.end(), [&](const Triangle& t) { return IsFlatTriangle(mesh, t[0], t[1], t[2]); }),
                  static_cast<std::ptrdiff_t>(c.flatLeft));
    }
}

}  // namespace
}  // namespace vorlane
