// The scene: light, floor, shadow matrix, the models and the four morphs.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "render/light_marker.h"
#include "render/morph_interpolation.h"
#include "render/view_state.h"

namespace vorlane {

struct Scene {
    float lightPosition[4] = {-200.0f, 200.0f, 300.0f, 1.0f};
    // Spans the shadow plane y = -149, one unit above the floor.
    TrianglePoints floorPoints{{-30.0f, -149.0f, -20.0f}, {-30.0f, -149.0f, 20.0f}, {40.0f, -149.0f, 20.0f}};
    float shadowMatrix[16] = {};     // column-major, as glMultMatrixf takes it
    std::vector<Polyhedron> models;  // eight once built; morphs point into it
    std::vector<MorphMesh> morphs;   // four once built
    std::vector<ColouredMorph> shown;  // the morphs with their models' colours, by morph
    // Display lists of the context SetupScene last ran in; drawing fills it.
    mutable ShapeListCache shapeLists;

    Scene() = default;
    // A copy's morphs would point into the original's models.
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    Scene(Scene&&) = default;
    Scene& operator=(Scene&&) = default;
};

// Projection from light onto the plane of points, column-major. No GL.
void ComputeShadowMatrix(const TrianglePoints& points, const float light[4], float out[16]);

// Builds the eight models and merges the four ordered pairs, replacing any
// earlier ones; morphs[2] and morphs[3] are the two shown, shown[k] being
// morphs[k] with its models' colours. Rewrites
// "facelist1.txt" and "facelist2.txt", last for morphs[3]. No GL.
void BuildScene(Scene& scene);

// Width over height in float, a height of 0 taken as 1. No GL.
float PerspectiveAspect(int32_t width, int32_t height);

// SetupLighting, then BuildScene.
// Needs a current compatibility-profile context; run it again for a new one.
void SetupScene(Scene& scene);

// GL state, light, material, clear colour, shadow matrix and a fresh list
// cache, without building the morphs. Needs a current compatibility-profile
// context.
void SetupLighting(Scene& scene);

// Viewport, perspective and view distance for a client of width x height
// (a height of 0 taken as 1); leaves the model-view matrix selected.
void Reshape(const Scene& scene, int32_t width, int32_t height);

// Draws one whole frame of the scene into the current context, or only
// clears it while the morphs are not built.
void PaintScene(const Scene& scene, const ViewState& view);

}  // namespace vorlane
