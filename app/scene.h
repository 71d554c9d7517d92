// The scene: light, floor, shadow matrix, the models and the four morphs.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"
#include "morph/morph_mesh.h"
#include "render/view_state.h"

namespace vorlane {

struct Scene {
    float lightPosition[4] = {-200.0f, 200.0f, 300.0f, 1.0f};
    // Spans the shadow plane y = -149, one unit above the floor.
    TrianglePoints floorPoints{{-30.0f, -149.0f, -20.0f}, {-30.0f, -149.0f, 20.0f}, {40.0f, -149.0f, 20.0f}};
    float shadowMatrix[16] = {};     // column-major, as glMultMatrixf takes it
    std::vector<Polyhedron> models;  // eight once built; morphs point into it
    std::vector<MorphMesh> morphs;   // four once built
};

// Projection from light onto the plane of points, column-major. No GL.
void ComputeShadowMatrix(const TrianglePoints& points, const float light[4], float out[16]);

// Builds the eight models and merges the four ordered pairs. No GL.
void BuildScene(Scene& scene);

// GL state, light, material, clear colour, shadow matrix, then BuildScene.
// Needs a current compatibility-profile context.
void SetupScene(Scene& scene);

// Viewport, perspective and view distance for a client of width x height.
void Reshape(const Scene& scene, int32_t width, int32_t height);

// Draws one whole frame of the scene into the current context.
void PaintScene(const Scene& scene, const ViewState& view);

}  // namespace vorlane
