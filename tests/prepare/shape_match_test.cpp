// Nearest points of a surface against trying every triangle, and the shape
// match against a map known beforehand.
#include "prepare/shape_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "prepare/nearest_surface.h"

namespace vorlane {
namespace {

// Thin triangles half a unit box long in every direction: boxes of cells
// that hold them lie mostly far from them.
ModelTable Needles()
{
    ModelTable needles;
    std::mt19937 random(8);
    std::uniform_real_distribution<float> at(0.0f, 1.0f), step(-0.25f, 0.25f);
    for (int32_t k = 0; k < 300; ++k) {
        const Vec3 a{at(random), at(random), at(random)};
        const Vec3 d{step(random), step(random), step(random)};
        needles.vertices.insert(needles.vertices.end(), {a, {a.x + d.x, a.y + d.y, a.z + d.z}, {a.x + d.x + 0.01f, a.y + d.y, a.z + d.z}});
        needles.triangles.push_back({3 * k, 3 * k + 1, 3 * k + 2});
    }
    return needles;
}

// Over a comb at three scales (a search that compares squared distances
// with plain ones stops early below unit size), from inside a fine sphere,
// whose nearest triangles lie many rings of cells away, and among needles,
// where a search that trusts a ring too far out stops early.
TEST(NearestSurface, AgreesWithTryingEveryTriangle)
{
    const struct {
        const char* name;
        ModelTable mesh;
        double scale, low, high;  // queries in [low, high]^3 times scale
    } cases[] = {
        {"comb", FingerComb(3, 5, 2), 1.0, -3.0, 14.0},
        {"small comb", FingerComb(3, 5, 2), 1e-3, -3.0, 14.0},
        {"large comb", FingerComb(3, 5, 2), 1e3, -3.0, 14.0},
        {"inside a sphere", Icosphere(4, 1.0f), 1.0, -0.3, 0.3},
        {"long needles", Needles(), 1.0, 0.0, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<D3> points;
        for (const Vec3& v : c.mesh.vertices) points.push_back({v.x * c.scale, v.y * c.scale, v.z * c.scale});
        const NearestSurface surface(points, c.mesh.triangles);
        std::mt19937 random(3);
        std::uniform_real_distribution<double> coordinate(c.low * c.scale, c.high * c.scale);
        const double reach = 0.15 * (c.high - c.low) * c.scale;
        for (int k = 0; k < 500; ++k) {
            const D3 p{coordinate(random), coordinate(random), coordinate(random)};
            double nearest = HUGE_VAL;
            for (const Triangle& t : c.mesh.triangles) {
                const SurfacePoint q = NearestOnTriangle(p, points[static_cast<size_t>(t[0])], points[static_cast<size_t>(t[1])],
                                                         points[static_cast<size_t>(t[2])]);
                nearest = std::min(nearest, q.distanceSquared);
            }
            const SurfacePoint found = surface.Nearest(p);
            ASSERT_EQ(found.distanceSquared, nearest) << k;
            // Within a reach: the same point, or none where it lies farther.
            const SurfacePoint reached = surface.Nearest(p, reach);
            EXPECT_EQ(reached.triangle < 0, nearest > reach * reach) << k;
            if (reached.triangle >= 0) {
                EXPECT_EQ(reached.distanceSquared, nearest) << k;
            }
            const D3 miss = Sub(found.point, p);
            EXPECT_NEAR(Dot(miss, miss), nearest, 1e-9 * (c.scale * c.scale + nearest));
        }
    }
}

// A bent C moved by an affine map (turned, stretched, shifted) is matched
// back with that map; a different shape is not a match.
TEST(ShapeMatch, FindsTheMapThatMadeACopy)
{
    const ModelTable shape = BentC(4);
    const double map[3][3] = {{0.2, -1.1, 0.1}, {0.9, 0.15, -0.3}, {0.3, 0.2, 0.95}};
    const D3 shift{4.0, -2.0, 7.0};
    ModelTable copy = shape;
    for (Vec3& v : copy.vertices) {
        const double p[3] = {v.x, v.y, v.z};
        v = ToF({map[0][0] * p[0] + map[0][1] * p[1] + map[0][2] * p[2] + shift.x,
                 map[1][0] * p[0] + map[1][1] * p[1] + map[1][2] * p[2] + shift.y,
                 map[2][0] * p[0] + map[2][1] * p[1] + map[2][2] * p[2] + shift.z});
    }
    const ShapeMatch match = MatchShapes(copy, shape);
    EXPECT_LT(match.misfit, 0.01);
    double worst = 0.0;
    for (size_t v = 0; v < shape.vertices.size(); ++v) {
        const D3 miss = Sub(match.Apply(ToD(shape.vertices[v])), ToD(copy.vertices[v]));
        worst = std::max(worst, std::sqrt(Dot(miss, miss)));
    }
    EXPECT_LT(worst, 0.25) << "3 % of the diagonal: a turn onto itself would be off by the whole C";
    EXPECT_GT(MatchShapes(FingerComb(3, 5, 2), shape).misfit, 0.05);
}

}  // namespace
}  // namespace vorlane
