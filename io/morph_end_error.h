// How far the end of a glTF morph, as a viewer shows it (the base plus the
// morph target's offset, added in float), comes back from the mesh's end.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "geometry/vec3.h"

namespace vorlane {

// The largest error on any axis, and how many vertices pass the tolerance.
struct EndError {
    double worst = 0.0;
    uint64_t vertices = 0;
};

// An end's own grid step: 1/16383 of half the longest side of its box; 1
// for a box of no size or no vertices.
double EndGridStep(const Vec3* positions, std::size_t count);

// How far a shown end vertex may lie from its own on an axis: the end's own
// grid step, and two float steps at its largest coordinate (where the end
// itself is only as exact as float).
double EndTolerance(const Vec3* end, std::size_t count);

// Counts shown against end into error. Inline: the writers call it for
// every vertex.
inline void AddEndError(EndError& error, const Vec3& shown, const Vec3& end, double tolerance)
{
    const double off = std::max({std::fabs(static_cast<double>(shown.x) - end.x), std::fabs(static_cast<double>(shown.y) - end.y),
                                 std::fabs(static_cast<double>(shown.z) - end.z)});
    // note: a shown coordinate that is no number is as far off as can be.
    if (!(off <= tolerance)) {
        ++error.vertices;
        error.worst = std::isnan(off) ? std::numeric_limits<double>::infinity() : std::max(error.worst, off);
    }
}

// Empty when no vertex passes the tolerance; else, in one line, "<path>: the
// end comes back up to X off (N vertices), as a float offset cannot hold it".
std::string EndWarning(const std::string& path, const EndError& error);

}  // namespace vorlane
