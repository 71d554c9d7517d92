#include "prepare/weld_vertices.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "prepare/edge_holders.h"
#include "prepare/vertex_groups.h"

namespace vorlane {

namespace {

template <class T>
struct TripleHash {
    std::size_t operator()(const std::array<T, 3>& k) const
    {
        uint64_t h = static_cast<uint64_t>(k[0]) * 0x9E3779B97F4A7C15ull;
        h ^= (static_cast<uint64_t>(k[1]) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
        h ^= (static_cast<uint64_t>(k[2]) + 0x165667B19E3779F9ull) * 0x94D049BB133111EBull;
        return static_cast<std::size_t>(h ^ (h >> 31));
    }
};

std::array<uint32_t, 3> PositionKey(const Vec3& p)
{
    std::array<uint32_t, 3> key{};
    const float c[3] = {p.x + 0.0f, p.y + 0.0f, p.z + 0.0f};  // note: -0 becomes +0, which it equals.
    for (int k = 0; k < 3; ++k) std::memcpy(&key[static_cast<std::size_t>(k)], &c[k], sizeof(float));
    return key;
}

std::vector<int32_t> OpenEdgeVertices(const ModelTable& table)
{
    std::vector<char> open(table.vertices.size(), 0);
    const auto holders = EdgeHolders(table.triangles, table.vertices.size());
    ForEachEdge(holders, [&](int32_t u, int32_t v, std::size_t, std::size_t count) {
        if (count == 1) open[static_cast<std::size_t>(u)] = open[static_cast<std::size_t>(v)] = 1;
    });
    std::vector<int32_t> listed;
    for (std::size_t v = 0; v < open.size(); ++v)
        if (open[v]) listed.push_back(static_cast<int32_t>(v));
    return listed;
}

void JoinEqual(const ModelTable& table, const std::vector<int32_t>& candidates, std::vector<int32_t>& parent)
{
    std::unordered_map<std::array<uint32_t, 3>, int32_t, TripleHash<uint32_t>> first;
    first.reserve(candidates.size());
    for (const int32_t v : candidates) {
        const auto [at, fresh] = first.emplace(PositionKey(table.vertices[static_cast<std::size_t>(v)]), v);
        if (!fresh) JoinGroups(parent, at->second, v);
    }
}

void JoinNear(const ModelTable& table, const std::vector<int32_t>& candidates, double distance, std::vector<int32_t>& parent)
{
    Vec3 lo = table.vertices.front(), hi = lo;
    for (const Vec3& p : table.vertices) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    const double dx = double{hi.x} - lo.x, dy = double{hi.y} - lo.y, dz = double{hi.z} - lo.z;
    const double cell = distance * std::sqrt(dx * dx + dy * dy + dz * dz);
    // note: below a float step of the box, only equal positions are that near.
    if (!(cell > 0.0) || !std::isfinite(cell) || std::max({dx, dy, dz}) / cell > 1e12) {
        JoinEqual(table, candidates, parent);
        return;
    }
    using Cell = std::array<int64_t, 3>;
    const auto cellOf = [&](const Vec3& p) {
        return Cell{static_cast<int64_t>(std::floor((double{p.x} - lo.x) / cell)),
                    static_cast<int64_t>(std::floor((double{p.y} - lo.y) / cell)),
                    static_cast<int64_t>(std::floor((double{p.z} - lo.z) / cell))};
    };
    std::unordered_map<Cell, int32_t, TripleHash<int64_t>> head;
    head.reserve(candidates.size());
    std::vector<int32_t> next(candidates.size(), -1);
    const double limit = cell * cell;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Vec3& p = table.vertices[static_cast<std::size_t>(candidates[i])];
        const Cell c = cellOf(p);
        for (int64_t x = -1; x <= 1; ++x)
            for (int64_t y = -1; y <= 1; ++y)
                for (int64_t z = -1; z <= 1; ++z) {
                    const auto found = head.find(Cell{c[0] + x, c[1] + y, c[2] + z});
                    for (int32_t j = found == head.end() ? -1 : found->second; j >= 0; j = next[static_cast<std::size_t>(j)]) {
                        const Vec3& q = table.vertices[static_cast<std::size_t>(candidates[static_cast<std::size_t>(j)])];
                        const double ex = double{p.x} - q.x, ey = double{p.y} - q.y, ez = double{p.z} - q.z;
                        if (ex * ex + ey * ey + ez * ez <= limit) JoinGroups(parent, candidates[static_cast<std::size_t>(j)], candidates[i]);
                    }
                }
        int32_t& first = head.emplace(c, -1).first->second;
        next[i] = first;
        first = static_cast<int32_t>(i);
    }
}

}  // namespace

WeldResult WeldVertices(ModelTable& table, double distance)
{
    WeldResult result;
    const std::vector<int32_t> candidates = OpenEdgeVertices(table);
    if (candidates.size() < 2) return result;
    std::vector<int32_t> parent(table.vertices.size());
    std::iota(parent.begin(), parent.end(), 0);
    if (distance > 0.0) {
        JoinNear(table, candidates, distance, parent);
    } else {
        JoinEqual(table, candidates, parent);
    }
    for (const int32_t v : candidates) result.welded += GroupOf(parent, v) != v;
    if (result.welded == 0) return result;

    std::size_t kept = 0;
    for (const Triangle& t : table.triangles) {
        const Triangle joined{GroupOf(parent, t[0]), GroupOf(parent, t[1]), GroupOf(parent, t[2])};
        if (joined[0] != joined[1] && joined[1] != joined[2] && joined[2] != joined[0]) table.triangles[kept++] = joined;
    }
    table.triangles.resize(kept);
    std::vector<int32_t> slot(table.vertices.size(), -1);
    for (const Triangle& t : table.triangles)
        for (const int32_t c : t) slot[static_cast<std::size_t>(c)] = 0;
    std::size_t count = 0;
    for (std::size_t v = 0; v < slot.size(); ++v) {
        if (slot[v] < 0) continue;
        table.vertices[count] = table.vertices[v];
        slot[v] = static_cast<int32_t>(count++);
    }
    table.vertices.resize(count);
    for (Triangle& t : table.triangles)
        for (int32_t& c : t) c = slot[static_cast<std::size_t>(c)];
    result.renumbered.resize(slot.size());
    for (std::size_t v = 0; v < slot.size(); ++v) result.renumbered[v] = slot[static_cast<std::size_t>(GroupOf(parent, static_cast<int32_t>(v)))];
    return result;
}

std::vector<Vec3> CarriedOver(const std::vector<Vec3>& values, const std::vector<int32_t>& renumbered)
{
    if (renumbered.empty() || values.size() != renumbered.size()) return values;
    int32_t count = 0;
    for (const int32_t v : renumbered) count = std::max(count, v + 1);
    std::vector<Vec3> out(static_cast<std::size_t>(count));
    std::vector<char> set(out.size(), 0);
    for (std::size_t v = 0; v < renumbered.size(); ++v) {
        const int32_t to = renumbered[v];
        if (to < 0 || set[static_cast<std::size_t>(to)]) continue;
        set[static_cast<std::size_t>(to)] = 1;
        out[static_cast<std::size_t>(to)] = values[v];
    }
    return out;
}

void ComposeRenumbering(std::vector<int32_t>& first, const std::vector<int32_t>& then)
{
    if (then.empty()) return;
    for (int32_t& v : first)
        if (v >= 0) v = static_cast<std::size_t>(v) < then.size() ? then[static_cast<std::size_t>(v)] : -1;
}

}  // namespace vorlane
