#include "prepare/alignment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "bench/mesh_generator.h"
#include "geometry/dvec3.h"

namespace vorlane {
namespace {

double Angle(const Vec3& a, const Vec3& b)
{
    const D3 x = ToD(a), y = ToD(b);
    return std::atan2(std::sqrt(Dot(Cross(x, y), Cross(x, y))), Dot(x, y));
}

// A potato, star-shaped about the origin, and the same potato turned by a
// random rotation and stretched by 10 % along x: the directions of both
// are their vertices, as central projection gives them.
struct Pair {
    ModelTable source;
    ModelTable target;
};

// A potato: a smooth radius over the directions, lumpy enough to have one
// best turn.
ModelTable Potato(uint32_t seed)
{
    ModelTable table = Icosphere(3, 1.0f);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0.0, 6.2831853);
    const double p[4] = {phase(random), phase(random), phase(random), phase(random)};
    for (Vec3& v : table.vertices) {
        const double r = 40.0 * (1.0 + 0.25 * std::sin(2.0 * v.x + p[0]) * std::cos(3.0 * v.y + p[1]) +
                                 0.2 * std::sin(3.0 * v.z + p[2]) + 0.15 * std::cos(2.0 * v.y + 2.0 * v.z + p[3]));
        v = {static_cast<float>(r * v.x), static_cast<float>(r * v.y), static_cast<float>(r * v.z)};
    }
    return table;
}

Pair TurnedCopy(uint32_t seed)
{
    Pair pair;
    pair.source = Potato(seed);
    pair.target = pair.source;
    Rotate(pair.target, seed + 1);
    for (Vec3& v : pair.target.vertices) v.x *= 1.1f;
    return pair;
}

SphereMesh Mapped(const ModelTable& table)
{
    return {&table.vertices, &table.vertices, &table.triangles};
}

// The search must find the turn back: each target vertex's direction, once
// mapped, lands near its own source vertex's (only the stretch moves it).
TEST(AlignTarget, FindsTheTurnOfAStretchedCopy)
{
    for (const uint32_t seed : {3u, 17u, 2026u}) {
        SCOPED_TRACE(seed);
        const Pair pair = TurnedCopy(seed);
        const Alignment a = AlignTarget(Mapped(pair.source), Mapped(pair.target), {});
        ASSERT_EQ(a.error, "");
        EXPECT_EQ(a.method, "shape search");
        double worst = 0.0;
        for (size_t v = 0; v < pair.source.vertices.size(); ++v) {
            worst = std::max(worst, Angle(a.directions[v], pair.source.vertices[v]));
        }
        EXPECT_LT(worst, 0.1) << "radians";
    }
}

// Two or three landmark pairs end exactly on their partners, also where
// they do not correspond and the map must bend.
TEST(AlignTarget, LandmarksAreMet)
{
    const Pair pair = TurnedCopy(5);
    const struct {
        std::vector<LandmarkPair> pairs;
        const char* method;
    } cases[] = {
        {{{0, 5}, {40, 90}, {300, 200}}, "three landmarks (Moebius)"},
        {{{7, 7}, {200, 200}}, "two landmarks (Moebius)"},
        {{{0, 5}, {40, 90}}, "two landmarks (Moebius)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        const Alignment a = AlignTarget(Mapped(pair.source), Mapped(pair.target), c.pairs);
        ASSERT_EQ(a.error, "");
        EXPECT_EQ(a.method, c.method);
        for (const LandmarkPair& l : c.pairs) {
            EXPECT_LT(Angle(a.directions[static_cast<size_t>(l.target)], pair.source.vertices[static_cast<size_t>(l.source)]),
                      1e-6);
        }
    }
    // Neighbours sent 117 degrees apart bend the sphere past what its
    // triangles take: the rotation stays, and the result says so.
    const ModelTable sphere = Icosphere(3, 1.0f);
    const Alignment bent = AlignTarget(Mapped(sphere), Mapped(sphere), {{0, 0}, {162, 8}});
    EXPECT_TRUE(bent.fellBack);
    EXPECT_EQ(bent.method, "two landmarks (Moebius) fell back to a rotation: the map turned a triangle over");
    const Alignment bad = AlignTarget(Mapped(pair.source), Mapped(pair.target), {{0, 100000}});
    EXPECT_NE(bad.error.find("landmark 1"), std::string::npos);
}

TEST(ParseLandmarks, TakesPairsAndNamesTheBadLine)
{
    const struct {
        const char* text;
        size_t pairs;
        const char* error;
    } cases[] = {
        {"0 5\n# a comment\n\n12 7  # the nose\n", 2, ""},
        {"0 5\n1\n", 1, "line 2: expected two vertex numbers"},
        {"0 5 6\n", 0, "line 1: expected two vertex numbers"},
        {"-1 5\n", 0, "line 1: vertex numbers are 0-based and not negative"},
        {"x y\n", 0, "line 1: expected two vertex numbers"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<LandmarkPair> pairs;
        EXPECT_EQ(ParseLandmarks(c.text, pairs), c.error);
        EXPECT_EQ(pairs.size(), c.pairs);
    }
}

}  // namespace
}  // namespace vorlane
