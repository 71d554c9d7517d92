// A spherical map made to follow another mesh's by the shapes' intrinsic
// correspondence (correspond/): for two poses of one shape, bent or
// remeshed so that no match in space lays them on each other, each point
// of the follower takes the sphere direction of its partner on the leader,
// so the morph carries every part onto its like.
#pragma once

#include "correspond/correspondence.h"
#include "geometry/polyhedron.h"
#include "prepare/prepare_mesh.h"

namespace vorlane {

// Where the correspondence of follower onto leader is confident (see
// Correspondence::confident), embeds follower again with each vertex guided
// to its partner's direction; the match in space only chooses between
// mirror maps. Returns whether it did (false also when the guided
// embedding failed: follower is then as it was); map, if given, receives
// the correspondence's figures.
bool FollowCorrespondence(const Polyhedron& leader, Polyhedron& follower, Correspondence* map = nullptr,
                          const Progress& progress = {});

}  // namespace vorlane
