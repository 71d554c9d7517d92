// A spherical map made to follow another mesh's: where two meshes are one
// shape in space (a turned, scaled or stretched copy, a scan of the same
// object), each point of the follower takes the direction on the sphere of
// the leader's point it matches, so the morph carries every part onto its
// like. Two maps made apart differ by more than any turn of the sphere.
#pragma once

#include <string>
#include <vector>

#include "geometry/dvec3.h"

#include "geometry/polyhedron.h"
#include "prepare/prepare_mesh.h"

namespace vorlane {

// Below this MatchShapes misfit two meshes count as one shape.
inline constexpr double SameShapeMisfit = 0.03;

// Per place in the leader's space, the direction on the sphere of the
// nearest point of the leader's surface (a leader vertex's own sphere point
// where the point lies next to it): the guides of a follower's embedding.
std::vector<Vec3> GuidesOnLeader(const Polyhedron& leader, const std::vector<D3>& places);

// Matches follower to leader in space and, where they are one shape,
// embeds follower again with each vertex guided to the direction of the
// nearest point of leader's surface under the match; its sphere points
// are then replaced and its map is spherical. Returns whether it did
// (false also when the guided embedding failed: follower is then as it
// was). misfit receives the match's misfit.
bool FollowShape(const Polyhedron& leader, Polyhedron& follower, double& misfit, const Progress& progress = {});

}  // namespace vorlane
