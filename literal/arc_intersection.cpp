#include "literal/arc_intersection.h"

#include <cmath>

#include "literal/fault_sink.h"

namespace vorlane {
namespace {

constexpr double NormalGrain = 10000.0;
constexpr double ArcGrain = 100.0;

double Distance(double ax, double ay, double az, const Vec3& b)
{
    const double dx = b.x - ax;
    const double dy = b.y - ay;
    const double dz = b.z - az;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float ChordLength(const Arc& arc)
{
    const float dx = arc.end.x - arc.start.x;
    const float dy = arc.end.y - arc.start.y;
    const float dz = arc.end.z - arc.start.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Within the arc's chord circle, compared directly in float without a grain.
bool InsideChordCircle(const Arc& arc, const Vec3& c)
{
    const Vec3 m{(arc.start.x + arc.end.x) / 2.0f, (arc.start.y + arc.end.y) / 2.0f, (arc.start.z + arc.end.z) / 2.0f};
    const float hx = arc.end.x - m.x, hy = arc.end.y - m.y, hz = arc.end.z - m.z;
    const float cx = c.x - m.x, cy = c.y - m.y, cz = c.z - m.z;
    const float half = std::sqrt(hx * hx + hy * hy + hz * hz);
    const float distance = std::sqrt(cx * cx + cy * cy + cz * cz);
    return !(half < distance);
}

int32_t CoplanarCrossing(const Arc& first, const Arc& second, Vec3 q[2])
{
    const int32_t c1 = PointOnArc(second, first.start);
    const int32_t c2 = PointOnArc(second, first.end);
    const int32_t c3 = PointOnArc(first, second.start);
    const int32_t c4 = PointOnArc(first, second.end);
    const int32_t sum = c1 + c2 + c3 + c4;
    if (sum == 0) return 0;
    if (sum == 1 || sum == 3) {
        ReportFault("FindArcIntersect", "co-planar");
        return 0;
    }
    if (sum == 2) {
        const Vec3* points[4] = {&first.start, &first.end, &second.start, &second.end};
        const int32_t hits[4] = {c1, c2, c3, c4};
        int32_t found = 0;
        for (int i = 0; i < 4 && found < 2; ++i) {
            if (hits[i]) q[found++] = *points[i];
        }
        return 2;
    }
    const Arc& shorter = ChordLength(first) <= ChordLength(second) ? first : second;
    q[0] = shorter.start;
    q[1] = shorter.end;
    return 2;
}

// The half of the sphere the arcs lie on along one axis: +1, -1 or 0.
int32_t HalfSign(float a0, float a1, float b0, float b1)
{
    auto positive = [](float u, float v) { return u >= 0.0f && v >= 0.0f && (u > 0.0f || v > 0.0f); };
    auto negative = [](float u, float v) { return u <= 0.0f && v <= 0.0f && (u < 0.0f || v < 0.0f); };
    if (positive(a0, a1) || positive(b0, b1)) return 1;
    if (negative(a0, a1) || negative(b0, b1)) return -1;
    return 0;
}

}  // namespace

bool CoplanarNormals(const Vec3& nA, const Vec3& nB)
{
    auto grain = [](float v) { return static_cast<int32_t>(static_cast<double>(v) * NormalGrain); };
    const int32_t ax = grain(nA.x), ay = grain(nA.y), az = grain(nA.z);
    const int32_t bx = grain(nB.x), by = grain(nB.y), bz = grain(nB.z);
    return (ax == bx && ay == by && az == bz) || (ax == -bx && ay == -by && az == -bz);
}

int32_t PointOnArc(const Arc& arc, const Vec3& point)
{
    const double mx = (static_cast<double>(arc.start.x) + arc.end.x) / 2.0;
    const double my = (static_cast<double>(arc.start.y) + arc.end.y) / 2.0;
    const double mz = (static_cast<double>(arc.start.z) + arc.end.z) / 2.0;
    const int64_t half = static_cast<int64_t>(Distance(mx, my, mz, arc.end) * ArcGrain);
    const int64_t distance = static_cast<int64_t>(Distance(mx, my, mz, point) * ArcGrain);
    return half >= distance ? 1 : 0;
}

int32_t FindArcIntersect(const Arc& first, const Arc& second, Vec3& p, Vec3 q[2])
{
    Vec3 nA;
    Vec3 nB;
    TriangleNormal({SphereCentre, first.start, first.end}, nA);
    TriangleNormal({SphereCentre, second.start, second.end}, nB);
    if (CoplanarNormals(nA, nB)) return CoplanarCrossing(first, second, q);

    const float dA = DotProduct(nA, SphereCentre);
    const float dB = DotProduct(nB, SphereCentre);
    const float lx = nA.y * nB.z - nB.y * nA.z;
    const float ly = nA.x * nB.z - nB.x * nA.z;
    const float lz = nA.x * nB.y - nB.x * nA.y;

    int32_t sx = 0, sy = 0, sz = 0;
    const double dlx = lx, dly = ly, dlz = lz;
    if (dlx * dly == 0.0 && dlx * dlz == 0.0 && dly * dlz == 0.0) {
        // The line runs along an axis: only the first arc decides the side.
        if (lx != 0.0f) {
            sx = static_cast<double>(first.start.x) + first.end.x > 0.0 ? 1 : -1;
        } else if (ly != 0.0f) {
            sy = static_cast<double>(first.start.y) + first.end.y > 0.0 ? 1 : -1;
        } else if (lz != 0.0f) {
            sz = static_cast<double>(first.start.z) + first.end.z > 0.0 ? 1 : -1;
        }
    } else {
        sx = HalfSign(first.start.x, first.end.x, second.start.x, second.end.x);
        sy = HalfSign(first.start.y, first.end.y, second.start.y, second.end.y);
        sz = HalfSign(first.start.z, first.end.z, second.start.z, second.end.z);
        if (sz == 0) sz = 1;
    }

    // Fix one coordinate at +-R and solve both plane equations by Cramer's rule, in float.
    const float r = SphereRadius;
    Vec3 c;
    if (lx != 0.0f && sx != 0) {
        c.x = static_cast<float>(sx) * r;
        const float rA = dA - nA.x * c.x;
        const float rB = dB - nB.x * c.x;
        c.y = (rA * nB.z - rB * nA.z) / lx;
        c.z = (nA.y * rB - nB.y * rA) / lx;
    } else if (ly != 0.0f && sy != 0) {
        c.y = static_cast<float>(sy) * r;
        const float rA = dA - nA.y * c.y;
        const float rB = dB - nB.y * c.y;
        c.x = (rA * nB.z - rB * nA.z) / ly;
        c.z = (nA.x * rB - nB.x * rA) / ly;
    } else {
        c.z = static_cast<float>(sz) * r;
        const float rA = dA - nA.z * c.z;
        const float rB = dB - nB.z * c.z;
        if (lz != 0.0f) {
            c.x = (rA * nB.y - rB * nA.y) / lz;
            c.y = (nA.x * rB - nB.x * rA) / lz;
        }
    }

    const double ox = static_cast<double>(c.x) - SphereCentre.x;
    const double oy = static_cast<double>(c.y) - SphereCentre.y;
    const double oz = static_cast<double>(c.z) - SphereCentre.z;
    if (ox == 0.0 && oy == 0.0 && oz == 0.0) return 0;
    const float k = static_cast<float>(r / std::sqrt(ox * ox + oy * oy + oz * oz));
    c = {static_cast<float>(SphereCentre.x + ox * k), static_cast<float>(SphereCentre.y + oy * k),
         static_cast<float>(SphereCentre.z + oz * k)};

    if (InsideChordCircle(first, c) && InsideChordCircle(second, c)) {
        p = c;
        return 1;
    }
    // The sign rule can pick the antipode of a real crossing; two great circles
    // through the centre meet in exactly these two points and a short arc holds
    // at most one.
    const Vec3 antipode{-c.x, -c.y, -c.z};
    if (InsideChordCircle(first, antipode) && InsideChordCircle(second, antipode)) {
        p = antipode;
        return 1;
    }
    return 0;
}

}  // namespace vorlane
