#include "io/morph_end_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vorlane {

namespace {

// A table's box in float, where a float's double is the same number, so
// the box is the one a double pass finds; a coordinate that is no number
// leaves it as std::min and std::max leave it.
struct FloatBox {
    float lo[3], hi[3];
};

FloatBox BoxOf(const Vec3* positions, std::size_t count)
{
    FloatBox box;
    std::fill(box.lo, box.lo + 3, std::numeric_limits<float>::infinity());
    std::fill(box.hi, box.hi + 3, -std::numeric_limits<float>::infinity());
    for (std::size_t i = 0; i < count; ++i) {
        const float c[3] = {positions[i].x, positions[i].y, positions[i].z};
        for (int k = 0; k < 3; ++k) box.lo[k] = std::min(box.lo[k], c[k]), box.hi[k] = std::max(box.hi[k], c[k]);
    }
    return box;
}

double GridStepOf(const FloatBox& box)
{
    double half = 0.0;
    for (int k = 0; k < 3; ++k) half = std::max(half, (static_cast<double>(box.hi[k]) - box.lo[k]) / 2.0);
    return half > 0.0 ? half / 16383.0 : 1.0;
}

// Two float steps at the box's largest magnitude, which is at an end of
// the box, on an axis holding a number.
double TwoFloatSteps(const FloatBox& box)
{
    float largest = 0.0f;
    for (int k = 0; k < 3; ++k) {
        if (box.lo[k] <= box.hi[k]) largest = std::max({largest, std::fabs(box.lo[k]), std::fabs(box.hi[k])});
    }
    return 2.0 * (static_cast<double>(std::nextafter(largest, std::numeric_limits<float>::infinity())) - largest);
}

}  // namespace

double EndGridStep(const Vec3* positions, std::size_t count)
{
    return count == 0 ? 1.0 : GridStepOf(BoxOf(positions, count));
}

double EndTolerance(const Vec3* end, std::size_t count)
{
    const FloatBox box = BoxOf(end, count);
    return (count == 0 ? 1.0 : GridStepOf(box)) + TwoFloatSteps(box);
}

double FlatBelow(const Vec3* positions, std::size_t count)
{
    const FloatBox box = BoxOf(positions, count);
    double d = 0.0;
    for (int k = 0; k < 3; ++k) d += (static_cast<double>(box.hi[k]) - box.lo[k]) * (static_cast<double>(box.hi[k]) - box.lo[k]);
    return 1e-12 * d;
}

double HeldTolerance(const Vec3* end, std::size_t count)
{
    const FloatBox box = BoxOf(end, count);
    double diagonal = 0.0;
    for (int k = 0; k < 3; ++k) {
        if (box.lo[k] <= box.hi[k]) diagonal += (static_cast<double>(box.hi[k]) - box.lo[k]) * (static_cast<double>(box.hi[k]) - box.lo[k]);
    }
    return 1e-6 * std::sqrt(diagonal) + TwoFloatSteps(box);
}

std::string EndWarning(const std::string& path, const EndError& error)
{
    if (error.vertices == 0) return {};
    char text[160];
    std::snprintf(text, sizeof text, ": the end comes back up to %.3g off (%llu vertices), as a float offset cannot hold it", error.worst,
                  static_cast<unsigned long long>(error.vertices));
    return path + text;
}

std::string EndWarning(const std::string& path, const ShownEnd& shown)
{
    if (shown.error.vertices > 0 || !shown.flattens) return EndWarning(path, shown.error);
    char text[160];
    std::snprintf(text, sizeof text, ": the end comes back up to %.3g off, which leaves some of its triangles flat, as a float offset cannot hold it",
                  shown.farthest);
    return path + text;
}

}  // namespace vorlane
