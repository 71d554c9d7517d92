// A mesh's surface read by direction on its sphere, for the alignment's
// search: where the surface lies in a direction is the same barycentric
// combination of a triangle's corners as the direction is of its sphere
// points. Positions are centred and scaled so the shape has unit size. In
// double with tolerances; nothing here decides topology.
#pragma once

#include <Eigen/Dense>

#include <vector>

#include "geometry/dvec3.h"
#include "prepare/alignment.h"

namespace vorlane {

class SurfaceSampler {
public:
    explicit SurfaceSampler(const SphereMesh& mesh);

    // The unit-sized surface point in each unit direction, and whether one
    // was found (rounding on a seam between triangles can miss; callers
    // skip those). All directions at once: each triangle is tried only
    // against the directions near it.
    void PointsAt(const std::vector<D3>& directions, std::vector<D3>& points, std::vector<char>& found) const;

    // The principal axes of the surface, as the columns of a rotation.
    const Eigen::Matrix3d& Axes() const { return axes_; }

private:
    const SphereMesh& mesh_;
    D3 centre_{0, 0, 0};
    double scale_ = 1.0;
    Eigen::Matrix3d axes_ = Eigen::Matrix3d::Identity();
};

// A sampler's surface tabled over the six faces of a cube around the
// sphere, read back by bilinear interpolation: a search tries thousands of
// turns, and each reads the table instead of locating its directions anew.
class SurfaceTable {
public:
    explicit SurfaceTable(const SurfaceSampler& sampler);

    // The surface point in unit direction u; false where no corner of its
    // table cell was found.
    bool At(const D3& u, D3& out) const;

private:
    std::vector<D3> points_;
    std::vector<char> known_;
};

}  // namespace vorlane
