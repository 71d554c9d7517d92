#include "merge/open_edges.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vorlane::MeshFace;

// A tetrahedron's outward triangles, as a merge leaves them, then broken.
TEST(CountOpenEdges, CountsEdgesNotMetOnceEachWay)
{
    const std::vector<MeshFace> closed = {{3, {0, 1, 2}}, {3, {0, 3, 1}}, {3, {2, 3, 0}}, {3, {3, 2, 1}}};
    std::vector<MeshFace> missing = closed, turned = closed, twice = closed;
    missing.pop_back();
    turned[3].indices = {3, 1, 2};
    twice.push_back({3, {0, 1, 2}});
    // A square pyramid: its base one face of four corners, fanned as written.
    const std::vector<MeshFace> pyramid = {
        {4, {0, 3, 2, 1}}, {3, {0, 1, 4}}, {3, {1, 2, 4}}, {3, {2, 3, 4}}, {3, {3, 0, 4}}};
    const struct {
        const char* name;
        std::vector<MeshFace> faces;
        int32_t open;
    } cases[] = {{"closed", closed, 0},          {"one face missing", missing, 3}, {"one face turned", turned, 3},
                 {"one face twice", twice, 3},   {"a square among triangles", pyramid, 0},
                 {"a folded corner", {{3, {0, 0, 1}}}, 1}};
    for (const auto& c : cases) {
        vorlane::MorphMesh mesh;
        mesh.faces = c.faces;
        EXPECT_EQ(vorlane::CountOpenEdges(mesh), c.open) << c.name;
    }
}

}  // namespace
