#include "prepare/follow_correspondence.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "embed/spherical_embedding.h"
#include "prepare/follow_shape.h"
#include "prepare/shape_match.h"

namespace vorlane {

bool FollowCorrespondence(const Polyhedron& leader, Polyhedron& follower, Correspondence* map, const Progress& progress)
{
    const ModelTable leaderTable{leader.vertices, leader.faces};
    const ModelTable followerTable{follower.vertices, follower.faces};
    CorrespondOptions options;
    if (progress) progress("matching the shapes", 0.0);
    const ShapeMatch match = MatchShapes(leaderTable, followerTable);
    if (progress) progress("matching the shapes", 1.0);
    if (std::isfinite(match.misfit)) {
        options.hint.reserve(follower.vertices.size());
        for (const Vec3& v : follower.vertices) options.hint.push_back(match.Apply(ToD(v)));
    }
    Correspondence found = Correspond(leaderTable, followerTable, options, progress);
    const bool confident = found.confident && found.partners.size() == follower.vertices.size();
    if (map) *map = std::move(found);
    if (!confident) return false;
    EmbedOptions embedOptions;
    embedOptions.guides = GuidesOnLeader(leader, map ? map->partners : found.partners);
    // A partner map folds here and there where the modes blur; a weaker pull
    // lets the areas undo the folds where the full one leaves no room.
    SphericalEmbedding embedding;
    for (const double weight : {4.0, 1.0, 0.25}) {
        embedOptions.guideWeight = weight;
        embedding = EmbedOnSphere(followerTable, embedOptions, [&](std::string_view step, double fraction) {
            if (progress) progress("following the correspondence (" + std::string(step) + ")", fraction);
        });
            if (embedding.error.empty()) break;
    }
    if (!embedding.error.empty()) return false;
    follower.spherePoints = std::move(embedding.directions);
    follower.map = SphereMap::Spherical;
    return true;
}

}  // namespace vorlane
