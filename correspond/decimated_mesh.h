// A coarser copy of a closed genus-0 mesh whose vertices are some of its
// own, for work whose cost grows faster than the mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct DecimatedMesh {
    std::vector<D3> points;
    std::vector<Triangle> triangles;
    // By vertex, its vertex in the original table. Coarse first: any first
    // n vertices spread over the whole surface (the order they come back in
    // from the hierarchy), so a prefix is a fair sample.
    std::vector<int32_t> original;
};

// The table itself when it has at most cap vertices, or its shortest edges
// collapsed (half-edge collapses, the link kept) down to cap vertices.
// The table must pass CheckSphereTopology; cap is raised to 4.
DecimatedMesh DecimateMesh(const ModelTable& table, int32_t cap);

}  // namespace vorlane
