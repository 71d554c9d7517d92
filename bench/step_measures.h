// Measures of one step of a morph, with none of the path's code: how much
// of its area crosses itself (exactly decided), what it encloses, and how
// far its shape is between two others.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane::bench {

using Triangles = std::vector<std::array<int32_t, 3>>;

// The share of the surface's area in triangles that cross or touch a
// triangle sharing no corner with them: candidates from a bounding-volume
// tree, each pair decided by exact orientation signs.
double CrossingShare(const std::vector<Vec3>& points, const Triangles& triangles);

double EnclosedVolume(const std::vector<Vec3>& points, const Triangles& triangles);
double SurfaceArea(const std::vector<Vec3>& points, const Triangles& triangles);

// Volume over area to the power 3/2, as a sphere's 1: 36 pi V^2 / A^3.
double Sphericity(const std::vector<Vec3>& points, const Triangles& triangles);

// How far shape `middle` lies from `from` towards `to`, 0 to 1, each
// normalised for place, size (unit area) and turn (the best fit): the
// distance to `from` over the sum of distances to both.
double ShapeProgress(const std::vector<Vec3>& from, const std::vector<Vec3>& middle, const std::vector<Vec3>& to,
                     const Triangles& triangles);

}  // namespace vorlane::bench
