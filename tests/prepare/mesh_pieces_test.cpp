#include <gtest/gtest.h>

#include <vector>

#include "prepare/mesh_pieces.h"
#include "prepare/pair_pieces.h"

namespace {

using namespace vorlane;

// Two tetrahedra touching at vertex 0, the second's last triangle a patch,
// and a vertex no triangle uses (5): two pieces, each with its own copy of
// the shared vertex, patches still last, the unused vertex gone.
TEST(SplitPieces, PiecesJoinThroughEdgesNotVertices)
{
    ModelTable table;
    table.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {9, 9, 9}, {0, -1, 0}, {0, 0, -1}};
    table.triangles = {{0, 2, 1}, {0, 4, 6}, {0, 1, 3}, {0, 6, 7}, {1, 2, 3}, {0, 3, 2}, {4, 7, 6}, {0, 7, 4}};
    table.patchTriangles = 1;
    const std::vector<MeshPiece> pieces = SplitPieces(table);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].vertices, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(pieces[1].vertices, (std::vector<int32_t>{0, 4, 6, 7}));
    EXPECT_EQ(pieces[0].table.triangles, (std::vector<Triangle>{{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}}));
    EXPECT_EQ(pieces[1].table.triangles, (std::vector<Triangle>{{0, 1, 2}, {0, 2, 3}, {1, 3, 2}, {0, 3, 1}}));
    EXPECT_EQ(pieces[0].table.patchTriangles, 0);
    EXPECT_EQ(pieces[1].table.patchTriangles, 1);
    EXPECT_EQ(pieces[1].table.vertices[1].x, -1.0f);
    // One piece needs no split.
    table.triangles = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}};
    EXPECT_TRUE(SplitPieces(table).empty());
}

// Pairing by place and size, cheapest first: each case's boxes (low x,
// high x; y and z from 0 to 1) and the summary they give.
TEST(PairPieces, CheapestPairsFirstTheRestToTheNearest)
{
    const auto boxes = [](std::vector<std::pair<float, float>> xs) {
        std::vector<PieceBox> out;
        for (const auto& [low, high] : xs) out.push_back({{low, 0, 0}, {high, 1, 1}});
        return out;
    };
    const struct {
        const char* name;
        std::vector<PieceBox> source, target;
        const char* says;
    } cases[] = {
        {"one and one", boxes({{0, 1}}), boxes({{5, 7}}), ""},
        {"swapped places", boxes({{0, 1}, {9, 10}}), boxes({{9, 10}, {0, 1}}), " pieces 2:2 paired 0-1 1-0"},
        // note: the shapes are laid on each other, so a shifted copy pairs by place.
        {"shifted", boxes({{0, 1}, {4, 5}}), boxes({{100, 101}, {104, 105}}), " pieces 2:2 paired 0-0 1-1"},
        {"size decides at one place", boxes({{0, 10}, {4.5f, 5.5f}}), boxes({{4, 6}, {0, 10}}), " pieces 2:2 paired 0-1 1-0"},
        {"three into one", boxes({{0, 1}, {4, 6}, {9, 10}}), boxes({{0, 10}}), " pieces 3:1 paired 1-0 unpaired 0>point 2>point"},
        {"one into three", boxes({{0, 10}}), boxes({{0, 1}, {4, 6}, {9, 10}}), " pieces 1:3 paired 0-1 unpaired point>0 point>2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PairingText(PairPieces(c.source, c.target)), c.says);
    }
    const PiecePairing spread = PairPieces(boxes({{0, 1}, {4, 6}, {9, 10}}), boxes({{0, 2}, {8, 10}}));
    EXPECT_EQ(spread.pairs, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {2, 1}}));
    EXPECT_EQ(spread.sourceAlone, (std::vector<std::pair<int32_t, int32_t>>{{1, 0}}));
}

}  // namespace
