#include "geometry/morph_step.h"

namespace vorlane {

namespace {

float Interpolate(float start, float end, int32_t step)
{
    return static_cast<float>(static_cast<double>(step) * (static_cast<double>(end) - start) /
                                  static_cast<double>(MorphSteps) +
                              start);
}

}  // namespace

Vec3 MorphPosition(const Vec3& start, const Vec3& end, int32_t step)
{
    // note: the formula cancels at the ends when the two sizes differ by far.
    if (step <= 0) return start;
    if (step >= MorphSteps) return end;
    return Vec3{Interpolate(start.x, end.x, step), Interpolate(start.y, end.y, step), Interpolate(start.z, end.z, step)};
}

}  // namespace vorlane
