// Repairs of a read mesh that mesh tools commonly make where they are safe,
// before the topology checks: repeated triangles, edges held by more than
// two triangles, and triangles wound against their neighbours.
#pragma once

#include <cstdint>
#include <string>

#include "geometry/polyhedron.h"

namespace vorlane {

struct RepairReport {
    // Empty, or one line naming the edge where the orientation cannot be
    // made consistent (a one-sided surface such as a Moebius band).
    std::string error;
    int32_t duplicates = 0;  // triangles dropped as repeating an earlier one's corners (either winding)
    int32_t splitEdges = 0;  // edges held by three or more triangles, split into sheets
    int32_t flipped = 0;     // triangles turned to agree with their piece
};

// In this order: drops every triangle over the same three corners as an
// earlier one; splits each edge held by three or more triangles into sheets
// (around the edge, each triangle joins the neighbour that closes a wedge of
// one solid with it, the two running the edge opposite ways; its ends get a
// vertex of their own per sheet, appended in order of first use); then turns
// triangles so that each piece runs one way, the way most of its triangles
// run (its first triangle's on a tie). A table without these faults is left
// untouched; one whose sheets still meet at a vertex keeps the crowded edge
// for the topology checks to name. Corners must be in range and distinct.
RepairReport RepairMesh(ModelTable& table);

}  // namespace vorlane
