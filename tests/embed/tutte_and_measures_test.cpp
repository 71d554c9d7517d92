// The Tutte map against itself on the same mesh listed in another order,
// and the embedding's measures on a tetrahedron whose shares are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "bench/mesh_generator.h"
#include "embed/spherical_embedding.h"
#include "embed/tutte_map.h"

namespace vorlane {
namespace {

// The map is the mesh's, not its listing's: whichever triangle comes first,
// the largest is the one removed, so moving triangles round the list moves
// no vertex by more than rounding.
TEST(TutteMap, DoesNotDependOnWhichTriangleIsListedFirst)
{
    ModelTable lumpy = Icosphere(2, 1.0f);
    PerturbRadially(lumpy, 0.3f, 11);
    std::vector<Vec3> first, moved;
    ASSERT_EQ(TutteMapOnSphere(lumpy, first, {}), "");
    for (const size_t shift : {size_t{1}, lumpy.triangles.size() / 2, lumpy.triangles.size() - 1}) {
        SCOPED_TRACE(shift);
        ModelTable turned = lumpy;
        std::rotate(turned.triangles.begin(), turned.triangles.begin() + static_cast<std::ptrdiff_t>(shift), turned.triangles.end());
        ASSERT_EQ(TutteMapOnSphere(turned, moved, {}), "");
        ASSERT_EQ(moved.size(), first.size());
        for (size_t v = 0; v < first.size(); ++v) {
            EXPECT_NEAR(std::hypot(moved[v].x - first[v].x, moved[v].y - first[v].y, moved[v].z - first[v].z), 0.0, 1e-3) << v;
        }
    }
}

// Directions of a regular tetrahedron give each triangle a quarter of the
// sphere; on a needle of length L from the origin to the unit right
// triangle at x = L that triangle holds 1/2 of the surface area
// L + (1 + sqrt(1 + 2 L^2)) / 2, so its ratio is that area / 2, and only
// past 10 does its area leave the share within tenfold.
TEST(MeasureEmbedding, CountsAreaWithinTenfoldOfItsShare)
{
    const float r = static_cast<float>(SphereRadius / std::sqrt(3.0));
    const std::vector<Vec3> directions{{r, r, r}, {r, -r, -r}, {-r, r, -r}, {-r, -r, r}};
    const std::vector<Triangle> triangles{{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
    const struct {
        float length;
        double end;  // the ratio of the end triangle
    } cases[] = {{10.0f, 8.79}, {12.0f, 10.5}, {30.0f, 25.86}, {150.0f, 128.28}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const float l = c.length;
        const ModelTable needle{{{0, 0, 0}, {l, 0, 0}, {l, 1, 0}, {l, 0, 1}}, triangles};
        const double total = l + (1.0 + std::sqrt(1.0 + 2.0 * l * l)) / 2.0;
        ASSERT_NEAR(total / 2.0, c.end, 0.01);
        const EmbedStatistics s = MeasureEmbedding(needle, directions);
        EXPECT_NEAR(s.areaWithinTenfold, c.end <= 10.0 ? 1.0 : 1.0 - 0.5 / total, 1e-6);
        EXPECT_NEAR(s.smallestShare, 0.25, 1e-6);
    }
}

}  // namespace
}  // namespace vorlane
