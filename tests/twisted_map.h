// A spherical map whose directions are not the vertices' own, for tests of
// what the merge and the writers make of spherical maps.
#pragma once

#include <cmath>

#include "geometry/polyhedron.h"
#include "robust/merge_meshes.h"

namespace vorlane {

// model on a spherical map: its sphere points twisted about z by twist
// radians per sphere radius of height, so a direction no longer points at
// the surface point it stands for.
inline Polyhedron Twisted(Polyhedron model, double twist)
{
    if (twist == 0.0) return model;
    model.map = SphereMap::Spherical;
    for (Vec3& p : model.spherePoints) {
        const double a = twist * p.z / SphereRadius, c = std::cos(a), s = std::sin(a);
        p = {static_cast<float>(c * p.x - s * p.y), static_cast<float>(s * p.x + c * p.y), p.z};
    }
    return model;
}

}  // namespace vorlane
