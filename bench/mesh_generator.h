// Star-shaped test meshes of any size: icospheres, cube-spheres, and their
// radially perturbed and rotated variants, and bipyramids.
#pragma once

#include <cstdint>

#include "geometry/polyhedron.h"

namespace vorlane {

// The icosahedron split level times into four, on a sphere of radius:
// 20 * 4^level triangles.
ModelTable Icosphere(int level, float radius);

// A cube with n x n squares per face, each cut in two, pushed onto a sphere
// of radius: 12 n^2 triangles.
ModelTable CubeSphere(int n, float radius);

// Two cones of n sides joined at an equator of radius in the plane z = 0,
// apexes at height +-radius: wide fans at the poles, long arcs. The equator
// starts turn sides round from the x axis. 2 n triangles.
ModelTable Bipyramid(int n, float radius, double turn = 0.0);

// The benchmarks' partner of Icosphere(level, 50): a cube-sphere of radius 60
// with about as many triangles, turned by Rotate(table, 5).
ModelTable BenchCubeSphere(int level);

// Scales every vertex's distance from the origin by a factor drawn from
// [1 - amount, 1 + amount]; triangles keep facing outwards.
void PerturbRadially(ModelTable& table, float amount, uint32_t seed);

// Turns the table by a rotation drawn from seed.
void Rotate(ModelTable& table, uint32_t seed);
// Each triangle split into four at its sides' midpoints, in the plane of the
// triangle: the same surface with four times the triangles, as real meshes
// are made large for timing.
void SplitIntoFour(ModelTable& table);

}  // namespace vorlane
