// Splitting one planar polygon into triangles.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// Appends to triangles a triangulation of the polygon whose corners are
// points[corners[0..count-1]], each triangle in the polygon's winding. Clips
// ears in the polygon's best-fit plane, so concave polygons come out right;
// a polygon with no ear to clip (self-crossing or degenerate) or with more
// than 1024 corners is fanned from its first corner. Fewer than three
// corners add nothing.
void TriangulatePolygon(const std::vector<Vec3>& points, const int32_t* corners, std::size_t count,
                        std::vector<Triangle>& triangles);

}  // namespace vorlane
