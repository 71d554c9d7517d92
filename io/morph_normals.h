// Unit vertex normals of a morph at either end, for files that shade it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// The normal of each used vertex (vertex[i], or i when vertex is empty) of
// positions, area-weighted over the triangles of corners (three per
// triangle, numbered over the used vertices). Where the faces around a
// vertex cancel, (0, 0, 1).
std::vector<Vec3> AreaWeightedNormals(const std::vector<Vec3>& positions, const std::vector<int32_t>& vertex, std::size_t count,
                                      const std::vector<uint32_t>& corners);

// A model's angle-weighted vertex normals, made once, and the surface
// normal they give at any location on it (see InputSurfaceNormals).
class SurfaceNormals {
public:
    explicit SurfaceNormals(const Polyhedron& model);
    Vec3 At(const SurfaceLocation& at) const;

private:
    const Polyhedron& model_;
    std::vector<double> around_;  // x, y, z by vertex
};

// The normal of model's surface at each location (locations[vertex[i]], or
// locations[i] when vertex is empty): its triangle's angle-weighted vertex
// normals, weighted by the location's barycentric weights. So a vertex of
// a merge shades as its input surface does there, however thin the merged
// triangles around it. Degenerate spots get (0, 0, 1).
std::vector<Vec3> InputSurfaceNormals(const Polyhedron& model, const std::vector<SurfaceLocation>& locations, const std::vector<int32_t>& vertex,
                                      std::size_t count);

}  // namespace vorlane
