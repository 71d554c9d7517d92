#include "prepare/alignment.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>
#include <sstream>

#include "geometry/dvec3.h"
#include "prepare/surface_sampler.h"
#include "robust/sphere_map_check.h"

namespace vorlane {
namespace {

using Matrix = Eigen::Matrix3d;
using Complex = std::complex<double>;

D3 Apply(const Matrix& m, const D3& v)
{
    return {m(0, 0) * v.x + m(0, 1) * v.y + m(0, 2) * v.z, m(1, 0) * v.x + m(1, 1) * v.y + m(1, 2) * v.z,
            m(2, 0) * v.x + m(2, 1) * v.y + m(2, 2) * v.z};
}

// Turn by angle about a unit axis (Rodrigues).
Matrix AxisAngle(const D3& axis, double angle)
{
    return Eigen::AngleAxisd(angle, Eigen::Vector3d(axis.x, axis.y, axis.z)).toRotationMatrix();
}

// The shortest turn that carries unit a onto unit b.
Matrix TurnOnto(const D3& a, const D3& b)
{
    return Eigen::Quaterniond::FromTwoVectors(Eigen::Vector3d(a.x, a.y, a.z), Eigen::Vector3d(b.x, b.y, b.z))
        .toRotationMatrix();
}

// The rotation taking the from directions closest to the to directions in
// the least-squares sense (Kabsch), never a reflection.
Matrix BestRotation(const std::vector<D3>& from, const std::vector<D3>& to)
{
    Matrix h = Matrix::Zero();
    for (std::size_t k = 0; k < from.size(); ++k) {
        h += Eigen::Vector3d(to[k].x, to[k].y, to[k].z) * Eigen::Vector3d(from[k].x, from[k].y, from[k].z).transpose();
    }
    const Eigen::JacobiSVD<Matrix> svd(h, Eigen::ComputeFullU | Eigen::ComputeFullV);
    Matrix d = Matrix::Identity();
    d(2, 2) = (svd.matrixU() * svd.matrixV().transpose()).determinant() < 0.0 ? -1.0 : 1.0;
    return svd.matrixU() * d * svd.matrixV().transpose();
}

// Evenly spread directions (a Fibonacci spiral).
std::vector<D3> SampleDirections(int count)
{
    std::vector<D3> out;
    out.reserve(static_cast<std::size_t>(count));
    const double golden = M_PI * (3.0 - std::sqrt(5.0));
    for (int i = 0; i < count; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / count;
        const double r = std::sqrt(1.0 - z * z);
        out.push_back({r * std::cos(golden * i), r * std::sin(golden * i), z});
    }
    return out;
}

// Evenly spread rotations (super-Fibonacci spirals of unit quaternions).
std::vector<Matrix> SampleRotations(int count)
{
    constexpr double phi = 1.4142135623730951;
    constexpr double psi = 1.533751168755204288118041;
    std::vector<Matrix> out;
    for (int i = 0; i < count; ++i) {
        const double s = i + 0.5;
        const double r = std::sqrt(s / count), big = std::sqrt(1.0 - s / count);
        const double alpha = 2.0 * M_PI * s / phi, beta = 2.0 * M_PI * s / psi;
        const Eigen::Quaterniond q(big * std::cos(beta), r * std::sin(alpha), r * std::cos(alpha), big * std::sin(beta));
        out.push_back(q.normalized().toRotationMatrix());
    }
    return out;
}

// The misfit of the target turned by r: mean squared distance between the
// source's and the turned target's unit-sized surfaces over the samples.
class Misfit {
public:
    Misfit(const SurfaceSampler& sampler, const SurfaceSampler& targetSampler, const SurfaceTable& target, int sampleCount)
        : targetSampler_(targetSampler), target_(target)
    {
        sourceAxes_ = sampler.Axes();
        const std::vector<D3> samples = SampleDirections(sampleCount);
        std::vector<D3> points;
        std::vector<char> found;
        sampler.PointsAt(samples, points, found);
        for (std::size_t k = 0; k < samples.size(); ++k) {
            if (!found[k]) continue;
            directions_.push_back(samples[k]);
            points_.push_back(points[k]);
        }
    }

    // Turns that lay the target's principal axes on the source's, in each
    // of the 24 ways a frame can lie on another.
    std::vector<Matrix> AxisTurns() const
    {
        std::vector<Matrix> out;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (j == i) continue;
                for (const double si : {1.0, -1.0}) {
                    for (const double sj : {1.0, -1.0}) {
                        Matrix p = Matrix::Zero();
                        p(i, 0) = si;
                        p(j, 1) = sj;
                        p.col(2) = p.col(0).cross(p.col(1));
                        out.push_back(sourceAxes_ * p * targetSampler_.Axes().transpose());
                    }
                }
            }
        }
        return out;
    }

    double operator()(const Matrix& r) const
    {
        const Matrix back = r.transpose();
        double sum = 0.0;
        int count = 0;
        for (std::size_t j = 0; j < directions_.size(); ++j) {
            D3 q;
            if (!target_.At(Apply(back, directions_[j]), q)) continue;
            // note: the turn moves the target's shape with its sphere.
            const D3 d = Sub(points_[j], Apply(r, q));
            sum += Dot(d, d);
            ++count;
        }
        return count > 0 ? sum / count : std::numeric_limits<double>::infinity();
    }

private:
    const SurfaceSampler& targetSampler_;
    const SurfaceTable& target_;
    Matrix sourceAxes_ = Matrix::Identity();
    std::vector<D3> directions_;
    std::vector<D3> points_;
};

// Shrinking steps of small turns about the three axes (and, with a fixed
// axis, about that one only) while any step lowers the misfit.
Matrix Refine(const Misfit& misfit, Matrix r, double& value, const D3* fixedAxis)
{
    const D3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (double step = 0.15; step > 1e-3; step *= 0.5) {
        bool improved = true;
        while (improved) {
            improved = false;
            for (int k = 0; k < (fixedAxis ? 1 : 3); ++k) {
                for (const double sign : {1.0, -1.0}) {
                    const Matrix trial = AxisAngle(fixedAxis ? *fixedAxis : axes[k], sign * step) * r;
                    const double v = misfit(trial);
                    if (v < value) {
                        value = v;
                        r = trial;
                        improved = true;
                    }
                }
            }
        }
    }
    return r;
}

// The Moebius map of the sphere taking from[k] to to[k], k < 3, as a 2 x 2
// complex matrix on homogeneous coordinates of the stereographic plane.
using Moebius = std::array<Complex, 4>;

std::array<Complex, 2> Homogeneous(const D3& u)
{
    // note: the two charts agree on the unit sphere; each is safe on its half.
    if (u.z < 0.0) return {Complex(u.x, u.y), Complex(1.0 - u.z, 0.0)};
    return {Complex(1.0 + u.z, 0.0), Complex(u.x, -u.y)};
}

D3 FromHomogeneous(const std::array<Complex, 2>& h)
{
    const Complex m = h[0] * std::conj(h[1]);
    const double a = std::norm(h[0]), b = std::norm(h[1]);
    return {2.0 * m.real() / (a + b), 2.0 * m.imag() / (a + b), (a - b) / (a + b)};
}

// The map taking three points to 0, 1 and infinity.
Moebius ToZeroOneInfinity(const std::array<D3, 3>& p)
{
    const auto h1 = Homogeneous(p[0]), h2 = Homogeneous(p[1]), h3 = Homogeneous(p[2]);
    // Rows (b1, -a1) and (b3, -a3) vanish at p1 and p3; k scales p2 to 1.
    const Complex k = (h3[1] * h2[0] - h3[0] * h2[1]) / (h1[1] * h2[0] - h1[0] * h2[1]);
    return {k * h1[1], -k * h1[0], h3[1], -h3[0]};
}

Moebius Inverse(const Moebius& m)
{
    return {m[3], -m[1], -m[2], m[0]};
}

Moebius Compose(const Moebius& outer, const Moebius& inner)
{
    return {outer[0] * inner[0] + outer[1] * inner[2], outer[0] * inner[1] + outer[1] * inner[3],
            outer[2] * inner[0] + outer[3] * inner[2], outer[2] * inner[1] + outer[3] * inner[3]};
}

D3 ApplyMoebius(const Moebius& m, const D3& u)
{
    const auto h = Homogeneous(u);
    return FromHomogeneous({m[0] * h[0] + m[1] * h[1], m[2] * h[0] + m[3] * h[1]});
}

// The target's directions mapped and stored on the sphere of SphereRadius;
// false when the map turned a triangle over (or rounding did).
template <class Map>
bool MapDirections(const SphereMesh& target, Map map, std::vector<Vec3>& out)
{
    out.clear();
    for (const Vec3& d : *target.directions) {
        const D3 u = map(Unit(ToD(d)));
        out.push_back(ToF({u.x * SphereRadius, u.y * SphereRadius, u.z * SphereRadius}));
    }
    Polyhedron check;
    check.vertices = out;
    check.faces = *target.triangles;
    // note: the merge checks the whole map again; a turn changes no edge.
    return CoversSphereOnce(check);
}

D3 DirectionOf(const SphereMesh& mesh, int32_t v)
{
    return Unit(ToD((*mesh.directions)[static_cast<std::size_t>(v)]));
}

// The rotation search: coarse over evenly spread rotations (or turns about
// one axis), then refined from the best few.
Matrix SearchRotation(const Misfit& coarse, const Misfit& fine, const Matrix& start, const D3* axis, double& value)
{
    std::vector<std::pair<double, Matrix>> tried;
    if (axis) {
        for (int k = 0; k < 72; ++k) {
            const Matrix r = AxisAngle(*axis, 2.0 * M_PI * k / 72) * start;
            tried.push_back({coarse(r), r});
        }
    } else {
        for (const Matrix& r : SampleRotations(1000)) tried.push_back({coarse(r), r});
        for (const Matrix& r : coarse.AxisTurns()) tried.push_back({coarse(r), r});
    }
    std::sort(tried.begin(), tried.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    value = std::numeric_limits<double>::infinity();
    Matrix best = start;
    for (std::size_t i = 0; i < std::min<std::size_t>(6, tried.size()); ++i) {
        double v = fine(tried[i].second);
        const Matrix r = Refine(fine, tried[i].second, v, axis);
        if (v < value) {
            value = v;
            best = r;
        }
    }
    return best;
}

}  // namespace

Alignment AlignTarget(const SphereMesh& source, const SphereMesh& target, const std::vector<LandmarkPair>& landmarks)
{
    Alignment result;
    const int32_t sourceCount = static_cast<int32_t>(source.directions->size());
    const int32_t targetCount = static_cast<int32_t>(target.directions->size());
    std::vector<D3> from, to;
    for (std::size_t k = 0; k < landmarks.size(); ++k) {
        const LandmarkPair& pair = landmarks[k];
        if (pair.source < 0 || pair.source >= sourceCount || pair.target < 0 || pair.target >= targetCount) {
            result.error = "landmark " + std::to_string(k + 1) + " names a vertex the mesh does not have (" +
                           std::to_string(pair.source) + " " + std::to_string(pair.target) + ")";
            return result;
        }
        from.push_back(DirectionOf(target, pair.target));
        to.push_back(DirectionOf(source, pair.source));
    }
    // note: few samples find the basin; more only price the answer.
    const SurfaceSampler sourceSampler(source);
    const SurfaceSampler targetSampler(target);
    const SurfaceTable targetTable(targetSampler);
    const Misfit coarse(sourceSampler, targetSampler, targetTable, 300);
    const Misfit fine(sourceSampler, targetSampler, targetTable, 2000);
    Matrix rotation = Matrix::Identity();
    if (landmarks.empty()) {
        rotation = SearchRotation(coarse, fine, rotation, nullptr, result.misfit);
        result.method = "shape search";
    } else if (landmarks.size() == 1) {
        rotation = SearchRotation(coarse, fine, TurnOnto(from[0], to[0]), &to[0], result.misfit);
        result.method = "one landmark";
    } else {
        rotation = BestRotation(from, to);
        result.misfit = fine(rotation);
        result.method = landmarks.size() == 2 ? "two landmarks" : std::to_string(landmarks.size()) + " landmarks (least squares)";
    }
    if (landmarks.size() == 3) {
        const Moebius m = Compose(Inverse(ToZeroOneInfinity({to[0], to[1], to[2]})), ToZeroOneInfinity({from[0], from[1], from[2]}));
        if (MapDirections(target, [&](const D3& u) { return ApplyMoebius(m, u); }, result.directions)) {
            result.method = "three landmarks (Moebius)";
            return result;
        }
        result.method = "three landmarks (Moebius) fell back to a rotation: the map turned a triangle over";
        result.fellBack = true;
    }
    // Two pairs the rotation only comes near are met by the Moebius map
    // that also holds still the pole of the circle through both partners,
    // so that it bends the turned sphere no more than it must.
    const D3 pole = landmarks.size() == 2 ? Cross(to[0], to[1]) : D3{};
    if (landmarks.size() == 2 && Dot(pole, pole) > 1e-12) {
        const D3 q = Unit(pole);
        const Moebius m = Compose(Inverse(ToZeroOneInfinity({to[0], to[1], q})),
                                  ToZeroOneInfinity({Apply(rotation, from[0]), Apply(rotation, from[1]), q}));
        if (MapDirections(target, [&](const D3& u) { return ApplyMoebius(m, Apply(rotation, u)); }, result.directions)) {
            result.method = "two landmarks (Moebius)";
            return result;
        }
        result.method = "two landmarks (Moebius) fell back to a rotation: the map turned a triangle over";
        result.fellBack = true;
    }
    if (!MapDirections(target, [&](const D3& u) { return Apply(rotation, u); }, result.directions)) {
        // note: only rounding can turn a triangle under a rotation; keep the map as it was.
        MapDirections(target, [](const D3& u) { return u; }, result.directions);
        result.method += " fell back to no turn: rounding turned a triangle over";
        result.fellBack = true;
        result.misfit = fine(Matrix::Identity());
    }
    return result;
}

std::string ParseLandmarks(const std::string& text, std::vector<LandmarkPair>& pairs)
{
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream fields(line);
        long long a = 0, b = 0;
        std::string extra;
        if (!(fields >> a)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            return "line " + std::to_string(number) + ": expected two vertex numbers";
        }
        if (!(fields >> b) || (fields >> extra))
            return "line " + std::to_string(number) + ": expected two vertex numbers";
        if (a < 0 || b < 0 || a > std::numeric_limits<int32_t>::max() || b > std::numeric_limits<int32_t>::max())
            return "line " + std::to_string(number) + ": vertex numbers are 0-based and not negative";
        pairs.push_back({static_cast<int32_t>(a), static_cast<int32_t>(b)});
    }
    return {};
}

}  // namespace vorlane
