// In-betweens that keep their shape: each edge of the merged mesh turns and
// grows from its start to its end, the whole moves, turns and scales apart
// from the shape, and the positions of a step are the least-squares fit to
// its edges.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/progress.h"
#include "geometry/morph_mesh.h"
#include "geometry/vec3.h"

namespace vorlane {

// How a merged mesh walks from start to end: a straight line per vertex
// (MorphPosition), or the shape-keeping path.
enum class PathChoice { Linear, Shape };

// "linear" or "shape"; false for anything else.
bool ParsePathChoice(const std::string& text, PathChoice& choice);

class ShapePath {
public:
    ShapePath() = default;

    // The path of mesh's triangles, which must be closed and oriented (as
    // every merge of real meshes is). The path keeps its own copy of the
    // ends. The factorisation is made here, once; each step then costs one solve.
    // Empty error on success.
    static ShapePath Build(const MorphMesh& mesh, std::string& error, const Progress& progress = {});

    bool empty() const { return !impl_; }

    // Every merged vertex at fraction t of the way: t <= 0 gives the start
    // positions and t >= 1 the end positions, bit for bit; vertices no face
    // uses walk straight.
    std::vector<Vec3> At(double t) const;

    // The same at step of MorphSteps.
    std::vector<Vec3> AtStep(int32_t step) const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

}  // namespace vorlane
