#include "merge/flat_repair.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vorlane::flat_repair {

void CollapseInto(TriangleConnectivity& net, int32_t going, int32_t stays, std::vector<std::size_t>& changed)
{
    // note: the walk reads only twins, which stay as they were till the
    // next round's join, so the corners can change under it.
    VisitOutgoing(net, going, [&](int32_t h) {
        Triangle& u = At(net.triangles, h / 3);
        changed.push_back(static_cast<std::size_t>(h / 3));
        if (std::find(u.begin(), u.end(), stays) != u.end()) {
            u = {-1, -1, -1};
        } else {
            std::replace(u.begin(), u.end(), going, stays);
        }
    });
}

namespace {

bool SameAtBothEnds(const MorphMesh& mesh, int32_t a, int32_t b)
{
    return At(mesh.startPositions, a) == At(mesh.startPositions, b) && At(mesh.endPositions, a) == At(mesh.endPositions, b);
}

// The link condition, and more than a tetrahedron's valences: a tetrahedron
// has nothing to lose.
bool LinkAllowsCollapse(const TriangleConnectivity& net, int32_t a, int32_t b, NeighbourMarks& marks)
{
    const SharedNeighbours link = CountSharedNeighbours(net, a, b, marks);
    return link.shared == 2 && link.valence > 6;
}

// Whether side a b can go without pinching the surface, and nothing near
// changed this round.
bool Collapsible(const TriangleConnectivity& net, const std::vector<char>& touched, NeighbourMarks& marks, int32_t a,
                 int32_t b)
{
    if (At(touched, a) || At(touched, b)) return false;
    bool near = false;
    const auto look = [&](int32_t h) { near = near || At(touched, Destination(net, h)); };
    if (!VisitOutgoing(net, a, look) || !VisitOutgoing(net, b, look) || near) return false;
    return LinkAllowsCollapse(net, a, b, marks);
}

}  // namespace

// Collapses edges whose ends coincide at both ends; rep maps each vertex to
// the one it became. Nothing moves, so no other triangle changes shape.
// A triangle with such a side has no area, so only the flat ones and those
// changed since are looked at, in order as a pass over all would; one
// changed in a round has every corner touched and waits for the next.
int32_t CollapseCoincident(const MorphMesh& mesh, TriangleConnectivity& net, Reach& reach, std::vector<int32_t>& rep,
                           const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed)
{
    int32_t collapsed = 0;
    NeighbourMarks marks;
    std::vector<std::size_t> candidates = flat;
    for (int round = 0; round < Rounds; ++round) {
        if (round > 0) {
            candidates = changed;
            candidates.insert(candidates.end(), flat.begin(), flat.end());
            std::sort(candidates.begin(), candidates.end());
            candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        }
        // Only the ends of coincident sides are asked about.
        std::vector<int32_t> wanted;
        for (const std::size_t index : candidates) {
            const Triangle& t = net.triangles[index];
            if (t[0] < 0) continue;
            for (int i = 0; i < 3; ++i) {
                const int32_t a = At(t, i), b = At(t, (i + 1) % 3);
                if (!SameAtBothEnds(mesh, a, b)) continue;
                wanted.push_back(a);
                wanted.push_back(b);
            }
        }
        if (wanted.empty()) break;
        reach.Connect(net, wanted);
        std::vector<char> touched(rep.size(), 0);
        int32_t now = 0;
        for (const std::size_t index : candidates) {
            const Triangle& t = net.triangles[index];
            if (t[0] < 0) continue;
            for (int i = 0; i < 3 && t[0] >= 0; ++i) {
                const int32_t a = At(t, i), b = At(t, (i + 1) % 3);
                if (At(touched, a) || At(touched, b) || !SameAtBothEnds(mesh, a, b)) continue;
                if (!LinkAllowsCollapse(net, a, b, marks)) continue;
                MarkAround(net, a, touched);
                MarkAround(net, b, touched);
                At(rep, b) = a;
                CollapseInto(net, b, a, changed);
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
int32_t CollapseShortSides(const Ends& ends, TriangleConnectivity& net, Reach& reach, std::vector<int32_t>& rep,
                           std::vector<std::size_t>& flat)
{
    int32_t collapsed = 0;
    NeighbourMarks marks;
    std::vector<std::size_t> changed;
    for (int round = 0; round < Rounds; ++round) {
        if (round > 0) flat = FlatAgain(ends, net.triangles, flat, changed);
        if (flat.empty()) break;
        reach.Connect(net, CornersOf(net.triangles, flat));
        std::vector<char> touched(rep.size(), 0);
        int32_t now = 0;
        // Whether going can move into stays with no triangle around it
        // turned over at either end, and none left flat (strict) or no more
        // flat than before, counting the two that go (not strict: a vertex
        // fewer, and another flat triangle to mend next round).
        const auto sound = [&](int32_t going, int32_t stays, bool strict) {
            int flatBefore = 0, flatAfter = 0;
            bool keeps = true;
            VisitOutgoing(net, going, [&](int32_t h) {
                const Triangle& u = At(net.triangles, h / 3);
                if (!keeps) return;
                flatBefore += FlatAtAnEnd(ends, u);
                if (std::find(u.begin(), u.end(), stays) != u.end()) return;
                Triangle moved = u;
                std::replace(moved.begin(), moved.end(), going, stays);
                flatAfter += FlatAtAnEnd(ends, moved);
                if (strict && flatAfter > 0) keeps = false;
                for (int end = 0; end < 2 && keeps; ++end) {
                    const std::vector<Vec3>& p = *ends.positions[end];
                    keeps = Dot(AreaVector(p, moved[0], moved[1], moved[2]), AreaVector(p, u[0], u[1], u[2])) > 0.0;
                }
            });
            return keeps && (strict || flatAfter <= flatBefore);
        };
        for (const std::size_t index : flat) {
            const Triangle& t = net.triangles[index];
            if (t[0] < 0) continue;
            const std::vector<Vec3>& at = *ends.positions[ends.Flat(0, t[0], t[1], t[2]) ? 0 : 1];
            std::array<std::pair<double, int>, 3> sidesByLength;
            for (int i = 0; i < 3; ++i) {
                const D3 d = Sub(ToD(At(at, At(t, (i + 1) % 3))), ToD(At(at, At(t, i))));
                At(sidesByLength, i) = {Dot(d, d), i};
            }
            std::sort(sidesByLength.begin(), sidesByLength.end());
            // note: a move that leaves a flat triangle behind is taken only
            // where no move leaves none; the count of flat ones never rises.
            int32_t going = -1, stays = -1;
            for (const bool strict : {true, false}) {
                for (const auto& [length, side] : sidesByLength) {
                    const int32_t a = At(t, side), b = At(t, (side + 1) % 3);
                    if (Collapsible(net, touched, marks, a, b)) {
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
            MarkAround(net, going, touched);
            MarkAround(net, stays, touched);
            At(rep, going) = stays;
            CollapseInto(net, going, stays, changed);
            ++now;
        }
        collapsed += now;
        if (now == 0) break;
    }
    if (!changed.empty()) flat = FlatAgain(ends, net.triangles, flat, changed);
    return collapsed;
}

}  // namespace vorlane::flat_repair
