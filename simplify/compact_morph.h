// What the simplify stage does once its collapses are done: the morph
// tables compacted over the live triangles, and honest locations.
#pragma once

#include <cstdint>
#include <vector>

#include "embed/edge_collapse.h"
#include "geometry/morph_mesh.h"
#include "simplify/simplify_morph.h"

namespace vorlane {

// Per end, for each vertex, which original vertex's location still holds
// for its position (itself before any collapse), or -1 where a collapse
// placed it anew.
struct LocationSources {
    using Of = std::vector<int32_t>;
    Of of[2];
};

// Rewrites mesh over net's live triangles (positions already moved): used
// vertices in their order, faces in order, edges rebuilt ascending,
// crossingCount the kept crossings; locations taken from their sources or
// found as the nearest point of the input. Fills the report's distances.
void CompactMorph(MorphMesh& mesh, const CollapseMesh& net, const LocationSources& sources, SimplifyReport& report);

}  // namespace vorlane
