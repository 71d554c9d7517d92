#include "geometry/triangle_connectivity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <set>
#include <vector>

#include "bench/mesh_generator.h"

namespace vorlane {
namespace {

const std::vector<Triangle> Tetrahedron = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

std::vector<Triangle> Shifted(std::vector<Triangle> triangles, int32_t by)
{
    for (Triangle& t : triangles)
        for (int32_t& v : t) v += by;
    return triangles;
}

std::vector<std::set<int32_t>> NeighbourSets(const std::vector<Triangle>& triangles, std::size_t vertices)
{
    std::vector<std::set<int32_t>> sets(vertices);
    for (const Triangle& t : triangles)
        for (int k = 0; k < 3; ++k) {
            At(sets, t[k]).insert(t[(k + 1) % 3]);
            At(sets, t[k]).insert(t[(k + 2) % 3]);
        }
    return sets;
}

// Twins from every pair of half-edges: a twin pair is an edge held by
// exactly two half-edges, running opposite ways; outgoing is the last
// half-edge leaving the vertex.
void ExpectBruteForceTwins(const TriangleConnectivity& mesh)
{
    const int32_t n = HalfEdgeCount(mesh);
    for (int32_t h = 0; h < n; ++h) {
        int32_t along = 0, twin = -1;
        for (int32_t g = 0; g < n; ++g) {
            const bool same = Origin(mesh, g) == Origin(mesh, h) && Destination(mesh, g) == Destination(mesh, h);
            const bool reverse = Origin(mesh, g) == Destination(mesh, h) && Destination(mesh, g) == Origin(mesh, h);
            along += same || reverse;
            if (reverse) twin = g;
        }
        EXPECT_EQ(Twin(mesh, h), along == 2 ? twin : -1) << "half-edge " << h;
    }
    for (int32_t v = 0; v < VertexCount(mesh); ++v) {
        int32_t last = -1;
        for (int32_t h = 0; h < n; ++h)
            if (Origin(mesh, h) == v) last = h;
        EXPECT_EQ(At(mesh.outgoing, v), last) << "vertex " << v;
    }
}

TEST(TriangleConnectivity, NamesTheFirstEdgeFaultAndKeepsTwinsOfTheRest)
{
    std::vector<Triangle> reversed = Tetrahedron;
    reversed[3] = {1, 3, 2};
    std::vector<Triangle> twoTetrahedra = Tetrahedron;  // joined at vertex 0 only
    for (Triangle t : Shifted(Tetrahedron, 3)) twoTetrahedra.push_back({t[0] == 3 ? 0 : t[0], t[1] == 3 ? 0 : t[1], t[2] == 3 ? 0 : t[2]});
    const struct {
        const char* name;
        std::vector<Triangle> triangles;
        std::size_t vertices;
        EdgeProblem expected;
        std::vector<int32_t> fans;  // where every twin is set
    } cases[] = {
        {"tetrahedron", Tetrahedron, 4, {}, {1, 1, 1, 1}},
        {"bow-tie vertex, one unused", twoTetrahedra, 8, {}, {2, 1, 1, 1, 1, 1, 1, 0}},
        {"open", {Tetrahedron.begin(), Tetrahedron.end() - 1}, 4, {EdgeFault::Open, 1, 2, 1, 0, -1}, {}},
        {"edge in three triangles",
         {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}, {0, 2, 3}, {1, 2, 3}, {0, 3, 4}, {1, 3, 4}, {0, 4, 2}, {1, 4, 2}},
         5, {EdgeFault::Crowded, 0, 1, 3, 0, -1}, {}},
        {"reversed triangle", reversed, 4, {EdgeFault::SameWay, 1, 2, 2, 0, 3}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EdgeProblem problem;
        const TriangleConnectivity mesh = BuildTriangleConnectivity(c.triangles, c.vertices, &problem);
        EXPECT_EQ(problem.fault, c.expected.fault);
        EXPECT_EQ(std::vector<int32_t>({problem.low, problem.high, problem.holders, problem.first, problem.second}),
                  std::vector<int32_t>({c.expected.low, c.expected.high, c.expected.holders, c.expected.first, c.expected.second}));
        ExpectBruteForceTwins(mesh);
        if (!c.fans.empty()) {
            EXPECT_EQ(FanCounts(mesh), c.fans);
        }
    }
}

// The link condition against neighbour sets counted from the triangles, on
// every half-edge: the triangular bipyramid's equator edges have three
// shared neighbours and must be refused.
TEST(TriangleConnectivity, SharedNeighboursMatchABruteForceCount)
{
    const struct {
        const char* name;
        ModelTable table;
        int refused;  // edges, each counted from both ends
    } cases[] = {
        {"tetrahedron", {std::vector<Vec3>(4), Tetrahedron}, 0},
        {"triangular bipyramid", Bipyramid(3, 1.0f), 6},
        {"octahedron", Bipyramid(4, 1.0f), 0},
        {"cube", CubeSphere(1, 1.0f), 0},
        {"icosphere", Icosphere(1, 1.0f), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TriangleConnectivity mesh = BuildTriangleConnectivity(c.table.triangles, c.table.vertices.size());
        ExpectBruteForceTwins(mesh);
        const auto sets = NeighbourSets(c.table.triangles, c.table.vertices.size());
        NeighbourMarks marks;
        int refused = 0;
        for (int32_t h = 0; h < HalfEdgeCount(mesh); ++h) {
            const int32_t u = Origin(mesh, h), v = Destination(mesh, h);
            std::vector<int32_t> shared;
            std::set_intersection(At(sets, u).begin(), At(sets, u).end(), At(sets, v).begin(), At(sets, v).end(),
                                  std::back_inserter(shared));
            const SharedNeighbours count = CountSharedNeighbours(mesh, u, v, marks);
            EXPECT_EQ(count.shared, static_cast<int>(shared.size()));
            EXPECT_EQ(count.valence, static_cast<int>(At(sets, u).size() + At(sets, v).size()));
            for (std::size_t w = 0; w < sets.size(); ++w)
                EXPECT_EQ(At(marks.stamp, w) == marks.round, At(sets, u).count(static_cast<int32_t>(w)) == 1);
            refused += !LinkConditionHolds(mesh, u, v, marks);
        }
        EXPECT_EQ(refused, c.refused);
        // Joined over every triangle as the build does; over vertex 0's alone, its fan whole.
        TriangleConnectivity joined{c.table.triangles, std::vector<int32_t>(mesh.twin.size(), 7), std::vector<int32_t>(mesh.outgoing.size(), 7)};
        std::vector<int32_t> listed(c.table.triangles.size()), fan;
        std::iota(listed.begin(), listed.end(), 0);
        ConnectTriangles(joined, listed);
        EXPECT_EQ(joined.twin, mesh.twin);
        EXPECT_EQ(joined.outgoing, mesh.outgoing);
        listed.erase(std::remove_if(listed.begin(), listed.end(),
                                    [&](int32_t t) { return std::count(At(c.table.triangles, t).begin(), At(c.table.triangles, t).end(), 0) == 0; }),
                     listed.end());
        joined.twin.assign(joined.twin.size(), 7);
        ConnectTriangles(joined, listed);
        EXPECT_TRUE(VisitOutgoing(joined, 0, [&](int32_t h) { fan.push_back(Destination(joined, h)); }));
        EXPECT_EQ(std::set<int32_t>(fan.begin(), fan.end()), At(sets, 0));
        EXPECT_EQ(fan.size(), At(sets, 0).size());
    }
}

}  // namespace
}  // namespace vorlane
