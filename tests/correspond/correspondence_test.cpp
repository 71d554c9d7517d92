// The intrinsic correspondence against answers known apart from it: the
// sphere's modes in closed form, a copy whose every partner is known.
#include "correspond/correspondence.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "bench/pose_pair.h"
#include "correspond/decimated_mesh.h"
#include "correspond/laplace_modes.h"
#include "correspond/zoom_out.h"

namespace vorlane {
namespace {

double Diagonal(const ModelTable& table)
{
    D3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Vec3& v : table.vertices) {
        low = {std::min(low.x, double(v.x)), std::min(low.y, double(v.y)), std::min(low.z, double(v.z))};
        high = {std::max(high.x, double(v.x)), std::max(high.y, double(v.y)), std::max(high.z, double(v.z))};
    }
    return Norm(Sub(high, low));
}

double Percentile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

// An egg stretched along x, thicker at one end and curved in z, so that
// only the mirror in y maps it onto itself.
ModelTable Egg(int level)
{
    ModelTable egg = Icosphere(level, 1.0f);
    for (Vec3& v : egg.vertices) v = {3.0f * v.x, (1.2f + 0.3f * v.x) * v.y, 0.8f * v.z + 0.3f * v.x * v.x};
    return egg;
}

// The unit-area sphere's modes: l (l + 1) / r^2 with 4 pi r^2 = 1, that is
// 8 pi three times, then 24 pi five times.
TEST(LaplaceModes, SphereHasItsClosedFormValues)
{
    const ModelTable sphere = Icosphere(4, 2.0f);
    std::vector<D3> points;
    for (const Vec3& v : sphere.vertices) points.push_back(ToD(v));
    const LaplaceModes modes = ComputeLaplaceModes(points, sphere.triangles, 9);
    ASSERT_EQ(modes.values.size(), 9);
    EXPECT_NEAR(modes.values[0], 0.0, 1e-6);
    for (int k = 1; k < 9; ++k) {
        SCOPED_TRACE(k);
        const double expected = (k < 4 ? 8.0 : 24.0) * M_PI;
        EXPECT_NEAR(modes.values[k] / expected, 1.0, 0.01);
    }
    // Orthonormal under the mass.
    const Eigen::MatrixXd gram = modes.functions.transpose() * modes.mass.asDiagonal() * modes.functions;
    EXPECT_LT((gram - Eigen::MatrixXd::Identity(9, 9)).norm(), 1e-8);
}

TEST(ProjectOnTriangle, InsideOnASideAndAtACorner)
{
    Eigen::VectorXd a(3), b(3), c(3);
    a << 0, 0, 0;
    b << 4, 0, 0;
    c << 0, 4, 0;
    struct Case {
        double q[3];
        double weights[3];
        double distance;
    };
    const Case cases[] = {
        {{1, 1, 2}, {0.5, 0.25, 0.25}, 4.0},  // above the inside: straight down
        {{2, -3, 0}, {0.5, 0.5, 0.0}, 9.0},   // beside side a b
        {{-1, -2, 0}, {1.0, 0.0, 0.0}, 5.0},  // beyond corner a
        {{3, 3, 0}, {0.0, 0.5, 0.5}, 2.0},    // beyond the hypotenuse
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.q[0]);
        Eigen::VectorXd q(3);
        q << k.q[0], k.q[1], k.q[2];
        double w[3];
        EXPECT_DOUBLE_EQ(ProjectOnTriangle(q, a, b, c, w), k.distance);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(w[i], k.weights[i], 1e-12);
    }
}

// A turned copy numbered backwards: every partner is the original vertex
// itself, whichever of the mirror maps the modes alone would allow.
TEST(Correspond, ATurnedRenumberedCopyMapsOntoItself)
{
    const ModelTable egg = Egg(3);
    const std::size_t n = egg.vertices.size();
    ModelTable copy = egg;
    std::vector<D3> hint(n);
    for (std::size_t v = 0; v < n; ++v) {
        const Vec3& p = egg.vertices[n - 1 - v];
        copy.vertices[v] = {-p.y + 5.0f, p.x, p.z - 2.0f};
        hint[v] = ToD(p);
    }
    for (Triangle& t : copy.triangles)
        for (int32_t& corner : t) corner = static_cast<int32_t>(n) - 1 - corner;
    CorrespondOptions options;
    options.hint = hint;
    const Correspondence map = Correspond(egg, copy, options);
    ASSERT_EQ(map.partners.size(), n);
    EXPECT_TRUE(map.confident);
    const double diagonal = Diagonal(egg);
    double worst = 0.0;
    for (std::size_t v = 0; v < n; ++v) worst = std::max(worst, Norm(Sub(map.partners[v], hint[v])) / diagonal);
    EXPECT_LT(worst, 1e-6);
}

// The egg bent by half a radian and remeshed: the partners lie near the
// points the copy was made from.
TEST(Correspond, ABentRemeshedEggFindsItsOrigins)
{
    const ModelTable egg = Egg(4);
    const PosePair pair = MakePosePair(egg, 0.5);
    CorrespondOptions options;
    // A rough hint, as a match in space of a bent copy gives: off by 5 %.
    const double diagonal = Diagonal(egg);
    for (const D3& p : pair.origins) options.hint.push_back(p + D3{0.05 * diagonal, 0.0, 0.0});
    const Correspondence map = Correspond(egg, pair.copy, options);
    ASSERT_EQ(map.partners.size(), pair.origins.size());
    EXPECT_TRUE(map.confident);
    std::vector<double> errors;
    for (std::size_t v = 0; v < pair.origins.size(); ++v) errors.push_back(Norm(Sub(map.partners[v], pair.origins[v])) / diagonal);
    EXPECT_LT(Percentile(errors, 0.5), 0.03);
    EXPECT_LT(Percentile(errors, 0.9), 0.06);
}

// Two different shapes are not taken for one: a long tube against the egg.
TEST(Correspond, DifferentShapesAreNotConfident)
{
    const Correspondence map = Correspond(Egg(3), Tube(12, 40, 10.0f, 1.0f));
    EXPECT_FALSE(map.confident);
}

TEST(Correspond, TooFewVerticesGiveNoMap)
{
    const Correspondence map = Correspond(Icosphere(1, 1.0f), Icosphere(1, 1.0f));
    EXPECT_TRUE(map.partners.empty());
    EXPECT_FALSE(map.confident);
}

}  // namespace
}  // namespace vorlane
