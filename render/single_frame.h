// One whole frame of a single morph of any size in the middle of the scene:
// the morph, its shadow, the light marker and the floor.
#pragma once

#include "geometry/polyhedron.h"
#include "render/light_marker.h"
#include "render/morph_array_drawing.h"
#include "render/morph_arrays.h"
#include "render/morph_interpolation.h"
#include "render/view_state.h"

namespace vorlane {

struct PlacedMorph {
    const MorphArrays* arrays = nullptr;
    // When not null, the faces and shadow are drawn from this coarser copy
    // (CoarseMorphArrays); edges and vertices stay the merge's own.
    const MorphArrays* coarse = nullptr;
    MorphPlacement placement;
    ByteColour sourceColour;
    ByteColour targetColour;
    // The starting model as built, for its own edges, vertices and rays;
    // may be null (a morph read back from a file has none).
    const Polyhedron* sourceModel = nullptr;
};

// What drawing a morph keeps between frames: the step's arrays and their
// buffer objects in the current context, for the morph and its coarse copy.
struct MorphDrawCache {
    MorphFrame frame;
    MorphBuffers buffers;
    MorphFrame coarseFrame;
    MorphBuffers coarseBuffers;
};

// Clears and draws morph at the view's step, turned as the demo turns its
// morphs about its lifted centre, with its shadow on the floor through
// shadowMatrix (column-major) under the same turn, the light marker at
// lightPosition and the floor; ends with glFlush. cache keeps the step's
// arrays and buffers. Without arrays only the marker and the floor are drawn (the
// morph is still loading). Needs the model-view matrix selected and holding the view
// transform; leaves the matrix and attribute stacks as it found them.
void DrawSingleMorphFrame(const PlacedMorph& morph, MorphDrawCache& cache, const float lightPosition[4],
                          const float shadowMatrix[16], const ViewState& view, ShapeListCache& shapeLists);

}  // namespace vorlane
