// The common topology of an ordered pair of models.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// The corners of a face, in order. Up to three are held in place: a merge of
// real meshes makes hundreds of thousands of triangles, and one allocation
// each would cost more than the rest of building them.
class FaceIndices {
public:
    using value_type = int32_t;
    using iterator = int32_t*;
    using const_iterator = const int32_t*;

    FaceIndices() = default;
    FaceIndices(std::initializer_list<int32_t> corners)
    {
        for (int32_t corner : corners) push_back(corner);
    }
    // A triangle, without the list's loop: merges make them by the million.
    FaceIndices(int32_t a, int32_t b, int32_t c) : inPlace_{a, b, c}, size_(3) {}

    void push_back(int32_t corner)
    {
        if (size_ < inPlace_.size()) {
            inPlace_[size_++] = corner;
            return;
        }
        if (size_ == inPlace_.size()) spilled_.assign(inPlace_.begin(), inPlace_.end());
        spilled_.push_back(corner);
        ++size_;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int32_t* data() { return size_ > inPlace_.size() ? spilled_.data() : inPlace_.data(); }
    const int32_t* data() const { return size_ > inPlace_.size() ? spilled_.data() : inPlace_.data(); }
    int32_t* begin() { return data(); }
    int32_t* end() { return data() + size_; }
    const int32_t* begin() const { return data(); }
    const int32_t* end() const { return data() + size_; }
    int32_t& operator[](std::size_t i) { return data()[i]; }
    const int32_t& operator[](std::size_t i) const { return data()[i]; }

    friend bool operator==(const FaceIndices& a, const FaceIndices& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator!=(const FaceIndices& a, const FaceIndices& b) { return !(a == b); }

private:
    std::array<int32_t, 3> inPlace_{};
    uint32_t size_ = 0;
    std::vector<int32_t> spilled_;  // every corner, once there are more than three
};

struct MeshFace {
    int32_t vertexCount = 0;
    FaceIndices indices;
};

// Where a merged vertex lies on one input model's surface: in triangle
// `triangle` of its faces, at weights[0] * corner 0 + weights[1] * corner 1 +
// weights[2] * corner 2. See MeshMergeResult for what the merge promises.
struct SurfaceLocation {
    int32_t triangle = -1;
    double weights[3] = {0.0, 0.0, 0.0};
};

// Merged vertices are numbered source vertices, target vertices, crossings.
// Folded vertices keep their slot; no edge or face refers to them.
struct MorphMesh {
    int32_t vertexCount = 0;
    int32_t edgeCount = 0;
    int32_t faceCount = 0;
    int32_t crossingCount = 0;         // vertices made where an edge of one model crosses one of the other
    std::vector<Vec3> endPositions;    // on the target, in its table coordinates
    std::vector<Vec3> startPositions;  // on the source, in its table coordinates
    Vec3 centre;                       // SphereCentre; the rebuild's reference point
    std::vector<IndexPair> edges;      // from < to, strictly ascending
    std::vector<MeshFace> faces;       // triangles, counter-clockwise seen from outside
    // By vertex, where it lies on source and on target (the robust merge's;
    // empty from the literal one).
    std::vector<SurfaceLocation> startLocations;
    std::vector<SurfaceLocation> endLocations;
    const Polyhedron* source = nullptr;  // shown at step 0
    const Polyhedron* target = nullptr;  // shown at the last step
};

}  // namespace vorlane
