#include "path/shape_path.h"

#include <Eigen/Dense>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

#include "geometry/morph_step.h"

namespace vorlane {

namespace {

using Eigen::Matrix3d;
using Eigen::Vector3d;

constexpr double Pi = 3.14159265358979323846;
// Edge lengths at unit area below which weights stop growing: a bound on
// the system's condition, far below any side a float mesh resolves.
constexpr double MinLength = 1e-7;

Vector3d ToEigen(const Vec3& v) { return {v.x, v.y, v.z}; }

// The rotation by angle |w| about w.
Matrix3d RotationOf(const Vector3d& w)
{
    const double angle = w.norm();
    if (angle == 0.0) return Matrix3d::Identity();
    return Eigen::AngleAxisd(angle, w / angle).toRotationMatrix();
}

Vector3d RotationVector(const Matrix3d& rotation)
{
    const Eigen::AngleAxisd turn(rotation);
    return turn.angle() * turn.axis();
}

// The rotation taking the rows' directions `from` nearest to `to` (Kabsch):
// covariance is sum of to * from^T. False where the directions span no
// plane, which leaves the turn undecided.
bool FitRotation(const Matrix3d& covariance, Matrix3d& rotation)
{
    const Eigen::JacobiSVD<Matrix3d> svd(covariance, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Vector3d s = svd.singularValues();
    if (!(s(1) > 1e-9 * s(0))) return false;
    Matrix3d flip = Matrix3d::Identity();
    flip(2, 2) = (svd.matrixU() * svd.matrixV().transpose()).determinant() < 0.0 ? -1.0 : 1.0;
    rotation = svd.matrixU() * flip * svd.matrixV().transpose();
    return true;
}

// Of the rotation vectors that turn as w does, (|w| + 2 pi k) along w, the
// one nearest to near: neighbours then agree on which way a large turn goes.
Vector3d NearestTurn(const Vector3d& w, const Vector3d& near)
{
    const double angle = w.norm();
    if (angle == 0.0) return w;
    const Vector3d axis = w / angle;
    Vector3d best = w;
    for (int k = -2; k <= 2; ++k) {
        const Vector3d candidate = (angle + 2.0 * Pi * k) * axis;
        if ((candidate - near).squaredNorm() < (best - near).squaredNorm()) best = candidate;
    }
    return best;
}

// An edge's residual change, once its own turn is taken out, at fraction t:
// its direction along the great circle and its length by the logarithm.
Vector3d Residual(const Vector3d& from, const Vector3d& to, double t)
{
    const double a = from.norm(), b = to.norm();
    if (a == 0.0 || b == 0.0) return (1.0 - t) * from + t * to;
    const Vector3d u = from / a, v = to / b;
    const double angle = std::atan2(u.cross(v).norm(), u.dot(v));
    const double length = std::exp((1.0 - t) * std::log(a) + t * std::log(b));
    // Near opposite directions the circle is undecided: straight is as good.
    if (angle > Pi - 1e-6) return (1.0 - t) * from + t * to;
    if (angle < 1e-12) return length * u;
    const double s = std::sin(angle);
    return length * ((std::sin((1.0 - t) * angle) / s) * u + (std::sin(t * angle) / s) * v);
}

struct Frame {
    Vector3d centre = Vector3d::Zero();
    double size = 0.0;  // square root of the area
};

}  // namespace

struct ShapePath::Impl {
    std::vector<Vec3> startPositions, endPositions;  // the ends, kept so the path outlives a moved mesh
    std::vector<int32_t> used;                       // path vertex -> merged vertex
    std::vector<std::array<int32_t, 3>> triangles;   // over path vertices
    std::vector<std::array<int32_t, 2>> edges;       // over path vertices
    std::vector<Vector3d> turn, from, to;            // by edge: rotation vector, start, end less the turn
    std::vector<double> weight;                      // by edge
    Frame start, end;
    Vector3d wholeTurn = Vector3d::Zero();  // the end's normalised shape = this turn of the start's
    // One pinned vertex a piece, at its normalised ends (the end turned back
    // by the whole's turn); the rest are unknowns of the system.
    struct Pin {
        int32_t vertex;
        Vector3d from, to;
    };
    std::vector<Pin> pins;
    std::vector<int32_t> system;  // by path vertex, its unknown, or -1 where pinned
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver;

    std::vector<Vec3> At(double t) const;
};

namespace {

Frame FrameOf(const std::vector<Vector3d>& points, const std::vector<std::array<int32_t, 3>>& triangles)
{
    Frame frame;
    double area = 0.0;
    for (const auto& tri : triangles) {
        const Vector3d& a = points[static_cast<size_t>(tri[0])];
        const Vector3d& b = points[static_cast<size_t>(tri[1])];
        const Vector3d& c = points[static_cast<size_t>(tri[2])];
        const double w = 0.5 * (b - a).cross(c - a).norm();
        area += w;
        frame.centre += (w / 3.0) * (a + b + c);
    }
    if (area > 0.0) frame.centre /= area;
    frame.size = std::sqrt(area);
    return frame;
}

}  // namespace

bool ParsePathChoice(const std::string& text, PathChoice& choice)
{
    if (text == "linear") choice = PathChoice::Linear;
    else if (text == "shape") choice = PathChoice::Shape;
    else return false;
    return true;
}

ShapePath ShapePath::Build(const MorphMesh& mesh, std::string& error, const Progress& progress)
{
    error.clear();
    auto impl = std::make_shared<Impl>();
    const size_t vertexCount = mesh.startPositions.size();
    std::vector<int32_t> index(vertexCount, -1);
    for (const MeshFace& face : mesh.faces) {
        if (face.indices.size() != 3) {
            error = "the shape path needs a mesh of triangles";
            return {};
        }
        std::array<int32_t, 3> tri{};
        for (int k = 0; k < 3; ++k) {
            int32_t& slot = index[static_cast<size_t>(face.indices[static_cast<size_t>(k)])];
            if (slot < 0) {
                slot = static_cast<int32_t>(impl->used.size());
                impl->used.push_back(face.indices[static_cast<size_t>(k)]);
            }
            tri[static_cast<size_t>(k)] = slot;
        }
        impl->triangles.push_back(tri);
        for (int k = 0; k < 3; ++k) {
            const int32_t a = tri[static_cast<size_t>(k)], b = tri[static_cast<size_t>((k + 1) % 3)];
            impl->edges.push_back({std::min(a, b), std::max(a, b)});
        }
    }
    // note: sides once each, boundaries too (holes left open at both ends).
    std::sort(impl->edges.begin(), impl->edges.end());
    impl->edges.erase(std::unique(impl->edges.begin(), impl->edges.end()), impl->edges.end());
    const size_t n = impl->used.size();
    if (n < 4) {
        error = "the shape path needs a mesh of triangles";
        return {};
    }
    if (progress) progress("shape path", 0.0);

    std::vector<Vector3d> p0(n), p1(n);
    for (size_t i = 0; i < n; ++i) {
        p0[i] = ToEigen(mesh.startPositions[static_cast<size_t>(impl->used[i])]);
        p1[i] = ToEigen(mesh.endPositions[static_cast<size_t>(impl->used[i])]);
    }
    impl->start = FrameOf(p0, impl->triangles);
    impl->end = FrameOf(p1, impl->triangles);
    if (!(impl->start.size > 0.0) || !(impl->end.size > 0.0)) {
        error = "the shape path needs area at both ends";
        return {};
    }
    // Both ends at unit area about the origin; then the turn of the whole.
    std::vector<double> weight(n, 0.0);
    for (const auto& tri : impl->triangles) {
        for (const std::vector<Vector3d>* p : {&p0, &p1}) {
            const Vector3d& a = (*p)[static_cast<size_t>(tri[0])];
            const double area = 0.5 * ((*p)[static_cast<size_t>(tri[1])] - a).cross((*p)[static_cast<size_t>(tri[2])] - a).norm();
            const double share = area / (p == &p0 ? impl->start.size * impl->start.size : impl->end.size * impl->end.size);
            for (int32_t v : tri) weight[static_cast<size_t>(v)] += share;
        }
    }
    Matrix3d covariance = Matrix3d::Zero();
    for (size_t i = 0; i < n; ++i) {
        p0[i] = (p0[i] - impl->start.centre) / impl->start.size;
        p1[i] = (p1[i] - impl->end.centre) / impl->end.size;
        covariance += weight[i] * p1[i] * p0[i].transpose();
    }
    Matrix3d whole = Matrix3d::Identity();
    FitRotation(covariance, whole);
    impl->wholeTurn = RotationVector(whole);
    for (Vector3d& p : p1) p = whole.transpose() * p;

    // Each vertex's turn, fitted to the directions of its edges.
    std::vector<Matrix3d> ring(n, Matrix3d::Zero());
    std::vector<std::vector<int32_t>> neighbours(n);
    for (const auto& e : impl->edges) {
        const Vector3d a = p0[static_cast<size_t>(e[1])] - p0[static_cast<size_t>(e[0])];
        const Vector3d b = p1[static_cast<size_t>(e[1])] - p1[static_cast<size_t>(e[0])];
        if (a.norm() > 0.0 && b.norm() > 0.0) {
            const Matrix3d c = b.normalized() * a.normalized().transpose();
            ring[static_cast<size_t>(e[0])] += c;
            ring[static_cast<size_t>(e[1])] += c;
        }
        neighbours[static_cast<size_t>(e[0])].push_back(e[1]);
        neighbours[static_cast<size_t>(e[1])].push_back(e[0]);
    }
    std::vector<Vector3d> turn(n, Vector3d::Zero());
    std::vector<char> fitted(n, 0);
    for (size_t i = 0; i < n; ++i) {
        Matrix3d r;
        if (FitRotation(ring[i], r)) {
            turn[i] = RotationVector(r);
            fitted[i] = 1;
        }
    }
    ring = {};
    if (progress) progress("shape path", 0.3);
    // Choose every turn's winding from its neighbour's, spreading out from
    // the vertex of each piece that turns least, so no edge averages two
    // ways round. That vertex is pinned: it walks straight, in the shape's
    // own frame, and its piece follows its edges.
    std::vector<int32_t> piece(n, -1), byTurn(n);
    for (size_t i = 0; i < n; ++i) byTurn[i] = static_cast<int32_t>(i);
    std::sort(byTurn.begin(), byTurn.end(), [&](int32_t a, int32_t b) {
        const size_t i = static_cast<size_t>(a), j = static_cast<size_t>(b);
        if (fitted[i] != fitted[j]) return fitted[i] > fitted[j];
        return turn[i].squaredNorm() < turn[j].squaredNorm() || (turn[i].squaredNorm() == turn[j].squaredNorm() && a < b);
    });
    impl->system.assign(n, 0);
    for (int32_t root : byTurn) {
        if (piece[static_cast<size_t>(root)] >= 0) continue;
        impl->pins.push_back({root, p0[static_cast<size_t>(root)], p1[static_cast<size_t>(root)]});
        piece[static_cast<size_t>(root)] = root;
        impl->system[static_cast<size_t>(root)] = -1;
        std::deque<int32_t> queue{root};
        while (!queue.empty()) {
            const size_t u = static_cast<size_t>(queue.front());
            queue.pop_front();
            for (int32_t v : neighbours[u]) {
                const size_t w = static_cast<size_t>(v);
                if (piece[w] >= 0) continue;
                piece[w] = root;
                turn[w] = fitted[w] ? NearestTurn(turn[w], turn[u]) : turn[u];
                queue.push_back(v);
            }
        }
    }
    Eigen::Index unknowns = 0;
    for (int32_t& slot : impl->system)
        if (slot == 0) slot = static_cast<int32_t>(unknowns++);
    neighbours = {};

    const size_t m = impl->edges.size();
    impl->turn.resize(m);
    impl->from.resize(m);
    impl->to.resize(m);
    impl->weight.resize(m);
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(4 * m);
    for (size_t k = 0; k < m; ++k) {
        const size_t a = static_cast<size_t>(impl->edges[k][0]), b = static_cast<size_t>(impl->edges[k][1]);
        impl->turn[k] = 0.5 * (turn[a] + turn[b]);
        impl->from[k] = p0[b] - p0[a];
        impl->to[k] = RotationOf(impl->turn[k]).transpose() * (p1[b] - p1[a]);
        // Each edge's error counts relative to its length, so the short
        // sides of slivers keep their shape as well as the long ones.
        const double length = std::max(std::sqrt(impl->from[k].norm() * impl->to[k].norm()), MinLength);
        const double w = 1.0 / (length * length);
        impl->weight[k] = w;
        // Pinned vertices' rows and columns leave the system.
        const int ia = impl->system[a], ib = impl->system[b];
        if (ia >= 0) entries.emplace_back(ia, ia, w);
        if (ib >= 0) entries.emplace_back(ib, ib, w);
        if (ia >= 0 && ib >= 0) {
            entries.emplace_back(ia, ib, -w);
            entries.emplace_back(ib, ia, -w);
        }
    }
    if (progress) progress("shape path", 0.5);
    Eigen::SparseMatrix<double> laplacian(unknowns, unknowns);
    laplacian.setFromTriplets(entries.begin(), entries.end());
    entries = {};
    impl->solver.compute(laplacian);
    if (impl->solver.info() != Eigen::Success) {
        error = "the shape path's system could not be factorised";
        return {};
    }
    impl->startPositions = mesh.startPositions;
    impl->endPositions = mesh.endPositions;
    if (progress) progress("shape path", 1.0);
    ShapePath path;
    path.impl_ = std::move(impl);
    return path;
}

std::vector<Vec3> ShapePath::Impl::At(double t) const
{
    if (t <= 0.0) return startPositions;
    if (t >= 1.0) return endPositions;
    const size_t n = used.size();
    std::vector<Vector3d> points(n, Vector3d::Zero());
    for (const Pin& pin : pins) points[static_cast<size_t>(pin.vertex)] = (1.0 - t) * pin.from + t * pin.to;
    Eigen::MatrixX3d rhs = Eigen::MatrixX3d::Zero(solver.rows(), 3);
    for (size_t k = 0; k < edges.size(); ++k) {
        const size_t a = static_cast<size_t>(edges[k][0]), b = static_cast<size_t>(edges[k][1]);
        const Vector3d e = weight[k] * (RotationOf(t * turn[k]) * Residual(from[k], to[k], t));
        // note: a pinned end's known place moves to the right-hand side.
        if (system[b] >= 0) rhs.row(system[b]) += (system[a] < 0 ? Vector3d(e + weight[k] * points[a]) : e).transpose();
        if (system[a] >= 0) rhs.row(system[a]) -= (system[b] < 0 ? Vector3d(e - weight[k] * points[b]) : e).transpose();
    }
    const Eigen::MatrixX3d solved = solver.solve(rhs);
    for (size_t i = 0; i < n; ++i)
        if (system[i] >= 0) points[i] = solved.row(system[i]).transpose();
    // The shape at unit area about the origin, then the whole's own motion.
    const Frame own = FrameOf(points, triangles);
    const double size = std::exp((1.0 - t) * std::log(start.size) + t * std::log(end.size)) / own.size;
    const Vector3d centre = (1.0 - t) * start.centre + t * end.centre;
    const Matrix3d whole = RotationOf(t * wholeTurn);
    std::vector<Vec3> positions(startPositions.size());
    for (size_t v = 0; v < positions.size(); ++v)
        positions[v] = MorphPosition(startPositions[v], endPositions[v], static_cast<int32_t>(std::lround(t * MorphSteps)));
    for (size_t i = 0; i < n; ++i) {
        const Vector3d p = centre + size * (whole * (points[i] - own.centre));
        positions[static_cast<size_t>(used[i])] = {static_cast<float>(p.x()), static_cast<float>(p.y()), static_cast<float>(p.z())};
    }
    return positions;
}

std::vector<Vec3> ShapePath::At(double t) const
{
    if (!impl_) return {};
    return impl_->At(t);
}

std::vector<Vec3> ShapePath::AtStep(int32_t step) const
{
    return At(static_cast<double>(step) / MorphSteps);
}

}  // namespace vorlane
