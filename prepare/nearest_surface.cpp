#include "prepare/nearest_surface.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorlane {
namespace {

double Coordinate(const D3& p, int k) { return k == 0 ? p.x : k == 1 ? p.y : p.z; }

SurfacePoint Weighted(const D3& p, const D3& a, const D3& b, const D3& c, double wa, double wb, double wc)
{
    SurfacePoint out;
    out.weights[0] = wa;
    out.weights[1] = wb;
    out.weights[2] = wc;
    out.point = {wa * a.x + wb * b.x + wc * c.x, wa * a.y + wb * b.y + wc * c.y, wa * a.z + wb * b.z + wc * c.z};
    const D3 d = Sub(p, out.point);
    out.distanceSquared = Dot(d, d);
    return out;
}

}  // namespace

// By the regions of the corners and sides (Ericson, Real-Time Collision
// Detection, 5.1.5).
SurfacePoint NearestOnTriangle(const D3& p, const D3& a, const D3& b, const D3& c)
{
    const D3 ab = Sub(b, a), ac = Sub(c, a), ap = Sub(p, a);
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) return Weighted(p, a, b, c, 1, 0, 0);
    const D3 bp = Sub(p, b);
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) return Weighted(p, a, b, c, 0, 1, 0);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        const double v = d1 / (d1 - d3);
        return Weighted(p, a, b, c, 1 - v, v, 0);
    }
    const D3 cp = Sub(p, c);
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) return Weighted(p, a, b, c, 0, 0, 1);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        const double w = d2 / (d2 - d6);
        return Weighted(p, a, b, c, 1 - w, 0, w);
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0) {
        const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        return Weighted(p, a, b, c, 0, 1 - w, w);
    }
    const double sum = va + vb + vc;
    if (sum > 0.0) return Weighted(p, a, b, c, va / sum, vb / sum, vc / sum);
    // note: corners on one line; the nearest point of the three sides.
    SurfacePoint best;
    best.distanceSquared = std::numeric_limits<double>::infinity();
    const D3* corners[3] = {&a, &b, &c};
    for (int s = 0; s < 3; ++s) {
        const D3& from = *corners[s];
        const D3& to = *corners[(s + 1) % 3];
        const D3 d = Sub(to, from);
        const double length = Dot(d, d);
        const double t = length > 0.0 ? std::clamp(Dot(Sub(p, from), d) / length, 0.0, 1.0) : 0.0;
        double w[3] = {0, 0, 0};
        w[s] = 1 - t;
        w[(s + 1) % 3] += t;
        const SurfacePoint q = Weighted(p, a, b, c, w[0], w[1], w[2]);
        if (q.distanceSquared < best.distanceSquared) best = q;
    }
    return best;
}

NearestSurface::NearestSurface(const std::vector<D3>& points, const std::vector<Triangle>& triangles)
    : points_(points), triangles_(triangles)
{
    if (points.empty() || triangles.empty()) return;
    D3 high = points.front();
    low_ = high;
    for (const D3& p : points) {
        low_ = {std::min(low_.x, p.x), std::min(low_.y, p.y), std::min(low_.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    const D3 extent = Sub(high, low_);
    const double largest = std::max({extent.x, extent.y, extent.z});
    if (!(largest > 0.0)) return;
    // Cubes sized for about two cells a triangle over the box, at most 256
    // along a side.
    const double floorSide = largest * 1e-3;
    const double volume = std::max(extent.x, floorSide) * std::max(extent.y, floorSide) * std::max(extent.z, floorSide);
    side_ = std::max(std::cbrt(volume / (2.0 * static_cast<double>(triangles.size()))), largest / 256.0);
    for (int k = 0; k < 3; ++k) count_[k] = static_cast<int32_t>(std::floor(Coordinate(extent, k) / side_)) + 1;

    const auto box = [&](const Triangle& t, Cell& lo, Cell& hi) {
        lo = hi = CellOf(points_[static_cast<std::size_t>(t[0])]);
        for (int corner = 1; corner < 3; ++corner) {
            const Cell c = CellOf(points_[static_cast<std::size_t>(t[static_cast<std::size_t>(corner)])]);
            for (int k = 0; k < 3; ++k) {
                lo.i[k] = std::min(lo.i[k], c.i[k]);
                hi.i[k] = std::max(hi.i[k], c.i[k]);
            }
        }
    };
    first_.assign(static_cast<std::size_t>(count_[0]) * static_cast<std::size_t>(count_[1]) * static_cast<std::size_t>(count_[2]) + 1, 0);
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<uint32_t> fill;
        if (pass == 1) {
            for (std::size_t k = 1; k < first_.size(); ++k) first_[k] += first_[k - 1];
            filed_.resize(first_.back());
            fill.assign(first_.begin(), first_.end() - 1);
        }
        for (std::size_t t = 0; t < triangles.size(); ++t) {
            Cell lo, hi;
            box(triangles[t], lo, hi);
            for (int32_t x = lo.i[0]; x <= hi.i[0]; ++x) {
                for (int32_t y = lo.i[1]; y <= hi.i[1]; ++y) {
                    for (int32_t z = lo.i[2]; z <= hi.i[2]; ++z) {
                        if (pass == 0) {
                            ++first_[Index(x, y, z) + 1];
                        } else {
                            filed_[fill[Index(x, y, z)]++] = static_cast<int32_t>(t);
                        }
                    }
                }
            }
        }
    }
}

NearestSurface::Cell NearestSurface::CellOf(const D3& p) const
{
    Cell c{};
    for (int k = 0; k < 3; ++k) {
        const double at = std::floor((Coordinate(p, k) - Coordinate(low_, k)) / side_);
        c.i[k] = static_cast<int32_t>(std::clamp(at, 0.0, static_cast<double>(count_[k] - 1)));
    }
    return c;
}

double NearestSurface::Clearance(const D3& p, const Cell& c, int r) const
{
    double clearance = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; ++k) {
        const double at = Coordinate(p, k) - Coordinate(low_, k);
        // note: the grid's outer walls hold nothing beyond them.
        if (c.i[k] - r > 0) clearance = std::min(clearance, at - (c.i[k] - r) * side_);
        if (c.i[k] + r + 1 < count_[k]) clearance = std::min(clearance, (c.i[k] + r + 1) * side_ - at);
    }
    return clearance;
}

SurfacePoint NearestSurface::Nearest(const D3& p, double reach) const
{
    SurfacePoint best;
    best.distanceSquared = reach < HUGE_VAL ? reach * reach : std::numeric_limits<double>::infinity();
    if (first_.empty()) {
        for (std::size_t t = 0; t < triangles_.size(); ++t) {
            const Triangle& f = triangles_[t];
            SurfacePoint q = NearestOnTriangle(p, points_[static_cast<std::size_t>(f[0])], points_[static_cast<std::size_t>(f[1])],
                                               points_[static_cast<std::size_t>(f[2])]);
            q.triangle = static_cast<int32_t>(t);
            if (q.distanceSquared < best.distanceSquared) best = q;
        }
        return best;
    }
    const Cell c = CellOf(p);
    const int32_t rings = std::max({count_[0], count_[1], count_[2]});
    for (int32_t r = 0; r <= rings; ++r) {
        for (int32_t x = std::max(0, c.i[0] - r); x <= std::min(count_[0] - 1, c.i[0] + r); ++x) {
            for (int32_t y = std::max(0, c.i[1] - r); y <= std::min(count_[1] - 1, c.i[1] + r); ++y) {
                // Inside the shell in x and y only its two z ends are new.
                const bool inner = std::abs(x - c.i[0]) < r && std::abs(y - c.i[1]) < r;
                for (int32_t z = c.i[2] - r; z <= c.i[2] + r; z += inner ? 2 * r : 1) {
                    if (z < 0 || z >= count_[2]) continue;
                    // note: a cell wholly farther than the best so far has nothing nearer.
                    const int32_t at[3] = {x, y, z};
                    double gap = 0.0;
                    for (int k = 0; k < 3; ++k) {
                        const double lo = Coordinate(low_, k) + at[k] * side_, v = Coordinate(p, k);
                        const double d = v < lo ? lo - v : v > lo + side_ ? v - lo - side_ : 0.0;
                        gap += d * d;
                    }
                    if (gap > best.distanceSquared) continue;
                    const std::size_t cell = Index(x, y, z);
                    for (uint32_t e = first_[cell]; e < first_[cell + 1]; ++e) {
                        const Triangle& f = triangles_[static_cast<std::size_t>(filed_[e])];
                        SurfacePoint q = NearestOnTriangle(p, points_[static_cast<std::size_t>(f[0])],
                                                           points_[static_cast<std::size_t>(f[1])], points_[static_cast<std::size_t>(f[2])]);
                        q.triangle = filed_[e];
                        if (q.distanceSquared < best.distanceSquared ||
                            (q.distanceSquared == best.distanceSquared && q.triangle < best.triangle)) {
                            best = q;
                        }
                    }
                }
            }
        }
        if (std::sqrt(best.distanceSquared) <= Clearance(p, c, r)) break;
    }
    return best;
}

}  // namespace vorlane
