#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "bench/mesh_generator.h"
#include "robust/merge_meshes.h"
#include "twisted_map.h"

namespace vorlane {
namespace {

// Every merged vertex's location on each input rebuilds its position there:
// weights at least 0 and summing to 1, and the same combination of the
// triangle's corners lands on the position within float rounding. The pairs
// include arcs split at near misses and vertices snapped to the other's,
// and maps that are not the central projection.
TEST(MergeMeshes, LocationsRebuildEveryPositionOnBothInputs)
{
    ModelTable turned = BenchCubeSphere(3);
    const struct {
        const char* name;
        ModelTable source;
        ModelTable target;
        Vec3 sourceCentre;
        Vec3 targetCentre;
        double sourceTwist = 0.0, targetTwist = 0.0;
    } cases[] = {
        {"icosphere against a turned cube-sphere", Icosphere(3, 50.0f), turned, {1, 2, 3}, {-4, 0, 2}},
        {"icosahedron into its second subdivision", Icosphere(0, 40.0f), Icosphere(2, 30.0f), {}, {}},
        {"third subdivision into the first", Icosphere(3, 40.0f), Icosphere(1, 30.0f), {}, {}},
        {"cube-sphere 6 into cube-sphere 8", CubeSphere(6, 55.0f), CubeSphere(8, 55.0f), {}, {}},
        {"bipyramid into icosphere", Bipyramid(48, 30.0f, 0.0), Icosphere(2, 40.0f), {}, {}},
        {"twisted map into a central one", Icosphere(3, 50.0f), turned, {1, 2, 3}, {-4, 0, 2}, 0.6, 0.0},
        {"central map into a twisted one", CubeSphere(6, 55.0f), Icosphere(3, 40.0f), {}, {}, 0.0, -0.5},
        {"both maps twisted", Icosphere(2, 40.0f), CubeSphere(7, 55.0f), {}, {}, 0.4, -0.3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Polyhedron source = Twisted(BuildPolyhedron(c.source, c.sourceCentre), c.sourceTwist);
        const Polyhedron target = Twisted(BuildPolyhedron(c.target, c.targetCentre), c.targetTwist);
        const MorphMesh mesh = MergeMeshes(source, target).mesh;
        ASSERT_EQ(mesh.startLocations.size(), static_cast<size_t>(mesh.vertexCount()));
        ASSERT_EQ(mesh.endLocations.size(), static_cast<size_t>(mesh.vertexCount()));
        for (int end = 0; end < 2; ++end) {
            const Polyhedron& model = end == 0 ? source : target;
            for (int32_t v = 0; v < mesh.vertexCount(); ++v) {
                const SurfaceLocation& at = (end == 0 ? mesh.startLocations : mesh.endLocations)[static_cast<size_t>(v)];
                ASSERT_GE(at.triangle, 0);
                ASSERT_LT(at.triangle, model.faceCount());
                double sum = 0.0, rebuilt[3] = {model.centre.x, model.centre.y, model.centre.z};
                for (size_t i = 0; i < 3; ++i) {
                    EXPECT_GE(at.weights[i], 0.0);
                    sum += at.weights[i];
                    const Vec3& corner = model.vertices[static_cast<size_t>(model.faces[static_cast<size_t>(at.triangle)][i])];
                    rebuilt[0] += at.weights[i] * corner.x;
                    rebuilt[1] += at.weights[i] * corner.y;
                    rebuilt[2] += at.weights[i] * corner.z;
                }
                EXPECT_NEAR(sum, 1.0, 1e-12);
                const Vec3& p = (end == 0 ? mesh.startPositions : mesh.endPositions)[static_cast<size_t>(v)];
                // note: a few float steps of a coordinate of size 60.
                EXPECT_NEAR(rebuilt[0], p.x, 2e-5) << "vertex " << v << " end " << end;
                EXPECT_NEAR(rebuilt[1], p.y, 2e-5) << "vertex " << v << " end " << end;
                EXPECT_NEAR(rebuilt[2], p.z, 2e-5) << "vertex " << v << " end " << end;
            }
        }
    }
}

}  // namespace
}  // namespace vorlane
