#include "correspond/zoom_out.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <Eigen/Cholesky>

namespace vorlane {

std::vector<int32_t> NearestRows(const Eigen::MatrixXd& queries, const Eigen::MatrixXd& targets)
{
    std::vector<int32_t> nearest(static_cast<std::size_t>(queries.rows()), 0);
    const Eigen::VectorXd lengths = targets.rowwise().squaredNorm();
    constexpr Eigen::Index Block = 256;
    for (Eigen::Index first = 0; first < queries.rows(); first += Block) {
        const Eigen::Index rows = std::min(Block, queries.rows() - first);
        // note: |q - t|^2 less |q|^2, which is the same along a row.
        const Eigen::MatrixXd products = queries.middleRows(first, rows) * targets.transpose();
        for (Eigen::Index r = 0; r < rows; ++r) {
            double best = std::numeric_limits<double>::infinity();
            int32_t index = 0;
            for (Eigen::Index t = 0; t < targets.rows(); ++t) {
                const double d = lengths[t] - 2.0 * products(r, t);
                if (d < best) {
                    best = d;
                    index = static_cast<int32_t>(t);
                }
            }
            nearest[static_cast<std::size_t>(first + r)] = index;
        }
    }
    return nearest;
}

namespace {

Eigen::MatrixXd Rows(const Eigen::MatrixXd& basis, const std::vector<int32_t>& map, int k)
{
    Eigen::MatrixXd picked(static_cast<Eigen::Index>(map.size()), k);
    for (std::size_t i = 0; i < map.size(); ++i) picked.row(static_cast<Eigen::Index>(i)) = basis.row(map[i]).head(k);
    return picked;
}

}  // namespace

Eigen::MatrixXd FitModes(const Eigen::MatrixXd& follower, const Eigen::MatrixXd& leader, const std::vector<int32_t>& map,
                         int k)
{
    const Eigen::MatrixXd a = follower.leftCols(k);
    const Eigen::MatrixXd b = Rows(leader, map, k);
    const Eigen::MatrixXd normal = a.transpose() * a;
    const Eigen::MatrixXd right = a.transpose() * b;
    const Eigen::MatrixXd c = normal.ldlt().solve(right);
    return c;
}

SpectralMap ZoomOut(const Eigen::MatrixXd& follower, const Eigen::MatrixXd& leader, Eigen::MatrixXd c, int last, int step)
{
    SpectralMap result;
    int k = static_cast<int>(c.rows());
    for (;;) {
        const Eigen::MatrixXd carried = follower.leftCols(k) * c;
        result.map = NearestRows(carried, leader.leftCols(k));
        if (k >= last) {
            const Eigen::MatrixXd b = Rows(leader, result.map, k);
            const Eigen::MatrixXd misfit = carried - b;
            result.residual = misfit.squaredNorm() / std::max(b.squaredNorm(), 1e-300);
            break;
        }
        k = std::min(k + std::max(step, 1), last);
        c = FitModes(follower, leader, result.map, k);
    }
    const Eigen::MatrixXd gram = c.transpose() * c - Eigen::MatrixXd::Identity(k, k);
    result.orthogonality = gram.norm() / std::sqrt(static_cast<double>(k));
    result.c = std::move(c);
    return result;
}

double ProjectOnTriangle(const Eigen::VectorXd& q, const Eigen::VectorXd& a, const Eigen::VectorXd& b,
                         const Eigen::VectorXd& c, double weights[3])
{
    const Eigen::VectorXd e1 = b - a, e2 = c - a, d = q - a;
    const double m11 = e1.squaredNorm(), m12 = e1.dot(e2), m22 = e2.squaredNorm();
    const double r1 = d.dot(e1), r2 = d.dot(e2);
    const double det = m11 * m22 - m12 * m12;
    if (det > 1e-14 * m11 * m22) {
        const double u = (r1 * m22 - r2 * m12) / det, v = (r2 * m11 - r1 * m12) / det;
        if (u >= 0.0 && v >= 0.0 && u + v <= 1.0) {
            weights[0] = 1.0 - u - v;
            weights[1] = u;
            weights[2] = v;
            const Eigen::VectorXd off = d - u * e1 - v * e2;
            return off.squaredNorm();
        }
    }
    // Outside (or flat): the nearest point of the nearest side.
    const Eigen::VectorXd* corners[3] = {&a, &b, &c};
    double best = std::numeric_limits<double>::infinity();
    for (int side = 0; side < 3; ++side) {
        const Eigen::VectorXd& p = *corners[side];
        const Eigen::VectorXd& r = *corners[(side + 1) % 3];
        const Eigen::VectorXd along = r - p;
        const double length = along.squaredNorm();
        const double t = length > 0.0 ? std::clamp((q - p).dot(along) / length, 0.0, 1.0) : 0.0;
        const Eigen::VectorXd off = q - p - t * along;
        const double distance = off.squaredNorm();
        if (distance < best) {
            best = distance;
            weights[side] = 1.0 - t;
            weights[(side + 1) % 3] = t;
            weights[(side + 2) % 3] = 0.0;
        }
    }
    return best;
}

}  // namespace vorlane
