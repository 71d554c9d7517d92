// The flat repair's parts and what they share: the triangles as corner
// triples (-1 once gone) in a connectivity joined, each round, over the few
// triangles the round looks at, and the flat test at both ends.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/index_at.h"
#include "geometry/morph_mesh.h"
#include "geometry/triangle_connectivity.h"

namespace vorlane::flat_repair {

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
    const D3 p = ToD(At(at, a));
    return Cross(Sub(ToD(At(at, b)), p), Sub(ToD(At(at, c)), p));
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
// made or changed since, and is listed either way.
// note: the connectivity is joined over these few thousand triangles, not
// over the millions of the whole mesh: on the merge of CGAL's armadillo and
// diplodocus (831,296 triangles) a whole build takes 471 million
// instructions, every round of flips and collapses 47 million.
class Reach {
public:
    explicit Reach(std::size_t vertexCount) : inside_(vertexCount, 0) {}

    // Connects net's live triangles (corners -1 once gone) around every
    // wanted vertex, and others, so that their fans are whole; the whole
    // mesh is scanned again only when a wanted vertex lies outside the
    // region. The twins of triangles changed since stay stale.
    void Connect(TriangleConnectivity& net, const std::vector<int32_t>& wanted)
    {
        bool outside = false;
        for (const int32_t v : wanted) {
            if (!At(inside_, v)) At(inside_, v) = 1, outside = true;
        }
        if (outside) {
            listed_.clear();
            for (std::size_t t = 0; t < net.triangles.size(); ++t) {
                const Triangle& c = net.triangles[t];
                if (c[0] >= 0 && (At(inside_, c[0]) || At(inside_, c[1]) || At(inside_, c[2])))
                    listed_.push_back(static_cast<int32_t>(t));
            }
        }
        live_.clear();
        for (const int32_t t : listed_) {
            if (At(net.triangles, t)[0] >= 0) live_.push_back(t);
        }
        ConnectTriangles(net, live_);
    }

private:
    std::vector<char> inside_;
    std::vector<int32_t> listed_;
    std::vector<int32_t> live_;
};

// Marks v and every vertex joined to it; false where its fan is open.
inline bool MarkAround(const TriangleConnectivity& net, int32_t v, std::vector<char>& touched)
{
    At(touched, v) = 1;
    return VisitOutgoing(net, v, [&](int32_t h) { At(touched, Destination(net, h)) = 1; });
}

// The corners of the listed live triangles, with repeats.
std::vector<int32_t> CornersOf(const std::vector<Triangle>& triangles, const std::vector<std::size_t>& listed);

bool FlatAtAnEnd(const Ends& ends, const Triangle& c);

// The triangles of mesh flat at an end, ascending, looked for on two
// threads when threads > 1; trianglesOnly is cleared where a face is not a
// triangle.
std::vector<std::size_t> FindFlat(const MorphMesh& mesh, const Ends& ends, int threads, bool& trianglesOnly);

// The flat triangles again after a round: no vertex moves, so only the
// triangles the round changed can have turned flat or stopped being so.
// Empties changed.
std::vector<std::size_t> FlatAgain(const Ends& ends, const std::vector<Triangle>& triangles,
                                   const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed);

// Moves going (its fan whole) into stays: the two triangles on their side
// go, the rest of going's take stays instead; changed gets every triangle
// touched.
void CollapseInto(TriangleConnectivity& net, int32_t going, int32_t stays, std::vector<std::size_t>& changed);

// Collapses edges of the flat triangles whose ends coincide at both ends of
// the morph, where that keeps the surface a manifold; rep maps each vertex to
// the one it became. Returns how many.
int32_t CollapseCoincident(const MorphMesh& mesh, TriangleConnectivity& net, Reach& reach, std::vector<int32_t>& rep,
                           const std::vector<std::size_t>& flat, std::vector<std::size_t>& changed);

// Turns the longest side of each flat triangle where that helps; flat
// lists the flat triangles before and after; the turned sides leave edges.
int32_t FlipFlat(const MorphMesh& mesh, const Ends& ends, TriangleConnectivity& net, Reach& reach,
                 std::vector<IndexPair>& edges, std::vector<std::size_t>& flat);

// Collapses a side of each triangle still flat where no triangle around it
// turns over or grows flat; flat as for FlipFlat. Returns how many.
int32_t CollapseShortSides(const Ends& ends, TriangleConnectivity& net, Reach& reach, std::vector<int32_t>& rep,
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
std::vector<int32_t> WriteBack(MorphMesh& mesh, const std::vector<Triangle>& triangles, std::vector<IndexPair> edges, int threads);

}  // namespace vorlane::flat_repair
