#include "geometry/triangle_connectivity.h"

#include <algorithm>
#include <utility>

#include "geometry/by_vertex.h"

namespace vorlane {

namespace {

// The two half-edges of one edge become twins where they run it opposite
// ways; returns whether they did.
bool PairTwins(TriangleConnectivity& mesh, int32_t a, int32_t b)
{
    if (Origin(mesh, a) == Origin(mesh, b)) return false;
    At(mesh.twin, a) = b;
    At(mesh.twin, b) = a;
    return true;
}

}  // namespace

TriangleConnectivity BuildTriangleConnectivity(std::vector<Triangle> triangles, std::size_t vertexCount,
                                               EdgeProblem* problem)
{
    TriangleConnectivity mesh;
    mesh.triangles = std::move(triangles);
    const int32_t halfEdges = HalfEdgeCount(mesh);
    mesh.twin.assign(static_cast<std::size_t>(halfEdges), -1);
    mesh.outgoing.assign(vertexCount, -1);
    for (int32_t h = 0; h < halfEdges; ++h) At(mesh.outgoing, Origin(mesh, h)) = h;

    // Half-edges by their lower end, then their higher end and number: runs
    // of one edge, edges ascending.
    const ByVertex<std::pair<int32_t, int32_t>> byLow(vertexCount, [&](auto visit) {
        for (int32_t h = 0; h < halfEdges; ++h) {
            const int32_t u = Origin(mesh, h), v = Destination(mesh, h);
            visit(static_cast<std::size_t>(std::min(u, v)), std::pair<int32_t, int32_t>{std::max(u, v), h});
        }
    });
    EdgeProblem open, crowded, sameWay;
    for (std::size_t low = 0; low < vertexCount; ++low) {
        const std::pair<int32_t, int32_t>* run = byLow.Data(low);
        const std::pair<int32_t, int32_t>* const end = run + byLow.Size(low);
        while (run != end) {
            const std::pair<int32_t, int32_t>* next = run + 1;
            while (next != end && next->first == run->first) ++next;
            const auto holders = static_cast<int32_t>(next - run);
            const int32_t a = run[0].second, b = holders == 2 ? run[1].second : -1;
            EdgeProblem* found = holders == 1 ? &open : holders > 2 ? &crowded : nullptr;
            if (holders == 2 && !PairTwins(mesh, a, b)) found = &sameWay;
            if (found && found->fault == EdgeFault::None) {
                const EdgeFault fault = found == &open ? EdgeFault::Open : found == &crowded ? EdgeFault::Crowded : EdgeFault::SameWay;
                *found = {fault, static_cast<int32_t>(low), run->first, holders, a / 3, b >= 0 ? b / 3 : -1};
            }
            run = next;
        }
    }
    if (problem) *problem = open.fault != EdgeFault::None ? open : crowded.fault != EdgeFault::None ? crowded : sameWay;
    return mesh;
}

void ConnectTriangles(TriangleConnectivity& mesh, const std::vector<int32_t>& listed)
{
    struct Side {
        int32_t low, high, halfEdge;
        bool operator<(const Side& o) const
        {
            return low != o.low ? low < o.low : high != o.high ? high < o.high : halfEdge < o.halfEdge;
        }
    };
    std::vector<Side> sides;
    sides.reserve(3 * listed.size());
    for (const int32_t t : listed) {
        for (int32_t h = 3 * t; h < 3 * t + 3; ++h) {
            const int32_t u = Origin(mesh, h), v = Destination(mesh, h);
            sides.push_back({std::min(u, v), std::max(u, v), h});
            At(mesh.twin, h) = -1;
            At(mesh.outgoing, u) = h;
        }
    }
    std::sort(sides.begin(), sides.end());
    for (std::size_t i = 0; i < sides.size();) {
        std::size_t next = i + 1;
        while (next < sides.size() && sides[next].low == sides[i].low && sides[next].high == sides[i].high) ++next;
        if (next - i == 2) PairTwins(mesh, sides[i].halfEdge, sides[i + 1].halfEdge);
        i = next;
    }
}

std::vector<int32_t> FanCounts(const TriangleConnectivity& mesh)
{
    // A fan is a cycle of half-edges leaving its vertex, each the next one's
    // triangle across the edge before it.
    std::vector<int32_t> fans(mesh.outgoing.size(), 0);
    std::vector<char> seen(mesh.twin.size(), 0);
    const int32_t halfEdges = HalfEdgeCount(mesh);
    for (int32_t h = 0; h < halfEdges; ++h) {
        if (At(seen, h)) continue;
        ++At(fans, Origin(mesh, h));
        for (int32_t e = h; !At(seen, e); e = NextAround(mesh, e)) At(seen, e) = 1;
    }
    return fans;
}

SharedNeighbours CountSharedNeighbours(const TriangleConnectivity& mesh, int32_t u, int32_t v, NeighbourMarks& marks)
{
    if (marks.stamp.size() != mesh.outgoing.size()) marks = {std::vector<uint32_t>(mesh.outgoing.size(), 0), 0};
    const uint32_t round = ++marks.round;
    SharedNeighbours count;
    const bool closed = VisitOutgoing(mesh, u, [&](int32_t e) {
        ++count.valence;
        At(marks.stamp, Destination(mesh, e)) = round;
    });
    if (!closed || !VisitOutgoing(mesh, v, [&](int32_t e) {
            ++count.valence;
            count.shared += At(marks.stamp, Destination(mesh, e)) == round;
        }))
        count.shared = -1;
    return count;
}

}  // namespace vorlane
