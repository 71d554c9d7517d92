// The morph of two shapes of which one at least is in several pieces: each
// pair of pieces merged as a pair of meshes is, the rest shrinking to or
// growing from a point, all joined into one merged mesh.
#pragma once

#include <vector>

#include "base/progress.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "pipeline/morph_job.h"

namespace vorlane {

// One shape's pieces, each prepared as a mesh of its own, with their
// colours by piece vertex (empty where the file gives none).
struct ShapePieces {
    std::vector<Polyhedron> pieces;
    std::vector<std::vector<Vec3>> colours;
};

// Pairs the pieces (PairPieces), merges each pair by the merge for real
// meshes, its spheres laid on each other first as for one pair
// (MeetSpheres), leaves out their common patches and simplifies each as
// request asks (a share of maxTriangles in proportion to its triangles). A
// piece without partner morphs to or from the one vertex of its nearest
// piece of the other shape that lies nearest its middle, laid on that
// shape: every vertex of it there at that end, its triangles flat by
// intent. Fills job: the pieces joined in table coordinates (job.source,
// job.target, each about the origin, pieces one after another), the merged
// mesh (pairs by source piece, then the pieces alone), its colours, its
// path where asked (the pieces alone walk straight), the pairing; or
// job.error naming the pair that failed.
void MorphPieces(const ShapePieces& source, const ShapePieces& target, const MorphRequest& request, MorphJob& job,
                 const Progress& progress = {});

// Lays two models' spheres on each other for the robust merge: where
// neither landmarks are given nor the two are one shape (FollowShape), the
// target's sphere turned to meet the source's (AlignTarget), with the
// landmarks in the models' numbering. Sets job.alignment; empty or the fault.
std::string MeetSpheres(Polyhedron& source, Polyhedron& target, const std::vector<LandmarkPair>& landmarks, MorphJob& job,
                        const Progress& progress);

}  // namespace vorlane
