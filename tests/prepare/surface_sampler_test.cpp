// The sampler finds every direction's triangle by the cells near it; on an
// embedding full of long thin spherical triangles it must agree with
// trying every triangle.
#include "prepare/surface_sampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "embed/spherical_embedding.h"

namespace vorlane {
namespace {

D3 UnitD(const D3& v)
{
    const double length = std::sqrt(Dot(v, v));
    return {v.x / length, v.y / length, v.z / length};
}

TEST(SurfaceSampler, AgreesWithTryingEveryTriangle)
{
    const ModelTable comb = FingerComb(4, 6, 3);
    const SphericalEmbedding embedding = EmbedOnSphere(comb);
    ASSERT_EQ(embedding.error, "");
    const SphereMesh mesh{&comb.vertices, &embedding.directions, &comb.triangles};
    std::mt19937 random(5);
    std::normal_distribution<double> normal;
    std::vector<D3> directions;
    for (int i = 0; i < 3000; ++i) directions.push_back(UnitD({normal(random), normal(random), normal(random)}));
    // Along the cube's seams too, where a direction changes face.
    for (int i = 0; i < 200; ++i) directions.push_back(UnitD({1.0, 1.0, -1.0 + i / 100.0}));

    std::vector<D3> points, expected;
    std::vector<char> found, expectedFound;
    SurfaceSampler(mesh).PointsAt(directions, points, found);
    // Brute force: one direction at a time, each triangle in turn.
    std::vector<D3> raw;  // the surface point, not unit-sized
    for (const D3& u : directions) {
        double best = -std::numeric_limits<double>::infinity();
        D3 point{0, 0, 0};
        for (std::size_t t = 0; t < comb.triangles.size(); ++t) {
            const Triangle& f = comb.triangles[t];
            const D3 a = UnitD(ToD(embedding.directions[static_cast<std::size_t>(f[0])]));
            const D3 b = UnitD(ToD(embedding.directions[static_cast<std::size_t>(f[1])]));
            const D3 c = UnitD(ToD(embedding.directions[static_cast<std::size_t>(f[2])]));
            const double wa = TripleProduct(u, b, c), wb = TripleProduct(a, u, c), wc = TripleProduct(a, b, u);
            const double sum = wa + wb + wc;
            if (!(sum > 0.0) || !(std::min({wa, wb, wc}) / sum > best)) continue;
            best = std::min({wa, wb, wc}) / sum;
            point = {0, 0, 0};
            for (int k = 0; k < 3; ++k) {
                const double w = (k == 0 ? wa : k == 1 ? wb : wc) / sum;
                const D3 p = ToD(comb.vertices[static_cast<std::size_t>(f[static_cast<std::size_t>(k)])]);
                point = {point.x + w * p.x, point.y + w * p.y, point.z + w * p.z};
            }
        }
        expectedFound.push_back(best >= -1e-6);
        raw.push_back(point);
    }
    ASSERT_EQ(found, expectedFound);
    EXPECT_EQ(std::count(found.begin(), found.end(), 1), static_cast<long>(directions.size())) << "a tiling holds every direction";

    // The same points, up to the sampler's centring and scale.
    const D3 span = Sub(raw[1], raw[0]), unitSpan = Sub(points[1], points[0]);
    const double scale = std::sqrt(Dot(span, span) / Dot(unitSpan, unitSpan));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const D3 back{raw[0].x + scale * (points[i].x - points[0].x), raw[0].y + scale * (points[i].y - points[0].y),
                      raw[0].z + scale * (points[i].z - points[0].z)};
        const D3 miss = Sub(back, raw[i]);
        EXPECT_LT(std::sqrt(Dot(miss, miss)), 1e-9 * scale) << "direction " << i;
    }
}

// A cube seen from its centre lies, through each face of the table's cube,
// at a linear function of the face's coordinates, which bilinear reading
// gives back exactly inside the table's outer half cells.
TEST(SurfaceTable, ReadsACubeExactly)
{
    const ModelTable cube = CubeSphere(1, std::sqrt(3.0f));
    std::vector<Vec3> directions;
    for (const Vec3& v : cube.vertices) {
        const D3 u = UnitD(ToD(v));
        directions.push_back(ToF({u.x * SphereRadius, u.y * SphereRadius, u.z * SphereRadius}));
    }
    const SphereMesh mesh{&cube.vertices, &directions, &cube.triangles};
    const SurfaceSampler sampler(mesh);
    const SurfaceTable table(sampler);
    std::mt19937 random(9);
    std::uniform_real_distribution<double> along(-0.98, 0.98);
    std::vector<D3> asked;
    for (int i = 0; i < 600; ++i) {
        // Face i % 6 of the cube: its axis at +-1, the next two axes at s, t.
        double c[3];
        const int axis = i % 6 / 2;
        c[axis] = i % 2 ? -1.0 : 1.0;
        c[(axis + 1) % 3] = along(random);
        c[(axis + 2) % 3] = along(random);
        asked.push_back(UnitD({c[0], c[1], c[2]}));
    }
    std::vector<D3> expected;
    std::vector<char> found;
    sampler.PointsAt(asked, expected, found);
    for (std::size_t i = 0; i < asked.size(); ++i) {
        ASSERT_TRUE(found[i]);
        D3 got;
        ASSERT_TRUE(table.At(asked[i], got)) << i;
        const D3 miss = Sub(got, expected[i]);
        EXPECT_LT(std::sqrt(Dot(miss, miss)), 1e-9) << i;
    }
}

}  // namespace
}  // namespace vorlane
