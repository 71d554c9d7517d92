// A point well inside the region from which a whole closed mesh is visible.
#pragma once

#include <cstdint>
#include <string>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// Why a mesh has no centre: callers branch on this, so the messages can be
// reworded freely.
enum class CentreProblem : uint8_t {
    None,
    NoTriangles,
    NoExtent,
    NoArea,
    NoVolume,       // its triangles enclose none
    Collapsed,      // flattened by float rounding far from the origin
    Unbounded,      // far from closed
    Unsettled,      // the linear program did not settle
    NotStarShaped,  // the kernel is empty or too thin
};

struct KernelCentreResult {
    CentreProblem problem = CentreProblem::None;
    // Empty on success; otherwise the problem told in one line.
    std::string error;
    // The centre of the largest ball inside the kernel (the intersection of
    // the half-spaces behind every triangle's plane), in table coordinates.
    Vec3 centre;
    // That ball's radius, measured from centre as stored.
    double radius = 0.0;
};

// Finds the kernel's Chebyshev centre of a closed mesh whose triangles run
// counter-clockwise seen from outside, by a small linear program solved in
// double. Refuses a kernel that is empty or thinner than a millionth of the
// mesh's size (the mesh is not star-shaped, or faces inward), one in which
// balls grow without bound (the mesh is far from closed), and a mesh with no
// triangle of any area. A mesh refused because it encloses no volume is
// told so, and one flattened by float rounding far from the origin is told
// that. Triangles of zero area are ignored. Closedness is
// not checked: a mesh with a hole may still get a centre.
KernelCentreResult FindKernelCentre(const ModelTable& table);

}  // namespace vorlane
