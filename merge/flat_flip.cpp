#include "merge/flat_repair.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vorlane::flat_repair {

// Turns the longest side of each flat triangle where that helps; flat
// lists the flat triangles before and after.
int32_t FlipFlat(const MorphMesh& mesh, const Ends& ends, TriangleConnectivity& net, Reach& reach,
                 std::vector<IndexPair>& edges, std::vector<std::size_t>& flat)
{
    int32_t flipped = 0;
    std::vector<std::size_t> changed;
    std::vector<IndexPair> turned;
    for (int round = 0; round < Rounds; ++round) {
        if (round > 0) flat = FlatAgain(ends, net.triangles, flat, changed);
        if (flat.empty()) break;
        // note: a flip touches only its four corners, so the fans of the
        // others stay true for the rest of the round.
        reach.Connect(net, CornersOf(net.triangles, flat));
        // Whether a side joins u and v; an open fan counts as one, so nothing turns there.
        const auto joined = [&](int32_t u, int32_t v) {
            bool found = false;
            return !VisitOutgoing(net, u, [&](int32_t h) { found = found || Destination(net, h) == v; }) || found;
        };
        std::vector<char> touched(mesh.startPositions.size(), 0);
        int32_t now = 0;
        for (const std::size_t t : flat) {
            const Triangle c = net.triangles[t];
            if (c[0] < 0) continue;
            const bool flatStart = ends.Flat(0, c[0], c[1], c[2]);
            const std::vector<Vec3>& at = *ends.positions[flatStart ? 0 : 1];
            int longest = 0;
            double length = -1.0;
            for (int i = 0; i < 3; ++i) {
                const D3 d = Sub(ToD(At(at, At(c, (i + 1) % 3))), ToD(At(at, At(c, i))));
                if (Dot(d, d) > length) {
                    length = Dot(d, d);
                    longest = i;
                }
            }
            const int32_t a = At(c, longest), b = At(c, (longest + 1) % 3), apex = At(c, (longest + 2) % 3);
            if (At(touched, a) || At(touched, b) || At(touched, apex)) continue;
            // Half-edge a b of t, and the triangle across it.
            const int32_t across = Twin(net, static_cast<int32_t>(3 * t) + longest);
            if (across < 0) continue;
            const int32_t other = across / 3;
            const int32_t d = Origin(net, PrevHalfEdge(across));
            if (At(touched, d) || d == apex || joined(apex, d)) continue;
            bool better = true;
            for (int end = 0; end < 2 && better; ++end) {
                const std::vector<Vec3>& p = *ends.positions[end];
                const D3 n0 = AreaVector(p, a, b, apex), n1 = AreaVector(p, b, a, d);
                const D3 pair{n0.x + n1.x, n0.y + n1.y, n0.z + n1.z};
                better = !ends.Flat(end, a, d, apex) && !ends.Flat(end, d, b, apex) && Dot(AreaVector(p, a, d, apex), pair) > 0.0 &&
                         Dot(AreaVector(p, d, b, apex), pair) > 0.0;
            }
            if (!better) continue;
            net.triangles[t] = {a, d, apex};
            At(net.triangles, other) = {d, b, apex};
            changed.push_back(t);
            changed.push_back(static_cast<std::size_t>(other));
            for (int32_t v : {a, b, apex, d}) At(touched, v) = 1;
            turned.push_back({std::min(a, b), std::max(a, b)});
            ++now;
        }
        flipped += now;
        if (now == 0) break;
    }
    if (!changed.empty()) flat = FlatAgain(ends, net.triangles, flat, changed);
    DropTurned(edges, std::move(turned));
    return flipped;
}

}  // namespace vorlane::flat_repair
