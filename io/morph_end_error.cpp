#include "io/morph_end_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vorlane {

double EndGridStep(const Vec3* positions, std::size_t count)
{
    if (count == 0) return 1.0;
    double lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<double>::infinity());
    std::fill(hi, hi + 3, -std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i < count; ++i) {
        const double c[3] = {positions[i].x, positions[i].y, positions[i].z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    double half = 0.0;
    for (int k = 0; k < 3; ++k) half = std::max(half, (hi[k] - lo[k]) / 2.0);
    return half > 0.0 ? half / 16383.0 : 1.0;
}

double EndTolerance(const Vec3* end, std::size_t count)
{
    float largest = 0.0f;
    for (std::size_t i = 0; i < count; ++i) largest = std::max({largest, std::fabs(end[i].x), std::fabs(end[i].y), std::fabs(end[i].z)});
    const double floatStep = static_cast<double>(std::nextafter(largest, std::numeric_limits<float>::infinity())) - largest;
    return EndGridStep(end, count) + 2.0 * floatStep;
}

void AddEndError(EndError& error, const Vec3& shown, const Vec3& end, double tolerance)
{
    const double off = std::max({std::fabs(static_cast<double>(shown.x) - end.x), std::fabs(static_cast<double>(shown.y) - end.y),
                                 std::fabs(static_cast<double>(shown.z) - end.z)});
    // note: a shown coordinate that is no number is as far off as can be.
    if (!(off <= tolerance)) {
        ++error.vertices;
        error.worst = std::isnan(off) ? std::numeric_limits<double>::infinity() : std::max(error.worst, off);
    }
}

std::string EndWarning(const std::string& path, const EndError& error)
{
    if (error.vertices == 0) return {};
    char text[160];
    std::snprintf(text, sizeof text, ": the end comes back up to %.3g off (%llu vertices), as a float offset cannot hold it", error.worst,
                  static_cast<unsigned long long>(error.vertices));
    return path + text;
}

}  // namespace vorlane
