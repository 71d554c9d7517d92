#include "merge/open_edges.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "geometry/fan.h"

namespace vorlane {

int32_t CountOpenEdges(const MorphMesh& mesh)
{
    // Each side of each triangle: its ends in ascending order, and whether it runs the other way.
    std::vector<std::pair<uint64_t, bool>> sides;
    const auto add = [&](int32_t from, int32_t to) {
        const auto low = static_cast<uint32_t>(std::min(from, to)), high = static_cast<uint32_t>(std::max(from, to));
        sides.emplace_back(uint64_t{low} << 32 | high, from > to);
    };
    for (const MeshFace& face : mesh.faces) {
        ForEachFanTriangle(face.indices.data(), face.indices.size(), [&](int32_t a, int32_t b, int32_t c) {
            add(a, b);
            add(b, c);
            add(c, a);
        });
    }
    std::sort(sides.begin(), sides.end());
    int32_t open = 0;
    for (std::size_t i = 0; i < sides.size();) {
        std::size_t j = i;
        while (j < sides.size() && sides[j].first == sides[i].first) ++j;
        const bool loop = (sides[i].first >> 32) == (sides[i].first & 0xffffffffu);
        const bool paired = j - i == 2 && !sides[i].second && sides[i + 1].second && !loop;
        if (!paired) ++open;
        i = j;
    }
    return open;
}

}  // namespace vorlane
