#include "io/gltf_compress.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace vorlane {

namespace {

using gltf::ArrayBuffer;
using gltf::Byte;
using gltf::ElementArrayBuffer;
using gltf::Float;
using gltf::Short;
using gltf::UnsignedInt;
// note: on one grid for both ends, positions take at most half the 16-bit
// range, so that an offset, a difference of two of them, fits as well.
constexpr double HalfRange = 16383.0;
// A grid for the start alone, its offsets in float, takes all of it.
constexpr double FullRange = 32767.0;

struct Frame {
    double centre[3];
    double step;
};

Frame FrameOf(std::initializer_list<const Vec3*> ends, std::size_t count, double range)
{
    double lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<double>::infinity());
    std::fill(hi, hi + 3, -std::numeric_limits<double>::infinity());
    for (const Vec3* positions : ends) {
        for (std::size_t i = 0; i < count; ++i) {
            const double c[3] = {positions[i].x, positions[i].y, positions[i].z};
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], c[k]);
                hi[k] = std::max(hi[k], c[k]);
            }
        }
    }
    Frame frame{};
    double half = 0.0;
    for (int k = 0; k < 3; ++k) {
        frame.centre[k] = count > 0 ? (lo[k] + hi[k]) / 2.0 : 0.0;
        half = std::max(half, count > 0 ? (hi[k] - lo[k]) / 2.0 : 0.0);
    }
    frame.step = half > 0.0 ? half / range : 1.0;
    return frame;
}

// Where a viewer puts a local point: the node's scale and translation, read
// as floats, applied in float.
Vec3 Placed(const Frame& frame, float x, float y, float z)
{
    const float s = static_cast<float>(frame.step);
    return {s * x + static_cast<float>(frame.centre[0]), s * y + static_cast<float>(frame.centre[1]),
            s * z + static_cast<float>(frame.centre[2])};
}

// True when some triangle with area in the input has none as shown.
bool FlattensSome(const std::vector<uint32_t>& corners, const Vec3* input, const std::vector<Vec3>& shown)
{
    const double inputBelow = FlatBelow(input, shown.size()), shownBelow = FlatBelow(shown.data(), shown.size());
    for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
        const uint32_t a = corners[t], b = corners[t + 1], c = corners[t + 2];
        if (!(DoubleArea(shown[a], shown[b], shown[c]) >= shownBelow) && DoubleArea(input[a], input[b], input[c]) >= inputBelow) return true;
    }
    return false;
}

// Adds a view of count elements of stride bytes, encoded, and its accessor.
void AddEncoded(EncodedMorph& out, std::vector<unsigned char> encoded, uint64_t count, int stride, const char* mode, int target,
                int componentType, const char* type, bool normalized)
{
    GltfDocument& document = out.document;
    GltfView view;
    view.buffer = 1;
    view.byteOffset = document.fallbackLength;
    view.byteLength = count * static_cast<uint64_t>(stride);
    view.byteStride = target == ElementArrayBuffer ? 0 : stride;
    view.target = target;
    view.meshoptMode = mode;
    view.meshoptStride = stride;
    view.meshoptCount = count;
    view.meshoptOffset = document.binaryLength;
    view.meshoptLength = encoded.size();
    document.fallbackLength += (view.byteLength + 3) / 4 * 4;
    document.binaryLength += (encoded.size() + 3) / 4 * 4;
    document.views.push_back(view);
    GltfAccessor accessor;
    accessor.view = static_cast<int>(document.views.size() - 1);
    accessor.componentType = componentType;
    accessor.count = count;
    accessor.type = type;
    accessor.normalized = normalized;
    document.accessors.push_back(accessor);
    out.blobs.push_back(std::move(encoded));
}

template <class T>
std::vector<unsigned char> EncodeVertices(const std::vector<T>& items)
{
    std::vector<unsigned char> encoded(meshopt_encodeVertexBufferBound(items.size(), sizeof(T)));
    encoded.resize(meshopt_encodeVertexBuffer(encoded.data(), encoded.size(), items.data(), items.size(), sizeof(T)));
    return encoded;
}

struct Short4 {
    int16_t c[4];
};
struct Byte4 {
    int8_t c[4];
};

Byte4 NormalBytes(const Vec3& n)
{
    auto q = [](float v) { return static_cast<int8_t>(std::clamp(std::lround(v * 127.0f), -127L, 127L)); };
    return {{q(n.x), q(n.y), q(n.z), 0}};
}

void IntegerBounds(const std::vector<Short4>& items, GltfAccessor& accessor)
{
    accessor.min.assign(3, 32767.0);
    accessor.max.assign(3, -32768.0);
    for (const Short4& item : items) {
        for (std::size_t k = 0; k < 3; ++k) {
            accessor.min[k] = std::min(accessor.min[k], static_cast<double>(item.c[k]));
            accessor.max[k] = std::max(accessor.max[k], static_cast<double>(item.c[k]));
        }
    }
}

// The positions and offsets as stored, and where a viewer shows the end.
struct Layout {
    bool quantised = true;  // positions as shorts on frame, else floats as given (frame the identity)
    Frame frame{};
    std::vector<Short4> positions, offsets;
    std::vector<Vec3> floatPositions, floatOffsets;  // floatOffsets empty: offsets as shorts
    EndError endError;
    bool flattens = false;  // the end as shown turns some triangle flat
};

int16_t Grid(double value, const Frame& frame, int k) { return static_cast<int16_t>(std::lround((value - frame.centre[k]) / frame.step)); }

// Both ends on one grid, offsets as shorts, where that grid holds each end
// within its own step and flattens no triangle; else the start on a grid of
// its own (or in float, where that grid would flatten some triangle) with
// offsets in float, which hold the end as well as a plain file does.
Layout LayOut(const std::vector<uint32_t>& corners, const Vec3* start, const Vec3* end, std::size_t count)
{
    Layout layout;
    std::vector<Vec3> shownStart(count), shownEnd(count);
    layout.frame = FrameOf({start, end}, count, HalfRange);
    if (layout.frame.step / 2.0 <= std::min(EndGridStep(start, count), EndGridStep(end, count))) {
        layout.positions.resize(count);
        layout.offsets.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            Short4& q = layout.positions[i];
            Short4& d = layout.offsets[i];
            for (int k = 0; k < 3; ++k) {
                q.c[k] = Grid((&start[i].x)[k], layout.frame, k);
                d.c[k] = static_cast<int16_t>(Grid((&end[i].x)[k], layout.frame, k) - q.c[k]);
            }
            q.c[3] = d.c[3] = 0;
            shownStart[i] = Placed(layout.frame, q.c[0], q.c[1], q.c[2]);
            shownEnd[i] = Placed(layout.frame, static_cast<float>(q.c[0]) + d.c[0], static_cast<float>(q.c[1]) + d.c[1],
                                 static_cast<float>(q.c[2]) + d.c[2]);
        }
        if (FlattensSome(corners, start, shownStart) || FlattensSome(corners, end, shownEnd)) layout.positions.clear();
    }
    if (layout.positions.empty()) {
        layout.offsets.clear();
        layout.frame = FrameOf({start}, count, FullRange);
        layout.positions.resize(count);
        layout.floatOffsets.resize(count);
        bool held = true;
        for (std::size_t i = 0; i < count; ++i) {
            Short4& q = layout.positions[i];
            for (int k = 0; k < 3; ++k) {
                q.c[k] = Grid((&start[i].x)[k], layout.frame, k);
                const double d = ((&end[i].x)[k] - layout.frame.centre[k]) / layout.frame.step - q.c[k];
                (&layout.floatOffsets[i].x)[k] = static_cast<float>(d);
                held = held && std::isfinite((&layout.floatOffsets[i].x)[k]);
            }
            q.c[3] = 0;
            shownStart[i] = Placed(layout.frame, q.c[0], q.c[1], q.c[2]);
        }
        if (!held || FlattensSome(corners, start, shownStart)) {
            layout.quantised = false;
            layout.positions.clear();
            layout.frame = Frame{{0.0, 0.0, 0.0}, 1.0};
            layout.floatPositions.assign(start, start + count);
            for (std::size_t i = 0; i < count; ++i) {
                for (int k = 0; k < 3; ++k)
                    (&layout.floatOffsets[i].x)[k] = static_cast<float>(static_cast<double>((&end[i].x)[k]) - (&start[i].x)[k]);
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            const Vec3& d = layout.floatOffsets[i];
            if (layout.quantised) {
                const Short4& q = layout.positions[i];
                shownEnd[i] = Placed(layout.frame, q.c[0] + d.x, q.c[1] + d.y, q.c[2] + d.z);
            } else {
                shownEnd[i] = Vec3{start[i].x + d.x, start[i].y + d.y, start[i].z + d.z};
            }
        }
    }
    const double tolerance = EndTolerance(end, count);
    for (std::size_t i = 0; i < count; ++i) AddEndError(layout.endError, shownEnd[i], end[i], tolerance);
    layout.flattens = !layout.floatOffsets.empty() && FlattensSome(corners, end, shownEnd);
    return layout;
}

}  // namespace

double QuantisationStep(const Vec3* start, const Vec3* end, std::size_t count) { return FrameOf({start, end}, count, HalfRange).step; }

EncodedMorph EncodeMorph(const std::vector<uint32_t>& corners, const Vec3* start, const Vec3* end, const std::vector<Vec3>& startNormals,
                         const std::vector<Vec3>& endNormals)
{
    const std::size_t count = startNormals.size();
    EncodedMorph out;

    // note: triangles in vertex-cache order compress far better; the
    // vertices keep their order, so offsets still pair with positions.
    std::vector<uint32_t> ordered(corners.size());
    meshopt_optimizeVertexCache(ordered.data(), corners.data(), corners.size(), count);
    std::vector<unsigned char> indices(meshopt_encodeIndexBufferBound(ordered.size(), count));
    meshopt_encodeIndexVersion(1);
    indices.resize(meshopt_encodeIndexBuffer(indices.data(), indices.size(), ordered.data(), ordered.size()));
    AddEncoded(out, std::move(indices), ordered.size(), 4, "TRIANGLES", ElementArrayBuffer, UnsignedInt, "SCALAR", false);

    meshopt_encodeVertexVersion(0);
    Layout layout = LayOut(ordered, start, end, count);
    if (layout.endError.vertices > 0 || layout.flattens) {
        // note: a float offset holds what it adds to as well as float does,
        // so the smaller shape as the base comes back whole, and the larger
        // as exactly as its own floats; the mesh then rests at weight 1.
        Layout reversed = LayOut(ordered, end, start, count);
        if (reversed.endError.vertices == 0 && !reversed.flattens) {
            layout = std::move(reversed);
            out.document.reversed = true;
        }
    }
    const std::vector<Vec3>& baseNormals = out.document.reversed ? endNormals : startNormals;
    const std::vector<Vec3>& otherNormals = out.document.reversed ? startNormals : endNormals;
    out.endError = layout.endError;
    out.document.quantized = layout.quantised;
    std::copy(layout.frame.centre, layout.frame.centre + 3, out.document.translation);
    out.document.scale = layout.frame.step;
    if (layout.quantised) {
        AddEncoded(out, EncodeVertices(layout.positions), count, 8, "ATTRIBUTES", ArrayBuffer, Short, "VEC3", false);
        IntegerBounds(layout.positions, out.document.accessors.back());
    } else {
        AddEncoded(out, EncodeVertices(layout.floatPositions), count, 12, "ATTRIBUTES", ArrayBuffer, Float, "VEC3", false);
        FloatBounds(layout.floatPositions.data(), count, out.document.accessors.back());
    }

    std::vector<Byte4> normals(count);
    std::vector<Vec3> normalOffsets(count);
    for (std::size_t i = 0; i < count; ++i) {
        normals[i] = NormalBytes(baseNormals[i]);
        const Byte4 e = NormalBytes(otherNormals[i]);
        normalOffsets[i] = {(e.c[0] - normals[i].c[0]) / 127.0f, (e.c[1] - normals[i].c[1]) / 127.0f, (e.c[2] - normals[i].c[2]) / 127.0f};
    }
    AddEncoded(out, EncodeVertices(normals), count, 4, "ATTRIBUTES", ArrayBuffer, Byte, "VEC3", true);
    out.baseLocal.resize(count);
    out.baseNormals.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (layout.quantised) {
            const Short4& q = layout.positions[i];
            out.baseLocal[i] = {static_cast<float>(q.c[0]), static_cast<float>(q.c[1]), static_cast<float>(q.c[2])};
        } else {
            out.baseLocal[i] = layout.floatPositions[i];
        }
        out.baseNormals[i] = {normals[i].c[0] / 127.0f, normals[i].c[1] / 127.0f, normals[i].c[2] / 127.0f};
    }
    if (layout.floatOffsets.empty()) {
        AddEncoded(out, EncodeVertices(layout.offsets), count, 8, "ATTRIBUTES", ArrayBuffer, Short, "VEC3", false);
        IntegerBounds(layout.offsets, out.document.accessors.back());
    } else {
        AddEncoded(out, EncodeVertices(layout.floatOffsets), count, 12, "ATTRIBUTES", ArrayBuffer, Float, "VEC3", false);
        FloatBounds(layout.floatOffsets.data(), count, out.document.accessors.back());
    }
    AddEncoded(out, EncodeVertices(normalOffsets), count, 12, "ATTRIBUTES", ArrayBuffer, Float, "VEC3", false);
    for (const std::vector<unsigned char>& blob : out.blobs) out.pieces.push_back({blob.data(), blob.size()});
    return out;
}

void EncodeMiddles(EncodedMorph& out, const std::vector<std::vector<Vec3>>& middles, const std::vector<std::vector<Vec3>>& normals,
                   GltfDocument& document, std::vector<GltfPiece>& pieces)
{
    out.document = std::move(document);
    const std::size_t firstBlob = out.blobs.size();
    const double* centre = out.document.translation;
    const double step = out.document.scale;
    out.document.middleAccessor = static_cast<int>(out.document.accessors.size());
    for (std::size_t k = 0; k < middles.size(); ++k) {
        const std::size_t count = middles[k].size();
        std::vector<Vec3> offsets(count), normalOffsets(count);
        for (std::size_t i = 0; i < count; ++i) {
            for (int c = 0; c < 3; ++c) {
                const double local = ((&middles[k][i].x)[c] - centre[c]) / step;
                (&offsets[i].x)[c] = static_cast<float>(local - (&out.baseLocal[i].x)[c]);
                (&normalOffsets[i].x)[c] = (&normals[k][i].x)[c] - (&out.baseNormals[i].x)[c];
            }
        }
        AddEncoded(out, EncodeVertices(offsets), count, 12, "ATTRIBUTES", ArrayBuffer, Float, "VEC3", false);
        FloatBounds(offsets.data(), count, out.document.accessors.back());
        AddEncoded(out, EncodeVertices(normalOffsets), count, 12, "ATTRIBUTES", ArrayBuffer, Float, "VEC3", false);
    }
    for (std::size_t b = firstBlob; b < out.blobs.size(); ++b) pieces.push_back({out.blobs[b].data(), out.blobs[b].size()});
    document = std::move(out.document);
}

}  // namespace vorlane
