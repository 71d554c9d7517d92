#include "prepare/shape_match.h"

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>

#include "prepare/nearest_surface.h"

namespace vorlane {
namespace {

using Matrix = Eigen::Matrix3d;
using Vector = Eigen::Vector3d;

constexpr int SampleCount = 1500;
constexpr int CoarseSamples = 200;
constexpr int FinalIterations = 8;
constexpr std::size_t Finalists = 3;

Vector ToE(const D3& p) { return {p.x, p.y, p.z}; }
D3 FromE(const Vector& v) { return {v.x(), v.y(), v.z()}; }

struct Affine {
    Matrix linear = Matrix::Identity();
    Vector offset = Vector::Zero();
    Vector operator()(const Vector& p) const { return linear * p + offset; }
};

struct Shape {
    std::vector<D3> points;
    const std::vector<Triangle>* triangles = nullptr;
    std::vector<Vector> samples;  // spread over the surface by area
    // The samples again as triangles of one corner: a cloud whose nearest
    // points are cheap to find, for ranking rough starts.
    std::vector<D3> cloud;
    std::vector<Triangle> dots;
    Vector mean = Vector::Zero();
    Matrix axes = Matrix::Identity();  // columns, a rotation
    Vector spread = Vector::Ones();    // variance along each axis
};

Shape Describe(const ModelTable& table)
{
    Shape shape;
    shape.triangles = &table.triangles;
    for (const Vec3& v : table.vertices) shape.points.push_back(ToD(v));
    std::vector<double> cumulative;
    double total = 0.0;
    for (const Triangle& t : table.triangles) {
        const D3 a = shape.points[static_cast<std::size_t>(t[0])];
        const D3 n = Cross(Sub(shape.points[static_cast<std::size_t>(t[1])], a), Sub(shape.points[static_cast<std::size_t>(t[2])], a));
        total += std::sqrt(Dot(n, n));
        cumulative.push_back(total);
    }
    // note: a fixed seed, so that a merge is the same every run.
    std::mt19937 random(20261209);
    const auto unit = [&] { return static_cast<double>(random()) / 4294967296.0; };
    for (int k = 0; k < SampleCount && total > 0.0; ++k) {
        const std::size_t t = static_cast<std::size_t>(
            std::upper_bound(cumulative.begin(), cumulative.end(), unit() * total) - cumulative.begin());
        const Triangle& f = table.triangles[std::min(t, table.triangles.size() - 1)];
        double u = unit(), v = unit();
        if (u + v > 1.0) u = 1.0 - u, v = 1.0 - v;
        const Vector a = ToE(shape.points[static_cast<std::size_t>(f[0])]);
        const Vector b = ToE(shape.points[static_cast<std::size_t>(f[1])]);
        const Vector c = ToE(shape.points[static_cast<std::size_t>(f[2])]);
        shape.samples.push_back(a + u * (b - a) + v * (c - a));
    }
    if (shape.samples.empty()) return shape;
    for (const Vector& s : shape.samples) {
        shape.dots.push_back({static_cast<int32_t>(shape.cloud.size()), static_cast<int32_t>(shape.cloud.size()),
                              static_cast<int32_t>(shape.cloud.size())});
        shape.cloud.push_back(FromE(s));
    }
    for (const Vector& s : shape.samples) shape.mean += s;
    shape.mean /= static_cast<double>(shape.samples.size());
    Matrix second = Matrix::Zero();
    for (const Vector& s : shape.samples) second += (s - shape.mean) * (s - shape.mean).transpose();
    second /= static_cast<double>(shape.samples.size());
    const Eigen::SelfAdjointEigenSolver<Matrix> solver(second);
    shape.axes = solver.eigenvectors();
    if (shape.axes.determinant() < 0.0) shape.axes.col(0) = -shape.axes.col(0);
    shape.spread = solver.eigenvalues().cwiseMax(1e-30 * std::max(solver.eigenvalues().maxCoeff(), 1e-300));
    return shape;
}

// The turns that lay axis i of one frame on axis order[i] of another, with
// signs: the 24 without a mirror.
std::vector<Matrix> AxisTurns()
{
    std::vector<Matrix> turns;
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& order : orders) {
        for (int signs = 0; signs < 8; ++signs) {
            Matrix p = Matrix::Zero();
            for (int i = 0; i < 3; ++i) p(i, order[i]) = (signs >> i) & 1 ? -1.0 : 1.0;
            if (p.determinant() > 0.0) turns.push_back(p);
        }
    }
    return turns;
}

class Matcher {
public:
    Matcher(const ModelTable& leader, const ModelTable& follower)
        : leader_(Describe(leader)), follower_(Describe(follower)),
          leaderSurface_(leader_.points, *leader_.triangles), followerSurface_(follower_.points, *follower_.triangles),
          leaderCloud_(leader_.cloud, leader_.dots), followerCloud_(follower_.cloud, follower_.dots)
    {
    }

    ShapeMatch Run(double interest) const
    {
        ShapeMatch best;
        if (leader_.samples.empty() || follower_.samples.empty()) return best;
        // Every start is ranked and the best few refined against the other
        // shape's samples; the best of those is priced against its surface
        // on a few samples, and refined on all only if worth having.
        std::vector<std::pair<double, Affine>> starts;
        for (const Matrix& p : AxisTurns()) {
            // Follower axis order[i] onto leader axis i, scaled to its spread.
            Matrix scale = Matrix::Zero();
            const Vector followerSpread = p.cwiseAbs() * follower_.spread;
            for (int i = 0; i < 3; ++i) scale(i, i) = std::sqrt(leader_.spread(i) / followerSpread(i));
            Affine map;
            map.linear = leader_.axes * scale * p * follower_.axes.transpose();
            map.offset = leader_.mean - map.linear * follower_.mean;
            starts.push_back(Refine(map, 0, CoarseSamples, true));
        }
        std::stable_sort(starts.begin(), starts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::pair<double, Affine> chosen = {std::numeric_limits<double>::infinity(), Affine{}};
        for (std::size_t k = 0; k < std::min(Finalists, starts.size()); ++k) {
            const auto refined = Refine(starts[k].second, FinalIterations, SampleCount, true);
            if (refined.first < chosen.first) chosen = refined;
        }
        const double radius2 = leader_.spread.sum();
        chosen = Refine(chosen.second, 0, CoarseSamples, false);
        if (std::sqrt(chosen.first / radius2) < interest) chosen = Refine(chosen.second, FinalIterations, SampleCount, false);
        best.misfit = std::sqrt(chosen.first / radius2);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) best.linear[r][c] = chosen.second.linear(r, c);
        }
        best.offset = FromE(chosen.second.offset);
        return best;
    }

private:
    // Up to iterations refits while each lowers the misfit; the last map
    // and its misfit (mean squared distance of the pairs).
    std::pair<double, Affine> Refine(Affine map, int iterations, int samples, bool cloud) const
    {
        Affine next;
        double misfit = Pair(map, next, samples, cloud);
        for (int i = 0; i < iterations; ++i) {
            Affine after;
            const double now = Pair(next, after, samples, cloud);
            if (!(now < misfit)) break;
            map = next;
            misfit = now;
            next = after;
        }
        return {misfit, map};
    }

    // Pairs the first samples of each shape with nearest points (of the
    // other's surface, or cloud) both ways under map, returns their
    // mean squared distance, and fits refit to the pairs (map again where
    // the fit would mirror or flatten the shape).
    double Pair(const Affine& map, Affine& refit, int samples, bool cloud) const
    {
        refit = map;
        if (!(std::fabs(map.linear.determinant()) > 0.0)) return std::numeric_limits<double>::infinity();
        const Matrix inverse = map.linear.inverse();
        Eigen::Matrix4d normal = Eigen::Matrix4d::Zero();
        Eigen::Matrix<double, 4, 3> right = Eigen::Matrix<double, 4, 3>::Zero();
        double sum = 0.0;
        const auto pair = [&](const Vector& from, const Vector& to) {
            const Eigen::Vector4d x(from.x(), from.y(), from.z(), 1.0);
            normal += x * x.transpose();
            right += x * to.transpose();
            sum += (map(from) - to).squaredNorm();
        };
        // note: a point farther than half the shape's radius from the other
        // surface pairs with nothing and counts as that far; searching
        // farther costs the most and tells a bad start no better.
        const double leaderReach = 0.5 * std::sqrt(leader_.spread.sum());
        const double followerReach = 0.5 * std::sqrt(follower_.spread.sum());
        const double scale = map.linear.determinant() > 0.0 ? std::cbrt(map.linear.determinant()) : 1.0;
        const std::size_t count = std::min({static_cast<std::size_t>(samples), follower_.samples.size(), leader_.samples.size()});
        for (std::size_t k = 0; k < count; ++k) {
            const Vector& f = follower_.samples[k];
            const SurfacePoint onLeader = (cloud ? leaderCloud_ : leaderSurface_).Nearest(FromE(map(f)), leaderReach);
            if (onLeader.triangle >= 0) {
                pair(f, ToE(onLeader.point));
            } else {
                sum += leaderReach * leaderReach;
            }
            const Vector& l = leader_.samples[k];
            const SurfacePoint onFollower =
                (cloud ? followerCloud_ : followerSurface_).Nearest(FromE(inverse * (l - map.offset)), followerReach);
            if (onFollower.triangle >= 0) {
                pair(ToE(onFollower.point), l);
            } else {
                sum += followerReach * followerReach * scale * scale;
            }
        }
        const Eigen::Matrix<double, 4, 3> solved = normal.ldlt().solve(right);
        const Matrix linear = solved.topRows<3>().transpose();
        if (linear.allFinite() && linear.determinant() > 0.0) {
            refit.linear = linear;
            refit.offset = solved.row(3).transpose();
        }
        return count > 0 ? sum / static_cast<double>(2 * count) : std::numeric_limits<double>::infinity();
    }

    Shape leader_;
    Shape follower_;
    NearestSurface leaderSurface_;
    NearestSurface followerSurface_;
    NearestSurface leaderCloud_;
    NearestSurface followerCloud_;
};

}  // namespace

ShapeMatch MatchShapes(const ModelTable& leader, const ModelTable& follower, double interest)
{
    return Matcher(leader, follower).Run(interest);
}

}  // namespace vorlane
