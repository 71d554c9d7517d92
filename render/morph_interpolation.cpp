#include "render/morph_interpolation.h"

#include <cassert>
#include <cstddef>

#include "render/view_state.h"

namespace vorlane {

namespace {

float Interpolate(float start, float end, double step)
{
    // note: double keeps the last step exactly on the end position.
    return static_cast<float>(step * (static_cast<double>(end) - start) / static_cast<double>(MorphSteps) + start);
}

}  // namespace

Vec3 MorphPoint(const MorphMesh& mesh, int32_t step, int32_t v)
{
    assert(v >= 0 && static_cast<std::size_t>(v) < mesh.startPositions.size() &&
           static_cast<std::size_t>(v) < mesh.endPositions.size());
    const Vec3& s = mesh.startPositions[static_cast<std::size_t>(v)];
    const Vec3& e = mesh.endPositions[static_cast<std::size_t>(v)];
    const double t = step;
    return Vec3{Interpolate(s.x, e.x, t), Interpolate(s.y, e.y, t), Interpolate(s.z, e.z, t)};
}

uint8_t InterpolateChannel(uint8_t a, uint8_t b, int32_t step)
{
    const int32_t difference = static_cast<int32_t>(b) - static_cast<int32_t>(a);
    const double value = a + static_cast<double>(step) * difference / static_cast<double>(MorphSteps);
    return static_cast<uint8_t>(static_cast<int64_t>(value));
}

ByteColour MorphColour(const MorphMesh& mesh, int32_t step)
{
    assert(mesh.source != nullptr && mesh.target != nullptr);
    const Polyhedron& a = *mesh.source;
    const Polyhedron& b = *mesh.target;
    return ByteColour{InterpolateChannel(a.red, b.red, step), InterpolateChannel(a.green, b.green, step),
                      InterpolateChannel(a.blue, b.blue, step)};
}

}  // namespace vorlane
