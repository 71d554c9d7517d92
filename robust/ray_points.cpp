#include "robust/ray_points.h"

#include <algorithm>

#include "robust/arc_walk.h"

namespace vorlane {

Vec3 OnSegment(const Vec3& a, const Vec3& b, const D3& p)
{
    const D3 da = ToD(a), db = ToD(b);
    const D3 m = Cross(da, db);
    const double s = Dot(Cross(p, da), m) / Dot(Cross(Sub(db, da), p), m);
    const double t = std::clamp(s, 0.0, 1.0);
    return ToF({da.x + t * (db.x - da.x), da.y + t * (db.y - da.y), da.z + t * (db.z - da.z)});
}

Vec3 OnTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p)
{
    const D3 da = ToD(a), dp = ToD(p);
    const D3 n = Cross(Sub(ToD(b), da), Sub(ToD(c), da));
    const double t = Dot(n, da) / Dot(n, dp);
    return ToF({dp.x * t, dp.y * t, dp.z * t});
}

namespace {

D3 Combine(const Vec3* points, const double* weights, int count)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += std::max(weights[i], 0.0);
    D3 out{0.0, 0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        // note: a direction on a side can come out a hair outside it.
        const double w = sum > 0.0 ? std::max(weights[i], 0.0) / sum : 1.0 / count;
        out = {out.x + w * points[i].x, out.y + w * points[i].y, out.z + w * points[i].z};
    }
    return out;
}

}  // namespace

Vec3 OnSegmentMapped(const Vec3& a, const Vec3& b, const D3& pa, const D3& pb, const D3& p)
{
    const D3 n = Cross(pa, pb);
    const double weights[2] = {Dot(Cross(p, pb), n), Dot(Cross(pa, p), n)};
    const Vec3 points[2] = {a, b};
    return ToF(Combine(points, weights, 2));
}

Vec3 OnTriangleMapped(const Vec3& a, const Vec3& b, const Vec3& c, const D3& pa, const D3& pb, const D3& pc, const D3& p)
{
    const double weights[3] = {TripleProduct(p, pb, pc), TripleProduct(pa, p, pc), TripleProduct(pa, pb, p)};
    const Vec3 points[3] = {a, b, c};
    return ToF(Combine(points, weights, 3));
}

Vec3 WalkMesh::SurfaceOnEdge(int32_t u, int32_t v, const D3& p) const
{
    if (model->map == SphereMap::Central) return OnSegment(Surface(u), Surface(v), p);
    return OnSegmentMapped(Surface(u), Surface(v), ToD(Point(u)), ToD(Point(v)), p);
}

Vec3 WalkMesh::SurfaceInTriangle(int32_t t, const Vec3& p) const
{
    const Triangle& f = model->faces[static_cast<size_t>(t)];
    if (model->map == SphereMap::Central) return OnTriangle(Surface(f[0]), Surface(f[1]), Surface(f[2]), p);
    return OnTriangleMapped(Surface(f[0]), Surface(f[1]), Surface(f[2]), ToD(Point(f[0])), ToD(Point(f[1])), ToD(Point(f[2])),
                            ToD(p));
}

}  // namespace vorlane
