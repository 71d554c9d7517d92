#include "io/gltf_compress.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorlane {

namespace {

using gltf::ArrayBuffer;
using gltf::Byte;
using gltf::ElementArrayBuffer;
using gltf::Float;
using gltf::Short;
using gltf::UnsignedInt;
// note: positions take at most half the 16-bit range, so that an offset,
// a difference of two of them, fits as well.
constexpr double HalfRange = 16383.0;

struct Frame {
    double centre[3];
    double step;
};

Frame FrameOf(const Vec3* start, const Vec3* end, std::size_t count)
{
    double lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<double>::infinity());
    std::fill(hi, hi + 3, -std::numeric_limits<double>::infinity());
    for (const Vec3* positions : {start, end}) {
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
    frame.step = half > 0.0 ? half / HalfRange : 1.0;
    return frame;
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

}  // namespace

double QuantisationStep(const Vec3* start, const Vec3* end, std::size_t count) { return FrameOf(start, end, count).step; }

EncodedMorph EncodeMorph(const std::vector<uint32_t>& corners, const Vec3* start, const Vec3* end, const std::vector<Vec3>& startNormals,
                         const std::vector<Vec3>& endNormals)
{
    const std::size_t count = startNormals.size();
    const Frame frame = FrameOf(start, end, count);
    EncodedMorph out;
    out.document.quantized = true;
    std::copy(frame.centre, frame.centre + 3, out.document.translation);
    out.document.scale = frame.step;

    // note: triangles in vertex-cache order compress far better; the
    // vertices keep their order, so offsets still pair with positions.
    std::vector<uint32_t> ordered(corners.size());
    meshopt_optimizeVertexCache(ordered.data(), corners.data(), corners.size(), count);
    std::vector<unsigned char> indices(meshopt_encodeIndexBufferBound(ordered.size(), count));
    meshopt_encodeIndexVersion(1);
    indices.resize(meshopt_encodeIndexBuffer(indices.data(), indices.size(), ordered.data(), ordered.size()));
    AddEncoded(out, std::move(indices), ordered.size(), 4, "TRIANGLES", ElementArrayBuffer, UnsignedInt, "SCALAR", false);

    meshopt_encodeVertexVersion(0);
    std::vector<Short4> positions(count), offsets(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double a[3] = {start[i].x, start[i].y, start[i].z};
        const double b[3] = {end[i].x, end[i].y, end[i].z};
        for (int k = 0; k < 3; ++k) {
            const long qa = std::lround((a[k] - frame.centre[k]) / frame.step);
            const long qb = std::lround((b[k] - frame.centre[k]) / frame.step);
            positions[i].c[k] = static_cast<int16_t>(qa);
            offsets[i].c[k] = static_cast<int16_t>(qb - qa);
        }
        positions[i].c[3] = offsets[i].c[3] = 0;
    }
    AddEncoded(out, EncodeVertices(positions), count, 8, "ATTRIBUTES", ArrayBuffer, Short, "VEC3", false);
    IntegerBounds(positions, out.document.accessors.back());

    std::vector<Byte4> normals(count);
    std::vector<Vec3> normalOffsets(count);
    for (std::size_t i = 0; i < count; ++i) {
        normals[i] = NormalBytes(startNormals[i]);
        const Byte4 e = NormalBytes(endNormals[i]);
        normalOffsets[i] = {(e.c[0] - normals[i].c[0]) / 127.0f, (e.c[1] - normals[i].c[1]) / 127.0f, (e.c[2] - normals[i].c[2]) / 127.0f};
    }
    AddEncoded(out, EncodeVertices(normals), count, 4, "ATTRIBUTES", ArrayBuffer, Byte, "VEC3", true);
    AddEncoded(out, EncodeVertices(offsets), count, 8, "ATTRIBUTES", ArrayBuffer, Short, "VEC3", false);
    IntegerBounds(offsets, out.document.accessors.back());
    AddEncoded(out, EncodeVertices(normalOffsets), count, 12, "ATTRIBUTES", ArrayBuffer, Float, "VEC3", false);
    for (const std::vector<unsigned char>& blob : out.blobs) out.pieces.push_back({blob.data(), blob.size()});
    return out;
}

}  // namespace vorlane
