// The common topology of an ordered pair of models.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// The corners of a face, in order. Up to three are held in place: a merge of
// real meshes makes millions of triangles, and one allocation each would
// cost more than the rest of building them. Past three, the same words hold
// a pointer to all the corners and their capacity, so a face record stays
// at 20 bytes: at a million triangles per mesh the faces are the largest
// table of the merge.
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
    // A triangle, without the list's loop.
    FaceIndices(int32_t a, int32_t b, int32_t c) : words_{a, b, c}, size_(3) {}
    FaceIndices(const FaceIndices& other) : size_(other.size_)
    {
        if (!Spilled()) {
            std::copy(other.words_, other.words_ + InPlace, words_);
            return;
        }
        Spill(size_);
        std::copy(other.begin(), other.end(), Heap());
    }
    FaceIndices(FaceIndices&& other) noexcept : size_(other.size_)
    {
        std::copy(other.words_, other.words_ + InPlace, words_);
        other.size_ = 0;
    }
    FaceIndices& operator=(FaceIndices other) noexcept
    {
        std::swap(size_, other.size_);
        std::swap(words_, other.words_);
        return *this;
    }
    ~FaceIndices()
    {
        if (Spilled()) delete[] Heap();
    }

    void push_back(int32_t corner)
    {
        if (size_ < InPlace) {
            words_[size_++] = corner;
            return;
        }
        if (size_ == InPlace) {
            const std::array<int32_t, InPlace> held{words_[0], words_[1], words_[2]};
            Spill(2 * InPlace);
            std::copy(held.begin(), held.end(), Heap());
        } else if (size_ == static_cast<uint32_t>(words_[2])) {
            int32_t* old = Heap();
            Spill(2 * size_);
            std::copy(old, old + size_, Heap());
            delete[] old;
        }
        Heap()[size_++] = corner;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int32_t* data() { return Spilled() ? Heap() : words_; }
    const int32_t* data() const { return Spilled() ? Heap() : words_; }
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
    static constexpr uint32_t InPlace = 3;
    bool Spilled() const { return size_ > InPlace; }
    int32_t* Heap() const
    {
        int32_t* heap = nullptr;
        std::memcpy(&heap, words_, sizeof heap);
        return heap;
    }
    // A fresh block of capacity corners; words_[2] keeps the capacity.
    void Spill(uint32_t capacity)
    {
        int32_t* heap = new int32_t[capacity];
        std::memcpy(words_, &heap, sizeof heap);
        words_[2] = static_cast<int32_t>(capacity);
    }

    int32_t words_[InPlace] = {0, 0, 0};
    uint32_t size_ = 0;
};

struct MeshFace {
    int32_t vertexCount = 0;
    FaceIndices indices;
};
static_assert(sizeof(MeshFace) == 20, "a face record grows every merged mesh's largest table");

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

    // Counts are the sizes of the tables they count; folded vertices are counted.
    int32_t vertexCount() const { return static_cast<int32_t>(startPositions.size()); }
    int32_t edgeCount() const { return static_cast<int32_t>(edges.size()); }
    int32_t faceCount() const { return static_cast<int32_t>(faces.size()); }
};

}  // namespace vorlane
