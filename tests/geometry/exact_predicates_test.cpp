#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "geometry/exact_predicates.h"

namespace vorlane {
namespace {

// Coordinates k / 2^20 with |k| < 2^22 are exact floats, and the determinant
// of their integer numerators fits a 128-bit integer: an exact reference.
__extension__ typedef __int128 Int;

struct Lattice {
    int32_t x, y, z;
    Vec3 AsFloat() const
    {
        return {std::ldexp(static_cast<float>(x), -20), std::ldexp(static_cast<float>(y), -20), std::ldexp(static_cast<float>(z), -20)};
    }
};

int ExactOrientation(const Lattice& a, const Lattice& b, const Lattice& c)
{
    const Int det = Int{a.x} * (Int{b.y} * c.z - Int{b.z} * c.y) + Int{a.y} * (Int{b.z} * c.x - Int{b.x} * c.z) +
                    Int{a.z} * (Int{b.x} * c.y - Int{b.y} * c.x);
    return det > 0 ? 1 : det < 0 ? -1 : 0;
}

Lattice RandomLattice(std::mt19937& random, int32_t limit)
{
    std::uniform_int_distribution<int32_t> k(-limit, limit);
    const int32_t x = k(random);
    const int32_t y = k(random);
    return {x, y, k(random)};
}

// The double filter decides almost every call; these cases sit where its
// bound is all that stands between it and a wrong sign.
TEST(Orient3, AgreesWithExactArithmeticOnAndNearOneGreatCircle)
{
    std::mt19937 random(7);
    int zeros = 0;
    for (int i = 0; i < 200000; ++i) {
        const Lattice a = RandomLattice(random, 1 << 21);
        const Lattice b = RandomLattice(random, 1 << 21);
        Lattice c;
        switch (i % 4) {
        case 0:  // on the circle through a and b exactly
            c = {a.x + b.x, a.y + b.y, a.z + b.z};
            break;
        case 1: {  // a step or two off it
            std::uniform_int_distribution<int32_t> nudge(-2, 2);
            c = {a.x + b.x + nudge(random), a.y + b.y + nudge(random), a.z + b.z + nudge(random)};
            break;
        }
        case 2: {  // a point near the centre, so the terms differ wildly in size
            const Lattice d = RandomLattice(random, 3);
            c = {d.x + (a.x >> 20), d.y + (a.y >> 20), d.z + (a.z >> 20)};
            break;
        }
        default:
            c = RandomLattice(random, 1 << 21);
        }
        const int expected = ExactOrientation(a, b, c);
        zeros += expected == 0;
        ASSERT_EQ(Orient3(a.AsFloat(), b.AsFloat(), c.AsFloat()), expected) << i;
        ASSERT_EQ(Orient3(b.AsFloat(), a.AsFloat(), c.AsFloat()), -expected) << i;
        ASSERT_EQ(Orient3(c.AsFloat(), a.AsFloat(), b.AsFloat()), expected) << i;
    }
    EXPECT_GT(zeros, 40000);  // the degenerate cases really were exercised
}

// det[a, b, c] by rationals straight from the floats: independent of the
// predicates' own scaling to integers.
int RationalOrientation(const Vec3& a, const Vec3& b, const Vec3& c)
{
    auto q = [](float f) { return mpq_class(static_cast<double>(f)); };
    const mpq_class det = q(a.x) * (q(b.y) * q(c.z) - q(b.z) * q(c.y)) + q(a.y) * (q(b.z) * q(c.x) - q(b.x) * q(c.z)) +
                          q(a.z) * (q(b.x) * q(c.y) - q(b.y) * q(c.x));
    return sgn(det);
}

// c = a b.z - b a.z lies on the circle through a and b with c.z = 0; moved
// off it by a z far below a float step of its other coordinates, its sign
// hides under every double bound and only the exact fallback can give it.
TEST(Orient3, ExactFallbackDecidesWhatTheFilterCannot)
{
    const struct {
        Vec3 a, b;
        float offset;  // c.z
    } cases[] = {
        {{1, 2, 3}, {2, 1, -3}, std::ldexp(1.0f, -100)},
        {{1, 2, 3}, {2, 1, -3}, -std::ldexp(1.0f, -100)},
        {{1023, -511, 7}, {-3, 2047, 5}, std::ldexp(1.0f, -118)},  // a subnormal once scaled down
        {{1023, -511, 7}, {-3, 2047, 5}, -std::ldexp(1.0f, -110)},
        {{4095, 3, -1}, {1, 4093, 2}, 3 * std::ldexp(1.0f, -70)},
        {{-77, 12, 1}, {31, -5, 1}, std::ldexp(1.0f, -60)},
    };
    int decided = 0;
    for (const auto& c : cases) {
        for (int scale : {-30, 0, 40}) {
            for (int turn = 0; turn < 3; ++turn) {
                SCOPED_TRACE(testing::Message() << c.a.x << " " << c.b.x << " " << c.offset << " scale " << scale << " turn " << turn);
                auto place = [&](float x, float y, float z) {
                    const float v[3] = {std::ldexp(x, scale), std::ldexp(y, scale), std::ldexp(z, scale)};
                    return Vec3{v[turn], v[(turn + 1) % 3], v[(turn + 2) % 3]};
                };
                const Vec3 a = place(c.a.x, c.a.y, c.a.z);
                const Vec3 b = place(c.b.x, c.b.y, c.b.z);
                const Vec3 p = place(c.a.x * c.b.z - c.b.x * c.a.z, c.a.y * c.b.z - c.b.y * c.a.z, c.offset);
                const int expected = RationalOrientation(a, b, p);
                ASSERT_NE(expected, 0);
                decided += expected != 0;
                EXPECT_EQ(Orient3Refined(a, b, p), expected);
                EXPECT_EQ(Orient3(a, b, p), expected);
                EXPECT_EQ(Orient3(p, b, a), -expected);
            }
        }
    }
    EXPECT_EQ(decided, 6 * 3 * 3);
}

// GMP traps on an infinity; a non-finite point must get a defined answer.
TEST(Orient3, NonFiniteInputsGetSignZeroInsteadOfATrap)
{
    const float inf = std::numeric_limits<float>::infinity();
    const Vec3 a{1, 2, 3}, b{-2, 1, 5};
    for (const Vec3& bad : {Vec3{inf, 0, 0}, Vec3{0, -inf, 1}, Vec3{std::numeric_limits<float>::quiet_NaN(), 1, 1}}) {
        EXPECT_EQ(Orient3(a, b, bad), 0);
        EXPECT_EQ(TangentCosine(bad, a, b), 0);
        EXPECT_EQ(CompareAlongArc(a, b, {true, bad, {}}, {false, a, bad}), 0);
    }
}

TEST(Orient3, RepeatedPointsAreOnTheCircle)
{
    const Vec3 a{1.0f, 2.0f, 3.0f};
    const Vec3 b{-0.5f, 4.0f, 1e-30f};
    EXPECT_EQ(Orient3(a, a, b), 0);
    EXPECT_EQ(Orient3(a, b, a), 0);
    EXPECT_EQ(Orient3(a, b, b), 0);
}

bool CrossesProperly(const Vec3& p, const Vec3& q, const Vec3& c, const Vec3& d)
{
    const int sc = Orient3(p, q, c);
    return sc != 0 && Orient3(p, q, d) == -sc && Orient3(c, d, p) == -Orient3(c, d, q) && Orient3(c, d, p) != 0;
}

// Crossing arcs through one point of p -> q, exactly or a lattice step or
// two apart: wherever the parameters claim an order, the exact comparison
// must agree, and arcs through the very same point must never be ordered.
TEST(CrossingParameter, NeverOrdersWhatTheExactComparisonDoesNot)
{
    std::mt19937 random(11);
    int separated = 0, ties = 0;
    for (int round = 0; round < 4000; ++round) {
        const Lattice p = RandomLattice(random, 1 << 21);
        const Lattice q = RandomLattice(random, 1 << 21);
        const int32_t nudge = round % 3;  // 0: every arc through the same point
        std::uniform_int_distribution<int32_t> step(-nudge, nudge);
        Vec3 c[4], d[4];
        int count = 0;
        for (int attempt = 0; attempt < 12 && count < 4; ++attempt) {
            const Lattice w = RandomLattice(random, round % 2 == 0 ? 1 << 20 : 1 << 4);
            const Lattice m{p.x + q.x + step(random), p.y + q.y + step(random), p.z + q.z + step(random)};
            const Lattice from{m.x + w.x, m.y + w.y, m.z + w.z};
            const Lattice to{m.x - w.x, m.y - w.y, m.z - w.z};
            if (!CrossesProperly(p.AsFloat(), q.AsFloat(), from.AsFloat(), to.AsFloat())) continue;
            c[count] = from.AsFloat();
            d[count] = to.AsFloat();
            ++count;
        }
        for (int i = 0; i < count; ++i) {
            for (int j = i + 1; j < count; ++j) {
                double ti, ei, tj, ej;
                const int exact = CompareAlongArc(p.AsFloat(), q.AsFloat(), {false, c[i], d[i]}, {false, c[j], d[j]});
                ties += exact == 0;
                if (!CrossingParameter(p.AsFloat(), q.AsFloat(), c[i], d[i], ti, ei)) continue;
                if (!CrossingParameter(p.AsFloat(), q.AsFloat(), c[j], d[j], tj, ej)) continue;
                if (std::fabs(tj - ti) <= ei + ej) continue;
                ++separated;
                ASSERT_EQ(tj > ti ? 1 : -1, exact) << round << " " << i << " " << j;
            }
        }
    }
    EXPECT_GT(ties, 1000);       // coincident crossings really were tried
    EXPECT_GT(separated, 1000);  // and so were ones the parameters decide
}

}  // namespace
}  // namespace vorlane

namespace vorlane {
namespace {

// The dot of two triangles' area vectors over lattice points, in 128 bits.
int ExactFacing(const Lattice (&t)[6])
{
    const auto cross = [](const Lattice& a, const Lattice& b, const Lattice& c, Int (&n)[3]) {
        const Int u[3] = {Int{b.x} - a.x, Int{b.y} - a.y, Int{b.z} - a.z};
        const Int v[3] = {Int{c.x} - a.x, Int{c.y} - a.y, Int{c.z} - a.z};
        n[0] = u[1] * v[2] - u[2] * v[1], n[1] = u[2] * v[0] - u[0] * v[2], n[2] = u[0] * v[1] - u[1] * v[0];
    };
    Int m[3], n[3];
    cross(t[0], t[1], t[2], m);
    cross(t[3], t[4], t[5], n);
    const Int dot = m[0] * n[0] + m[1] * n[1] + m[2] * n[2];
    return dot > 0 ? 1 : dot < 0 ? -1 : 0;
}

int Facing(const Lattice (&t)[6])
{
    return FacingSign(t[0].AsFloat(), t[1].AsFloat(), t[2].AsFloat(), t[3].AsFloat(), t[4].AsFloat(), t[5].AsFloat());
}

TEST(FacingSign, TellsTurnedRightAngledAndFlatTrianglesApart)
{
    const int32_t k = 1 << 21;
    struct Case {
        Lattice t[6];
        int expected;
    };
    const Case cases[] = {
        {{{0, 0, 0}, {k, 0, 0}, {0, k, 0}, {0, 0, 0}, {k, 0, 0}, {0, k, 0}}, 1},       // itself
        {{{0, 0, 0}, {k, 0, 0}, {0, k, 0}, {0, 0, 0}, {0, k, 0}, {k, 0, 0}}, -1},      // turned over
        {{{0, 0, 0}, {k, 0, 0}, {0, k, 0}, {0, 0, 0}, {k, 0, 0}, {0, 0, k}}, 0},       // at right angles
        {{{0, 0, 0}, {k, 0, 0}, {0, k, 0}, {0, 0, 0}, {k, 0, 0}, {2 * k, 0, 0}}, 0},   // no area
        {{{0, 0, 0}, {k, 0, 0}, {0, k, 0}, {0, 0, 0}, {k, 0, 0}, {0, 1, k}}, 1},       // a unit off a right angle
        {{{0, 0, 0}, {k, 0, 0}, {0, k, 0}, {0, 0, 0}, {k, 0, 0}, {0, -1, k}}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExactFacing(c.t), c.expected);
        EXPECT_EQ(Facing(c.t), c.expected);
    }
}

TEST(FacingSign, AgreesWithExactArithmeticNearARightAngle)
{
    // Second triangles built at right angles to the first, then nudged by a
    // lattice step: signs only the exact evaluation can be sure of.
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> nudge(-1, 1);
    for (int i = 0; i < 2000; ++i) {
        Lattice t[6];
        for (int j = 0; j < 3; ++j) t[j] = RandomLattice(random, 1 << 21);
        // d e along the first triangle's side a b, f off it along the normal-free direction z.
        t[3] = t[0];
        t[4] = t[1];
        t[5] = {t[0].x + nudge(random), t[0].y + nudge(random), t[0].z + (1 << 20)};
        const Lattice flat[6] = {{t[0].x, t[0].y, 0}, {t[1].x, t[1].y, 0}, {t[2].x, t[2].y, 0}, t[3], t[4], t[5]};
        ASSERT_EQ(Facing(t), ExactFacing(t)) << i;
        ASSERT_EQ(Facing(flat), ExactFacing(flat)) << i;
    }
}

}  // namespace
}  // namespace vorlane
