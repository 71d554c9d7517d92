// Closed meshes that central projection cannot handle, for the spherical
// embedding's tests and benchmark: unions of unit cubes (voxels) whose
// boundary is cut into n x n squares per cube face, each square into two
// triangles, counter-clockwise seen from outside. Edge length 1 / n.
#pragma once

#include <array>
#include <vector>

#include "geometry/polyhedron.h"

namespace vorlane {

// The boundary of a union of unit cubes at integer corners, welded. Cubes
// meeting only at an edge or a corner give a non-manifold edge or a pinched
// vertex there, as such a solid has.
ModelTable VoxelSurface(const std::vector<std::array<int, 3>>& cubes, int n);

// A bar of 2 * fingers - 1 cubes with fingers of length cubes standing on
// every other cube: long thin parts side by side.
ModelTable FingerComb(int fingers, int length, int n);

// Two 3 x 3 x 3 blocks joined by a bar one cube thick and length cubes long.
ModelTable Dumbbell(int length, int n);

// A thick letter C, 5 x 5 cubes, two cubes deep: no point sees all of it.
ModelTable ThickC(int n);

// The thick C bent and sheared, so that no turn maps it onto itself (the
// straight C has a half turn about its opening): a shape with one best match.
ModelTable BentC(int n);

// Two cubes sharing only one corner: one pinched vertex; split, two pieces.
ModelTable PinchedCubes(int n);

// Two cubes sharing only one corner and joined also by a bent bar of cubes:
// one pinched vertex; split, one genus-0 surface.
ModelTable PinchedLoop(int n);

// A square ring of 8 cubes (genus 1); twoTori gives two such rings apart.
ModelTable SquareTorus(int n, bool twoTori = false);

// Two cubes sharing only one edge: that edge is held by 4 triangles.
ModelTable EdgeSharingCubes(int n);

// A closed prism of sides sides and rings rings along z, length long and of
// the given radius, about the origin, its ends closed by fans.
ModelTable Tube(int sides, int rings, float length, float radius);

}  // namespace vorlane
