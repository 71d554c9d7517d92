
#include <cassert>
#include <cstddef>
#include <iterator>
#include <utility>

#include "app/scene.h"
#include "geometry/model_catalogue.h"
#include "geometry/vec3.h"
#include "pipeline/morph_job.h"

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

namespace {

struct SceneModel {
    ModelBuilder build;
    Vec3 centre;
    ByteColour colour;
};

// Only the two icosahedra and the two cubes take part in a merge; the others
// are built as the scene always has.
const SceneModel SceneModels[] = {
    {BuildIcosahedron, {-10.0f, -10.0f, -10.0f}, {255, 0, 0}},
    {BuildIcosahedron, {0.0f, 0.0f, 0.0f}, {255, 0, 0}},
    {BuildPyramid, {10.0f, 0.0f, 10.0f}, {255, 255, 0}},
    {BuildRhombicPrism, {0.0f, 0.0f, 0.0f}, {0, 255, 0}},
    {BuildCube, {20.0f, 20.0f, 20.0f}, {0, 255, 255}},
    {BuildCube, {0.0f, 0.0f, 0.0f}, {0, 255, 255}},
    {BuildPointedBar, {0.0f, 0.0f, 0.0f}, {255, 0, 0}},
    {BuildBox, {0.0f, 0.0f, 0.0f}, {255, 0, 0}},
};

// (source, target) as indices into SceneModels.
const std::size_t SceneMerges[][2] = {{0, 4}, {4, 0}, {1, 5}, {5, 1}};

}  // namespace

void BuildScene(Scene& scene)
{
    scene.morphs.clear();
    scene.models.clear();
    // The morphs point into models, which therefore must never reallocate.
    scene.models.reserve(std::size(SceneModels));
    for (const SceneModel& entry : SceneModels) {
        scene.models.push_back(entry.build(entry.centre));
    }
    scene.morphs.reserve(std::size(SceneMerges));
    for (const auto& pair : SceneMerges) {
        MorphRequest request;
        request.sourceModel = &scene.models[pair[0]];
        request.targetModel = &scene.models[pair[1]];
        request.merge = MergeChoice::Demo;
        MorphJob job = RunMorphJob(request);
        // note: the demo's merge refuses nothing.
        assert(job.error.empty());
        scene.morphs.push_back(std::move(job.merged.mesh));
    }
    scene.shown.clear();
    for (std::size_t k = 0; k < scene.morphs.size(); ++k) {
        const SceneModel& source = SceneModels[SceneMerges[k][0]];
        const SceneModel& target = SceneModels[SceneMerges[k][1]];
        scene.shown.push_back(ColouredMorph{&scene.morphs[k], source.colour, target.colour});
    }
}

float PerspectiveAspect(int32_t width, int32_t height)
{
    if (height == 0) height = 1;
    return static_cast<float>(static_cast<double>(width) / height);
}

}  // namespace vorlane
