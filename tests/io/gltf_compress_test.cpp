// Both ends of a compressed morph decode, as a viewer decodes them, within
// their own grid step and with no triangle turned flat, whatever the two
// shapes' sizes; where a float offset cannot hold the end, the writer says
// so or writes it the other way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bench/decoded_gltf.h"
#include "bench/mesh_generator.h"
#include "io/gltf_reader.h"
#include "io/gltf_writer.h"
#include "io/morph_end_error.h"
#include "robust/merge_meshes.h"
#include "test_support.h"

namespace {

using vorlane::MorphMesh;
using vorlane::Vec3;

vorlane::Polyhedron Scaled(vorlane::ModelTable table, float factor)
{
    for (Vec3& v : table.vertices) v = Vec3{v.x * factor, v.y * factor, v.z * factor};
    return vorlane::BuildPolyhedron(table, Vec3{});
}

// Triangles of twice-area below 1e-12 of the squared diagonal of the box,
// the measure the output promises to stay above.
int64_t Flat(const std::vector<Vec3>& p, const std::vector<vorlane::Triangle>& triangles)
{
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Vec3& v : p)
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], double((&v.x)[k])), hi[k] = std::max(hi[k], double((&v.x)[k]));
    const double limit = 1e-12 * ((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) + (hi[2] - lo[2]) * (hi[2] - lo[2]));
    int64_t flat = 0;
    for (const vorlane::Triangle& t : triangles) {
        const Vec3 &a = p[size_t(t[0])], &b = p[size_t(t[1])], &c = p[size_t(t[2])];
        const double u[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double v[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        if (std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) < limit) ++flat;
    }
    return flat;
}

// The largest error on an axis of decoded against written, over the end's
// own grid step; float's rounding of the node's scale and translation may
// add a thousandth.
double WorstInSteps(const std::vector<Vec3>& decoded, const std::vector<Vec3>& written)
{
    const double step = vorlane::EndGridStep(written.data(), written.size());
    double worst = 0.0;
    for (size_t v = 0; v < written.size(); ++v)
        for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(double((&decoded[v].x)[k]) - (&written[v].x)[k]) / step);
    return worst;
}

// A sphere against a cube-sphere a hundredth its size (as an armadillo
// against a hand), both ways, and two shapes of one size, the end a point
// reflection of the start so that offsets span the whole grid.
TEST(GltfCompress, EachEndDecodesWithinItsOwnStepAndNothingFlat)
{
    vorlane::test::ScratchDirectory scratch;
    const vorlane::Polyhedron large = Scaled(vorlane::Icosphere(3, 1.0f), 50.0f);
    const vorlane::Polyhedron small = Scaled(vorlane::BenchCubeSphere(3), 0.5f / 60.0f);
    MorphMesh mirrored = vorlane::MergeMeshes(large, Scaled(vorlane::BenchCubeSphere(3), 50.0f / 60.0f)).mesh;
    for (Vec3& v : mirrored.endPositions) v = Vec3{-v.x, -v.y, -v.z};
    mirrored.source = mirrored.target = nullptr;
    const struct {
        const char* name;
        MorphMesh mesh;
    } cases[] = {{"large to small", vorlane::MergeMeshes(large, small).mesh},
                 {"small to large", vorlane::MergeMeshes(small, large).mesh},
                 {"mirrored", mirrored}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string warning = "unset";
        ASSERT_EQ(vorlane::WriteGltfMorph(c.mesh, "c.glb", vorlane::GltfContainer::Binary, {true, 2, &warning}), "");
        EXPECT_EQ(warning, "");
        const vorlane::bench::DecodedMorph decoded = vorlane::bench::ReadDecodedMorph("c.glb");
        ASSERT_EQ(decoded.error, "");
        ASSERT_EQ(decoded.startPositions.size(), c.mesh.startPositions.size());
        EXPECT_EQ(Flat(decoded.startPositions, decoded.triangles), 0);
        EXPECT_EQ(Flat(decoded.endPositions, decoded.triangles), 0);
        EXPECT_LE(WorstInSteps(decoded.startPositions, c.mesh.startPositions), 1.001);
        EXPECT_LE(WorstInSteps(decoded.endPositions, c.mesh.endPositions), 1.001);
    }
}

// The largest error on an axis of decoded against written, over what float
// may keep of an end: a millionth of its box's diagonal plus two float steps
// at its largest coordinate.
double WorstInHeld(const std::vector<Vec3>& decoded, const std::vector<Vec3>& written)
{
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    float largest = 0.0f;
    for (const Vec3& v : written)
        for (int k = 0; k < 3; ++k) {
            const float c = (&v.x)[k];
            lo[k] = std::min(lo[k], double(c)), hi[k] = std::max(hi[k], double(c));
            largest = std::max(largest, std::fabs(c));
        }
    const double held = 1e-6 * std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]) +
                        2.0 * (double(std::nextafter(largest, INFINITY)) - largest);
    double worst = 0.0;
    for (size_t v = 0; v < written.size(); ++v)
        for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(double((&decoded[v].x)[k]) - (&written[v].x)[k]) / held);
    return worst;
}

// Ends a million and a thousand times apart: a float offset from the large
// one holds the small end no better than a float step of the large one
// (which once put a millionfold smaller end at the origin, or a thousandfold
// one 1e-5 of its diagonal off, with no word). Both files take the small end
// as their base, and every decoder reads each end back as exactly as float
// holds it.
TEST(GltfWriter, EndAFloatOffsetCannotHoldIsWrittenTheOtherWay)
{
    vorlane::test::ScratchDirectory scratch;
    const vorlane::Polyhedron huge = Scaled(vorlane::Icosphere(1, 1.0f), 1e6f), tiny = Scaled(vorlane::Icosphere(1, 1.0f), 1e-6f),
                              twice = Scaled(vorlane::Icosphere(1, 1.0f), 2e6f), unit = Scaled(vorlane::Icosphere(1, 1.0f), 1.0f),
                              thousand = Scaled(vorlane::BenchCubeSphere(2), 1000.0f / 60.0f);
    // note: a merged mesh points at its inputs, for their normals.
    const MorphMesh mesh = vorlane::MergeMeshes(huge, tiny).mesh;
    const MorphMesh alike = vorlane::MergeMeshes(huge, twice).mesh;
    const MorphMesh apart = vorlane::MergeMeshes(thousand, unit).mesh;
    const struct {
        const char* name;
        const MorphMesh& mesh;
        bool compress;
    } cases[] = {{"millionfold plain", mesh, false}, {"millionfold compressed", mesh, true}, {"alike plain", alike, false},
                 {"alike compressed", alike, true},  {"thousandfold plain", apart, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string warning = "unset";
        ASSERT_EQ(vorlane::WriteGltfMorph(c.mesh, "c.glb", vorlane::GltfContainer::Binary, {c.compress, 1, &warning}), "");
        EXPECT_EQ(warning, "");
        const vorlane::bench::DecodedMorph decoded = vorlane::bench::ReadDecodedMorph("c.glb");
        const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph("c.glb");
        ASSERT_EQ(decoded.error, "");
        ASSERT_EQ(read.error, "");
        ASSERT_EQ(decoded.startPositions.size(), c.mesh.startPositions.size());
        ASSERT_EQ(read.morph.startPositions.size(), c.mesh.startPositions.size());
        EXPECT_LE(WorstInSteps(decoded.startPositions, c.mesh.startPositions), 1.001);
        EXPECT_LE(WorstInSteps(decoded.endPositions, c.mesh.endPositions), 1.001);
        EXPECT_LE(WorstInSteps(read.morph.startPositions, c.mesh.startPositions), 1.001);
        EXPECT_LE(WorstInSteps(read.morph.endPositions, c.mesh.endPositions), 1.001);
        if (c.compress) continue;
        EXPECT_LE(WorstInHeld(read.morph.startPositions, c.mesh.startPositions), 1.0);
        EXPECT_LE(WorstInHeld(read.morph.endPositions, c.mesh.endPositions), 1.0);
    }
}

}  // namespace

namespace {

// The tolerance as its contract says, every coordinate read in double: the
// box's longer half-side over 16383 (1 for none), and two float steps at
// the largest magnitude; coordinates that are no number are passed over.
double ToleranceByDefinition(const std::vector<Vec3>& end)
{
    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY}, largest = 0.0, half = 0.0;
    for (const Vec3& v : end) {
        for (int k = 0; k < 3; ++k) {
            const double c = k == 0 ? v.x : k == 1 ? v.y : v.z;
            if (std::isnan(c)) continue;
            lo[k] = std::min(lo[k], c), hi[k] = std::max(hi[k], c), largest = std::max(largest, std::fabs(c));
        }
    }
    for (int k = 0; k < 3; ++k) half = lo[k] <= hi[k] ? std::max(half, (hi[k] - lo[k]) / 2.0) : half;
    const float big = static_cast<float>(largest);
    return (half > 0.0 ? half / 16383.0 : 1.0) + 2.0 * (static_cast<double>(std::nextafter(big, INFINITY)) - big);
}

// The box and the largest magnitude found in one float pass: negative-only
// axes, the largest at a box's low end, an axis with no number, none at all.
TEST(EndTolerance, IsTheBoxStepAndTwoFloatStepsAtTheLargestMagnitude)
{
    const float nan = NAN;
    const std::vector<std::vector<Vec3>> ends = {
        {{1, 2, 3}, {-4, 0.5f, 2}, {0, -1, 7}},
        {{-3e5f, -2, -1}, {-1e5f, -7, -0.25f}},
        {{1, nan, 3}, {nan, nan, -9}, {5, nan, 0}},
        {{2, 2, 2}},
        {},
    };
    for (std::size_t i = 0; i < ends.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(vorlane::EndTolerance(ends[i].data(), ends[i].size()), ToleranceByDefinition(ends[i]));
    }
}

}  // namespace
