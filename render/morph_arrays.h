// A morph of any size as flat arrays GL draws in a few calls: placed in the
// scene, and evaluated one step at a time. No GL.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// Where one end of a morph stands in the scene: a point p of that shape is
// drawn at (p - centre) * scale, then turned and lifted with the morph.
struct EndPlacement {
    Vec3 centre;  // the middle of the shape's bounding box
    float scale = 1.0f;
};

// Each end is placed on its own, so that two shapes of any sizes and places
// both fill the view; each vertex then moves in a straight line between its
// placed ends.
struct MorphPlacement {
    EndPlacement start;
    EndPlacement end;
    Vec3 lift;  // where both centres go in the scene, before turning
};

// The radius each shape is scaled to about its centre, and the plane the
// morph rests on (the floor's).
inline constexpr float PlacedRadius = 100.0f;
inline constexpr float FloorHeight = -150.0f;

// Scales each shape so that its farthest vertex lies PlacedRadius from the
// middle of its bounding box, and lifts both middles PlacedRadius above the
// floor at x = z = 0: however the morph turns, it stays above the floor. No
// vertices, or all at one point, give scale 1.
EndPlacement PlaceEnd(const std::vector<Vec3>& points);
MorphPlacement PlaceMorph(const std::vector<Vec3>& start, const std::vector<Vec3>& end);

// The placed morph: positions relative to the lift, three floats a vertex;
// triangle corners and distinct edges as vertex indices.
struct MorphArrays {
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    int32_t edgeCount = 0;
    std::vector<float> start;
    std::vector<float> end;
    std::vector<uint32_t> triangles;  // three a triangle, counter-clockwise from outside
    std::vector<uint32_t> edges;      // two an edge, each edge once, lower index first
    // Where the inputs give colours: each vertex's red, green, blue (0..1)
    // at each end, three floats a vertex; empty otherwise.
    std::vector<float> startColours;
    std::vector<float> endColours;
    // A path's placed positions at every step (MorphSteps + 1 of them);
    // empty where the morph walks straight from start to end.
    std::vector<std::vector<float>> steps;
};

// start and end must be the same length and every corner index them
// (asserted); degenerate triangles are kept, their repeated corners make
// no edge.
// With steps (a path's positions at every step), each step is placed
// between the ends' placements: centres straight, scales by their
// logarithm, so step 0 and the last are placed as the ends are.
MorphArrays MakeMorphArrays(const std::vector<Vec3>& start, const std::vector<Vec3>& end,
                            const std::vector<Triangle>& triangles, const MorphPlacement& placement,
                            const std::vector<std::vector<Vec3>>* steps = nullptr);

// A coarser copy of a large morph for drawing its faces and shadow, where
// the full one would cost software GL more than a frame's time. Vertices
// whose start positions share a cube of side cell, and whose end positions
// share one too, become one: the first of them. So at every step each vertex
// is drawn within cell * sqrt(3) of its place. Triangles left with a repeated
// corner, and repeats of a triangle, are dropped; vertices no triangle uses
// are left out. No edges: those are drawn from the full arrays.
MorphArrays ClusterMorphArrays(const MorphArrays& arrays, float cell);

// Morphs with more triangles than this draw their faces from a coarser copy.
inline constexpr int32_t CoarseMorphTriangles = 200000;

// The copy the faces of a morph with more than CoarseMorphTriangles are drawn
// from: clustered with the finest cell, from PlacedRadius / 256 up by
// doubling, that leaves at most CoarseMorphTriangles. An empty MorphArrays
// for smaller morphs.
MorphArrays CoarseMorphArrays(const MorphArrays& arrays);

// One step of the morph: positions by MorphPosition (or the path's), and unit vertex normals,
// each the area-weighted sum of its triangles' normals ((0, 0, 0) where they
// cancel or a vertex has none).
struct MorphFrame {
    int32_t step = -1;  // the step the arrays hold, -1 before the first
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> colours;  // by MorphPosition of the ends' colours; empty where arrays have none
};

// Fills frame for step unless it holds that step already.
void EvaluateMorphFrame(const MorphArrays& arrays, int32_t step, MorphFrame& frame);

}  // namespace vorlane
