// Garland and Heckbert's error quadric: a weighted sum of squared distances
// to planes, which a collapse adds up and a placement minimises.
#pragma once

#include <cmath>

#include "geometry/dvec3.h"

namespace vorlane {

struct Quadric {
    double xx = 0, xy = 0, xz = 0, yy = 0, yz = 0, zz = 0;  // sum of w n n^T
    double bx = 0, by = 0, bz = 0;                         // sum of w d n
    double c = 0;                                          // sum of w d^2
    double weight = 0;                                     // sum of w
};

// Adds the plane n . p + d = 0 (n of unit length) with weight w.
inline void AddPlane(Quadric& q, const D3& n, double d, double w)
{
    q.xx += w * n.x * n.x, q.xy += w * n.x * n.y, q.xz += w * n.x * n.z;
    q.yy += w * n.y * n.y, q.yz += w * n.y * n.z, q.zz += w * n.z * n.z;
    q.bx += w * d * n.x, q.by += w * d * n.y, q.bz += w * d * n.z;
    q.c += w * d * d;
    q.weight += w;
}

inline Quadric operator+(const Quadric& a, const Quadric& b)
{
    return {a.xx + b.xx, a.xy + b.xy, a.xz + b.xz, a.yy + b.yy, a.yz + b.yz, a.zz + b.zz,
            a.bx + b.bx, a.by + b.by, a.bz + b.bz, a.c + b.c,   a.weight + b.weight};
}

// The weighted sum of squared distances of p from the planes (rounding can
// leave it slightly below 0).
inline double Evaluate(const Quadric& q, const D3& p)
{
    const double ax = q.xx * p.x + q.xy * p.y + q.xz * p.z;
    const double ay = q.xy * p.x + q.yy * p.y + q.yz * p.z;
    const double az = q.xz * p.x + q.yz * p.y + q.zz * p.z;
    return p.x * ax + p.y * ay + p.z * az + 2.0 * (q.bx * p.x + q.by * p.y + q.bz * p.z) + q.c;
}

// The point of least error, where the planes pin one down: false where
// they leave a line or a plane of equal error (a flat region or a crease),
// told by the determinant against the cube of the largest entry.
inline bool Minimiser(const Quadric& q, D3& p)
{
    const double c00 = q.yy * q.zz - q.yz * q.yz;
    const double c01 = q.xz * q.yz - q.xy * q.zz;
    const double c02 = q.xy * q.yz - q.xz * q.yy;
    const double det = q.xx * c00 + q.xy * c01 + q.xz * c02;
    const double scale = std::fmax(std::fmax(q.xx, q.yy), q.zz);
    if (!(std::fabs(det) > 1e-6 * scale * scale * scale)) return false;
    const double c11 = q.xx * q.zz - q.xz * q.xz;
    const double c12 = q.xy * q.xz - q.xx * q.yz;
    const double c22 = q.xx * q.yy - q.xy * q.xy;
    // p = -A^-1 b, A^-1 = adjugate / det (A symmetric).
    p.x = -(c00 * q.bx + c01 * q.by + c02 * q.bz) / det;
    p.y = -(c01 * q.bx + c11 * q.by + c12 * q.bz) / det;
    p.z = -(c02 * q.bx + c12 * q.by + c22 * q.bz) / det;
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace vorlane
