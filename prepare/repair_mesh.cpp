#include "prepare/repair_mesh.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <queue>
#include <utility>
#include <vector>

#include "geometry/dvec3.h"
#include "prepare/edge_holders.h"
#include "prepare/vertex_groups.h"

namespace vorlane {

namespace {

int32_t DropDuplicates(ModelTable& table)
{
    std::vector<std::pair<Triangle, int32_t>> keyed(table.triangles.size());
    for (std::size_t t = 0; t < table.triangles.size(); ++t) {
        Triangle key = table.triangles[t];
        std::sort(key.begin(), key.end());
        keyed[t] = {key, static_cast<int32_t>(t)};
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<char> drop(table.triangles.size(), 0);
    int32_t dropped = 0;
    for (std::size_t i = 1; i < keyed.size(); ++i) {
        if (keyed[i].first != keyed[i - 1].first) continue;
        drop[static_cast<std::size_t>(keyed[i].second)] = 1;
        ++dropped;
    }
    if (dropped == 0) return 0;
    std::size_t kept = 0;
    for (std::size_t t = 0; t < table.triangles.size(); ++t)
        if (!drop[t]) table.triangles[kept++] = table.triangles[t];
    table.triangles.resize(kept);
    return dropped;
}

D3 Position(const ModelTable& table, int32_t v)
{
    const Vec3& p = table.vertices[static_cast<std::size_t>(v)];
    return {p.x, p.y, p.z};
}

// Pairs of half-edges around crowded edge (u, v) that bound one wedge of a
// solid: a triangle running u to v faces the side counter-clockwise from it
// about u -> v, so its partner is the next triangle clockwise, which must
// run v to u.
void PairAroundEdge(const ModelTable& table, int32_t u, int32_t v, const std::pair<int32_t, int32_t>* holders,
                    std::size_t count, std::vector<std::pair<int32_t, int32_t>>& pairs)
{
    const D3 a = Position(table, u);
    const D3 axis = Position(table, v) - a;
    const D3 seed = std::fabs(axis.x) <= std::fabs(axis.y) && std::fabs(axis.x) <= std::fabs(axis.z) ? D3{1, 0, 0}
                    : std::fabs(axis.y) <= std::fabs(axis.z)                                         ? D3{0, 1, 0}
                                                                                                    : D3{0, 0, 1};
    const D3 b1 = Cross(axis, seed);
    const D3 b2 = Cross(axis, b1);
    struct Around {
        double angle;
        int32_t halfEdge;
        bool forward;  // runs u to v
    };
    std::vector<Around> ring;
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t h = holders[i].second;
        const int32_t across = HalfEdgeEnd(table.triangles, h - h % 3 + (h % 3 + 1) % 3);
        const D3 w = Position(table, across) - a;
        // note: b1, b2, axis are right-handed, so angles grow counter-clockwise.
        ring.push_back({std::atan2(Dot(w, b2), Dot(w, b1)), h, HalfEdgeOrigin(table.triangles, h) == u});
    }
    std::stable_sort(ring.begin(), ring.end(), [](const Around& x, const Around& y) { return x.angle < y.angle; });
    for (std::size_t i = 0; i < ring.size(); ++i) {
        if (!ring[i].forward) continue;
        const Around& before = ring[(i + ring.size() - 1) % ring.size()];
        if (!before.forward) pairs.push_back({ring[i].halfEdge, before.halfEdge});
    }
}

int32_t SplitCrowdedEdges(ModelTable& table)
{
    const auto holders = EdgeHolders(table.triangles, table.vertices.size());
    int32_t crowded = 0;
    std::vector<std::pair<int32_t, int32_t>> joined;
    ForEachEdge(holders, [&](int32_t u, int32_t v, std::size_t first, std::size_t count) {
        if (count == 2) joined.push_back({holders.items[first].second, holders.items[first + 1].second});
        if (count < 3) return;
        ++crowded;
        PairAroundEdge(table, u, v, holders.items.data() + first, count, joined);
    });
    if (crowded == 0) return 0;
    // Corners (by half-edge leaving them) at one vertex are one fan where a
    // joined edge lies between them.
    const auto corners = static_cast<int32_t>(table.triangles.size() * 3);
    std::vector<int32_t> parent(static_cast<std::size_t>(corners));
    std::iota(parent.begin(), parent.end(), 0);
    const auto next = [](int32_t h) { return h - h % 3 + (h % 3 + 1) % 3; };
    for (const auto& [g, h] : joined) {
        const bool opposite = HalfEdgeOrigin(table.triangles, g) != HalfEdgeOrigin(table.triangles, h);
        // g runs a to b; h runs b to a (opposite) or a to b.
        JoinGroups(parent, g, opposite ? next(h) : h);
        JoinGroups(parent, next(g), opposite ? h : next(h));
    }
    std::vector<int32_t> fanVertex(static_cast<std::size_t>(corners), -1);
    std::vector<char> taken(table.vertices.size(), 0);
    for (int32_t h = 0; h < corners; ++h) {
        int32_t& corner = table.triangles[static_cast<std::size_t>(h / 3)][static_cast<std::size_t>(h % 3)];
        int32_t& vertex = fanVertex[static_cast<std::size_t>(GroupOf(parent, h))];
        if (vertex < 0) {
            if (!taken[static_cast<std::size_t>(corner)]) {
                taken[static_cast<std::size_t>(corner)] = 1;
                vertex = corner;
            } else {
                vertex = static_cast<int32_t>(table.vertices.size());
                table.vertices.push_back(table.vertices[static_cast<std::size_t>(corner)]);
            }
        }
        corner = vertex;
    }
    return crowded;
}

// Turns triangles so that every edge held by two runs opposite ways in them.
int32_t OrientPieces(ModelTable& table, std::string& error)
{
    const auto holders = EdgeHolders(table.triangles, table.vertices.size());
    struct Link {
        int32_t other;
        bool same;  // the two run the edge the same way
    };
    const std::size_t n = table.triangles.size();
    std::vector<std::vector<Link>> links(n);
    bool sameWay = false;
    ForEachEdge(holders, [&](int32_t, int32_t, std::size_t first, std::size_t count) {
        if (count != 2) return;
        const int32_t g = holders.items[first].second, h = holders.items[first + 1].second;
        const bool same = HalfEdgeOrigin(table.triangles, g) == HalfEdgeOrigin(table.triangles, h);
        sameWay = sameWay || same;
        links[static_cast<std::size_t>(g / 3)].push_back({h / 3, same});
        links[static_cast<std::size_t>(h / 3)].push_back({g / 3, same});
    });
    if (!sameWay) return 0;
    std::vector<int8_t> turn(n, -1);
    std::vector<int32_t> piece;
    int32_t flipped = 0;
    for (std::size_t start = 0; start < n; ++start) {
        if (turn[start] >= 0) continue;
        piece.clear();
        turn[start] = 0;
        piece.push_back(static_cast<int32_t>(start));
        for (std::size_t k = 0; k < piece.size(); ++k) {
            const auto t = static_cast<std::size_t>(piece[k]);
            for (const Link& link : links[t]) {
                const auto o = static_cast<std::size_t>(link.other);
                const int8_t want = static_cast<int8_t>(turn[t] ^ (link.same ? 1 : 0));
                if (turn[o] < 0) {
                    turn[o] = want;
                    piece.push_back(link.other);
                } else if (turn[o] != want && error.empty()) {
                    const Triangle& a = table.triangles[t];
                    const Triangle& b = table.triangles[o];
                    int32_t ends[2] = {-1, -1}, found = 0;
                    for (const int32_t c : a)
                        if (found < 2 && std::find(b.begin(), b.end(), c) != b.end()) ends[found++] = c;
                    error = "the mesh is one-sided (it cannot be oriented): the triangles at edge (" +
                            std::to_string(std::min(ends[0], ends[1])) + ", " + std::to_string(std::max(ends[0], ends[1])) +
                            ") cannot both face out";
                }
            }
        }
        std::size_t turned = 0;
        for (const int32_t t : piece) turned += turn[static_cast<std::size_t>(t)];
        const int8_t flip = 2 * turned > piece.size() ? 0 : 1;
        for (const int32_t t : piece) {
            if (turn[static_cast<std::size_t>(t)] != flip) continue;
            Triangle& tri = table.triangles[static_cast<std::size_t>(t)];
            std::swap(tri[1], tri[2]);
            ++flipped;
        }
    }
    return flipped;
}

}  // namespace

RepairReport RepairMesh(ModelTable& table)
{
    RepairReport report;
    report.duplicates = DropDuplicates(table);
    report.splitEdges = SplitCrowdedEdges(table);
    report.flipped = OrientPieces(table, report.error);
    return report;
}

}  // namespace vorlane
