// A real mesh against its own copy in another pose, with the true partner
// of every point known: the copy is remeshed (subdivided, then collapsed
// back to about its vertex count, so no triangle is the original's), bent
// smoothly along its long axis, turned and moved.
#pragma once

#include <vector>

#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"

namespace vorlane {

struct PoseBend {
    D3 centre{0.0, 0.0, 0.0};
    D3 axes[3];          // long axis, the bend's direction, the third
    double radius = 0.0;  // of the bend; 0 for none
    double turn[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    D3 move{0.0, 0.0, 0.0};

    // Where a point of the original lies on the copy.
    D3 Apply(const D3& p) const;
};

struct PosePair {
    ModelTable copy;
    // Per vertex of the copy, the point of the original surface it came from.
    std::vector<D3> origins;
    PoseBend bend;
};

// The copy of table bent by angle radians along its long axis (principal
// axis of the vertices), remeshed unless remesh is false, turned about a
// fixed oblique axis by 40 degrees and moved by a third of its diagonal.
PosePair MakePosePair(const ModelTable& table, double angle, bool remesh = true);

}  // namespace vorlane
