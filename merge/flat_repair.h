// The flat repair's parts and what they share: the triangles as corner
// triples (-1 once gone), the flat test at both ends, and lists by vertex
// built over the few triangles a round looks at.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/by_vertex.h"
#include "geometry/dvec3.h"
#include "geometry/morph_mesh.h"

namespace vorlane::flat_repair {

using Corners = std::array<int32_t, 3>;

constexpr double FlatShare = 1e-12;
constexpr int Rounds = 8;

inline double SquaredDiagonal(const std::vector<Vec3>& points)
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
inline D3 AreaVector(const std::vector<Vec3>& at, int32_t a, int32_t b, int32_t c)
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
inline VertexLists Neighbours(const std::vector<Corners>& triangles, Reach& reach, const std::vector<char>& wanted)
{
    return VertexLists(triangles, reach, wanted, true, [&](int32_t t, int i) {
        return triangles[static_cast<std::size_t>(t)][static_cast<std::size_t>((i + 1) % 3)];
    });
}

// The triangles around the wanted vertices.
inline VertexLists Holding(const std::vector<Corners>& triangles, Reach& reach, const std::vector<char>& wanted)
{
    return VertexLists(triangles, reach, wanted, false, [](int32_t t, int) { return t; });
}

// The corners of the listed triangles, as a mask over the vertices.
std::vector<char> CornersOf(const std::vector<Corners>& triangles, const std::vector<std::size_t>& listed,
                            std::size_t vertexCount);

bool FlatAtAnEnd(const Ends& ends, const Corners& c);

// The triangles of mesh flat at an end, ascending, looked for on two
// threads when threads > 1; trianglesOnly is cleared where a face is not a
// triangle.
std::vector<std::size_t> FindFlat(const MorphMesh& mesh, const Ends& ends, int threads, bool& trianglesOnly);

// The flat triangles again after a round: no vertex moves, so only the
// triangles the round changed can have turned flat or stopped being so.
// Empties changed.
std::vector<std::size_t> FlatAgain(const Ends& ends, const std::vector<Corners>& triangles,
                                   const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed);

// Moves going into stays: the two triangles on their side go, the rest of
// going's take stays instead; changed gets every triangle touched.
void CollapseInto(std::vector<Corners>& triangles, ListSpan goingHolds, int32_t going, int32_t stays,
                  std::vector<std::size_t>& changed);

// Collapses edges of the flat triangles whose ends coincide at both ends of
// the morph, where that keeps the surface a manifold; rep maps each vertex to
// the one it became. Returns how many.
int32_t CollapseCoincident(const MorphMesh& mesh, std::vector<Corners>& triangles, Reach& reach, std::vector<int32_t>& rep,
                           const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed);

// Turns the longest side of each flat triangle where that helps; flat
// lists the flat triangles before and after; the turned sides leave edges.
int32_t FlipFlat(const MorphMesh& mesh, const Ends& ends, std::vector<Corners>& triangles, Reach& reach,
                 std::vector<IndexPair>& edges, std::vector<std::size_t>& flat);

// Collapses a side of each triangle still flat where no triangle around it
// turns over or grows flat; flat as for FlipFlat. Returns how many.
int32_t CollapseShortSides(const Ends& ends, std::vector<Corners>& triangles, Reach& reach, std::vector<int32_t>& rep,
                           std::vector<std::size_t>& flat);

// Drops the turned sides (sorted, low-high) from the sorted edges.
void DropTurned(std::vector<IndexPair>& edges, std::vector<IndexPair> turned);

// Sends each sorted edge through the collapses of rep (v to rep[v] till it
// stays): edges between merged ends go, the rest stay sorted, low-high and
// without repeats.
void FollowCollapses(std::vector<IndexPair>& edges, const std::vector<int32_t>& rep);

// Writes the live triangles and the edges back into mesh over the vertices
// in use, renumbered in their order; returns the new number of each old
// vertex (-1 for those gone). The faces are written on two threads when
// threads > 1.
std::vector<int32_t> WriteBack(MorphMesh& mesh, const std::vector<Corners>& triangles, std::vector<IndexPair> edges, int threads);

}  // namespace vorlane::flat_repair
