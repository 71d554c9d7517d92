#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "pipeline/morph_job.h"

namespace {

using namespace vorlane;

// Triangles with twice their area at most 1e-12 of the squared diagonal of
// the end's box, counted afresh from the float positions of one end.
int64_t FlatAt(const MorphMesh& mesh, const std::vector<Vec3>& at)
{
    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const Vec3& p : at) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    const double diagonal = (hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) + (hi[2] - lo[2]) * (hi[2] - lo[2]);
    int64_t flat = 0;
    for (const MeshFace& f : mesh.faces) {
        const Vec3 &a = at[static_cast<std::size_t>(f.indices[0])], &b = at[static_cast<std::size_t>(f.indices[1])],
                   &c = at[static_cast<std::size_t>(f.indices[2])];
        const double u[3] = {double{b.x} - a.x, double{b.y} - a.y, double{b.z} - a.z};
        const double v[3] = {double{c.x} - a.x, double{c.y} - a.y, double{c.z} - a.z};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        flat += !(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) > 1e-12 * diagonal);
    }
    return flat;
}

// Meshes whose central map piles the other mesh up closer than float tells
// apart: an icosphere of radius 1 about a centre just under its top face
// (1e-5 under gave 208 flat triangles at step 0, 1e-3 under against a fine
// sphere 29), and a long tube against a coarse sphere. Auto maps such a
// mesh spherically instead; no triangle is flat at either end.
TEST(MorphJob, CrowdedCentralMapsLeaveNoFlatTriangles)
{
    struct Row {
        const char* name;
        ModelTable source;
        std::optional<Vec3> centre;
        ModelTable target;
        SphereMap sourceMap;
    };
    const Row rows[] = {
        {"centre 1e-5 under the top", Icosphere(3, 1.0f), Vec3{0.0f, 0.0f, 0.99999f}, Icosphere(3, 50.0f), SphereMap::Spherical},
        {"centre 1e-3 under the top, fine target", Icosphere(3, 1.0f), Vec3{0.0f, 0.0f, 0.999f}, Icosphere(5, 50.0f),
         SphereMap::Spherical},
        {"centre a tenth under the top stays central", Icosphere(3, 1.0f), Vec3{0.0f, 0.0f, 0.9f}, Icosphere(5, 50.0f),
         SphereMap::Central},
        {"tube 1e5 long", Tube(8, 400, 1e5f, 1.0f), std::nullopt, Icosphere(2, 50.0f), SphereMap::Spherical},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MorphRequest request;
        request.source = "source";
        request.target = "target";
        request.sourceMesh = row.source;
        request.targetMesh = row.target;
        request.sourceCentre = row.centre;
        const MorphJob job = RunMorphJob(request);
        ASSERT_EQ(job.error, "");
        EXPECT_EQ(job.sourceMap, row.sourceMap);
        EXPECT_EQ(FlatAt(job.merged.mesh, job.merged.mesh.startPositions), 0);
        EXPECT_EQ(FlatAt(job.merged.mesh, job.merged.mesh.endPositions), 0);
    }
}

// Asked for the central map, the mesh keeps it, and the merge says how many
// triangles it could not mend, at which end.
TEST(MorphJob, AnAskedCentralMapIsKeptAndItsFlatTrianglesCounted)
{
    MorphRequest request;
    request.source = "source";
    request.target = "target";
    request.sourceMesh = Icosphere(3, 1.0f);
    request.targetMesh = Icosphere(3, 50.0f);
    request.sourceCentre = Vec3{0.0f, 0.0f, 0.99999f};
    request.embedding = EmbeddingChoice::Central;
    const MorphJob job = RunMorphJob(request);
    ASSERT_EQ(job.error, "");
    EXPECT_EQ(job.sourceMap, SphereMap::Central);
    const int64_t flat = FlatAt(job.merged.mesh, job.merged.mesh.startPositions);
    EXPECT_GT(flat, 0);
    EXPECT_EQ(job.merged.flat.remainingAtStart, flat);
    EXPECT_EQ(job.merged.flat.remainingAtEnd, FlatAt(job.merged.mesh, job.merged.mesh.endPositions));
}

}  // namespace
