#include "merge/flat_repair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "bench/mesh_generator.h"
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

MorphMesh MergedBenchPair(int level)
{
    const Polyhedron a = BuildPolyhedron(Icosphere(level, 50.0f), {0, 0, 0});
    const Polyhedron b = BuildPolyhedron(BenchCubeSphere(level), {0, 0, 0});
    return MergeMeshes(a, b, {}, 1, Polygons::Drop).mesh;
}

// The flat triangles found on two threads are those a test of every
// triangle finds, and the repair on two threads writes what one does.
TEST(FlatRepairTwoThreads, SameAsEveryTriangleAndAsOneThread)
{
    for (const int level : {4}) {
        SCOPED_TRACE(level);
        const MorphMesh merged = MergedBenchPair(level);
        ASSERT_GE(merged.faces.size(), 8192u);
        std::vector<std::size_t> every;
        for (std::size_t t = 0; t < merged.faces.size(); ++t) {
            const FaceIndices& f = merged.faces[t].indices;
            if (IsFlatTriangle(merged, f[0], f[1], f[2])) every.push_back(t);
        }
        bool trianglesOnly = true;
        EXPECT_EQ(FindFlat(merged, Ends(merged), 2, trianglesOnly), every);
        EXPECT_FALSE(every.empty());
        MorphMesh one = merged, two = merged;
        const FlatRepair r1 = RepairFlatTriangles(one, 1), r2 = RepairFlatTriangles(two, 2);
        EXPECT_EQ(r1.collapsed, r2.collapsed);
        EXPECT_EQ(r1.flipped, r2.flipped);
        ASSERT_EQ(one.faces.size(), two.faces.size());
        for (std::size_t t = 0; t < one.faces.size(); ++t) EXPECT_EQ(one.faces[t].indices, two.faces[t].indices);
        EXPECT_EQ(one.edges, two.edges);
        EXPECT_EQ(one.startPositions, two.startPositions);
    }
}

}  // namespace
}  // namespace vorlane
