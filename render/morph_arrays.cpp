#include "render/morph_arrays.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <utility>

#include "geometry/morph_step.h"

namespace vorlane {

namespace {

void AppendPlaced(std::vector<float>& out, const std::vector<Vec3>& points, const EndPlacement& placement)
{
    out.reserve(points.size() * 3);
    for (const Vec3& p : points) {
        out.push_back(static_cast<float>((static_cast<double>(p.x) - placement.centre.x) * placement.scale));
        out.push_back(static_cast<float>((static_cast<double>(p.y) - placement.centre.y) * placement.scale));
        out.push_back(static_cast<float>((static_cast<double>(p.z) - placement.centre.z) * placement.scale));
    }
}

}  // namespace

EndPlacement PlaceEnd(const std::vector<Vec3>& points)
{
    EndPlacement placement;
    if (points.empty()) return placement;
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Vec3& p : points) {
        const double xyz[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], xyz[i]);
            high[i] = std::max(high[i], xyz[i]);
        }
    }
    const double middle[3] = {(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2};
    placement.centre = Vec3{static_cast<float>(middle[0]), static_cast<float>(middle[1]), static_cast<float>(middle[2])};
    double farthest = 0.0;
    for (const Vec3& p : points) {
        const double dx = p.x - middle[0], dy = p.y - middle[1], dz = p.z - middle[2];
        farthest = std::max(farthest, dx * dx + dy * dy + dz * dz);
    }
    farthest = std::sqrt(farthest);
    if (farthest > 0.0 && std::isfinite(PlacedRadius / farthest))
        placement.scale = static_cast<float>(PlacedRadius / farthest);
    return placement;
}

MorphPlacement PlaceMorph(const std::vector<Vec3>& start, const std::vector<Vec3>& end)
{
    return MorphPlacement{PlaceEnd(start), PlaceEnd(end), Vec3{0.0f, FloorHeight + PlacedRadius, 0.0f}};
}

MorphArrays MakeMorphArrays(const std::vector<Vec3>& start, const std::vector<Vec3>& end,
                            const std::vector<Triangle>& triangles, const MorphPlacement& placement)
{
    assert(start.size() == end.size());
    MorphArrays arrays;
    arrays.vertexCount = static_cast<int32_t>(start.size());
    AppendPlaced(arrays.start, start, placement.start);
    AppendPlaced(arrays.end, end, placement.end);
    arrays.triangleCount = static_cast<int32_t>(triangles.size());
    arrays.triangles.reserve(triangles.size() * 3);
    std::vector<std::pair<uint32_t, uint32_t>> edges;
    edges.reserve(triangles.size() * 3);
    for (const Triangle& t : triangles) {
        for (int c = 0; c < 3; ++c) {
            assert(t[c] >= 0 && static_cast<std::size_t>(t[c]) < start.size());
            arrays.triangles.push_back(static_cast<uint32_t>(t[c]));
            const uint32_t a = static_cast<uint32_t>(t[c]);
            const uint32_t b = static_cast<uint32_t>(t[(c + 1) % 3]);
            if (a != b) edges.emplace_back(std::min(a, b), std::max(a, b));
        }
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    arrays.edgeCount = static_cast<int32_t>(edges.size());
    arrays.edges.reserve(edges.size() * 2);
    for (const auto& [a, b] : edges) {
        arrays.edges.push_back(a);
        arrays.edges.push_back(b);
    }
    return arrays;
}

void EvaluateMorphFrame(const MorphArrays& arrays, int32_t step, MorphFrame& frame)
{
    if (frame.step == step) return;
    const std::size_t n = static_cast<std::size_t>(arrays.vertexCount);
    frame.positions.resize(n * 3);
    for (std::size_t v = 0; v < n; ++v) {
        const float* s = &arrays.start[3 * v];
        const float* e = &arrays.end[3 * v];
        const Vec3 p = MorphPosition(Vec3{s[0], s[1], s[2]}, Vec3{e[0], e[1], e[2]}, step);
        frame.positions[3 * v] = p.x;
        frame.positions[3 * v + 1] = p.y;
        frame.positions[3 * v + 2] = p.z;
    }
    // Summed in float: shading wants a direction, not exact arithmetic.
    frame.normals.assign(n * 3, 0.0f);
    const float* p = frame.positions.data();
    for (std::size_t t = 0; t + 2 < arrays.triangles.size(); t += 3) {
        const uint32_t a = arrays.triangles[t], b = arrays.triangles[t + 1], c = arrays.triangles[t + 2];
        const float u[3] = {p[3 * b] - p[3 * a], p[3 * b + 1] - p[3 * a + 1], p[3 * b + 2] - p[3 * a + 2]};
        const float w[3] = {p[3 * c] - p[3 * a], p[3 * c + 1] - p[3 * a + 1], p[3 * c + 2] - p[3 * a + 2]};
        const float normal[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        for (const uint32_t corner : {a, b, c}) {
            for (int i = 0; i < 3; ++i) frame.normals[3 * corner + static_cast<std::size_t>(i)] += normal[i];
        }
    }
    for (std::size_t v = 0; v < n; ++v) {
        float* normal = &frame.normals[3 * v];
        const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        if (!(length > 0.0f) || !std::isfinite(length)) {
            normal[0] = normal[1] = normal[2] = 0.0f;
            continue;
        }
        for (int i = 0; i < 3; ++i) normal[i] /= length;
    }
    frame.step = step;
}

}  // namespace vorlane
