#include "merge/flat_repair.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vorlane::flat_repair {

void CollapseInto(std::vector<Corners>& triangles, ListSpan goingHolds, int32_t going, int32_t stays,
                  std::vector<std::size_t>& changed)
{
    for (int32_t k : goingHolds) {
        Corners& u = triangles[static_cast<std::size_t>(k)];
        if (u[0] < 0) continue;
        changed.push_back(static_cast<std::size_t>(k));
        if (std::find(u.begin(), u.end(), stays) != u.end()) {
            u = {-1, -1, -1};
        } else {
            std::replace(u.begin(), u.end(), going, stays);
        }
    }
}

namespace {

bool SameAtBothEnds(const MorphMesh& mesh, int32_t a, int32_t b)
{
    return mesh.startPositions[static_cast<std::size_t>(a)] == mesh.startPositions[static_cast<std::size_t>(b)] &&
           mesh.endPositions[static_cast<std::size_t>(a)] == mesh.endPositions[static_cast<std::size_t>(b)];
}

// Whether side a b can go without pinching the surface: its ends share
// exactly the two neighbours across it, and nothing near changed this round.
bool Collapsible(const VertexLists& around, const std::vector<char>& touched, int32_t a, int32_t b)
{
    const ListSpan na = around[static_cast<std::size_t>(a)];
    const ListSpan nb = around[static_cast<std::size_t>(b)];
    if (touched[static_cast<std::size_t>(a)] || touched[static_cast<std::size_t>(b)]) return false;
    for (int32_t v : na)
        if (touched[static_cast<std::size_t>(v)]) return false;
    for (int32_t v : nb)
        if (touched[static_cast<std::size_t>(v)]) return false;
    std::vector<int32_t> common;
    std::set_intersection(na.begin(), na.end(), nb.begin(), nb.end(), std::back_inserter(common));
    return common.size() == 2 && na.size() + nb.size() > 6;
}

}  // namespace

// Collapses edges whose ends coincide at both ends; rep maps each vertex to
// the one it became. Nothing moves, so no other triangle changes shape.
// A triangle with such a side has no area, so only the flat ones and those
// changed since are looked at, in order as a pass over all would; one
// changed in a round has every corner touched and waits for the next.
int32_t CollapseCoincident(const MorphMesh& mesh, std::vector<Corners>& triangles, Reach& reach, std::vector<int32_t>& rep,
                           const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed)
{
    int32_t collapsed = 0;
    std::vector<std::size_t> candidates = flat;
    for (int round = 0; round < Rounds; ++round) {
        if (round > 0) {
            candidates = changed;
            candidates.insert(candidates.end(), flat.begin(), flat.end());
            std::sort(candidates.begin(), candidates.end());
            candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        }
        // Only the ends of coincident sides are asked about.
        std::vector<char> wanted(rep.size(), 0);
        bool any = false;
        for (const std::size_t index : candidates) {
            const Corners& t = triangles[index];
            if (t[0] < 0) continue;
            for (int i = 0; i < 3; ++i) {
                const int32_t a = t[static_cast<std::size_t>(i)], b = t[static_cast<std::size_t>((i + 1) % 3)];
                if (!SameAtBothEnds(mesh, a, b)) continue;
                wanted[static_cast<std::size_t>(a)] = wanted[static_cast<std::size_t>(b)] = 1;
                any = true;
            }
        }
        if (!any) break;
        const VertexLists around = Neighbours(triangles, reach, wanted);
        const VertexLists holding = Holding(triangles, reach, wanted);
        std::vector<char> touched(rep.size(), 0);
        int32_t now = 0;
        for (const std::size_t index : candidates) {
            Corners& t = triangles[index];
            if (t[0] < 0) continue;
            for (int i = 0; i < 3 && t[0] >= 0; ++i) {
                const int32_t a = t[static_cast<std::size_t>(i)], b = t[static_cast<std::size_t>((i + 1) % 3)];
                if (touched[static_cast<std::size_t>(a)] || touched[static_cast<std::size_t>(b)] || !SameAtBothEnds(mesh, a, b)) continue;
                const ListSpan na = around[static_cast<std::size_t>(a)];
                const ListSpan nb = around[static_cast<std::size_t>(b)];
                std::vector<int32_t> common;
                std::set_intersection(na.begin(), na.end(), nb.begin(), nb.end(), std::back_inserter(common));
                // note: more shared neighbours would pinch the surface; a tetrahedron has nothing to lose.
                if (common.size() != 2 || na.size() + nb.size() <= 6) continue;
                for (int32_t v : na) touched[static_cast<std::size_t>(v)] = 1;
                for (int32_t v : nb) touched[static_cast<std::size_t>(v)] = 1;
                touched[static_cast<std::size_t>(a)] = touched[static_cast<std::size_t>(b)] = 1;
                rep[static_cast<std::size_t>(b)] = a;
                CollapseInto(triangles, holding[static_cast<std::size_t>(b)], b, a, changed);
                ++now;
            }
        }
        collapsed += now;
        if (now == 0) break;
    }
    return collapsed;
}

// Collapses a side (the shortest that can go) of each triangle still flat into one of its
// ends, where every triangle around the end that goes keeps some area and
// its facing at both ends of the morph. The kept end stays on both
// surfaces; the triangles around it change by less than the side's length.
int32_t CollapseShortSides(const Ends& ends, std::vector<Corners>& triangles, Reach& reach, std::vector<int32_t>& rep,
                           std::vector<std::size_t>& flat)
{
    int32_t collapsed = 0;
    std::vector<std::size_t> changed;
    for (int round = 0; round < Rounds; ++round) {
        if (round > 0) flat = FlatAgain(ends, triangles, flat, changed);
        if (flat.empty()) break;
        const std::vector<char> wanted = CornersOf(triangles, flat, rep.size());
        const VertexLists around = Neighbours(triangles, reach, wanted);
        const VertexLists holding = Holding(triangles, reach, wanted);
        std::vector<char> touched(rep.size(), 0);
        int32_t now = 0;
        // Whether going can move into stays with no triangle around it
        // turned over at either end, and none left flat (strict) or no more
        // flat than before, counting the two that go (not strict: a vertex
        // fewer, and another flat triangle to mend next round).
        const auto sound = [&](int32_t going, int32_t stays, bool strict) {
            int flatBefore = 0, flatAfter = 0;
            for (int32_t k : holding[static_cast<std::size_t>(going)]) {
                const Corners& u = triangles[static_cast<std::size_t>(k)];
                flatBefore += FlatAtAnEnd(ends, u);
                if (std::find(u.begin(), u.end(), stays) != u.end()) continue;
                Corners moved = u;
                std::replace(moved.begin(), moved.end(), going, stays);
                flatAfter += FlatAtAnEnd(ends, moved);
                if (strict && flatAfter > 0) return false;
                for (int end = 0; end < 2; ++end) {
                    const std::vector<Vec3>& p = *ends.positions[end];
                    if (!(Dot(AreaVector(p, moved[0], moved[1], moved[2]), AreaVector(p, u[0], u[1], u[2])) > 0.0)) return false;
                }
            }
            return strict || flatAfter <= flatBefore;
        };
        for (const std::size_t index : flat) {
            Corners& t = triangles[index];
            if (t[0] < 0) continue;
            const std::vector<Vec3>& at = *ends.positions[ends.Flat(0, t[0], t[1], t[2]) ? 0 : 1];
            std::array<std::pair<double, int>, 3> sidesByLength;
            for (int i = 0; i < 3; ++i) {
                const D3 d = Sub(ToD(at[static_cast<std::size_t>(t[static_cast<std::size_t>((i + 1) % 3)])]), ToD(at[static_cast<std::size_t>(t[static_cast<std::size_t>(i)])]));
                sidesByLength[static_cast<std::size_t>(i)] = {Dot(d, d), i};
            }
            std::sort(sidesByLength.begin(), sidesByLength.end());
            // note: a move that leaves a flat triangle behind is taken only
            // where no move leaves none; the count of flat ones never rises.
            int32_t going = -1, stays = -1;
            for (const bool strict : {true, false}) {
                for (const auto& [length, side] : sidesByLength) {
                    const int32_t a = t[static_cast<std::size_t>(side)], b = t[static_cast<std::size_t>((side + 1) % 3)];
                    if (Collapsible(around, touched, a, b)) {
                        if (sound(b, a, strict)) {
                            going = b, stays = a;
                        } else if (sound(a, b, strict)) {
                            going = a, stays = b;
                        }
                    }
                    if (going >= 0) break;
                }
                if (going >= 0) break;
            }
            if (going < 0) continue;
            const ListSpan na = around[static_cast<std::size_t>(going)];
            const ListSpan nb = around[static_cast<std::size_t>(stays)];
            for (int32_t v : na) touched[static_cast<std::size_t>(v)] = 1;
            for (int32_t v : nb) touched[static_cast<std::size_t>(v)] = 1;
            rep[static_cast<std::size_t>(going)] = stays;
            CollapseInto(triangles, holding[static_cast<std::size_t>(going)], going, stays, changed);
            ++now;
        }
        collapsed += now;
        if (now == 0) break;
    }
    if (!changed.empty()) flat = FlatAgain(ends, triangles, flat, changed);
    return collapsed;
}

}  // namespace vorlane::flat_repair
