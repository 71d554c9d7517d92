// The shape path against motions whose in-betweens are known: a rigid turn
// comes out as the turn itself, a uniform scaling as the scaling in its
// logarithm, equal ends stand still; and a file of its targets plays it.
#include "path/shape_path.h"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <functional>
#include <string>

#include "bench/mesh_generator.h"
#include "geometry/morph_step.h"
#include "io/gltf_reader.h"
#include "io/gltf_writer.h"
#include "test_support.h"

namespace {

using Eigen::Vector3d;
using vorlane::Vec3;

enum class Layout { Closed, TwoPieces, Open };

// A lumpy sphere as a merged mesh whose end is motion of its start; or two
// of them apart, or one with a hole (a patch left out at both ends).
vorlane::MorphMesh MovedMesh(const std::function<Vector3d(const Vector3d&, double)>& motion, Layout layout = Layout::Closed)
{
    vorlane::ModelTable table = vorlane::Icosphere(3, 1.0f);
    vorlane::PerturbRadially(table, 0.2f, 7);
    if (layout == Layout::Open) table.triangles.pop_back();
    if (layout == Layout::TwoPieces) {
        const int32_t offset = static_cast<int32_t>(table.vertices.size());
        const size_t count = table.triangles.size();
        for (size_t v = 0; v < static_cast<size_t>(offset); ++v) table.vertices.push_back({table.vertices[v].x + 3.0f, table.vertices[v].y, 0.5f * table.vertices[v].z});
        for (size_t t = 0; t < count; ++t)
            table.triangles.push_back({table.triangles[t][0] + offset, table.triangles[t][1] + offset, table.triangles[t][2] + offset});
    }
    vorlane::MorphMesh mesh;
    for (const Vec3& p : table.vertices) {
        mesh.startPositions.push_back(p);
        const Vector3d q = motion(Vector3d(p.x, p.y, p.z), 1.0);
        mesh.endPositions.push_back({static_cast<float>(q.x()), static_cast<float>(q.y()), static_cast<float>(q.z())});
    }
    for (const vorlane::Triangle& t : table.triangles) mesh.faces.push_back({3, vorlane::FaceIndices(t[0], t[1], t[2])});
    return mesh;
}

// The start's area centre, as the path measures place.
Vector3d AreaCentre(const vorlane::MorphMesh& mesh)
{
    Vector3d centre = Vector3d::Zero();
    double area = 0.0;
    for (const vorlane::MeshFace& f : mesh.faces) {
        Vector3d p[3];
        for (int k = 0; k < 3; ++k) {
            const Vec3& v = mesh.startPositions[static_cast<size_t>(f.indices[static_cast<size_t>(k)])];
            p[k] = {v.x, v.y, v.z};
        }
        const double w = 0.5 * (p[1] - p[0]).cross(p[2] - p[0]).norm();
        area += w;
        centre += w / 3.0 * (p[0] + p[1] + p[2]);
    }
    return centre / area;
}

// note: every lambda here names its return type, so no Eigen expression
// outlives the temporaries it refers to.
struct MotionCase {
    const char* name;
    // Where a start point is at fraction t, about the start's area centre c.
    std::function<Vector3d(const Vector3d& p, const Vector3d& c, double t)> at;
};

TEST(ShapePath, KnownMotionsComeOutAsThemselves)
{
    const Vector3d axis = Vector3d(1.0, 2.0, -0.5).normalized();
    const Vector3d shift(0.7, -0.3, 2.0);
    const MotionCase cases[] = {
        {"rigid turn by 2.5 rad and a move",
         [&](const Vector3d& p, const Vector3d& c, double t) -> Vector3d { return c + t * shift + Eigen::AngleAxisd(2.5 * t, axis) * (p - c); }},
        {"tenfold growth", [](const Vector3d& p, const Vector3d& c, double t) -> Vector3d { return c + std::pow(10.0, t) * (p - c); }},
        {"standing still", [](const Vector3d& p, const Vector3d&, double) -> Vector3d { return p; }},
    };
    for (const MotionCase& c : cases) {
        for (const Layout layout : {Layout::Closed, Layout::TwoPieces, Layout::Open}) {
            SCOPED_TRACE(std::string(c.name) + " layout " + std::to_string(static_cast<int>(layout)));
            vorlane::MorphMesh mesh = MovedMesh([](const Vector3d& p, double) -> Vector3d { return p; }, layout);
            const Vector3d centre = AreaCentre(mesh);
            mesh = MovedMesh([&](const Vector3d& p, double t) -> Vector3d { return c.at(p, centre, t); }, layout);
            std::string error;
            const vorlane::ShapePath path = vorlane::ShapePath::Build(mesh, error);
            ASSERT_EQ(error, "");
            EXPECT_EQ(path.AtStep(0), mesh.startPositions);
            EXPECT_EQ(path.AtStep(vorlane::MorphSteps), mesh.endPositions);
            for (const int step : {3, 10, 17}) {
                const double t = step / static_cast<double>(vorlane::MorphSteps);
                const std::vector<Vec3> at = path.AtStep(step);
                double worst = 0.0;
                for (size_t v = 0; v < at.size(); ++v) {
                    const Vec3& s = mesh.startPositions[v];
                    const Vector3d want = c.at(Vector3d(s.x, s.y, s.z), centre, t);
                    worst = std::max(worst, (Vector3d(at[v].x, at[v].y, at[v].z) - want).norm() / std::pow(10.0, t));
                }
                EXPECT_LT(worst, 2e-5) << "step " << step;
            }
        }
    }
}

// K targets in a file play the path: read back, its steps at i / K are the
// path's own there, and its ends the ends.
TEST(ShapePath, GltfTargetsPlayThePath)
{
    const vorlane::test::ScratchDirectory scratch;
    const Vector3d axis(0.0, 0.0, 1.0);
    const vorlane::MorphMesh mesh = MovedMesh([&](const Vector3d& p, double) -> Vector3d { return Eigen::AngleAxisd(3.0, axis) * (2.0 * p); });
    std::string error;
    const vorlane::ShapePath path = vorlane::ShapePath::Build(mesh, error);
    ASSERT_EQ(error, "");
    const int targets = 4;
    std::vector<std::vector<Vec3>> middles;
    for (int i = 1; i < targets; ++i) middles.push_back(path.At(static_cast<double>(i) / targets));
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        vorlane::GltfOptions options;
        options.compress = compress;
        options.middles = &middles;
        ASSERT_EQ(vorlane::WriteGltfMorph(mesh, "path.glb", vorlane::GltfContainer::Binary, options), "");
        const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph("path.glb");
        ASSERT_EQ(read.error, "");
        ASSERT_EQ(read.morph.steps.size(), static_cast<size_t>(vorlane::MorphSteps) + 1);
        // note: a compressed base sits on a grid of about 1/8000 of the shape.
        const double tolerance = compress ? 2e-3 : 1e-6;
        for (int i = 1; i < targets; ++i) {
            const std::vector<Vec3>& shown = read.morph.steps[static_cast<size_t>(i * vorlane::MorphSteps / targets)];
            for (size_t v = 0; v < shown.size(); ++v) {
                EXPECT_NEAR(shown[v].x, middles[static_cast<size_t>(i - 1)][v].x, tolerance);
                EXPECT_NEAR(shown[v].y, middles[static_cast<size_t>(i - 1)][v].y, tolerance);
            }
        }
        EXPECT_EQ(read.morph.steps.back(), read.morph.endPositions);
    }
}

}  // namespace
