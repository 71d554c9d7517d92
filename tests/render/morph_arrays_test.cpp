// The flat arrays a large morph is drawn from: placement, edges, and the
// positions and normals of a step. No context.
#include "render/morph_arrays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "bench/mesh_generator.h"
#include "geometry/model_catalogue.h"
#include "geometry/morph_step.h"

namespace vorlane {
namespace {

// Source: two points on x and one above them; the box's middle is (3, 0, 4),
// the first two lie 5 from it, the third 4. Target: two points 2 apart.
TEST(MorphArrays, PlacementScalesTheFarthestPointOfEitherShapeToTheRadius)
{
    const MorphPlacement placement = PlaceMorph({{0, 0, 0}, {6, 0, 0}, {3, 0, 8}}, {{1, 1, 1}, {1, 3, 1}});
    EXPECT_EQ(placement.start.centre, (Vec3{3, 0, 4}));
    EXPECT_FLOAT_EQ(placement.start.scale, PlacedRadius / 5.0f);
    EXPECT_EQ(placement.end.centre, (Vec3{1, 2, 1}));
    EXPECT_FLOAT_EQ(placement.end.scale, PlacedRadius / 1.0f);
    EXPECT_EQ(placement.lift, (Vec3{0, FloorHeight + PlacedRadius, 0}));
    EXPECT_EQ(PlaceEnd({{3, 3, 3}, {3, 3, 3}}).scale, 1.0f) << "a single point";
    EXPECT_EQ(PlaceEnd({}).scale, 1.0f);
}

// Every model's arrays: each edge once, lower index first, and exactly the
// triangles' sides (Euler: V - E + F = 2 for these closed models).
TEST(MorphArrays, EdgesAreTheDistinctSidesOfTheTriangles)
{
    for (const auto tableOf : {CubeTable, RhombicPrismTable, IcosahedronTable, PyramidTable, PointedBarTable, BoxTable}) {
        const ModelTable table = tableOf();
        SCOPED_TRACE(table.vertices.size());
        const MorphArrays arrays = MakeMorphArrays(table.vertices, table.vertices, table.triangles, MorphPlacement{});
        std::set<std::pair<uint32_t, uint32_t>> sides;
        for (const Triangle& t : table.triangles) {
            for (int c = 0; c < 3; ++c) {
                const auto a = static_cast<uint32_t>(t[c]), b = static_cast<uint32_t>(t[(c + 1) % 3]);
                sides.emplace(std::min(a, b), std::max(a, b));
            }
        }
        std::set<std::pair<uint32_t, uint32_t>> edges;
        for (size_t e = 0; e < arrays.edges.size(); e += 2) {
            EXPECT_LT(arrays.edges[e], arrays.edges[e + 1]);
            edges.emplace(arrays.edges[e], arrays.edges[e + 1]);
        }
        EXPECT_EQ(edges, sides);
        EXPECT_EQ(static_cast<size_t>(arrays.edgeCount) * 2, arrays.edges.size()) << "no edge twice";
        EXPECT_EQ(arrays.vertexCount - arrays.edgeCount + arrays.triangleCount, 2);
    }
}

// Steps 0 and MorphSteps are the placed shapes exactly; the normals of a
// convex shape about its centre all point away from it, at unit length.
TEST(MorphArrays, StepsInterpolateAndNormalsPointOutward)
{
    const ModelTable cube = CubeTable();
    const ModelTable icosahedron = IcosahedronTable();
    std::vector<Vec3> end(cube.vertices.size());
    for (size_t v = 0; v < end.size(); ++v) end[v] = icosahedron.vertices[v];
    const MorphPlacement placement = PlaceMorph(cube.vertices, end);
    const MorphArrays arrays = MakeMorphArrays(cube.vertices, end, cube.triangles, placement);
    MorphFrame frame;
    for (const int32_t step : {0, 7, MorphSteps}) {
        SCOPED_TRACE(step);
        EvaluateMorphFrame(arrays, step, frame);
        ASSERT_EQ(frame.step, step);
        for (size_t v = 0; v < static_cast<size_t>(arrays.vertexCount); ++v) {
            const float* s = &arrays.start[3 * v];
            const float* e = &arrays.end[3 * v];
            const Vec3 expected = MorphPosition(Vec3{s[0], s[1], s[2]}, Vec3{e[0], e[1], e[2]}, step);
            EXPECT_EQ((Vec3{frame.positions[3 * v], frame.positions[3 * v + 1], frame.positions[3 * v + 2]}), expected);
        }
    }
    EvaluateMorphFrame(arrays, 0, frame);
    EXPECT_EQ(frame.positions, arrays.start);
    for (size_t v = 0; v < static_cast<size_t>(arrays.vertexCount); ++v) {
        const float* n = &frame.normals[3 * v];
        const float* p = &frame.positions[3 * v];
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
        EXPECT_GT(n[0] * p[0] + n[1] * p[1] + n[2] * p[2], 0.0f) << "vertex " << v;
    }
}

// Six times the signed volume and twice the area of a step's triangles.
std::pair<double, double> VolumeAndArea(const MorphArrays& arrays, int32_t step)
{
    MorphFrame frame;
    EvaluateMorphFrame(arrays, step, frame);
    double volume = 0.0, area = 0.0;
    for (size_t t = 0; t < arrays.triangles.size(); t += 3) {
        const float* a = &frame.positions[3 * arrays.triangles[t]];
        const float* b = &frame.positions[3 * arrays.triangles[t + 1]];
        const float* c = &frame.positions[3 * arrays.triangles[t + 2]];
        const double u[3] = {double{b[0]} - a[0], double{b[1]} - a[1], double{b[2]} - a[2]};
        const double w[3] = {double{c[0]} - a[0], double{c[1]} - a[1], double{c[2]} - a[2]};
        const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        volume += a[0] * n[0] + a[1] * n[1] + a[2] * n[2];
        area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
    return {volume, area};
}

// A sphere of 81,920 triangles turning into a lumpy, turned copy of itself:
// the coarse copy keeps the enclosed volume and the area at every step (a
// hole, a lost or turned-over patch would show), uses only the morph's own
// vertex pairs, and its size follows the cell.
TEST(MorphArrays, ClusteringKeepsTheShapeAtEveryStep)
{
    ModelTable sphere = Icosphere(6, 1.0f);
    ModelTable lumpy = sphere;
    PerturbRadially(lumpy, 0.2f, 7);
    Rotate(lumpy, 11);
    const MorphPlacement placement = PlaceMorph(sphere.vertices, lumpy.vertices);
    const MorphArrays full = MakeMorphArrays(sphere.vertices, lumpy.vertices, sphere.triangles, placement);
    std::set<std::vector<float>> pairs;
    for (size_t v = 0; v < static_cast<size_t>(full.vertexCount); ++v) {
        pairs.insert({full.start[3 * v], full.start[3 * v + 1], full.start[3 * v + 2], full.end[3 * v],
                      full.end[3 * v + 1], full.end[3 * v + 2]});
    }
    int32_t triangles = full.triangleCount;
    for (const float cell : {PlacedRadius / 64, PlacedRadius / 32}) {
        SCOPED_TRACE(cell);
        const MorphArrays coarse = ClusterMorphArrays(full, cell);
        EXPECT_LT(coarse.triangleCount, triangles) << "a coarser cell, fewer triangles";
        triangles = coarse.triangleCount;
        for (size_t v = 0; v < static_cast<size_t>(coarse.vertexCount); ++v) {
            ASSERT_EQ(pairs.count({coarse.start[3 * v], coarse.start[3 * v + 1], coarse.start[3 * v + 2],
                                   coarse.end[3 * v], coarse.end[3 * v + 1], coarse.end[3 * v + 2]}),
                      1u);
        }
        for (size_t t = 0; t < coarse.triangles.size(); t += 3) {
            ASSERT_TRUE(coarse.triangles[t] != coarse.triangles[t + 1] &&
                        coarse.triangles[t + 1] != coarse.triangles[t + 2] &&
                        coarse.triangles[t + 2] != coarse.triangles[t]);
        }
        for (const int32_t step : {0, 5, 10, 15, MorphSteps}) {
            const auto [fullVolume, fullArea] = VolumeAndArea(full, step);
            const auto [volume, area] = VolumeAndArea(coarse, step);
            EXPECT_NEAR(volume / fullVolume, 1.0, 0.02) << "step " << step;
            EXPECT_NEAR(area / fullArea, 1.0, 0.05) << "step " << step;
        }
    }
    EXPECT_EQ(CoarseMorphArrays(ClusterMorphArrays(full, PlacedRadius / 8)).vertexCount, 0) << "small: no copy";
    EXPECT_LE(CoarseMorphArrays(full).triangleCount, CoarseMorphTriangles);
}

}  // namespace
}  // namespace vorlane

// A vertex's colour walks as its position does; a clustered copy keeps the
// colours of the vertices it keeps.
TEST(MorphArrays, ColoursWalkWithTheStepsAndSurviveClustering)
{
    const std::vector<vorlane::Vec3> start = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, end = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    vorlane::MorphArrays arrays = vorlane::MakeMorphArrays(start, end, {{0, 1, 2}}, vorlane::PlaceMorph(start, end));
    arrays.startColours = {0, 0, 0, 1, 1, 1, 0.2f, 0.4f, 0.6f};
    arrays.endColours = {1, 0.5f, 0, 1, 1, 1, 0.6f, 0.4f, 0.2f};
    const struct {
        int32_t step;
        std::vector<float> colours;
    } cases[] = {{0, {0, 0, 0, 1, 1, 1, 0.2f, 0.4f, 0.6f}}, {10, {0.5f, 0.25f, 0, 1, 1, 1, 0.4f, 0.4f, 0.4f}},
                 {vorlane::MorphSteps, {1, 0.5f, 0, 1, 1, 1, 0.6f, 0.4f, 0.2f}}};
    for (const auto& c : cases) {
        vorlane::MorphFrame frame;
        vorlane::EvaluateMorphFrame(arrays, c.step, frame);
        ASSERT_EQ(frame.colours.size(), 9u);
        for (std::size_t i = 0; i < 9; ++i) EXPECT_NEAR(frame.colours[i], c.colours[i], 1e-6) << c.step << " " << i;
    }
    const vorlane::MorphArrays coarse = vorlane::ClusterMorphArrays(arrays, 1e-3f);
    EXPECT_EQ(coarse.startColours, arrays.startColours);
    EXPECT_EQ(coarse.endColours, arrays.endColours);
}
