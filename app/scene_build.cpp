#include "app/scene.h"

#include "geometry/vec3.h"

namespace vorlane {

void ComputeShadowMatrix(const TrianglePoints& points, const float light[4], float out[16])
{
    Vec3 n;
    TriangleNormal(points, n);
    const float plane[4] = {n.x, n.y, n.z, -DotProduct(n, points.p2)};
    const float dot = static_cast<float>(static_cast<double>(plane[0]) * light[0] + static_cast<double>(plane[1]) * light[1] +
                                         static_cast<double>(plane[2]) * light[2] + static_cast<double>(plane[3]) * light[3]);
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            const double diagonal = r == c ? dot : 0.0;
            out[4 * c + r] = static_cast<float>(diagonal - static_cast<double>(light[r]) * plane[c]);
        }
    }
}

// Stand-in until the models and merges are wired in.
void BuildScene(Scene& scene)
{
    scene.models.clear();
    scene.morphs.clear();
}

}  // namespace vorlane
