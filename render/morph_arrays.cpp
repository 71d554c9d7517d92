#include "render/morph_arrays.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "geometry/by_vertex.h"
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

// Distinct sides of the triangles, two indices an edge, in ascending order:
// each side filed under its lower end.
void CollectEdges(MorphArrays& arrays)
{
    ByVertex<uint32_t> higher(static_cast<std::size_t>(arrays.vertexCount), [&](auto visit) {
        for (std::size_t t = 0; t + 2 < arrays.triangles.size(); t += 3) {
            for (std::size_t c = 0; c < 3; ++c) {
                const uint32_t a = arrays.triangles[t + c];
                const uint32_t b = arrays.triangles[t + (c + 1) % 3];
                if (a != b) visit(std::min(a, b), std::max(a, b));
            }
        }
    });
    higher.Unique();
    arrays.edges.clear();
    arrays.edges.reserve(2 * higher.items.size());
    for (std::size_t v = 0; v + 1 < higher.first.size(); ++v) {
        for (std::size_t k = higher.first[v]; k < higher.first[v + 1]; ++k) {
            arrays.edges.push_back(static_cast<uint32_t>(v));
            arrays.edges.push_back(higher.items[k]);
        }
    }
    arrays.edgeCount = static_cast<int32_t>(arrays.edges.size() / 2);
}

// Which cube of side cell a placed coordinate falls in, as 10 bits. Placed
// shapes lie within PlacedRadius of the origin, so cells from PlacedRadius /
// 256 up fit; anything beyond shares the outermost cells.
uint64_t CellBits(float coordinate, float cell)
{
    const double index = std::floor(static_cast<double>(coordinate) / cell);
    return static_cast<uint64_t>(std::clamp(index, -512.0, 511.0) + 512.0);
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
                            const std::vector<Triangle>& triangles, const MorphPlacement& placement,
                            const std::vector<std::vector<Vec3>>* steps)
{
    assert(start.size() == end.size());
    MorphArrays arrays;
    arrays.vertexCount = static_cast<int32_t>(start.size());
    AppendPlaced(arrays.start, start, placement.start);
    AppendPlaced(arrays.end, end, placement.end);
    if (steps && !steps->empty()) {
        assert(steps->size() == static_cast<std::size_t>(MorphSteps) + 1);
        for (std::size_t k = 0; k < steps->size(); ++k) {
            const double t = static_cast<double>(k) / MorphSteps;
            const EndPlacement& a = placement.start;
            const EndPlacement& b = placement.end;
            EndPlacement at;
            at.centre = {static_cast<float>(a.centre.x + t * (static_cast<double>(b.centre.x) - a.centre.x)),
                         static_cast<float>(a.centre.y + t * (static_cast<double>(b.centre.y) - a.centre.y)),
                         static_cast<float>(a.centre.z + t * (static_cast<double>(b.centre.z) - a.centre.z))};
            at.scale = static_cast<float>(std::exp((1.0 - t) * std::log(a.scale) + t * std::log(b.scale)));
            if (k == 0) at = a;
            if (k == steps->size() - 1) at = b;
            arrays.steps.emplace_back();
            AppendPlaced(arrays.steps.back(), (*steps)[k], at);
        }
    }
    arrays.triangleCount = static_cast<int32_t>(triangles.size());
    arrays.triangles.reserve(triangles.size() * 3);
    for (const Triangle& t : triangles) {
        for (int c = 0; c < 3; ++c) {
            assert(t[c] >= 0 && static_cast<std::size_t>(t[c]) < start.size());
            arrays.triangles.push_back(static_cast<uint32_t>(t[c]));
        }
    }
    CollectEdges(arrays);
    return arrays;
}

namespace {

// Each vertex's cluster at cell, named by its first vertex; returns how many.
std::size_t Clusters(const MorphArrays& arrays, float cell, std::vector<uint32_t>& first)
{
    assert(cell > 0.0f);
    const std::size_t n = static_cast<std::size_t>(arrays.vertexCount);
    // The six cell indices, start and end, in one 60-bit key.
    std::vector<std::pair<uint64_t, uint32_t>> keyed(n);
    for (std::size_t v = 0; v < n; ++v) {
        uint64_t key = 0;
        for (std::size_t i = 0; i < 3; ++i) key = key << 10 | CellBits(arrays.start[3 * v + i], cell);
        for (std::size_t i = 0; i < 3; ++i) key = key << 10 | CellBits(arrays.end[3 * v + i], cell);
        keyed[v] = {key, static_cast<uint32_t>(v)};
    }
    std::sort(keyed.begin(), keyed.end());
    first.resize(n);
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++count) {
        std::size_t j = i;
        while (j < n && keyed[j].first == keyed[i].first) ++j;
        for (std::size_t k = i; k < j; ++k) first[keyed[k].second] = keyed[i].second;
        i = j;
    }
    return count;
}

// The arrays with each vertex replaced by the first of its cluster.
MorphArrays Clustered(const MorphArrays& arrays, const std::vector<uint32_t>& first)
{
    const std::size_t n = static_cast<std::size_t>(arrays.vertexCount);

    // Triangles of three clusters, each once, whichever corner comes first.
    std::vector<std::array<uint32_t, 3>> kept;
    kept.reserve(arrays.triangles.size() / 3);
    for (std::size_t t = 0; t + 2 < arrays.triangles.size(); t += 3) {
        const uint32_t a = first[arrays.triangles[t]];
        const uint32_t b = first[arrays.triangles[t + 1]];
        const uint32_t c = first[arrays.triangles[t + 2]];
        if (a == b || b == c || c == a) continue;
        if (a < b && a < c) {
            kept.push_back({a, b, c});
        } else if (b < c) {
            kept.push_back({b, c, a});
        } else {
            kept.push_back({c, a, b});
        }
    }
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());

    // Only the vertices the kept triangles use, in their old order.
    constexpr uint32_t Unused = UINT32_MAX;
    std::vector<uint32_t> renumber(n, Unused);
    for (const auto& triangle : kept) {
        for (const uint32_t v : triangle) renumber[v] = 0;
    }
    MorphArrays coarse;
    for (std::size_t v = 0; v < n; ++v) {
        if (renumber[v] == Unused) continue;
        renumber[v] = static_cast<uint32_t>(coarse.vertexCount++);
        coarse.start.insert(coarse.start.end(), &arrays.start[3 * v], &arrays.start[3 * v] + 3);
        coarse.end.insert(coarse.end.end(), &arrays.end[3 * v], &arrays.end[3 * v] + 3);
        if (arrays.startColours.empty()) continue;
        coarse.startColours.insert(coarse.startColours.end(), &arrays.startColours[3 * v], &arrays.startColours[3 * v] + 3);
        coarse.endColours.insert(coarse.endColours.end(), &arrays.endColours[3 * v], &arrays.endColours[3 * v] + 3);
    }
    coarse.steps.resize(arrays.steps.size());
    for (std::size_t k = 0; k < arrays.steps.size(); ++k) {
        for (std::size_t v = 0; v < n; ++v)
            if (renumber[v] != Unused) coarse.steps[k].insert(coarse.steps[k].end(), &arrays.steps[k][3 * v], &arrays.steps[k][3 * v] + 3);
    }
    coarse.triangleCount = static_cast<int32_t>(kept.size());
    coarse.triangles.reserve(kept.size() * 3);
    for (const auto& triangle : kept) {
        for (const uint32_t v : triangle) coarse.triangles.push_back(renumber[v]);
    }
    return coarse;
}

}  // namespace

MorphArrays ClusterMorphArrays(const MorphArrays& arrays, float cell)
{
    std::vector<uint32_t> first;
    Clusters(arrays, cell, first);
    return Clustered(arrays, first);
}

MorphArrays CoarseMorphArrays(const MorphArrays& arrays)
{
    if (arrays.triangleCount <= CoarseMorphTriangles) return MorphArrays{};
    std::vector<uint32_t> first;
    for (float cell = PlacedRadius / 256.0f;; cell *= 2.0f) {
        // A closed surface of k vertices has about 2k triangles: only a
        // cell that may do is tried in full.
        if (Clusters(arrays, cell, first) * 2 > static_cast<std::size_t>(CoarseMorphTriangles) * 11 / 10) continue;
        MorphArrays coarse = Clustered(arrays, first);
        if (coarse.triangleCount <= CoarseMorphTriangles) return coarse;
    }
}

namespace {

// Each of count points of start and end (x, y, z each) at step of the morph.
void BlendAtStep(const std::vector<float>& start, const std::vector<float>& end, std::size_t count, int32_t step,
                 std::vector<float>& out)
{
    out.resize(count * 3);
    for (std::size_t v = 0; v < count; ++v) {
        const float* s = &start[3 * v];
        const float* e = &end[3 * v];
        const Vec3 p = MorphPosition(Vec3{s[0], s[1], s[2]}, Vec3{e[0], e[1], e[2]}, step);
        out[3 * v] = p.x;
        out[3 * v + 1] = p.y;
        out[3 * v + 2] = p.z;
    }
}

}  // namespace

void EvaluateMorphFrame(const MorphArrays& arrays, int32_t step, MorphFrame& frame)
{
    if (frame.step == step) return;
    const std::size_t n = static_cast<std::size_t>(arrays.vertexCount);
    // note: a path's positions are placed already.
    if (!arrays.steps.empty()) frame.positions = arrays.steps[static_cast<std::size_t>(std::clamp(step, 0, MorphSteps))];
    else BlendAtStep(arrays.start, arrays.end, n, step, frame.positions);
    BlendAtStep(arrays.startColours, arrays.endColours, arrays.startColours.empty() ? 0 : n, step, frame.colours);
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
