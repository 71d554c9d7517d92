#include "prepare/fill_holes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <vector>

#include "embed/mesh_topology.h"
#include "geometry/dvec3.h"
#include "prepare/edge_holders.h"

namespace vorlane {

namespace {

// By vertex, the open half-edge leaving it (-1 for none); pinched names a
// vertex that two leave, crowded an edge held by three triangles or more
// (the repair leaves one where its sheets still meet at a vertex).
std::vector<int32_t> OpenHalfEdges(const ModelTable& table, bool& any, int32_t& pinched, std::string& crowded)
{
    std::vector<int32_t> leaving(table.vertices.size(), -1);
    const auto holders = EdgeHolders(table.triangles, table.vertices.size());
    any = false;
    pinched = -1;
    ForEachEdge(holders, [&](int32_t u, int32_t v, std::size_t first, std::size_t count) {
        if (count > 2 && crowded.empty()) {
            crowded = "the mesh is not manifold: edge (" + std::to_string(u) + ", " + std::to_string(v) + ") is held by " +
                      std::to_string(count) + " triangles";
        }
        if (count != 1) return;
        const int32_t h = holders.items[first].second;
        int32_t& slot = leaving[static_cast<std::size_t>(HalfEdgeOrigin(table.triangles, h))];
        if (slot >= 0 && pinched < 0) pinched = HalfEdgeOrigin(table.triangles, h);
        slot = h;
        any = true;
    });
    return leaving;
}

D3 At(const ModelTable& table, int32_t v)
{
    const Vec3& p = table.vertices[static_cast<std::size_t>(v)];
    return {p.x, p.y, p.z};
}

struct Weight {
    int32_t flats = 0;
    double area = 0.0;
    bool operator<(const Weight& o) const { return flats != o.flats ? flats < o.flats : area < o.area; }
};

// Twice the area, and whether it is too small for its longest side to
// count as a triangle.
double DoubleArea(const D3& a, const D3& b, const D3& c, bool& flat)
{
    const double area = Norm(Cross(b - a, c - a));
    const double longest = std::max({Dot(b - a, b - a), Dot(c - b, c - b), Dot(a - c, a - c)});
    flat = !(area > 1e-6 * longest);
    return area;
}

uint64_t EdgeKey(int32_t a, int32_t b)
{
    const auto lo = static_cast<uint32_t>(std::min(a, b)), hi = static_cast<uint32_t>(std::max(a, b));
    return uint64_t{lo} << 32 | hi;
}

// The least-area triangulation of polygon q (edges q[i] -> q[i + 1]) that
// adds no edge in edges; false where every one has a flat triangle or
// reuses an edge.
bool LeastAreaPatch(const ModelTable& table, const std::vector<int32_t>& q, const std::unordered_set<uint64_t>& edges,
                    std::vector<Triangle>& patch)
{
    const std::size_t n = q.size();
    const double none = std::numeric_limits<double>::infinity();
    std::vector<Weight> best(n * n, Weight{0, none});
    std::vector<int32_t> split(n * n, -1);
    const auto usable = [&](std::size_t i, std::size_t k) {
        return k == i + 1 || (i == 0 && k == n - 1) || edges.count(EdgeKey(q[i], q[k])) == 0;
    };
    for (std::size_t i = 0; i + 1 < n; ++i) best[i * n + i + 1] = Weight{};
    for (std::size_t span = 2; span < n; ++span) {
        for (std::size_t i = 0; i + span < n; ++i) {
            const std::size_t k = i + span;
            if (!usable(i, k)) continue;
            for (std::size_t m = i + 1; m < k; ++m) {
                const Weight& left = best[i * n + m];
                const Weight& right = best[m * n + k];
                if (left.area == none || right.area == none) continue;
                bool flat = false;
                const double area = DoubleArea(At(table, q[i]), At(table, q[m]), At(table, q[k]), flat);
                const Weight w{left.flats + right.flats + (flat ? 1 : 0), left.area + right.area + area};
                if (w < best[i * n + k]) {
                    best[i * n + k] = w;
                    split[i * n + k] = static_cast<int32_t>(m);
                }
            }
        }
    }
    const Weight& whole = best[n - 1];
    if (whole.area == none || whole.flats > 0) return false;
    std::vector<std::pair<std::size_t, std::size_t>> pending{{0, n - 1}};
    while (!pending.empty()) {
        const auto [i, k] = pending.back();
        pending.pop_back();
        if (k < i + 2) continue;
        const auto m = static_cast<std::size_t>(split[i * n + k]);
        patch.push_back({q[i], q[m], q[k]});
        pending.push_back({m, k});
        pending.push_back({i, m});
    }
    return true;
}

bool CentroidFan(ModelTable& table, const std::vector<int32_t>& q, std::vector<Triangle>& patch)
{
    D3 sum{0, 0, 0};
    for (const int32_t v : q) sum = sum + At(table, v);
    const double n = static_cast<double>(q.size());
    const Vec3 centre{static_cast<float>(sum.x / n), static_cast<float>(sum.y / n), static_cast<float>(sum.z / n)};
    const D3 c{centre.x, centre.y, centre.z};
    for (std::size_t i = 0; i < q.size(); ++i) {
        bool flat = false;
        DoubleArea(At(table, q[i]), At(table, q[(i + 1) % q.size()]), c, flat);
        if (flat) return false;
    }
    const auto middle = static_cast<int32_t>(table.vertices.size());
    table.vertices.push_back(centre);
    for (std::size_t i = 0; i < q.size(); ++i) patch.push_back({q[i], q[(i + 1) % q.size()], middle});
    return true;
}

}  // namespace

HoleFilling FillHoles(ModelTable& table)
{
    HoleFilling result;
    bool any = false;
    int32_t pinched = -1;
    std::string crowded;
    std::vector<int32_t> open = OpenHalfEdges(table, any, pinched, crowded);
    if (!any) return result;
    // Rims through a crowded edge are no loops: traced, they gave holes of
    // one edge and patches that closed nothing.
    if (!crowded.empty()) {
        result.error = crowded;
        return result;
    }
    if (SplitPinchedVertices(table) > 0) open = OpenHalfEdges(table, any, pinched, crowded);
    if (pinched >= 0) {
        result.error = "the hole at vertex " + std::to_string(pinched) + " cannot be filled: its rim passes there twice";
        return result;
    }
    std::unordered_set<uint64_t> edges;
    edges.reserve(table.triangles.size() * 2);
    for (const Triangle& t : table.triangles)
        for (std::size_t k = 0; k < 3; ++k) edges.insert(EdgeKey(t[k], t[(k + 1) % 3]));
    std::vector<Triangle> patches;
    std::vector<int32_t> rim, q;
    for (std::size_t v = 0; v < open.size(); ++v) {
        if (open[v] < 0) continue;
        rim.clear();
        for (int32_t at = static_cast<int32_t>(v); open[static_cast<std::size_t>(at)] >= 0;) {
            const int32_t h = open[static_cast<std::size_t>(at)];
            open[static_cast<std::size_t>(at)] = -1;
            rim.push_back(at);
            at = HalfEdgeEnd(table.triangles, h);
        }
        // The mesh runs the rim one way; the patch runs it the other.
        q.assign(rim.rbegin(), rim.rend());
        std::vector<Triangle> patch;
        const bool exact = static_cast<int32_t>(q.size()) <= ExactPatchLimit && LeastAreaPatch(table, q, edges, patch);
        if (!exact) {
            patch.clear();
            if (!CentroidFan(table, q, patch)) {
                result.error = "the hole of " + std::to_string(q.size()) + " edges at vertex " + std::to_string(v) +
                               " cannot be filled: every patch would hold a flat triangle";
                return result;
            }
        }
        for (const Triangle& t : patch)
            for (std::size_t k = 0; k < 3; ++k) edges.insert(EdgeKey(t[k], t[(k + 1) % 3]));
        patches.insert(patches.end(), patch.begin(), patch.end());
        ++result.loops;
    }
    table.triangles.insert(table.triangles.end(), patches.begin(), patches.end());
    table.patchTriangles += static_cast<int32_t>(patches.size());
    return result;
}

}  // namespace vorlane
