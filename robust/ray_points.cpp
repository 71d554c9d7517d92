#include "robust/ray_points.h"

#include <algorithm>

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

}  // namespace vorlane
