#include "merge/flat_repair.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/two_halves.h"

namespace vorlane::flat_repair {

std::vector<int32_t> CornersOf(const std::vector<Triangle>& triangles, const std::vector<std::size_t>& listed)
{
    std::vector<int32_t> corners;
    corners.reserve(3 * listed.size());
    for (const std::size_t t : listed) {
        if (triangles[t][0] >= 0) corners.insert(corners.end(), triangles[t].begin(), triangles[t].end());
    }
    return corners;
}

bool FlatAtAnEnd(const Ends& ends, const Triangle& c)
{
    return c[0] >= 0 && (ends.Flat(0, c[0], c[1], c[2]) || ends.Flat(1, c[0], c[1], c[2]));
}

std::vector<std::size_t> FindFlat(const MorphMesh& mesh, const Ends& ends, int threads, bool& trianglesOnly)
{
    // note: the common case costs one pass (on two cores) and changes nothing.
    std::vector<std::size_t> flat, secondHalf;
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
    return flat;
}

std::vector<std::size_t> FlatAgain(const Ends& ends, const std::vector<Triangle>& triangles,
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

}  // namespace vorlane::flat_repair
