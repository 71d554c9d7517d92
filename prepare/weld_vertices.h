// Seams closed before the topology checks: exporters split a corner along
// every texture seam and hard edge, so a closed surface arrives open with
// its rims lying on each other.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"

namespace vorlane {

struct WeldResult {
    int32_t welded = 0;  // vertices that became another one's vertex
    // By vertex before, its vertex after (-1 where dropped); empty where
    // nothing changed.
    std::vector<int32_t> renumbered;
};

// Makes one vertex of the vertices on open edges (held by one triangle)
// that lie at one position (distance 0: -0 and +0 alike) or, transitively,
// within distance of each other, distance a fraction of the bounding box's
// diagonal. Vertices inside the surface are never joined, so a closed mesh
// is left as it is. A joined vertex keeps the position of its lowest
// (first used) member, never an average. Triangles that collapse are
// dropped, then vertices no triangle uses, the rest keeping their order.
// Time linear in expectation: a grid of cells of that size.
WeldResult WeldVertices(ModelTable& table, double distance = 0.0);

// Applies a renumbering after another: by file vertex, its vertex after both.
void ComposeRenumbering(std::vector<int32_t>& first, const std::vector<int32_t>& then);

// Values by vertex before a weld, by vertex after it: each takes its first
// member's (the one whose position it kept). values as they are where
// renumbered is empty.
std::vector<Vec3> CarriedOver(const std::vector<Vec3>& values, const std::vector<int32_t>& renumbered);

}  // namespace vorlane
