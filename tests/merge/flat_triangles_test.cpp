#include "merge/flat_triangles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "bench/mesh_generator.h"
#include "merge/merge_models.h"
#include "prepare/prepare_mesh.h"

namespace vorlane {
namespace {

// Twice the area of a triangle at one end, in long double from the floats:
// the yardstick, worked out apart from the code under test.
long double TwiceArea(const std::vector<Vec3>& p, int32_t a, int32_t b, int32_t c)
{
    const Vec3 &x = p[static_cast<size_t>(a)], &y = p[static_cast<size_t>(b)], &z = p[static_cast<size_t>(c)];
    const long double u[3] = {(long double)y.x - x.x, (long double)y.y - x.y, (long double)y.z - x.z};
    const long double v[3] = {(long double)z.x - x.x, (long double)z.y - x.y, (long double)z.z - x.z};
    const long double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

long double Diagonal2(const std::vector<Vec3>& p)
{
    long double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const Vec3& v : p) {
        const float c[3] = {v.x, v.y, v.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min<long double>(lo[k], c[k]);
            hi[k] = std::max<long double>(hi[k], c[k]);
        }
    }
    return (hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) + (hi[2] - lo[2]) * (hi[2] - lo[2]);
}

// Closed, every side in two triangles running opposite ways, V - E + F = 2,
// and no triangle below the area share at either end.
void ExpectClosedAndNotFlat(const MorphMesh& mesh)
{
    std::map<std::pair<int32_t, int32_t>, int> directed;
    const long double limit[2] = {1e-12L * Diagonal2(mesh.startPositions), 1e-12L * Diagonal2(mesh.endPositions)};
    for (const MeshFace& f : mesh.faces) {
        for (int i = 0; i < 3; ++i) ++directed[{f.indices[static_cast<size_t>(i)], f.indices[static_cast<size_t>((i + 1) % 3)]}];
        for (int end = 0; end < 2; ++end) {
            const std::vector<Vec3>& p = end == 0 ? mesh.startPositions : mesh.endPositions;
            EXPECT_GT(TwiceArea(p, f.indices[0], f.indices[1], f.indices[2]), limit[end])
                << f.indices[0] << " " << f.indices[1] << " " << f.indices[2];
        }
    }
    for (const auto& [side, count] : directed) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(directed.count({side.second, side.first}), 1u);
    }
    EXPECT_EQ(mesh.vertexCount() - static_cast<int32_t>(directed.size() / 2) + mesh.faceCount(), 2);
}

// A tetrahedron A B C D whose side A B is also met by a fifth vertex M:
// triangle B A M has no area when M lies on A B, and none either when M
// stands on A.
MorphMesh TetrahedronWithM(const Vec3& m)
{
    MorphMesh mesh;
    mesh.startPositions = {{0, 0, 0}, {2, 0, 0}, {1, -1, 0}, {1, 0.5f, 1}, m};
    mesh.endPositions = mesh.startPositions;
    const int32_t A = 0, B = 1, C = 2, D = 3, M = 4;
    for (const auto& t : std::vector<std::array<int32_t, 3>>{{A, C, B}, {B, M, A}, {M, D, A}, {B, D, M}, {C, D, B}, {A, D, C}}) {
        mesh.faces.push_back({3, FaceIndices(t[0], t[1], t[2])});
    }
    mesh.edges = {{A, B}, {A, C}, {A, D}, {A, M}, {B, C}, {B, D}, {B, M}, {C, D}, {D, M}};
    return mesh;
}

// The edges are the sides of the faces, once each, low end first, ascending.
void ExpectEdgesOfTheFaces(const MorphMesh& mesh)
{
    std::vector<IndexPair> sides;
    for (const MeshFace& f : mesh.faces) {
        for (int i = 0; i < 3; ++i) {
            const int32_t a = f.indices[static_cast<size_t>(i)], b = f.indices[static_cast<size_t>((i + 1) % 3)];
            sides.push_back({std::min(a, b), std::max(a, b)});
        }
    }
    std::sort(sides.begin(), sides.end());
    sides.erase(std::unique(sides.begin(), sides.end()), sides.end());
    EXPECT_EQ(mesh.edges, sides);
}

// A tetrahedron with two corners on one point at both ends: collapsing them
// would leave two triangles back to back, so it stays as it is.
TEST(RepairFlatTriangles, TetrahedronIsNotCollapsed)
{
    MorphMesh mesh;
    mesh.startPositions = {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 1}};
    mesh.endPositions = mesh.startPositions;
    for (const auto& t : std::vector<std::array<int32_t, 3>>{{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}}) {
        mesh.faces.push_back({3, FaceIndices(t[0], t[1], t[2])});
    }
    mesh.edges = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    const FlatRepair repair = RepairFlatTriangles(mesh);
    EXPECT_EQ(repair.collapsed, 0);
    EXPECT_EQ(mesh.vertexCount(), 4);
    EXPECT_EQ(mesh.faces.size(), 4u);
    ExpectEdgesOfTheFaces(mesh);
}

TEST(RepairFlatTriangles, SmallCases)
{
    const struct {
        const char* what;
        Vec3 m;
        int32_t collapsed, flipped, vertices;
    } cases[] = {
        {"M on the middle of A B: the side A B turns", {1, 0, 0}, 0, 1, 5},
        {"M on A at both ends: A M collapses", {0, 0, 0}, 1, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MorphMesh mesh = TetrahedronWithM(c.m);
        const FlatRepair repair = RepairFlatTriangles(mesh);
        EXPECT_EQ(repair.collapsed, c.collapsed);
        EXPECT_EQ(repair.flipped, c.flipped);
        EXPECT_EQ(repair.remaining, 0);
        EXPECT_EQ(mesh.vertexCount(), c.vertices);
        ExpectClosedAndNotFlat(mesh);
        // note: a turned side leaves the edge list, its new diagonal is not the overlay's.
        if (c.flipped == 0) ExpectEdgesOfTheFaces(mesh);
    }
}

// Pairs of generated meshes whose merges held slivers of no area in float
// positions (the level-4 sphere pair among them) come out clean.
TEST(RepairFlatTriangles, MergesOfGeneratedPairsHoldNoFlatTriangle)
{
    const int n = static_cast<int>(std::lround(std::sqrt(20.0 * std::pow(4.0, 4) / 12.0)));
    ModelTable cubeSphere = CubeSphere(n, 60.0f);
    Rotate(cubeSphere, 5);
    const ModelTable sphere = Icosphere(4, 50.0f);
    for (const bool reversed : {false, true}) {
        SCOPED_TRACE(reversed);
        const Polyhedron a = BuildPolyhedron(reversed ? cubeSphere : sphere, {0, 0, 0});
        const Polyhedron b = BuildPolyhedron(reversed ? sphere : cubeSphere, {0, 0, 0});
        const MergedModels merged = MergeModels(a, b, MergeMethod::Robust);
        EXPECT_GT(merged.flat.flipped, 0);
        EXPECT_EQ(merged.flat.remaining, 0);
        ExpectClosedAndNotFlat(merged.mesh);
    }
}

}  // namespace
}  // namespace vorlane
