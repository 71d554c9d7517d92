#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "literal/arc_intersection.h"
#include "test_support.h"

namespace vorlane {
namespace {

Vec3 Equator(double degrees)
{
    const double a = degrees * M_PI / 180.0;
    return {static_cast<float>(300.0 * std::cos(a)), static_cast<float>(300.0 * std::sin(a)), 0.0f};
}

Vec3 OnSphere(float x, float y, float z)
{
    Vec3 q;
    ProjectToSphere({x, y, z}, q);
    return q;
}

Arc EquatorArc(double from, double to)
{
    return {Equator(from), Equator(to)};
}

struct CoplanarCase {
    const char* what;
    Arc first;
    Arc second;
    Vec3 q0;
    Vec3 q1;
};

TEST(FindArcIntersect, CoplanarArcsGiveTheEndsThatLieOnTheOtherArc)
{
    const CoplanarCase cases[] = {
        {"overlap: A1 before B0", EquatorArc(0, 40), EquatorArc(20, 60), Equator(40), Equator(20)},
        {"first inside second", EquatorArc(10, 20), EquatorArc(0, 60), Equator(10), Equator(20)},
        {"identical: the first arc's ends", EquatorArc(0, 40), EquatorArc(0, 40), Equator(0), Equator(40)},
        {"end to end: one point twice", EquatorArc(0, 40), EquatorArc(40, 60), Equator(40), Equator(40)},
        {"reversed second arc", EquatorArc(0, 40), EquatorArc(60, 20), Equator(40), Equator(20)},
        {"second inside first: the shorter", EquatorArc(0, 60), EquatorArc(10, 20), Equator(10), Equator(20)},
    };
    for (const CoplanarCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::FaultCapture faults;
        Vec3 p;
        Vec3 q[2];
        ASSERT_EQ(FindArcIntersect(c.first, c.second, p, q), 2);
        EXPECT_EQ(q[0], c.q0);
        EXPECT_EQ(q[1], c.q1);
        EXPECT_TRUE(faults.faults().empty());
    }
}

TEST(FindArcIntersect, DisjointArcsOfOneCircleGiveNothingQuietly)
{
    test::FaultCapture faults;
    Vec3 p{1, 2, 3};
    Vec3 q[2];
    EXPECT_EQ(FindArcIntersect(EquatorArc(0, 20), EquatorArc(40, 60), p, q), 0);
    EXPECT_EQ(p, (Vec3{1, 2, 3}));
    EXPECT_TRUE(faults.faults().empty());
}

TEST(FindArcIntersect, OneEndWithinTheMarginIsReportedAsCoplanar)
{
    // A gap of 0.0012 degrees (0.006 units): the first arc's end passes the
    // second arc's 1/100 margin, while the second's start misses the first's.
    test::FaultCapture faults;
    Vec3 p;
    Vec3 q[2];
    EXPECT_EQ(FindArcIntersect(EquatorArc(0, 40), EquatorArc(40.0012, 60), p, q), 0);
    ASSERT_EQ(faults.faults().size(), 1u);
    EXPECT_EQ(faults.faults()[0], "FindArcIntersect|co-planar");
}

TEST(CoplanarNormals, AgreeAtAGrainOfOneTenThousandth)
{
    EXPECT_TRUE(CoplanarNormals({0.70712f, 0.70712f, 0}, {0.70719f, 0.70719f, 0}));
    EXPECT_TRUE(CoplanarNormals({0.70712f, 0.70712f, 0}, {-0.70719f, -0.70719f, 0}));
    EXPECT_FALSE(CoplanarNormals({0.70719f, 0.70719f, 0}, {0.70721f, 0.70721f, 0}));
    EXPECT_FALSE(CoplanarNormals({0.6f, 0.8f, 0}, {-0.6f, 0.8f, 0}));
}

TEST(FindArcIntersect, QuarterEquatorCrossesAMeridian)
{
    const float h = static_cast<float>(300.0 / std::sqrt(2.0));
    Vec3 p;
    Vec3 q[2];
    ASSERT_EQ(FindArcIntersect({{300, 0, 0}, {0, 300, 0}}, {{150, 150, h}, {150, 150, -h}}, p, q), 1);
    EXPECT_FLOAT_EQ(p.x, h);
    EXPECT_FLOAT_EQ(p.y, h);
    EXPECT_EQ(p.z, 0.0f);
}

TEST(FindArcIntersect, LineAlongAnAxisTakesItsSideFromTheFirstArc)
{
    Vec3 p;
    Vec3 q[2];
    const Arc first{OnSphere(-1, -1, -1), OnSphere(1, 1, -1)};
    const Arc second{OnSphere(-1, 1, -1), OnSphere(1, -1, -1)};
    ASSERT_EQ(FindArcIntersect(first, second, p, q), 1);
    EXPECT_EQ(p, (Vec3{0, 0, -300}));
}

TEST(FindArcIntersect, CrossingOnTheOtherSideOfTheSignRuleIsFound)
{
    // Both arcs straddle all three coordinate planes, so the sign rule picks
    // the antipode of the crossing; the antipode check recovers it.
    for (float zs : {1.0f, -1.0f}) {
        SCOPED_TRACE(zs);
        const Arc first{OnSphere(0.8f, 0.6f, 0.2f * zs), OnSphere(-0.2f, -0.2f, -0.4f * zs)};
        const Arc second{OnSphere(0.8f, -0.2f, -0.3f * zs), OnSphere(-0.2f, 0.6f, 0.1f * zs)};
        const Vec3 expected = OnSphere(0.3f, 0.2f, -0.1f * zs);
        Vec3 p;
        Vec3 q[2];
        ASSERT_EQ(FindArcIntersect(first, second, p, q), 1);
        EXPECT_NEAR(p.x, expected.x, 1e-3);
        EXPECT_NEAR(p.y, expected.y, 1e-3);
        EXPECT_NEAR(p.z, expected.z, 1e-3);
    }
}

TEST(FindArcIntersect, ArcWithoutAPlaneCrossesNothing)
{
    const Arc ordinary{OnSphere(1, 0, 1), OnSphere(1, 0, -1)};
    const Arc point{OnSphere(1, 0.1f, 0), OnSphere(1, 0.1f, 0)};
    const Arc halfCircle{{0, 300, 0}, {0, -300, 0}};
    Vec3 p;
    Vec3 q[2];
    EXPECT_EQ(FindArcIntersect(point, ordinary, p, q), 0);
    EXPECT_EQ(FindArcIntersect(ordinary, point, p, q), 0);
    EXPECT_EQ(FindArcIntersect(halfCircle, ordinary, p, q), 0);
}

TEST(PointOnArc, AcceptsTheShorterArcWithAHundredthMargin)
{
    const Arc arc = EquatorArc(0, 40);
    EXPECT_EQ(PointOnArc(arc, Equator(0)), 1);
    EXPECT_EQ(PointOnArc(arc, Equator(20)), 1);
    EXPECT_EQ(PointOnArc(arc, Equator(40)), 1);
    EXPECT_EQ(PointOnArc(arc, Equator(40.0005)), 1);  // 0.0026 units past the end
    EXPECT_EQ(PointOnArc(arc, Equator(40.001)), 0);
    EXPECT_EQ(PointOnArc(arc, Equator(200)), 0);
}

// An independent crossing test in double: a point is on an arc when it lies
// between the ends as seen along the arc's plane normal.
struct Dbl {
    double x, y, z;
};
Dbl ToDbl(const Vec3& v) { return {v.x, v.y, v.z}; }
Dbl Cross(const Dbl& a, const Dbl& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Dbl& a, const Dbl& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Norm(const Dbl& a) { return std::sqrt(Dot(a, a)); }
Dbl Scale(const Dbl& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double Angle(const Dbl& a, const Dbl& b) { return std::atan2(Norm(Cross(a, b)), Dot(a, b)); }

bool Between(const Dbl& a0, const Dbl& a1, const Dbl& p)
{
    const Dbl n = Cross(a0, a1);
    return Dot(Cross(a0, p), n) >= 0 && Dot(Cross(p, a1), n) >= 0 && Dot(p, Scale(Dbl{a0.x + a1.x, a0.y + a1.y, a0.z + a1.z}, 1)) > 0;
}

TEST(FindArcIntersect, AgreesWithAnIndependentGreatCircleTest)
{
    std::mt19937 random(20261209);
    std::normal_distribution<float> gauss;
    std::uniform_real_distribution<double> length(0.05, 1.2);  // radians
    int compared = 0;
    int crossings = 0;
    int disagreements = 0;
    for (int trial = 0; trial < 40000; ++trial) {
        Arc arcs[2];
        for (Arc& arc : arcs) {
            arc.start = OnSphere(gauss(random), gauss(random), gauss(random));
            const Vec3 other = OnSphere(gauss(random), gauss(random), gauss(random));
            // Walk from start towards other by a chosen angle.
            const Dbl s = Scale(ToDbl(arc.start), 1.0 / 300.0);
            Dbl axis = Cross(s, ToDbl(other));
            axis = Scale(axis, 1.0 / Norm(axis));
            const Dbl t = Cross(axis, s);
            const double a = length(random);
            arc.end = OnSphere(static_cast<float>(s.x * std::cos(a) + t.x * std::sin(a)),
                               static_cast<float>(s.y * std::cos(a) + t.y * std::sin(a)),
                               static_cast<float>(s.z * std::cos(a) + t.z * std::sin(a)));
        }
        const Dbl a0 = ToDbl(arcs[0].start), a1 = ToDbl(arcs[0].end);
        const Dbl b0 = ToDbl(arcs[1].start), b1 = ToDbl(arcs[1].end);
        const Dbl nA = Cross(a0, a1), nB = Cross(b0, b1);
        const Dbl line = Cross(nA, nB);
        if (Norm(line) < 1e-2 * Norm(nA) * Norm(nB)) continue;  // nearly one great circle
        const Dbl c = Scale(line, 300.0 / Norm(line));
        const Dbl candidates[2] = {c, Scale(c, -1)};
        bool expected = false;
        Dbl where{0, 0, 0};
        bool nearEnd = false;
        for (const Dbl& x : candidates) {
            for (const Dbl& end : {a0, a1, b0, b1}) nearEnd = nearEnd || Angle(x, end) < 1e-3;
            if (Between(a0, a1, x) && Between(b0, b1, x)) {
                expected = true;
                where = x;
            }
        }
        if (nearEnd) continue;
        ++compared;
        Vec3 p;
        Vec3 q[2];
        const int32_t result = FindArcIntersect(arcs[0], arcs[1], p, q);
        if ((result == 1) != expected) {
            ++disagreements;
            ADD_FAILURE() << "trial " << trial << ": result " << result << ", expected crossing " << expected;
            continue;
        }
        if (expected) {
            ++crossings;
            EXPECT_LT(Angle(ToDbl(p), where), 1e-4);
        }
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(compared, 30000);
    EXPECT_GT(crossings, 700);
}

}  // namespace
}  // namespace vorlane
