#include "merge/flat_repair.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vorlane::flat_repair {


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
    DropTurned(edges, std::move(turned));
    return flipped;
}

}  // namespace vorlane::flat_repair
