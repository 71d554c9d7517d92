#include "bench/pose_pair.h"

#include <cmath>
#include <map>
#include <utility>

#include <Eigen/Eigenvalues>
#include <Eigen/Geometry>

#include "correspond/decimated_mesh.h"

namespace vorlane {

D3 PoseBend::Apply(const D3& p) const
{
    const D3 r = Sub(p, centre);
    double x = Dot(r, axes[0]), y = Dot(r, axes[1]);
    const double z = Dot(r, axes[2]);
    if (radius > 0.0) {
        // note: the long axis rolls onto a circle of the radius, lengths along it kept.
        const double phi = x / radius;
        x = (radius - y) * std::sin(phi);
        y = radius - (radius - y) * std::cos(phi);
    }
    const D3 bent = x * axes[0] + y * axes[1] + z * axes[2];
    return D3{turn[0][0] * bent.x + turn[0][1] * bent.y + turn[0][2] * bent.z,
              turn[1][0] * bent.x + turn[1][1] * bent.y + turn[1][2] * bent.z,
              turn[2][0] * bent.x + turn[2][1] * bent.y + turn[2][2] * bent.z} +
           centre + move;
}

namespace {

// Each triangle in four, by its sides' midpoints (shared between neighbours).
ModelTable Subdivided(const ModelTable& table)
{
    ModelTable fine;
    fine.vertices = table.vertices;
    std::map<std::pair<int32_t, int32_t>, int32_t> middles;
    const auto middle = [&](int32_t a, int32_t b) {
        const auto key = std::make_pair(std::min(a, b), std::max(a, b));
        const auto found = middles.find(key);
        if (found != middles.end()) return found->second;
        const Vec3& p = table.vertices[static_cast<std::size_t>(a)];
        const Vec3& q = table.vertices[static_cast<std::size_t>(b)];
        fine.vertices.push_back({(p.x + q.x) / 2, (p.y + q.y) / 2, (p.z + q.z) / 2});
        return middles[key] = static_cast<int32_t>(fine.vertices.size() - 1);
    };
    for (const Triangle& t : table.triangles) {
        const int32_t ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
        fine.triangles.push_back({t[0], ab, ca});
        fine.triangles.push_back({ab, t[1], bc});
        fine.triangles.push_back({ca, bc, t[2]});
        fine.triangles.push_back({ab, bc, ca});
    }
    return fine;
}

}  // namespace

PosePair MakePosePair(const ModelTable& table, double angle, bool remesh)
{
    PosePair pair;
    ModelTable source = table;
    if (remesh) {
        const DecimatedMesh coarse = DecimateMesh(Subdivided(table), static_cast<int32_t>(table.vertices.size()));
        source.vertices.clear();
        for (const D3& p : coarse.points) source.vertices.push_back(ToF(p));
        source.triangles = coarse.triangles;
        source.patchTriangles = 0;
    }
    D3 centre{0.0, 0.0, 0.0};
    for (const Vec3& v : table.vertices) centre = centre + ToD(v);
    centre = (1.0 / static_cast<double>(table.vertices.size())) * centre;
    Eigen::Matrix3d spread = Eigen::Matrix3d::Zero();
    D3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Vec3& v : table.vertices) {
        const D3 r = Sub(ToD(v), centre);
        const Eigen::Vector3d e(r.x, r.y, r.z);
        spread += e * e.transpose();
        low = {std::min(low.x, double(v.x)), std::min(low.y, double(v.y)), std::min(low.z, double(v.z))};
        high = {std::max(high.x, double(v.x)), std::max(high.y, double(v.y)), std::max(high.z, double(v.z))};
    }
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> axes(spread);
    PoseBend& bend = pair.bend;
    bend.centre = centre;
    for (int i = 0; i < 3; ++i) {
        const Eigen::Vector3d a = axes.eigenvectors().col(2 - i);
        bend.axes[i] = {a.x(), a.y(), a.z()};
    }
    bend.axes[2] = Cross(bend.axes[0], bend.axes[1]);
    double xLow = HUGE_VAL, xHigh = -HUGE_VAL;
    for (const Vec3& v : table.vertices) {
        const double x = Dot(Sub(ToD(v), centre), bend.axes[0]);
        xLow = std::min(xLow, x);
        xHigh = std::max(xHigh, x);
    }
    if (angle > 0.0) bend.radius = (xHigh - xLow) / angle;
    const double diagonal = Norm(Sub(high, low));
    const Eigen::Matrix3d turn = Eigen::AngleAxisd(40.0 * M_PI / 180.0, Eigen::Vector3d(1.0, 2.0, 3.0).normalized()).toRotationMatrix();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) bend.turn[i][j] = turn(i, j);
    bend.move = {diagonal / 3.0, -diagonal / 5.0, diagonal / 7.0};
    pair.copy.triangles = source.triangles;
    for (const Vec3& v : source.vertices) {
        pair.origins.push_back(ToD(v));
        pair.copy.vertices.push_back(ToF(bend.Apply(ToD(v))));
    }
    return pair;
}

}  // namespace vorlane
