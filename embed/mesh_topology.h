// Topology of a closed triangle mesh before it is embedded on the sphere:
// pinched vertices split apart, then one check that names what stops an
// embedding (open, not manifold, genus above 0, several pieces).
#pragma once

#include <string>

#include "geometry/polyhedron.h"

namespace vorlane {

// Splits every vertex whose triangles form several separate fans (sets of
// triangles joined through edges at that vertex): the first fan keeps the
// vertex, each further fan gets a new vertex at the same position, appended
// at the end in order of first use. Triangles keep their order. Returns how
// many vertices were added (0 leaves the table untouched). Indices must be
// in range; vertices no triangle uses are left alone.
int SplitPinchedVertices(ModelTable& table);

// Empty when the mesh is one closed, consistently oriented, manifold surface
// of genus 0; otherwise one line naming the first failing check, in order:
//   indices:  "triangle t names vertex v, which does not exist",
//             "triangle t names one vertex twice"
//   closed:   "the mesh is not closed: edge (u, v) is held by 1 triangle"
//   manifold: "the mesh is not manifold: edge (u, v) is held by k triangles",
//             "... edge (u, v) runs the same way in triangles s and t",
//             "... vertex v belongs to no triangle",
//             "... vertex v joins k separate fans of triangles"
//   genus:    "the mesh has genus g (V - E + F = x)"
//   pieces:   "the mesh has k separate pieces"
// The named edge (u < v) or vertex is the lowest failing one. Genus is of the
// whole mesh: the sum over its connected pieces, g = pieces - (V - E + F) / 2,
// so two separate tori have genus 2. Time O(F log F) for one sort of edge keys.
std::string CheckSphereTopology(const ModelTable& table);

}  // namespace vorlane
