#include "render/morph_interpolation.h"

#include <cassert>
#include <cstddef>

#include "render/view_state.h"

namespace vorlane {

Vec3 MorphPoint(const MorphMesh& mesh, int32_t step, int32_t v)
{
    assert(v >= 0 && static_cast<std::size_t>(v) < mesh.startPositions.size() &&
           static_cast<std::size_t>(v) < mesh.endPositions.size());
    return MorphPosition(mesh.startPositions[static_cast<std::size_t>(v)], mesh.endPositions[static_cast<std::size_t>(v)],
                         step);
}

uint8_t InterpolateChannel(uint8_t a, uint8_t b, int32_t step)
{
    const int32_t difference = static_cast<int32_t>(b) - static_cast<int32_t>(a);
    const double value = a + static_cast<double>(step) * difference / static_cast<double>(MorphSteps);
    return static_cast<uint8_t>(static_cast<int64_t>(value));
}

ByteColour MorphColour(const ColouredMorph& morph, int32_t step)
{
    const ByteColour& a = morph.sourceColour;
    const ByteColour& b = morph.targetColour;
    return ByteColour{InterpolateChannel(a.red, b.red, step), InterpolateChannel(a.green, b.green, step),
                      InterpolateChannel(a.blue, b.blue, step)};
}

}  // namespace vorlane
