#include "prepare/surface_sampler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace vorlane {
namespace {

using Matrix = Eigen::Matrix3d;

// Cells along a side of each cube face, for both the directions asked
// about and the table.
constexpr int Side = 64;
constexpr std::size_t FaceCells = static_cast<std::size_t>(Side) * Side;

double Component(const D3& u, int axis) { return axis == 0 ? u.x : axis == 1 ? u.y : u.z; }

// Face 2 axis + sign of the cube: where that axis leads, s and t along the
// next two axes (the sphere seen through the face, great circles straight).
struct FacePoint {
    int face;
    double s;
    double t;
};

FacePoint OnFace(const D3& u)
{
    const double a[3] = {std::fabs(u.x), std::fabs(u.y), std::fabs(u.z)};
    const int axis = a[0] >= a[1] && a[0] >= a[2] ? 0 : a[1] >= a[2] ? 1 : 2;
    return {2 * axis + (Component(u, axis) < 0.0 ? 1 : 0), Component(u, (axis + 1) % 3) / a[axis],
            Component(u, (axis + 2) % 3) / a[axis]};
}

D3 FaceDirection(int face, double s, double t)
{
    const int axis = face / 2;
    double c[3];
    c[axis] = face % 2 ? -1.0 : 1.0;
    c[(axis + 1) % 3] = s;
    c[(axis + 2) % 3] = t;
    return {c[0], c[1], c[2]};
}

int CellOf(double s)
{
    return std::clamp(static_cast<int>(std::floor((s + 1.0) / 2.0 * Side)), 0, Side - 1);
}

// The cells of each face a spherical triangle can reach, as a range of
// rows and columns; empty (lo > hi) when it cannot reach the face.
struct CellRange {
    int lo[2] = {0, 0};
    int hi[2] = {-1, -1};
};

// Angle from the axis to a face's corners.
const double FaceReach = std::acos(1.0 / std::sqrt(3.0));

std::array<CellRange, 6> Reach(const D3& a, const D3& b, const D3& c)
{
    std::array<CellRange, 6> ranges;
    const D3 middle = Unit({a.x + b.x + c.x, a.y + b.y + c.y, a.z + b.z + c.z});
    double radius = 0.0;
    for (const D3* corner : {&a, &b, &c}) radius = std::max(radius, std::acos(std::clamp(Dot(middle, *corner), -1.0, 1.0)));
    for (int face = 0; face < 6; ++face) {
        const int axis = face / 2;
        const double sign = face % 2 ? -1.0 : 1.0;
        CellRange& range = ranges[static_cast<std::size_t>(face)];
        const double fronts[3] = {sign * Component(a, axis), sign * Component(b, axis), sign * Component(c, axis)};
        if (std::min({fronts[0], fronts[1], fronts[2]}) > 1e-3) {
            // All in front: the triangle's image on the face plane is the
            // flat triangle of its corners' images.
            double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
            double hi[2] = {-lo[0], -lo[1]};
            for (int k = 0; k < 3; ++k) {
                const D3& u = k == 0 ? a : k == 1 ? b : c;
                for (int d = 0; d < 2; ++d) {
                    const double x = Component(u, (axis + 1 + d) % 3) / fronts[k];
                    lo[d] = std::min(lo[d], x);
                    hi[d] = std::max(hi[d], x);
                }
            }
            if (lo[0] > 1.0 || lo[1] > 1.0 || hi[0] < -1.0 || hi[1] < -1.0) continue;
            // note: a cell's slack on each side for rounding at the seams.
            for (int d = 0; d < 2; ++d) {
                range.lo[d] = std::max(CellOf(lo[d]) - 1, 0);
                range.hi[d] = std::min(CellOf(hi[d]) + 1, Side - 1);
            }
            continue;
        }
        // A corner behind the face's plane: a triangle too wide to project;
        // every cell of a face its bounding cap may reach.
        const double fromAxis = std::acos(std::clamp(sign * Component(middle, axis), -1.0, 1.0));
        if (radius < M_PI / 2 && fromAxis > radius + FaceReach + 1e-9) continue;
        range.lo[0] = range.lo[1] = 0;
        range.hi[0] = range.hi[1] = Side - 1;
    }
    return ranges;
}

}  // namespace

SurfaceSampler::SurfaceSampler(const SphereMesh& mesh) : mesh_(mesh)
{
    const std::vector<Vec3>& p = *mesh.positions;
    D3 centre{0, 0, 0};
    double area = 0.0;
    std::vector<double> areas;
    areas.reserve(mesh.triangles->size());
    for (const Triangle& t : *mesh.triangles) {
        const D3 a = ToD(p[static_cast<std::size_t>(t[0])]), b = ToD(p[static_cast<std::size_t>(t[1])]),
                 c = ToD(p[static_cast<std::size_t>(t[2])]);
        const D3 n = Cross(Sub(b, a), Sub(c, a));
        const double w = 0.5 * std::sqrt(Dot(n, n));
        areas.push_back(w);
        area += w;
        centre = {centre.x + w * (a.x + b.x + c.x) / 3, centre.y + w * (a.y + b.y + c.y) / 3,
                  centre.z + w * (a.z + b.z + c.z) / 3};
    }
    centre_ = area > 0.0 ? D3{centre.x / area, centre.y / area, centre.z / area} : D3{0, 0, 0};
    double spread = 0.0;
    Matrix second = Matrix::Zero();
    for (std::size_t t = 0; t < areas.size(); ++t) {
        for (int32_t v : (*mesh.triangles)[t]) {
            const D3 d = Sub(ToD(p[static_cast<std::size_t>(v)]), centre_);
            spread += areas[t] / 3.0 * Dot(d, d);
            const Eigen::Vector3d e(d.x, d.y, d.z);
            second += areas[t] / 3.0 * e * e.transpose();
        }
    }
    scale_ = area > 0.0 && spread > 0.0 ? std::sqrt(spread / area) : 1.0;
    const Eigen::SelfAdjointEigenSolver<Matrix> solver(second);
    axes_ = solver.eigenvectors();
    if (axes_.determinant() < 0.0) axes_.col(0) = -axes_.col(0);
}

void SurfaceSampler::PointsAt(const std::vector<D3>& directions, std::vector<D3>& points, std::vector<char>& found) const
{
    // The directions filed by cube-face cell.
    std::vector<uint32_t> first(6 * FaceCells + 1, 0);
    std::vector<uint32_t> cellOf(directions.size());
    for (std::size_t i = 0; i < directions.size(); ++i) {
        const FacePoint f = OnFace(directions[i]);
        cellOf[i] = static_cast<uint32_t>(static_cast<std::size_t>(f.face) * FaceCells +
                                          static_cast<std::size_t>(CellOf(f.s)) * Side + static_cast<std::size_t>(CellOf(f.t)));
        ++first[cellOf[i] + 1];
    }
    for (std::size_t k = 0; k < 6 * FaceCells; ++k) first[k + 1] += first[k];
    std::vector<uint32_t> filed(directions.size());
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (std::size_t i = 0; i < directions.size(); ++i) filed[fill[cellOf[i]]++] = static_cast<uint32_t>(i);
    }

    // Each direction takes the triangle that holds it best, so a seam
    // between two never misses.
    std::vector<double> best(directions.size(), -std::numeric_limits<double>::infinity());
    std::vector<std::array<double, 3>> weights(directions.size());
    std::vector<int32_t> holder(directions.size(), -1);
    const auto unit = [&](int32_t v) { return Unit(ToD((*mesh_.directions)[static_cast<std::size_t>(v)])); };
    for (std::size_t t = 0; t < mesh_.triangles->size(); ++t) {
        const Triangle& f = (*mesh_.triangles)[t];
        const D3 a = unit(f[0]), b = unit(f[1]), c = unit(f[2]);
        const std::array<CellRange, 6> ranges = Reach(a, b, c);
        for (std::size_t face = 0; face < 6; ++face) {
            const CellRange& r = ranges[face];
            for (int i = r.lo[0]; i <= r.hi[0]; ++i) {
                for (int j = r.lo[1]; j <= r.hi[1]; ++j) {
                    const std::size_t cell = face * FaceCells + static_cast<std::size_t>(i) * Side + static_cast<std::size_t>(j);
                    for (uint32_t k = first[cell]; k < first[cell + 1]; ++k) {
                        const uint32_t q = filed[k];
                        const D3& u = directions[q];
                        const double wa = TripleProduct(u, b, c), wb = TripleProduct(a, u, c), wc = TripleProduct(a, b, u);
                        const double sum = wa + wb + wc;
                        if (!(sum > 0.0)) continue;
                        const double inside = std::min({wa, wb, wc}) / sum;
                        if (inside > best[q]) {
                            best[q] = inside;
                            weights[q] = {wa / sum, wb / sum, wc / sum};
                            holder[q] = static_cast<int32_t>(t);
                        }
                    }
                }
            }
        }
    }

    points.assign(directions.size(), D3{0, 0, 0});
    found.assign(directions.size(), 0);
    for (std::size_t q = 0; q < directions.size(); ++q) {
        if (holder[q] < 0 || best[q] < -1e-6) continue;
        const Triangle& f = (*mesh_.triangles)[static_cast<std::size_t>(holder[q])];
        D3 p{0, 0, 0};
        for (std::size_t i = 0; i < 3; ++i) {
            const D3 corner = ToD((*mesh_.positions)[static_cast<std::size_t>(f[i])]);
            p = {p.x + weights[q][i] * corner.x, p.y + weights[q][i] * corner.y, p.z + weights[q][i] * corner.z};
        }
        const D3 d = Sub(p, centre_);
        points[q] = {d.x / scale_, d.y / scale_, d.z / scale_};
        found[q] = 1;
    }
}

SurfaceTable::SurfaceTable(const SurfaceSampler& sampler)
{
    std::vector<D3> directions;
    directions.reserve(6 * FaceCells);
    for (int face = 0; face < 6; ++face) {
        for (int i = 0; i < Side; ++i) {
            for (int j = 0; j < Side; ++j) {
                const double s = (i + 0.5) / Side * 2.0 - 1.0, t = (j + 0.5) / Side * 2.0 - 1.0;
                directions.push_back(Unit(FaceDirection(face, s, t)));
            }
        }
    }
    sampler.PointsAt(directions, points_, known_);
}

bool SurfaceTable::At(const D3& u, D3& out) const
{
    const FacePoint f = OnFace(u);
    const double x = std::clamp((f.s + 1.0) / 2.0 * Side - 0.5, 0.0, Side - 1.0);
    const double y = std::clamp((f.t + 1.0) / 2.0 * Side - 0.5, 0.0, Side - 1.0);
    const int i = std::min(static_cast<int>(x), Side - 2), j = std::min(static_cast<int>(y), Side - 2);
    const double fx = x - i, fy = y - j;
    D3 sum{0, 0, 0};
    double weight = 0.0;
    for (int di = 0; di < 2; ++di) {
        for (int dj = 0; dj < 2; ++dj) {
            const std::size_t k = static_cast<std::size_t>(f.face) * FaceCells + static_cast<std::size_t>(i + di) * Side +
                                  static_cast<std::size_t>(j + dj);
            if (!known_[k]) continue;
            const double w = (di ? fx : 1.0 - fx) * (dj ? fy : 1.0 - fy);
            sum = {sum.x + w * points_[k].x, sum.y + w * points_[k].y, sum.z + w * points_[k].z};
            weight += w;
        }
    }
    if (!(weight > 0.0)) return false;
    out = {sum.x / weight, sum.y / weight, sum.z / weight};
    return true;
}

}  // namespace vorlane
