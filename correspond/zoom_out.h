// Maps between two surfaces' modes (functional maps) and the point maps
// they give: nearest neighbours in the modes' coordinates, and the
// spectral upsampling that grows a small map of modes into a large one
// (ZoomOut, Melzi et al. 2019).
#pragma once

#include <cstdint>
#include <vector>

#include <Eigen/Core>

namespace vorlane {

// For each row of queries, the index of the nearest row of targets
// (Euclidean, ties to the lower index). Both need the same column count;
// brute force in blocks, each a matrix product.
std::vector<int32_t> NearestRows(const Eigen::MatrixXd& queries, const Eigen::MatrixXd& targets);

struct SpectralMap {
    // k by k: row f of the follower's modes times c is near row map[f] of
    // the leader's.
    Eigen::MatrixXd c;
    std::vector<int32_t> map;  // per follower row, a leader row
    double residual = 0.0;      // |A c - B|^2 / |B|^2, B the rows the last map picks
    double orthogonality = 0.0;  // |c^T c - I| / sqrt(k) (Frobenius)
};

// From c (k0 by k0, k0 >= 1), alternates the point map by nearest rows in
// the first k modes with the least-squares c of size k + step, until k is
// last (at most both bases' column counts). follower and leader hold one
// row per sample point, at least last columns; follower needs more rows
// than last.
SpectralMap ZoomOut(const Eigen::MatrixXd& follower, const Eigen::MatrixXd& leader, Eigen::MatrixXd c, int last, int step);

// The least-squares c of size k for a point map (one leader row per
// follower row).
Eigen::MatrixXd FitModes(const Eigen::MatrixXd& follower, const Eigen::MatrixXd& leader, const std::vector<int32_t>& map,
                         int k);

// The point of triangle a b c nearest to q (any dimension), with its
// weights of a, b, c; returns the squared distance.
double ProjectOnTriangle(const Eigen::VectorXd& q, const Eigen::VectorXd& a, const Eigen::VectorXd& b,
                         const Eigen::VectorXd& c, double weights[3]);

}  // namespace vorlane
