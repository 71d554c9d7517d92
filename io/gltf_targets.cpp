#include "io/gltf_targets.h"

#include <cassert>

#include "io/gltf_colour.h"
#include "io/morph_normals.h"

namespace vorlane {

using gltf::ArrayBuffer;
using gltf::Float;

void AddPlain(GltfDocument& document, uint64_t bytes, int target, int componentType, uint64_t count, const char* type)
{
    GltfView view;
    view.byteOffset = document.binaryLength;
    view.byteLength = bytes;
    view.target = target;
    document.views.push_back(view);
    document.binaryLength += bytes;
    GltfAccessor accessor;
    accessor.view = static_cast<int>(document.views.size() - 1);
    accessor.componentType = componentType;
    accessor.count = count;
    accessor.type = type;
    document.accessors.push_back(accessor);
}

void AddAnimation(GltfDocument& document, std::vector<GltfPiece>& pieces)
{
    const int count = document.middleTargets + 1;
    const int keys = 2 * count + 1;
    document.animationTimes.resize(static_cast<std::size_t>(keys));
    document.animationWeights.assign(static_cast<std::size_t>(keys * count), 0.0f);
    for (int j = 0; j < keys; ++j) {
        document.animationTimes[static_cast<std::size_t>(j)] = static_cast<float>(MorphAnimationSeconds * j / (2.0 * count));
        const int pose = j <= count ? j : 2 * count - j;
        int shown = pose - 1;
        if (document.reversed) shown = pose == 0 ? count - 1 : pose == count ? -1 : pose - 1;
        if (shown >= 0) document.animationWeights[static_cast<std::size_t>(j * count + shown)] = 1.0f;
    }
    const uint64_t timeBytes = document.animationTimes.size() * sizeof(float);
    const uint64_t weightBytes = document.animationWeights.size() * sizeof(float);
    AddPlain(document, timeBytes, 0, Float, static_cast<uint64_t>(keys), "SCALAR");
    document.accessors.back().min = {document.animationTimes.front()};
    document.accessors.back().max = {document.animationTimes.back()};
    AddPlain(document, weightBytes, 0, Float, static_cast<uint64_t>(keys * count), "SCALAR");
    pieces.push_back({document.animationTimes.data(), timeBytes});
    pieces.push_back({document.animationWeights.data(), weightBytes});
}

MiddleTargets MakeMiddles(const std::vector<std::vector<Vec3>>& middles, const Vec3* base, const std::vector<Vec3>& baseNormals,
                          const MorphIndices& ix)
{
    MiddleTargets out;
    for (const std::vector<Vec3>& middle : middles) {
        const std::vector<Vec3> normals = AreaWeightedNormals(middle, ix.vertices, ix.vertexCount, ix.corners);
        std::vector<Vec3> offsets(ix.vertexCount), normalOffsets(ix.vertexCount);
        for (std::size_t i = 0; i < ix.vertexCount; ++i) {
            const Vec3& p = middle[ix.vertices.empty() ? i : static_cast<std::size_t>(ix.vertices[i])];
            offsets[i] = {static_cast<float>(static_cast<double>(p.x) - base[i].x), static_cast<float>(static_cast<double>(p.y) - base[i].y),
                          static_cast<float>(static_cast<double>(p.z) - base[i].z)};
            normalOffsets[i] = {normals[i].x - baseNormals[i].x, normals[i].y - baseNormals[i].y, normals[i].z - baseNormals[i].z};
        }
        out.offsets.push_back(std::move(offsets));
        out.normalOffsets.push_back(std::move(normalOffsets));
    }
    return out;
}

std::vector<Vec3> UsedOnly(const std::vector<Vec3>& positions, const MorphIndices& ix)
{
    if (ix.vertices.empty()) return positions;
    std::vector<Vec3> out;
    out.reserve(ix.vertexCount);
    for (int32_t v : ix.vertices) out.push_back(positions[static_cast<std::size_t>(v)]);
    return out;
}

void AddMiddles(GltfDocument& document, std::vector<GltfPiece>& pieces, const MiddleTargets& middles)
{
    assert(document.middleTargets == static_cast<int>(middles.offsets.size()));
    document.middleAccessor = static_cast<int>(document.accessors.size());
    for (std::size_t k = 0; k < middles.offsets.size(); ++k) {
        const std::size_t n = middles.offsets[k].size();
        AddPlain(document, n * sizeof(Vec3), ArrayBuffer, Float, n, "VEC3");
        FloatBounds(middles.offsets[k].data(), n, document.accessors.back());
        AddPlain(document, n * sizeof(Vec3), ArrayBuffer, Float, n, "VEC3");
        pieces.push_back({middles.offsets[k].data(), n * sizeof(Vec3)});
        pieces.push_back({middles.normalOffsets[k].data(), n * sizeof(Vec3)});
    }
}

void AddColours(GltfDocument& document, std::vector<GltfPiece>& pieces, const MorphColours& colours,
                const std::vector<int32_t>& vertices, std::size_t count, ColourTargets& arrays)
{
    const std::vector<Vec3>& base = document.reversed ? colours.end : colours.start;
    const std::vector<Vec3>& other = document.reversed ? colours.start : colours.end;
    const auto linear = [](const Vec3& c) {
        return Vec3{static_cast<float>(gltf_colour::ToLinear(c.x)), static_cast<float>(gltf_colour::ToLinear(c.y)),
                    static_cast<float>(gltf_colour::ToLinear(c.z))};
    };
    arrays.colours.resize(count);
    arrays.colourOffsets.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t v = vertices.empty() ? i : static_cast<std::size_t>(vertices[i]);
        const Vec3 a = linear(base[v]), b = linear(other[v]);
        arrays.colours[i] = a;
        arrays.colourOffsets[i] = Vec3{b.x - a.x, b.y - a.y, b.z - a.z};
    }
    const uint64_t vectors = count * sizeof(Vec3);
    document.colourAccessor = static_cast<int>(document.accessors.size());
    AddPlain(document, vectors, ArrayBuffer, Float, count, "VEC3");
    AddPlain(document, vectors, ArrayBuffer, Float, count, "VEC3");
    pieces.push_back({arrays.colours.data(), vectors});
    pieces.push_back({arrays.colourOffsets.data(), vectors});
    // An in-between's colour lies as far along as the in-between does.
    const int targets = document.middleTargets + 1;
    arrays.middleColourOffsets.resize(static_cast<std::size_t>(document.middleTargets));
    for (int k = 0; k < document.middleTargets; ++k) {
        std::vector<Vec3>& offsets = arrays.middleColourOffsets[static_cast<std::size_t>(k)];
        const float share = static_cast<float>(k + 1) / static_cast<float>(targets);
        for (const Vec3& d : arrays.colourOffsets) offsets.push_back({share * d.x, share * d.y, share * d.z});
        AddPlain(document, vectors, ArrayBuffer, Float, offsets.size(), "VEC3");
        pieces.push_back({offsets.data(), vectors});
    }
    document.coloured = true;
}

}  // namespace vorlane
