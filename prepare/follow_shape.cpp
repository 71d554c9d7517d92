#include "prepare/follow_shape.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "embed/spherical_embedding.h"
#include "geometry/dvec3.h"
#include "prepare/nearest_surface.h"
#include "prepare/shape_match.h"

namespace vorlane {

namespace {

// A follower vertex whose match lies this much towards one corner of the
// leader's triangle takes that corner's point.
constexpr double NearCorner = 0.9;

}  // namespace

std::vector<Vec3> GuidesOnLeader(const Polyhedron& leader, const std::vector<D3>& places)
{
    std::vector<D3> points;
    points.reserve(leader.vertices.size());
    for (const Vec3& v : leader.vertices) points.push_back(ToD(v));
    const NearestSurface surface(points, leader.faces);
    std::vector<Vec3> guides;
    guides.reserve(places.size());
    for (const D3& place : places) {
        const SurfacePoint near = surface.Nearest(place);
        const Triangle& corners = leader.faces[static_cast<std::size_t>(near.triangle)];
        // Next to a leader vertex: that vertex's very point, so that a copy
        // of a mesh lands on its original's points, not a hair beside them
        // (arcs a hair apart cross in slivers without number).
        const double* heaviest = std::max_element(near.weights, near.weights + 3);
        if (*heaviest > NearCorner) {
            guides.push_back(leader.spherePoints[static_cast<std::size_t>(corners[static_cast<std::size_t>(heaviest - near.weights)])]);
            continue;
        }
        D3 direction{0.0, 0.0, 0.0};
        for (std::size_t i = 0; i < 3; ++i) {
            const D3 corner = ToD(leader.spherePoints[static_cast<std::size_t>(corners[i])]);
            const double length = std::sqrt(Dot(corner, corner));
            direction = {direction.x + near.weights[i] * corner.x / length, direction.y + near.weights[i] * corner.y / length,
                         direction.z + near.weights[i] * corner.z / length};
        }
        const double length = std::sqrt(Dot(direction, direction));
        guides.push_back(ToF({direction.x / length * SphereRadius, direction.y / length * SphereRadius,
                              direction.z / length * SphereRadius}));
    }
    return guides;
}

bool FollowShape(const Polyhedron& leader, Polyhedron& follower, double& misfit, const Progress& progress)
{
    if (progress) progress("matching the shapes", 0.0);
    const ModelTable leaderTable{leader.vertices, leader.faces};
    const ModelTable followerTable{follower.vertices, follower.faces};
    // note: a coarse misfit far above the bar is not refined to be sure.
    const ShapeMatch match = MatchShapes(leaderTable, followerTable, 3.0 * SameShapeMisfit);
    misfit = match.misfit;
    if (progress) progress("matching the shapes", 1.0);
    if (!(match.misfit < SameShapeMisfit)) return false;

    std::vector<D3> places;
    places.reserve(follower.vertices.size());
    for (const Vec3& v : follower.vertices) places.push_back(match.Apply(ToD(v)));
    EmbedOptions options;
    options.guides = GuidesOnLeader(leader, places);
    SphericalEmbedding embedding = EmbedOnSphere(followerTable, options, [&](std::string_view step, double fraction) {
        if (progress) progress("following the shape (" + std::string(step) + ")", fraction);
    });
    if (!embedding.error.empty()) return false;
    follower.spherePoints = std::move(embedding.directions);
    follower.map = SphereMap::Spherical;
    return true;
}

}  // namespace vorlane
