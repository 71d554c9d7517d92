// How far the end of a glTF morph, as a viewer shows it (the base plus the
// morph target's offset, added in float), comes back from the mesh's end.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

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

// Twice the area of abc, in double from float corners: the measure by
// which the output promises no triangle flat.
inline double DoubleArea(const Vec3& a, const Vec3& b, const Vec3& c)
{
    const double u[3] = {static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y, static_cast<double>(b.z) - a.z};
    const double v[3] = {static_cast<double>(c.x) - a.x, static_cast<double>(c.y) - a.y, static_cast<double>(c.z) - a.z};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

// Below this twice-area a triangle of positions (count of them) is flat:
// 1e-12 of the squared diagonal of their box.
double FlatBelow(const Vec3* positions, std::size_t count);

// How an end comes back where a viewer shows it as base plus a float offset.
struct ShownEnd {
    EndError error;         // against EndTolerance
    bool flattens = false;  // some triangle with area at the end is flat as shown
    double farthest = 0.0;  // the largest error on any axis
    // Each vertex within a millionth of the end's diagonal (or two float
    // steps of its largest coordinate, where float holds the end no better),
    // and nothing flattened.
    bool held = true;
};

// The end as shown from base over count vertices, all used by triangles
// triangles, whose corners are cornersOf(t)[0..2].
template <class CornersOf>
ShownEnd ShowEnd(std::size_t triangles, const CornersOf& cornersOf, const Vec3* base, const Vec3* end, std::size_t count);

// The held bound ShowEnd uses: a millionth of the end's diagonal, plus two
// float steps at its largest coordinate.
double HeldTolerance(const Vec3* end, std::size_t count);

template <class CornersOf>
ShownEnd ShowEnd(std::size_t triangles, const CornersOf& cornersOf, const Vec3* base, const Vec3* end, std::size_t count)
{
    ShownEnd out;
    const double tolerance = EndTolerance(end, count), held = HeldTolerance(end, count);
    std::vector<Vec3> shown(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3& a = base[i];
        const Vec3& b = end[i];
        const Vec3 o{static_cast<float>(static_cast<double>(b.x) - a.x), static_cast<float>(static_cast<double>(b.y) - a.y),
                     static_cast<float>(static_cast<double>(b.z) - a.z)};
        shown[i] = Vec3{a.x + o.x, a.y + o.y, a.z + o.z};
        const double off = std::max({std::fabs(static_cast<double>(shown[i].x) - b.x), std::fabs(static_cast<double>(shown[i].y) - b.y),
                                     std::fabs(static_cast<double>(shown[i].z) - b.z)});
        if (off <= tolerance) {
            out.farthest = std::max(out.farthest, off);
            if (off > held) out.held = false;
            continue;
        }
        out.held = false;
        // note: a shown coordinate that is no number is as far off as can be.
        out.farthest = std::isnan(off) ? std::numeric_limits<double>::infinity() : std::max(out.farthest, off);
        ++out.error.vertices;
        out.error.worst = std::max(out.error.worst, out.farthest);
    }
    if (out.farthest == 0.0) return out;
    // note: where start + (end - start) comes back bit for bit the triangle
    // is the end's own, so only triangles with some other vertex are measured.
    auto same = [&](std::size_t v) { return shown[v].x == end[v].x && shown[v].y == end[v].y && shown[v].z == end[v].z; };
    const double endBelow = FlatBelow(end, count), shownBelow = FlatBelow(shown.data(), count);
    for (std::size_t t = 0; t < triangles; ++t) {
        const auto* c = cornersOf(t);
        const std::size_t a = static_cast<std::size_t>(c[0]), b = static_cast<std::size_t>(c[1]), d = static_cast<std::size_t>(c[2]);
        if (same(a) && same(b) && same(d)) continue;
        if (!(DoubleArea(shown[a], shown[b], shown[d]) >= shownBelow) && DoubleArea(end[a], end[b], end[d]) >= endBelow) {
            out.flattens = true;
            out.held = false;
            break;
        }
    }
    return out;
}

// Empty when no vertex passes the tolerance; else, in one line, "<path>: the
// end comes back up to X off (N vertices), as a float offset cannot hold it".
std::string EndWarning(const std::string& path, const EndError& error);

// EndWarning's, or where only triangles go flat, a line saying so and how
// far the end comes back off.
std::string EndWarning(const std::string& path, const ShownEnd& shown);

}  // namespace vorlane
