#include "geometry/vec3.h"

#include <cmath>

namespace vorlane {

// Every expression is evaluated in double and rounded to float where stored.

bool ProjectToSphere(const Vec3& p, Vec3& q)
{
    const double dx = static_cast<double>(p.x) - SphereCentre.x;
    const double dy = static_cast<double>(p.y) - SphereCentre.y;
    const double dz = static_cast<double>(p.z) - SphereCentre.z;
    const float length = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
    if (length == 0.0f) return false;
    const float k = static_cast<float>(static_cast<double>(SphereRadius) / length);
    q.x = static_cast<float>(SphereCentre.x + dx * k);
    q.y = static_cast<float>(SphereCentre.y + dy * k);
    q.z = static_cast<float>(SphereCentre.z + dz * k);
    return true;
}

float DotProduct(const Vec3& a, const Vec3& b)
{
    return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                              static_cast<double>(a.z) * b.z);
}

void PointDifference(const Vec3& a, const Vec3& b, Vec3& out)
{
    out.x = static_cast<float>(static_cast<double>(b.x) - a.x);
    out.y = static_cast<float>(static_cast<double>(b.y) - a.y);
    out.z = static_cast<float>(static_cast<double>(b.z) - a.z);
}

void NormalizeVector(Vec3& v)
{
    float length = static_cast<float>(std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                                                static_cast<double>(v.z) * v.z));
    if (length == 0.0f) length = 1.0f;
    v.x = static_cast<float>(v.x / static_cast<double>(length));
    v.y = static_cast<float>(v.y / static_cast<double>(length));
    v.z = static_cast<float>(v.z / static_cast<double>(length));
}

void TriangleNormal(const TrianglePoints& t, Vec3& n)
{
    Vec3 u;
    Vec3 w;
    PointDifference(t.p1, t.p0, u);  // p0 - p1
    PointDifference(t.p2, t.p1, w);  // p1 - p2
    n.x = static_cast<float>(static_cast<double>(u.y) * w.z - static_cast<double>(u.z) * w.y);
    n.y = static_cast<float>(static_cast<double>(u.z) * w.x - static_cast<double>(u.x) * w.z);
    n.z = static_cast<float>(static_cast<double>(u.x) * w.y - static_cast<double>(u.y) * w.x);
    NormalizeVector(n);
}

}  // namespace vorlane
