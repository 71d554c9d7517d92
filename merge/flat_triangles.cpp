#include "merge/flat_triangles.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "base/two_halves.h"
#include "geometry/by_vertex.h"
#include "geometry/dvec3.h"

namespace vorlane {
namespace {

using Corners = std::array<int32_t, 3>;

constexpr double FlatShare = 1e-12;
constexpr int Rounds = 8;

double SquaredDiagonal(const std::vector<Vec3>& points)
{
    if (points.empty()) return 0.0;
    D3 lo = ToD(points.front()), hi = lo;
    for (const Vec3& p : points) {
        lo = {std::min(lo.x, double{p.x}), std::min(lo.y, double{p.y}), std::min(lo.z, double{p.z})};
        hi = {std::max(hi.x, double{p.x}), std::max(hi.y, double{p.y}), std::max(hi.z, double{p.z})};
    }
    const D3 d = Sub(hi, lo);
    return Dot(d, d);
}

// Twice the area vector of a triangle at one end, from its float corners.
D3 AreaVector(const std::vector<Vec3>& at, int32_t a, int32_t b, int32_t c)
{
    const D3 p = ToD(at[static_cast<std::size_t>(a)]);
    return Cross(Sub(ToD(at[static_cast<std::size_t>(b)]), p), Sub(ToD(at[static_cast<std::size_t>(c)]), p));
}

struct Ends {
    const std::vector<Vec3>* positions[2];
    double limit[2];  // the squared length of the area vector below which a triangle is flat

    explicit Ends(const MorphMesh& mesh)
        : positions{&mesh.startPositions, &mesh.endPositions},
          limit{FlatShare * SquaredDiagonal(mesh.startPositions), FlatShare * SquaredDiagonal(mesh.endPositions)}
    {
        for (double& l : limit) l *= l;
    }

    bool Flat(int end, int32_t a, int32_t b, int32_t c) const
    {
        const D3 n = AreaVector(*positions[end], a, b, c);
        return !(Dot(n, n) > limit[end]);
    }
};

// The triangles a repair can reach, as a list kept beside the mesh: those
// around a region of vertices, the corners of flat triangles asked about so
// far. A flip or collapse changes only triangles around such corners, so a
// triangle around a vertex of the region either was so when the list was
// made or changed since, and is listed either way. Lists by vertex are then
// made from these few thousand triangles, not from the millions of the
// whole mesh.
class Reach {
public:
    explicit Reach(std::size_t vertexCount) : inside_(vertexCount, 0) {}

    // Triangles holding every wanted vertex, and others; the whole mesh is
    // scanned again only when a wanted vertex lies outside the region.
    const std::vector<int32_t>& Around(const std::vector<Corners>& triangles, const std::vector<char>& wanted)
    {
        bool outside = false;
        for (std::size_t v = 0; v < wanted.size(); ++v) {
            if (wanted[v] && !inside_[v]) inside_[v] = 1, outside = true;
        }
        if (!outside) return listed_;
        slot_.assign(inside_.size(), -1);
        slots_ = 0;
        for (std::size_t v = 0; v < inside_.size(); ++v) {
            if (inside_[v]) slot_[v] = slots_++;
        }
        listed_.clear();
        for (std::size_t t = 0; t < triangles.size(); ++t) {
            const Corners& c = triangles[t];
            if (c[0] >= 0 && (inside_[static_cast<std::size_t>(c[0])] || inside_[static_cast<std::size_t>(c[1])] ||
                              inside_[static_cast<std::size_t>(c[2])]))
                listed_.push_back(static_cast<int32_t>(t));
        }
        return listed_;
    }

    // Vertices of the region are numbered from 0, the others -1, so lists
    // by vertex cost what the region holds, not what the mesh does. The
    // numbers change as the region grows: lists live for one round.
    int32_t Slot(std::size_t v) const { return slot_[v]; }
    std::size_t Slots() const { return static_cast<std::size_t>(slots_); }

private:
    std::vector<char> inside_;
    std::vector<int32_t> slot_;
    int32_t slots_ = 0;
    std::vector<int32_t> listed_;
};

// Lists of numbers by vertex in two flat tables, built without one
// allocation per vertex: a repair runs over meshes of millions, and lists
// only the vertices it asks about, those of a few flat triangles.
struct ListSpan {
    const int32_t* first;
    const int32_t* last;
    const int32_t* begin() const { return first; }
    const int32_t* end() const { return last; }
    std::size_t size() const { return static_cast<std::size_t>(last - first); }
};

class VertexLists {
public:
    ListSpan operator[](std::size_t v) const
    {
        const int32_t slot = reach_.Slot(v);
        if (slot < 0) return {nullptr, nullptr};
        const std::size_t s = static_cast<std::size_t>(slot);
        return {lists_.Data(s), lists_.Data(s) + lists_.Size(s)};
    }

    // Each triangle's corner i, where wanted, lists what add(corner, i)
    // names, sorted; without repeats when unique is set. Other vertices'
    // lists are empty.
    template <class Add>
    VertexLists(const std::vector<Corners>& triangles, Reach& reach, const std::vector<char>& wanted, bool unique, Add add)
        : reach_(reach), lists_(File(triangles, reach.Around(triangles, wanted), reach, wanted, add))
    {
        if (unique) lists_.Unique();
    }

private:
    template <class Add>
    static ByVertex<int32_t> File(const std::vector<Corners>& triangles, const std::vector<int32_t>& listed, const Reach& reach,
                                  const std::vector<char>& wanted, Add add)
    {
        return ByVertex<int32_t>(reach.Slots(), [&](auto visit) {
            for (const int32_t t : listed) {
                const Corners& c = triangles[static_cast<std::size_t>(t)];
                if (c[0] < 0) continue;
                for (int i = 0; i < 3; ++i) {
                    const std::size_t v = static_cast<std::size_t>(c[static_cast<std::size_t>(i)]);
                    if (wanted[v]) visit(static_cast<std::size_t>(reach.Slot(v)), add(t, i));
                }
            }
        });
    }

    const Reach& reach_;
    ByVertex<int32_t> lists_;
};

// Neighbours of the wanted vertices, for the link condition of a collapse.
VertexLists Neighbours(const std::vector<Corners>& triangles, Reach& reach, const std::vector<char>& wanted)
{
    return VertexLists(triangles, reach, wanted, true, [&](int32_t t, int i) {
        return triangles[static_cast<std::size_t>(t)][static_cast<std::size_t>((i + 1) % 3)];
    });
}

// The triangles around the wanted vertices.
VertexLists Holding(const std::vector<Corners>& triangles, Reach& reach, const std::vector<char>& wanted)
{
    return VertexLists(triangles, reach, wanted, false, [](int32_t t, int) { return t; });
}

// The corners of the listed triangles, as a mask over the vertices.
std::vector<char> CornersOf(const std::vector<Corners>& triangles, const std::vector<std::size_t>& listed,
                            std::size_t vertexCount)
{
    std::vector<char> wanted(vertexCount, 0);
    for (const std::size_t t : listed) {
        for (const int32_t v : triangles[t]) {
            if (v >= 0) wanted[static_cast<std::size_t>(v)] = 1;
        }
    }
    return wanted;
}

// Moves going into stays: the two triangles on their side go, the rest of
// going's take stays instead. going's list is as the round found it, since
// nothing around going changed before.
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

bool SameAtBothEnds(const MorphMesh& mesh, int32_t a, int32_t b)
{
    return mesh.startPositions[static_cast<std::size_t>(a)] == mesh.startPositions[static_cast<std::size_t>(b)] &&
           mesh.endPositions[static_cast<std::size_t>(a)] == mesh.endPositions[static_cast<std::size_t>(b)];
}

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

bool FlatAtAnEnd(const Ends& ends, const Corners& c)
{
    return c[0] >= 0 && (ends.Flat(0, c[0], c[1], c[2]) || ends.Flat(1, c[0], c[1], c[2]));
}

// The flat triangles again after a round: no vertex moves, so only the triangles
// the round changed can have turned flat or stopped being so.
std::vector<std::size_t> FlatAgain(const Ends& ends, const std::vector<Corners>& triangles,
                                   const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed)
{
    changed.insert(changed.end(), flat.begin(), flat.end());
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    std::vector<std::size_t> out;
    for (const std::size_t t : changed) {
        if (FlatAtAnEnd(ends, triangles[t])) out.push_back(t);
    }
    changed.clear();
    return out;
}

// Turns the longest side of each flat triangle where that helps; flat
// lists the flat triangles before and after.
int32_t FlipFlat(const MorphMesh& mesh, const Ends& ends, std::vector<Corners>& triangles, Reach& reach,
                 std::vector<IndexPair>& edges, std::vector<std::size_t>& flat)
{
    int32_t flipped = 0;
    std::vector<std::size_t> changed;
    std::vector<IndexPair> turned;
    for (int round = 0; round < Rounds; ++round) {
        if (round > 0) flat = FlatAgain(ends, triangles, flat, changed);
        if (flat.empty()) break;
        // note: a flip touches only its four corners, so the lists of the
        // others stay true for the rest of the round.
        const VertexLists holding = Holding(triangles, reach, CornersOf(triangles, flat, mesh.startPositions.size()));
        // The triangle other than t on side a b, or -1; whether a side joins u and v.
        const auto across = [&](std::size_t t, int32_t a, int32_t b) {
            for (int32_t k : holding[static_cast<std::size_t>(a)]) {
                const Corners& u = triangles[static_cast<std::size_t>(k)];
                if (static_cast<std::size_t>(k) != t && std::find(u.begin(), u.end(), b) != u.end()) return k;
            }
            return -1;
        };
        const auto joined = [&](int32_t u, int32_t v) {
            for (int32_t k : holding[static_cast<std::size_t>(u)]) {
                const Corners& w = triangles[static_cast<std::size_t>(k)];
                if (std::find(w.begin(), w.end(), v) != w.end()) return true;
            }
            return false;
        };
        std::vector<char> touched(mesh.startPositions.size(), 0);
        int32_t now = 0;
        for (const std::size_t t : flat) {
            const Corners c = triangles[t];
            if (c[0] < 0) continue;
            const bool flatStart = ends.Flat(0, c[0], c[1], c[2]);
            const std::vector<Vec3>& at = *ends.positions[flatStart ? 0 : 1];
            int longest = 0;
            double length = -1.0;
            for (int i = 0; i < 3; ++i) {
                const D3 d = Sub(ToD(at[static_cast<std::size_t>(c[static_cast<std::size_t>((i + 1) % 3)])]), ToD(at[static_cast<std::size_t>(c[static_cast<std::size_t>(i)])]));
                if (Dot(d, d) > length) {
                    length = Dot(d, d);
                    longest = i;
                }
            }
            const int32_t a = c[static_cast<std::size_t>(longest)], b = c[static_cast<std::size_t>((longest + 1) % 3)],
                          apex = c[static_cast<std::size_t>((longest + 2) % 3)];
            if (touched[static_cast<std::size_t>(a)] || touched[static_cast<std::size_t>(b)] || touched[static_cast<std::size_t>(apex)]) continue;
            const int32_t other = across(t, a, b);
            if (other < 0) continue;
            const Corners& o = triangles[static_cast<std::size_t>(other)];
            const int32_t d = o[0] != a && o[0] != b ? o[0] : o[1] != a && o[1] != b ? o[1] : o[2];
            if (touched[static_cast<std::size_t>(d)] || d == apex || joined(apex, d))
                continue;
            bool better = true;
            for (int end = 0; end < 2 && better; ++end) {
                const std::vector<Vec3>& p = *ends.positions[end];
                const D3 n0 = AreaVector(p, a, b, apex), n1 = AreaVector(p, b, a, d);
                const D3 pair{n0.x + n1.x, n0.y + n1.y, n0.z + n1.z};
                better = !ends.Flat(end, a, d, apex) && !ends.Flat(end, d, b, apex) && Dot(AreaVector(p, a, d, apex), pair) > 0.0 &&
                         Dot(AreaVector(p, d, b, apex), pair) > 0.0;
            }
            if (!better) continue;
            triangles[t] = {a, d, apex};
            triangles[static_cast<std::size_t>(other)] = {d, b, apex};
            changed.push_back(t);
            changed.push_back(static_cast<std::size_t>(other));
            for (int32_t v : {a, b, apex, d}) touched[static_cast<std::size_t>(v)] = 1;
            turned.push_back({std::min(a, b), std::max(a, b)});
            ++now;
        }
        flipped += now;
        if (now == 0) break;
    }
    if (!changed.empty()) flat = FlatAgain(ends, triangles, flat, changed);
    // note: the turned sides leave the edges in one pass; erasing each from
    // a table of millions moved it all once a flip.
    // Both are sorted, so one walk along them finds the turned ones.
    std::sort(turned.begin(), turned.end());
    auto next = turned.cbegin();
    edges.erase(std::remove_if(edges.begin(), edges.end(),
                               [&](const IndexPair& e) {
                                   while (next != turned.cend() && *next < e) ++next;
                                   return next != turned.cend() && *next == e;
                               }),
                edges.end());
    return flipped;
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

}  // namespace

bool IsFlatTriangle(const MorphMesh& mesh, int32_t a, int32_t b, int32_t c)
{
    const Ends ends(mesh);
    return ends.Flat(0, a, b, c) || ends.Flat(1, a, b, c);
}

FlatRepair RepairFlatTriangles(MorphMesh& mesh, int threads)
{
    FlatRepair repair;
    const Ends ends(mesh);
    // note: the common case costs one pass (on two cores) and changes nothing.
    std::vector<std::size_t> flat, secondHalf;
    bool trianglesOnly = true;
    InTwoHalves(threads, mesh.faces.size(), [&](std::size_t begin, std::size_t end) {
        std::vector<std::size_t>& out = begin == 0 ? flat : secondHalf;
        for (std::size_t t = begin; t < end; ++t) {
            const FaceIndices& c = mesh.faces[t].indices;
            if (c.size() != 3) {
                trianglesOnly = false;
                continue;
            }
            if (ends.Flat(0, c[0], c[1], c[2]) || ends.Flat(1, c[0], c[1], c[2])) out.push_back(t);
        }
    });
    flat.insert(flat.end(), secondHalf.begin(), secondHalf.end());
    if (!trianglesOnly || flat.empty()) return repair;
    std::vector<Corners> triangles;
    triangles.reserve(mesh.faces.size());
    for (const MeshFace& f : mesh.faces) triangles.push_back({f.indices[0], f.indices[1], f.indices[2]});

    std::vector<int32_t> rep(mesh.startPositions.size());
    for (std::size_t v = 0; v < rep.size(); ++v) rep[v] = static_cast<int32_t>(v);
    std::vector<std::size_t> changed;
    Reach reach(rep.size());
    repair.collapsed = CollapseCoincident(mesh, triangles, reach, rep, flat, changed);
    flat = FlatAgain(ends, triangles, flat, changed);
    const auto root = [&](int32_t v) {
        while (rep[static_cast<std::size_t>(v)] != v) v = rep[static_cast<std::size_t>(v)];
        return v;
    };
    // The overlay's edges come sorted. Only the edges at a collapsed vertex
    // change: they are sorted apart and merged back into the rest, in order.
    std::vector<IndexPair> edges = std::move(mesh.edges);
    const auto followCollapses = [&] {
        std::vector<IndexPair> moved;
        std::size_t kept = 0;
        for (const IndexPair& e : edges) {
            const int32_t a = root(e.from), b = root(e.to);
            if (a == e.from && b == e.to) {
                edges[kept++] = e;
            } else if (a != b) {
                moved.push_back({std::min(a, b), std::max(a, b)});
            }
        }
        edges.resize(kept);
        std::sort(moved.begin(), moved.end());
        edges.insert(edges.end(), moved.begin(), moved.end());
        std::inplace_merge(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(kept), edges.end());
        edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    };
    if (repair.collapsed > 0) followCollapses();
    // note: a collapse can leave a flat triangle a flip now mends, and the
    // other way round; a few passes of both.
    for (int pass = 0; pass < 4; ++pass) {
        const int32_t flipped = FlipFlat(mesh, ends, triangles, reach, edges, flat);
        const int32_t shortened = CollapseShortSides(ends, triangles, reach, rep, flat);
        repair.flipped += flipped;
        repair.collapsed += shortened;
        if (shortened > 0) followCollapses();
        if (flipped + shortened == 0) break;
    }

    // Vertices in use keep their order, so sorted edges stay sorted. The
    // runs of kept vertices between dropped ones move down whole.
    std::vector<int32_t> number(rep.size(), -1);
    for (const Corners& c : triangles) {
        if (c[0] >= 0)
            for (int32_t v : c) number[static_cast<std::size_t>(v)] = 0;
    }
    std::size_t kept = 0;
    for (std::size_t v = 0; v < number.size();) {
        if (number[v] < 0) {
            ++v;
            continue;
        }
        std::size_t end = v;
        while (end < number.size() && number[end] >= 0) number[end++] = static_cast<int32_t>(kept++);
        const std::size_t to = kept - (end - v);
        if (to != v) {
            const auto run = [&](auto& table) {
                if (!table.empty()) std::copy(table.begin() + static_cast<std::ptrdiff_t>(v), table.begin() + static_cast<std::ptrdiff_t>(end),
                                              table.begin() + static_cast<std::ptrdiff_t>(to));
            };
            run(mesh.startPositions);
            run(mesh.endPositions);
            run(mesh.startLocations);
            run(mesh.endLocations);
        }
        v = end;
    }
    mesh.startPositions.resize(kept);
    mesh.endPositions.resize(kept);
    for (std::vector<SurfaceLocation>* locations : {&mesh.startLocations, &mesh.endLocations}) {
        if (!locations->empty()) locations->resize(kept);
    }
    mesh.vertexCount = static_cast<int32_t>(kept);
    // Triangles are written over the faces in two halves at once: there are
    // no more of them than before.
    const auto alive = [](const Corners& c) { return c[0] >= 0; };
    const std::size_t half = triangles.size() / 2;
    const auto middle = triangles.begin() + static_cast<std::ptrdiff_t>(half);
    const std::size_t firstHalf = static_cast<std::size_t>(std::count_if(triangles.begin(), middle, alive));
    mesh.faces.resize(firstHalf + static_cast<std::size_t>(std::count_if(middle, triangles.end(), alive)));
    InTwoHalves(threads, triangles.size(), half, [&](std::size_t begin, std::size_t end) {
        std::size_t at = begin == 0 ? 0 : firstHalf;
        for (std::size_t t = begin; t < end; ++t) {
            const Corners& c = triangles[t];
            if (c[0] < 0) continue;
            mesh.faces[at++] = {3, FaceIndices(number[static_cast<std::size_t>(c[0])], number[static_cast<std::size_t>(c[1])],
                                               number[static_cast<std::size_t>(c[2])])};
        }
    });
    mesh.faceCount = static_cast<int32_t>(mesh.faces.size());
    InTwoHalves(threads, edges.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) edges[i] = {number[static_cast<std::size_t>(edges[i].from)], number[static_cast<std::size_t>(edges[i].to)]};
    });
    mesh.edges = std::move(edges);
    mesh.edgeCount = static_cast<int32_t>(mesh.edges.size());
    // note: the kept vertices span no more than all did, so a triangle flat
    // now was flat before and is in the list.
    const Ends after(mesh);
    for (const std::size_t t : flat) {
        const Corners& c = triangles[t];
        if (c[0] < 0) continue;
        const int32_t a = number[static_cast<std::size_t>(c[0])], b = number[static_cast<std::size_t>(c[1])],
                      d = number[static_cast<std::size_t>(c[2])];
        if (after.Flat(0, a, b, d) || after.Flat(1, a, b, d)) ++repair.remaining;
    }
    return repair;
}

}  // namespace vorlane
