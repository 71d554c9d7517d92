// Turning the target's sphere so that the morph carries each part of the
// source to the like part of the target: a head to a head, not to a foot.
//
// A map onto the sphere is fixed only up to a rotation (and a Moebius map),
// and the overlay pairs points by their direction. So before merging, the
// target's directions are turned by the rotation under which the two shapes,
// each centred and scaled to unit size, lie closest where they share a
// direction; landmark pairs can fix or bend that choice. No decision here
// is topological: the search works in double with tolerances, and only its
// result is checked exactly (every target triangle still positive).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// A mesh mapped onto the sphere: surface positions, and for each vertex a
// direction (any length) such that the triangles cover the sphere once.
struct SphereMesh {
    const std::vector<Vec3>* positions = nullptr;
    const std::vector<Vec3>* directions = nullptr;
    const std::vector<Triangle>* triangles = nullptr;
};

// One source vertex that should end where one target vertex is.
struct LandmarkPair {
    int32_t source = 0;
    int32_t target = 0;
};

struct Alignment {
    // Empty on success; otherwise why the landmarks cannot be used.
    std::string error;
    // The target's directions, mapped; on the sphere of SphereRadius. Every
    // triangle stays positive by the exact orientation predicate.
    std::vector<Vec3> directions;
    // What was done, for the summary: "shape search", "one landmark",
    // "two landmarks (Moebius)", "three landmarks (Moebius)", "N landmarks (least
    // squares)", with " fell back to ..." where a map turned a triangle over.
    std::string method;
    // A map the landmarks asked for turned a triangle over, and a simpler
    // one was kept: the landmarks are met only roughly.
    bool fellBack = false;
    // Mean squared distance of the unit-sized shapes over the sample
    // directions, after the map.
    double misfit = 0.0;
};

// The best map of target's sphere onto source's. Without landmarks: a
// coarse search over rotations, then refinement. One landmark pair fixes
// the rotation up to a turn about the pair's direction, searched; two fix
// it (least squares), and a Moebius map then meets them exactly; three are
// met exactly by the Moebius map through them; more in the least-squares
// sense by a rotation. Where a Moebius map would turn a triangle over, the
// rotation is kept and method says so. Landmark indices
// out of range give an error.
Alignment AlignTarget(const SphereMesh& source, const SphereMesh& target, const std::vector<LandmarkPair>& landmarks);

// Reads landmark pairs, one "SOURCE_VERTEX TARGET_VERTEX" line each
// (0-based; blank lines and # comments allowed). Returns an empty string
// or "line N: reason".
std::string ParseLandmarks(const std::string& text, std::vector<LandmarkPair>& pairs);

}  // namespace vorlane
