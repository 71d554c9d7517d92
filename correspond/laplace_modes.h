// The low end of a surface's Laplace-Beltrami modes: the shape's own
// vibration modes, which bending that keeps lengths leaves nearly alone.
#pragma once

#include <vector>

#include <Eigen/Core>

#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct LaplaceModes {
    // Ascending, the first about 0; with the surface scaled to unit area, so
    // two sizes of one shape have one modes.
    Eigen::VectorXd values;
    // One column per value, one row per vertex, orthonormal under the
    // lumped mass (the first column constant).
    Eigen::MatrixXd functions;
    Eigen::VectorXd mass;  // per vertex, a third of its triangles' area, summing to 1
};

// The first count eigenpairs of the cotangent Laplacian against the lumped
// mass (cotangents held at zero or above, so the operator stays positive on
// poor triangles), by shift-invert Lanczos over one sparse LDLT. Empty
// (no values) where the mesh has no area, fewer vertices than count + 2, or
// the solver does not converge.
LaplaceModes ComputeLaplaceModes(const std::vector<D3>& points, const std::vector<Triangle>& triangles, int count);

}  // namespace vorlane
