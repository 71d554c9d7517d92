#include "geometry/exact_predicates.h"

#include <gmpxx.h>

#include <cmath>
#include <limits>

namespace vorlane {
namespace {

// A double with a bound on its absolute error. Each operation adds the
// rounding of its own result; the tiny absolute term covers underflow.
struct Approx {
    double v;
    double err;
};

constexpr double Eps = std::numeric_limits<double>::epsilon() / 2;
constexpr double Tiny = 1e-300;

Approx operator+(const Approx& a, const Approx& b)
{
    const double v = a.v + b.v;
    return {v, a.err + b.err + std::fabs(v) * Eps + Tiny};
}

Approx operator-(const Approx& a, const Approx& b)
{
    const double v = a.v - b.v;
    return {v, a.err + b.err + std::fabs(v) * Eps + Tiny};
}

Approx operator*(const Approx& a, const Approx& b)
{
    const double v = a.v * b.v;
    return {v, std::fabs(a.v) * b.err + std::fabs(b.v) * a.err + a.err * b.err + std::fabs(v) * Eps + Tiny};
}

// 0 when the bound cannot tell; callers then ask the exact evaluation.
int FilteredSign(const Approx& x, bool& decided)
{
    // The bound's own roundings are relative errors of order Eps; the factor covers them.
    decided = std::fabs(x.v) > x.err * 1.000001;
    return decided ? (x.v > 0 ? 1 : -1) : 0;
}

int ExactSign(const mpz_class& x)
{
    return sgn(x);
}

template <class T>
struct V3 {
    T x, y, z;
};

// GMP traps on an infinity or NaN: such inputs get sign 0 instead.
bool Finite(const Vec3& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// Floats are exact in double; every float times 2^149 is an integer.
V3<Approx> ToApprox(const Vec3& p)
{
    return {{p.x, 0.0}, {p.y, 0.0}, {p.z, 0.0}};
}

V3<mpz_class> ToExact(const Vec3& p)
{
    auto integer = [](float f) { return mpz_class(std::ldexp(static_cast<double>(f), 149)); };
    return {integer(p.x), integer(p.y), integer(p.z)};
}

template <class T>
T Dot(const V3<T>& a, const V3<T>& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

template <class T>
V3<T> Cross(const V3<T>& a, const V3<T>& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

template <class T>
T Det(const V3<T>& a, const V3<T>& b, const V3<T>& c)
{
    return Dot(Cross(a, b), c);
}

template <class T>
T Cosine(const V3<T>& v, const V3<T>& w1, const V3<T>& w2)
{
    return Dot(w1, w2) * Dot(v, v) - Dot(v, w1) * Dot(v, w2);
}

// The plane values A = n.p and B = n.q of an event; t = A / (A - B).
template <class T>
void EventValues(const V3<T>& p, const V3<T>& q, const ArcEvent& e, V3<T> (*convert)(const Vec3&), T& a, T& b)
{
    if (e.isVertex) {
        // n = v x (p x q) = p (v.q) - q (v.p)
        const V3<T> v = convert(e.c);
        const T vq = Dot(v, q);
        const T vp = Dot(v, p);
        const T pq = Dot(p, q);
        a = Dot(p, p) * vq - pq * vp;
        b = pq * vq - Dot(q, q) * vp;
    } else {
        const V3<T> n = Cross(convert(e.c), convert(e.d));
        a = Dot(n, p);
        b = Dot(n, q);
    }
}

template <class T>
int SignOf(const T& x, bool& decided);

template <>
int SignOf<Approx>(const Approx& x, bool& decided)
{
    return FilteredSign(x, decided);
}

template <>
int SignOf<mpz_class>(const mpz_class& x, bool& decided)
{
    decided = true;
    return ExactSign(x);
}

template <class T>
int CompareAlongArcWith(const Vec3& p, const Vec3& q, const ArcEvent& e1, const ArcEvent& e2, V3<T> (*convert)(const Vec3&),
                        bool& decided)
{
    const V3<T> pp = convert(p);
    const V3<T> qq = convert(q);
    T a1, b1, a2, b2;
    EventValues(pp, qq, e1, convert, a1, b1);
    EventValues(pp, qq, e2, convert, a2, b2);
    // t2 - t1 = (A1 B2 - A2 B1) / ((A1 - B1)(A2 - B2)), and A - B has the sign of A
    // for an event strictly inside the arc.
    bool d1, d2, d3;
    const int s1 = SignOf(a1, d1);
    const int s2 = SignOf(a2, d2);
    const int s3 = SignOf(T(a1 * b2 - a2 * b1), d3);
    decided = d1 && d2 && d3;
    return s1 * s2 * s3;
}

}  // namespace

int Orient3Refined(const Vec3& a, const Vec3& b, const Vec3& c)
{
    if (!Finite(a) || !Finite(b) || !Finite(c)) return 0;
    bool decided = false;
    const int sign = FilteredSign(Det(ToApprox(a), ToApprox(b), ToApprox(c)), decided);
    if (decided) return sign;
    return ExactSign(Det(ToExact(a), ToExact(b), ToExact(c)));
}

int TangentCosine(const Vec3& v, const Vec3& w1, const Vec3& w2)
{
    if (!Finite(v) || !Finite(w1) || !Finite(w2)) return 0;
    bool decided = false;
    const int sign = FilteredSign(Cosine(ToApprox(v), ToApprox(w1), ToApprox(w2)), decided);
    if (decided) return sign;
    return ExactSign(Cosine(ToExact(v), ToExact(w1), ToExact(w2)));
}

template <class T>
T Facing(const V3<T>& a, const V3<T>& b, const V3<T>& c, const V3<T>& d, const V3<T>& e, const V3<T>& f)
{
    const auto minus = [](const V3<T>& p, const V3<T>& q) { return V3<T>{p.x - q.x, p.y - q.y, p.z - q.z}; };
    return Dot(Cross(minus(b, a), minus(c, a)), Cross(minus(e, d), minus(f, d)));
}

int FacingSign(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& e, const Vec3& f)
{
    if (!Finite(a) || !Finite(b) || !Finite(c) || !Finite(d) || !Finite(e) || !Finite(f)) return 0;
    {
        // note: a quick bound first, as a simplification asks this for every
        // triangle of every fan it tries. Each difference rounds once, each
        // product and sum once more: far less than 32 ulps of the permanent.
        const double p0 = double(b.x) - a.x, p1 = double(b.y) - a.y, p2 = double(b.z) - a.z;
        const double q0 = double(c.x) - a.x, q1 = double(c.y) - a.y, q2 = double(c.z) - a.z;
        const double r0 = double(e.x) - d.x, r1 = double(e.y) - d.y, r2 = double(e.z) - d.z;
        const double s0 = double(f.x) - d.x, s1 = double(f.y) - d.y, s2 = double(f.z) - d.z;
        const double m0 = p1 * q2 - p2 * q1, m1 = p2 * q0 - p0 * q2, m2 = p0 * q1 - p1 * q0;
        const double n0 = r1 * s2 - r2 * s1, n1 = r2 * s0 - r0 * s2, n2 = r0 * s1 - r1 * s0;
        const double dot = m0 * n0 + m1 * n1 + m2 * n2;
        const double permanent = (std::fabs(p1 * q2) + std::fabs(p2 * q1)) * (std::fabs(r1 * s2) + std::fabs(r2 * s1)) +
                                 (std::fabs(p2 * q0) + std::fabs(p0 * q2)) * (std::fabs(r2 * s0) + std::fabs(r0 * s2)) +
                                 (std::fabs(p0 * q1) + std::fabs(p1 * q0)) * (std::fabs(r0 * s1) + std::fabs(r1 * s0));
        const double bound = 32.0 * Eps * permanent + Tiny;
        if (dot > bound) return 1;
        if (dot < -bound) return -1;
    }
    bool decided = false;
    const int sign = FilteredSign(Facing(ToApprox(a), ToApprox(b), ToApprox(c), ToApprox(d), ToApprox(e), ToApprox(f)), decided);
    if (decided) return sign;
    return ExactSign(Facing(ToExact(a), ToExact(b), ToExact(c), ToExact(d), ToExact(e), ToExact(f)));
}

namespace {

// det[c, d, p] in double with a bound on its error, as in Orient3.
double DetWithBound(const Vec3& c, const Vec3& d, const Vec3& p, double& bound)
{
    const double cx = c.x, cy = c.y, cz = c.z, dx = d.x, dy = d.y, dz = d.z, px = p.x, py = p.y, pz = p.z;
    const double m0 = cy * dz - cz * dy, m1 = cz * dx - cx * dz, m2 = cx * dy - cy * dx;
    bound = 8.0 * Eps *
                (std::fabs(px) * (std::fabs(cy * dz) + std::fabs(cz * dy)) + std::fabs(py) * (std::fabs(cz * dx) + std::fabs(cx * dz)) +
                 std::fabs(pz) * (std::fabs(cx * dy) + std::fabs(cy * dx))) +
            Tiny;
    return px * m0 + py * m1 + pz * m2;
}

// The common case, two crossing arcs, with static bounds; false when they cannot tell.
bool CompareCrossingsQuickly(const Vec3& p, const Vec3& q, const ArcEvent& e1, const ArcEvent& e2, int& sign)
{
    double ea1, eb1, ea2, eb2;
    const double a1 = DetWithBound(e1.c, e1.d, p, ea1), b1 = DetWithBound(e1.c, e1.d, q, eb1);
    const double a2 = DetWithBound(e2.c, e2.d, p, ea2), b2 = DetWithBound(e2.c, e2.d, q, eb2);
    if (std::fabs(a1) <= ea1 || std::fabs(a2) <= ea2) return false;
    const double x = a1 * b2 - a2 * b1;
    const double bound = (std::fabs(a1) * eb2 + std::fabs(b2) * ea1 + ea1 * eb2) + (std::fabs(a2) * eb1 + std::fabs(b1) * ea2 + ea2 * eb1) +
                         4.0 * Eps * (std::fabs(a1 * b2) + std::fabs(a2 * b1)) + Tiny;
    if (std::fabs(x) <= bound * 1.000001) return false;
    sign = (x > 0 ? 1 : -1) * (a1 > 0 ? 1 : -1) * (a2 > 0 ? 1 : -1);
    return true;
}

}  // namespace

bool CrossingParameter(const Vec3& p, const Vec3& q, const Vec3& c, const Vec3& d, double& t, double& error)
{
    double ea, eb;
    const double a = DetWithBound(c, d, p, ea), b = DetWithBound(c, d, q, eb);
    const double absA = std::fabs(a), absB = std::fabs(b);
    // The ends lie on opposite sides of c -> d, so |a - b| = |a| + |b|.
    if (absA <= ea || absB <= eb || (a > 0) == (b > 0)) return false;
    t = a / (a - b);
    // |t' - t| = |a eb' - b ea'| / (|a' - b'| |a - b|) for the exact a, b and
    // the computed a', b'; the exact ones within the bounds of the computed.
    const double sum = absA + absB;
    error = ((absA + ea) * eb + (absB + eb) * ea) / (sum * (sum - ea - eb)) * (1.0 + 1e-6) + 8.0 * Eps;
    return true;
}

int CompareAlongArc(const Vec3& p, const Vec3& q, const ArcEvent& e1, const ArcEvent& e2)
{
    int quick = 0;
    if (!e1.isVertex && !e2.isVertex && CompareCrossingsQuickly(p, q, e1, e2, quick)) return quick;
    if (!Finite(p) || !Finite(q) || !Finite(e1.c) || !Finite(e2.c) || (!e1.isVertex && !Finite(e1.d)) || (!e2.isVertex && !Finite(e2.d))) {
        return 0;
    }
    bool decided = false;
    const int sign = CompareAlongArcWith<Approx>(p, q, e1, e2, ToApprox, decided);
    if (decided) return sign;
    return CompareAlongArcWith<mpz_class>(p, q, e1, e2, ToExact, decided);
}

}  // namespace vorlane
