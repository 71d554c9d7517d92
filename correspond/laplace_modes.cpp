#include "correspond/laplace_modes.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <Spectra/SymEigsShiftSolver.h>

namespace vorlane {

namespace {

// (A - sigma I)^-1 x for Spectra, by one LDLT of the shifted matrix.
class ShiftInvertOperator {
public:
    using Scalar = double;

    explicit ShiftInvertOperator(const Eigen::SparseMatrix<double>& a) : a_(a) {}
    Eigen::Index rows() const { return a_.rows(); }
    Eigen::Index cols() const { return a_.cols(); }
    void set_shift(double sigma)
    {
        Eigen::SparseMatrix<double> identity(a_.rows(), a_.cols());
        identity.setIdentity();
        const Eigen::SparseMatrix<double> shifted = a_ - sigma * identity;
        solver_.compute(shifted);
        ok_ = solver_.info() == Eigen::Success;
    }
    void perform_op(const double* in, double* out) const
    {
        const Eigen::Map<const Eigen::VectorXd> x(in, a_.rows());
        Eigen::Map<Eigen::VectorXd> y(out, a_.rows());
        y = solver_.solve(x);
    }
    bool ok() const { return ok_; }

private:
    const Eigen::SparseMatrix<double>& a_;
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver_;
    bool ok_ = false;
};

double Cotangent(const D3& apex, const D3& a, const D3& b)
{
    const D3 u = Sub(a, apex), v = Sub(b, apex);
    const D3 n = Cross(u, v);
    const double sine = std::sqrt(Dot(n, n));
    if (!(sine > 0.0)) return 0.0;
    return std::max(0.0, Dot(u, v) / sine);
}

}  // namespace

LaplaceModes ComputeLaplaceModes(const std::vector<D3>& points, const std::vector<Triangle>& triangles, int count)
{
    LaplaceModes modes;
    const Eigen::Index n = static_cast<Eigen::Index>(points.size());
    if (count < 1 || n < count + 2) return modes;
    Eigen::VectorXd mass = Eigen::VectorXd::Zero(n);
    double area = 0.0;
    for (const Triangle& t : triangles) {
        const D3 a = points[static_cast<std::size_t>(t[0])], b = points[static_cast<std::size_t>(t[1])],
                 c = points[static_cast<std::size_t>(t[2])];
        const D3 cross = Cross(Sub(b, a), Sub(c, a));
        const double third = std::sqrt(Dot(cross, cross)) / 6.0;
        for (int32_t corner : t) mass[corner] += third;
        area += 3.0 * third;
    }
    if (!(area > 0.0) || !std::isfinite(area)) return modes;
    // note: cotangents are scale-free; only the mass carries the area.
    mass /= area;
    for (Eigen::Index i = 0; i < n; ++i) mass[i] = std::max(mass[i], 1e-12 / static_cast<double>(n));

    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(triangles.size() * 12);
    for (const Triangle& t : triangles) {
        for (int k = 0; k < 3; ++k) {
            const int32_t i = t[static_cast<std::size_t>(k)], j = t[static_cast<std::size_t>((k + 1) % 3)],
                          o = t[static_cast<std::size_t>((k + 2) % 3)];
            const double w = 0.5 * Cotangent(points[static_cast<std::size_t>(o)], points[static_cast<std::size_t>(i)],
                                             points[static_cast<std::size_t>(j)]);
            const double si = 1.0 / std::sqrt(mass[i]), sj = 1.0 / std::sqrt(mass[j]);
            entries.emplace_back(i, j, -w * si * sj);
            entries.emplace_back(j, i, -w * si * sj);
            entries.emplace_back(i, i, w * si * si);
            entries.emplace_back(j, j, w * sj * sj);
        }
    }
    // The symmetric form M^-1/2 L M^-1/2, whose eigenvectors are M^1/2 phi.
    Eigen::SparseMatrix<double> a(n, n);
    a.setFromTriplets(entries.begin(), entries.end());

    ShiftInvertOperator op(a);
    // note: room to spare, or Lanczos may miss copies of a repeated value.
    const Eigen::Index ncv = std::min<Eigen::Index>(n, 3 * count + 10);
    // note: just below zero, so the shifted matrix is definite.
    Spectra::SymEigsShiftSolver<ShiftInvertOperator> solver(op, count, ncv, -1e-3);
    if (!op.ok()) return modes;
    solver.init();
    solver.compute(Spectra::SortRule::LargestMagn, 1000, 1e-9);
    if (solver.info() != Spectra::CompInfo::Successful) return modes;
    const Eigen::VectorXd values = solver.eigenvalues();
    const Eigen::MatrixXd vectors = solver.eigenvectors();
    std::vector<Eigen::Index> order(static_cast<std::size_t>(values.size()));
    std::iota(order.begin(), order.end(), Eigen::Index{0});
    std::sort(order.begin(), order.end(), [&](Eigen::Index x, Eigen::Index y) { return values[x] < values[y]; });
    modes.values.resize(values.size());
    modes.functions.resize(n, values.size());
    for (Eigen::Index k = 0; k < values.size(); ++k) {
        modes.values[k] = values[order[static_cast<std::size_t>(k)]];
        for (Eigen::Index i = 0; i < n; ++i)
            modes.functions(i, k) = vectors(i, order[static_cast<std::size_t>(k)]) / std::sqrt(mass[i]);
    }
    // note: the constant's sign is free; keep it positive so maps may assume it.
    if (modes.functions(0, 0) < 0.0) modes.functions.col(0) *= -1.0;
    modes.mass = std::move(mass);
    return modes;
}

}  // namespace vorlane
