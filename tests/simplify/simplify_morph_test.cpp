#include "simplify/simplify_morph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "bench/mesh_generator.h"
#include "geometry/exact_predicates.h"
#include "merge/merge_models.h"

namespace vorlane {
namespace {

// A morph record over one table of triangles, its ends at start and end,
// with no inputs behind it.
MorphMesh Morph(const std::vector<Vec3>& start, const std::vector<Vec3>& end, const std::vector<Triangle>& triangles)
{
    MorphMesh mesh;
    mesh.startPositions = start;
    mesh.endPositions = end;
    std::set<std::pair<int32_t, int32_t>> edges;
    for (const Triangle& t : triangles) {
        mesh.faces.push_back({3, FaceIndices(t[0], t[1], t[2])});
        for (int k = 0; k < 3; ++k) edges.insert(std::minmax(t[k], t[(k + 1) % 3]));
    }
    for (const auto& [from, to] : edges) mesh.edges.push_back({from, to});
    return mesh;
}

// The surface of the box [0, n]^3 as unit squares cut in two, outward.
ModelTable GridBox(int n)
{
    ModelTable box;
    std::map<std::array<int, 3>, int32_t> index;
    const auto vertex = [&](std::array<int, 3> p) {
        const auto [at, fresh] = index.emplace(p, static_cast<int32_t>(box.vertices.size()));
        if (fresh) box.vertices.push_back({float(p[0]), float(p[1]), float(p[2])});
        return at->second;
    };
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side)
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    // (a, b, axis) run right-handed; the far side keeps, the near one turns.
                    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
                    std::array<int32_t, 4> q;
                    for (int k = 0; k < 4; ++k) {
                        std::array<int, 3> p{};
                        p[axis] = side * n;
                        p[a] = i + (k == 1 || k == 2);
                        p[b] = j + (k >= 2);
                        q[k] = vertex(p);
                    }
                    if (side == 1) {
                        box.triangles.push_back({q[0], q[1], q[2]});
                        box.triangles.push_back({q[0], q[2], q[3]});
                    } else {
                        box.triangles.push_back({q[0], q[2], q[1]});
                        box.triangles.push_back({q[0], q[3], q[2]});
                    }
                }
    return box;
}

std::vector<Triangle> Triangles(const MorphMesh& mesh)
{
    std::vector<Triangle> triangles;
    for (const MeshFace& f : mesh.faces) triangles.push_back({f.indices[0], f.indices[1], f.indices[2]});
    return triangles;
}

// Closed and consistently oriented (each directed edge once, its reverse
// once), and V - E + F, counted over the used vertices and distinct edges.
int EulerOfClosedOriented(const MorphMesh& mesh)
{
    std::map<std::pair<int32_t, int32_t>, int> directed;
    std::set<int32_t> used;
    for (const Triangle& t : Triangles(mesh))
        for (int k = 0; k < 3; ++k) ++directed[{t[k], t[(k + 1) % 3]}], used.insert(t[k]);
    for (const auto& [edge, count] : directed) {
        if (count != 1 || directed.count({edge.second, edge.first}) != 1) return -100;
    }
    return static_cast<int>(used.size()) - static_cast<int>(directed.size() / 2) + static_cast<int>(mesh.faces.size());
}

TEST(SimplifyMorph, FlatFacesOfABoxCollapseToItsCorners)
{
    // The box at the start, stretched along z at the end: every face flat at both ends.
    const ModelTable box = GridBox(6);
    std::vector<Vec3> stretched = box.vertices;
    for (Vec3& p : stretched) p.z *= 3.0f;
    MorphMesh mesh = Morph(box.vertices, stretched, box.triangles);
    const SimplifyReport report = SimplifyMorph(mesh, {std::nullopt, 0.0});
    ASSERT_TRUE(report.error.empty()) << report.error;
    EXPECT_EQ(report.trianglesBefore, 6 * 2 * 36);
    EXPECT_EQ(report.trianglesAfter, 12);
    ASSERT_EQ(mesh.startPositions.size(), 8u);
    std::set<std::array<float, 3>> corners, ends;
    for (const Vec3& p : mesh.startPositions) corners.insert({p.x, p.y, p.z});
    for (const Vec3& p : mesh.endPositions) ends.insert({p.x, p.y, p.z});
    std::set<std::array<float, 3>> expected, expectedEnds;
    for (int c = 0; c < 8; ++c) {
        expected.insert({6.0f * (c & 1), 6.0f * (c >> 1 & 1), 6.0f * (c >> 2)});
        expectedEnds.insert({6.0f * (c & 1), 6.0f * (c >> 1 & 1), 18.0f * (c >> 2)});
    }
    EXPECT_EQ(corners, expected);
    EXPECT_EQ(ends, expectedEnds);
    EXPECT_EQ(EulerOfClosedOriented(mesh), 2);
    EXPECT_EQ(mesh.edges.size(), 18u);
}

TEST(SimplifyMorph, ASphereMorphingIntoItselfKeepsItsTrianglesWithinNoTolerance)
{
    for (const int level : {1, 3}) {
        SCOPED_TRACE(level);
        const ModelTable sphere = Icosphere(level, 50.0f);
        MorphMesh mesh = Morph(sphere.vertices, sphere.vertices, sphere.triangles);
        const SimplifyReport report = SimplifyMorph(mesh, {std::nullopt, 0.0});
        EXPECT_EQ(report.trianglesAfter, static_cast<int64_t>(sphere.triangles.size()));
        EXPECT_EQ(mesh.startPositions.size(), sphere.vertices.size());
    }
}

TEST(SimplifyMorph, NoTriangleTurnsOverWhereFlatFacesMakeEveryCollapseFree)
{
    // A box about the origin whose faces' inner vertices slide within their
    // faces at the end: every collapse costs nothing at either end, and only
    // the facing test stops one that folds a fan which is no longer convex.
    // Both ends are convex about the origin, so a triangle turned over shows
    // as a negative exact orientation.
    ModelTable box = GridBox(8);
    for (Vec3& p : box.vertices) p = {p.x - 4.0f, p.y - 4.0f, p.z - 4.0f};
    std::vector<Vec3> slid = box.vertices;
    uint32_t seed = 12345;
    const auto jitter = [&] {
        seed = seed * 1664525u + 1013904223u;
        return 0.45f * (float(seed >> 8) / float(1u << 24) - 0.5f);
    };
    for (Vec3& p : slid) {
        float* c[3] = {&p.x, &p.y, &p.z};
        for (float* x : c)
            if (std::fabs(*x) < 4.0f) *x += jitter();
    }
    for (const Triangle& t : box.triangles) ASSERT_GT(Orient3(slid[t[0]], slid[t[1]], slid[t[2]]), 0);
    MorphMesh mesh = Morph(box.vertices, slid, box.triangles);
    const SimplifyReport report = SimplifyMorph(mesh, {std::nullopt, 0.0});
    EXPECT_EQ(report.trianglesAfter, 12);
    for (const Triangle& t : Triangles(mesh)) {
        EXPECT_GT(Orient3(mesh.startPositions[t[0]], mesh.startPositions[t[1]], mesh.startPositions[t[2]]), 0);
        EXPECT_GT(Orient3(mesh.endPositions[t[0]], mesh.endPositions[t[1]], mesh.endPositions[t[2]]), 0);
    }
    EXPECT_EQ(EulerOfClosedOriented(mesh), 2);
}

TEST(SimplifyMorph, AMergedMorphStaysClosedOrientedOfGenusZeroWithoutFlatTriangles)
{
    const Polyhedron source = BuildPolyhedron(Icosphere(3, 50.0f), {0, 0, 0});
    ModelTable box = CubeSphere(8, 60.0f);
    Rotate(box, 5);
    const Polyhedron target = BuildPolyhedron(box, {0, 0, 0});
    MergedModels merged = MergeModels(source, target, MergeMethod::Robust);
    ASSERT_TRUE(merged.error.empty()) << merged.error;
    MorphMesh& mesh = merged.mesh;
    const SimplifyReport report = SimplifyMorph(mesh, {int64_t{600}, std::nullopt});
    ASSERT_TRUE(report.error.empty());
    EXPECT_EQ(report.trianglesAfter, 600);
    EXPECT_EQ(EulerOfClosedOriented(mesh), 2);
    for (const std::vector<Vec3>* end : {&mesh.startPositions, &mesh.endPositions}) {
        for (const Triangle& t : Triangles(mesh)) {
            const Vec3 &a = (*end)[t[0]], &b = (*end)[t[1]], &c = (*end)[t[2]];
            const double u[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
            const double v[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
            const double n = std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
            // The checkers' flat limit: 1e-12 of the squared diagonal (some 120^2 here).
            EXPECT_GT(n, 1e-12 * 3 * 120.0 * 120.0);
        }
    }
    // Every kept vertex lies where its location says, up to the distance reported.
    ASSERT_EQ(mesh.startLocations.size(), mesh.startPositions.size());
    EXPECT_GE(report.startDistance, 0.0);
    EXPECT_LT(report.startDistance, 0.01);
    EXPECT_LT(report.endDistance, 0.01);
}

}  // namespace
}  // namespace vorlane
