// Triangles of no area in the float positions a merged mesh is written in.
//
// The overlay decides everything exactly on the sphere, but its vertices
// are stored as floats on two surfaces. Where two merged vertices round to
// one float position at both ends, or three round onto one line at an end,
// a triangle of the output has no area: a needle through the whole morph,
// or a crack in the shading. This pass removes them without moving any
// vertex. "No area" is a tolerance, and the one this pass uses: twice the
// area below 1e-12 of the squared diagonal of the mesh's bounding box.
#pragma once

#include <cstdint>

#include "geometry/morph_mesh.h"

namespace vorlane {

struct FlatRepair {
    int32_t collapsed = 0;  // edges collapsed: coincident ends, then short sides of flat triangles
    int32_t flipped = 0;    // diagonals turned to give two triangles of some area
    int32_t remaining = 0;  // triangles still of no area at step 0 or the last step
    // Of those, the ones of no area at step 0 and at the last step (a
    // triangle flat at both counts in each).
    int32_t remainingAtStart = 0;
    int32_t remainingAtEnd = 0;
};

// Whether triangle (a, b, c) of mesh has no area at the start or at the end.
bool IsFlatTriangle(const MorphMesh& mesh, int32_t a, int32_t b, int32_t c);

// Collapses every edge whose two ends share their float positions at both
// ends of the morph (where the mesh stays a closed manifold), then turns
// the longest side of each triangle still of no area when the two
// triangles that replace it have area at both ends and face the way the
// old pair did, and last collapses the shortest side of any still flat into
// the end whose going leaves every triangle around it some area, facing
// as before (the kept end stays on both surfaces). Keeps mesh closed and consistently oriented; renumbers the
// vertices (and their surface locations) to those in use, keeping their order; drops collapsed edges
// from mesh.edges and the turned ones the overlay owned. For triangle
// meshes only, as the robust merge makes them. threads > 1 looks for flat
// triangles on two threads; the result is the same.
FlatRepair RepairFlatTriangles(MorphMesh& mesh, int threads = 1);

}  // namespace vorlane
