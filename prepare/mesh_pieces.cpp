#include "prepare/mesh_pieces.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <utility>

#include "prepare/vertex_groups.h"

namespace vorlane {

std::vector<MeshPiece> SplitPieces(const ModelTable& table)
{
    const std::size_t count = table.triangles.size();
    std::vector<std::pair<uint64_t, int32_t>> sides;  // (edge, triangle)
    sides.reserve(3 * count);
    for (std::size_t t = 0; t < count; ++t) {
        const Triangle& f = table.triangles[t];
        for (std::size_t k = 0; k < 3; ++k) {
            const auto a = static_cast<uint32_t>(f[k]), b = static_cast<uint32_t>(f[(k + 1) % 3]);
            sides.push_back({uint64_t{std::min(a, b)} << 32 | std::max(a, b), static_cast<int32_t>(t)});
        }
    }
    std::sort(sides.begin(), sides.end());
    std::vector<int32_t> parent(count);
    std::iota(parent.begin(), parent.end(), 0);
    for (std::size_t i = 1; i < sides.size(); ++i)
        if (sides[i].first == sides[i - 1].first) JoinGroups(parent, sides[i].second, sides[i - 1].second);
    // note: each group is named by its first triangle, so pieces number in the table's order.
    std::vector<int32_t> pieceOf(count, -1);
    int32_t pieces = 0;
    for (std::size_t t = 0; t < count; ++t) {
        const auto root = static_cast<std::size_t>(GroupOf(parent, static_cast<int32_t>(t)));
        pieceOf[t] = root == t ? pieces++ : pieceOf[root];
    }
    if (pieces <= 1) return {};

    std::vector<MeshPiece> out(static_cast<std::size_t>(pieces));
    const std::size_t firstPatch = count - static_cast<std::size_t>(table.patchTriangles);
    std::vector<int32_t> slot(table.vertices.size(), -1);
    std::vector<std::vector<Triangle>> byPiece(out.size());
    for (std::size_t t = 0; t < count; ++t) byPiece[static_cast<std::size_t>(pieceOf[t])].push_back(table.triangles[t]);
    for (std::size_t p = 0; p < out.size(); ++p) {
        MeshPiece& piece = out[p];
        for (const Triangle& f : byPiece[p])
            for (int32_t v : f) piece.vertices.push_back(v);
        std::sort(piece.vertices.begin(), piece.vertices.end());
        piece.vertices.erase(std::unique(piece.vertices.begin(), piece.vertices.end()), piece.vertices.end());
        for (std::size_t k = 0; k < piece.vertices.size(); ++k) {
            slot[static_cast<std::size_t>(piece.vertices[k])] = static_cast<int32_t>(k);
            piece.table.vertices.push_back(table.vertices[static_cast<std::size_t>(piece.vertices[k])]);
        }
        for (const Triangle& f : byPiece[p])
            piece.table.triangles.push_back({slot[static_cast<std::size_t>(f[0])], slot[static_cast<std::size_t>(f[1])],
                                             slot[static_cast<std::size_t>(f[2])]});
    }
    for (std::size_t k = firstPatch; k < count; ++k) ++out[static_cast<std::size_t>(pieceOf[k])].table.patchTriangles;
    return out;
}

}  // namespace vorlane
