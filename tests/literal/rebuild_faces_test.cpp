#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "literal/rebuild_faces.h"
#include "test_support.h"

namespace vorlane {
namespace {

MorphMesh Network(std::vector<Vec3> positions, std::vector<IndexPair> edges)
{
    MorphMesh mesh;
    mesh.startPositions = positions;
    mesh.endPositions = std::move(positions);
    mesh.edges = std::move(edges);
    return mesh;
}

MorphMesh Tetrahedron()
{
    return Network({{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}},
                   {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}});
}

// Vertex k has x, y, z = +1 where bits 2, 1, 0 of k are set.
MorphMesh Cube()
{
    std::vector<Vec3> corners;
    for (int k = 0; k < 8; ++k) corners.push_back({k & 4 ? 1.0f : -1.0f, k & 2 ? 1.0f : -1.0f, k & 1 ? 1.0f : -1.0f});
    return Network(corners, {{0, 1}, {0, 2}, {0, 4}, {1, 3}, {1, 5}, {2, 3}, {2, 6}, {3, 7}, {4, 5}, {4, 6}, {5, 7}, {6, 7}});
}

// A ring of n vertices on the unit circle at z = 1, joined in order.
MorphMesh Ring(int n)
{
    std::vector<Vec3> positions;
    std::vector<IndexPair> edges;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        positions.push_back({static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 1.0f});
        edges.push_back(i + 1 < n ? IndexPair{i, i + 1} : IndexPair{0, i});
    }
    return Network(positions, edges);
}

TEST(RebuildFaces, TetrahedronDumpsByteForByte)
{
    test::ScratchDirectory scratch;
    MorphMesh mesh = Tetrahedron();
    EXPECT_EQ(RebuildFaces(mesh), 1);
    const std::string expected = "Face 0: \t0\t1\t2\nFace 1: \t0\t3\t1\nFace 2: \t2\t3\t0\nFace 3: \t3\t2\t1\n";
    EXPECT_EQ(test::ReadFile("facelist1.txt"), expected);
    EXPECT_EQ(test::ReadFile("facelist2.txt"), expected);
    ASSERT_EQ(mesh.faceCount(), 4);
    EXPECT_EQ(mesh.faces[1].indices, (FaceIndices{0, 3, 1}));
}

TEST(RebuildFaces, CubeSquaresAreFannedLastSquareFirst)
{
    test::ScratchDirectory scratch;
    MorphMesh mesh = Cube();
    EXPECT_EQ(RebuildFaces(mesh), 1);
    EXPECT_EQ(test::ReadFile("facelist1.txt"),
              "Face 0: \t0\t1\t3\t2\nFace 1: \t0\t4\t5\t1\nFace 2: \t2\t6\t4\t0\n"
              "Face 3: \t1\t5\t7\t3\nFace 4: \t2\t3\t7\t6\nFace 5: \t6\t7\t5\t4\n");
    EXPECT_EQ(test::ReadFile("facelist2.txt"),
              "Face 0: \t6\t7\t5\nFace 1: \t6\t5\t4\nFace 2: \t2\t3\t7\nFace 3: \t2\t7\t6\n"
              "Face 4: \t1\t5\t7\nFace 5: \t1\t7\t3\nFace 6: \t2\t6\t4\nFace 7: \t2\t4\t0\n"
              "Face 8: \t0\t4\t5\nFace 9: \t0\t5\t1\nFace 10: \t0\t1\t3\nFace 11: \t0\t3\t2\n");
    EXPECT_EQ(mesh.faceCount(), 12);
    for (const MeshFace& face : mesh.faces) EXPECT_EQ(face.vertexCount, 3);
}

TEST(RebuildFaces, CyclesLongerThanTwelveAreNeverFound)
{
    test::ScratchDirectory scratch;
    MorphMesh twelve = Ring(12);
    RebuildFaces(twelve);
    EXPECT_EQ(twelve.faceCount(), 10) << "one 12-gon, fanned; the far side repeats it";
    MorphMesh thirteen = Ring(13);
    RebuildFaces(thirteen);
    EXPECT_EQ(thirteen.faceCount(), 0);
    EXPECT_EQ(test::ReadFile("facelist1.txt"), "");
}

TEST(RebuildFaces, UnwritableDumpsStillLeaveTheFaces)
{
    test::ScratchDirectory scratch;
    std::filesystem::create_directory("facelist1.txt");
    std::filesystem::create_directory("facelist2.txt");
    MorphMesh mesh = Cube();
    EXPECT_EQ(RebuildFaces(mesh), 0);
    EXPECT_EQ(mesh.faceCount(), 12);
    EXPECT_EQ(mesh.faces.size(), 12u);
}

TEST(RebuildFaces, OneUnwritableDumpDoesNotStopTheOther)
{
    test::ScratchDirectory scratch;
    std::filesystem::create_directory("facelist1.txt");
    MorphMesh mesh = Tetrahedron();
    EXPECT_EQ(RebuildFaces(mesh), 0);
    EXPECT_EQ(test::ReadFile("facelist2.txt"), "Face 0: \t0\t1\t2\nFace 1: \t0\t3\t1\nFace 2: \t2\t3\t0\nFace 3: \t3\t2\t1\n");
}

// Skipped dumps leave nothing; a dangling link where a dump goes creates
// nothing where it points (a FIFO there: see the tool's tests).
TEST(RebuildFaces, DumpsSkippedOrLeftOutInPlaceOfALink)
{
    for (const FaceDumps dumps : {FaceDumps::Skip, FaceDumps::Write}) {
        test::ScratchDirectory scratch;
        ASSERT_EQ(symlink("nowhere.txt", "facelist1.txt"), 0);
        MorphMesh mesh = Tetrahedron();
        EXPECT_EQ(RebuildFaces(mesh, dumps), dumps == FaceDumps::Skip ? 1 : 0);
        EXPECT_EQ(mesh.faceCount(), 4);
        EXPECT_FALSE(std::filesystem::exists("nowhere.txt"));
        EXPECT_EQ(std::filesystem::exists("facelist2.txt"), dumps == FaceDumps::Write);
    }
}

TEST(RebuildFaces, InwardWindingIsReversedAndFlatFacesKeepTheirOrder)
{
    test::ScratchDirectory scratch;
    // A flat triangle through the centre has a normal perpendicular to its
    // first corner: the product is 0 and the order stays as found.
    MorphMesh flat = Network({{1, 0, 0}, {0, 1, 0}, {-1, -1, 0}}, {{0, 1}, {0, 2}, {1, 2}});
    RebuildFaces(flat);
    ASSERT_EQ(flat.faceCount(), 1);
    EXPECT_EQ(flat.faces[0].indices, (FaceIndices{2, 1, 0}));
    // Lifted above the centre, the same cycle faces the centre and is turned.
    MorphMesh lifted = Network({{1, 0, 1}, {0, 1, 1}, {-1, -1, 1}}, {{0, 1}, {0, 2}, {1, 2}});
    RebuildFaces(lifted);
    ASSERT_EQ(lifted.faceCount(), 1);
    EXPECT_EQ(lifted.faces[0].indices, (FaceIndices{0, 1, 2}));
}

TEST(RebuildFaces, ShorterPerimeterWinsBetweenTwoSides)
{
    test::ScratchDirectory scratch;
    // Edge (0, 1) borders a small triangle through 2 and a large one through 3;
    // the larger is listed first in the edges so the search meets it first.
    MorphMesh mesh = Network({{0, 0, 1}, {1, 0, 1}, {0.5f, 0.2f, 1}, {0.5f, -3, 1}},
                             {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}});
    RebuildFaces(mesh);
    ASSERT_GE(mesh.faceCount(), 1);
    const std::string first = test::ReadFile("facelist1.txt").substr(0, test::ReadFile("facelist1.txt").find('\n'));
    EXPECT_NE(first.find("\t2"), std::string::npos) << first;
}

// Corners past the third move out of place; order, copies and comparison
// must not notice.
TEST(FaceIndices, KeepOrderPastTheCornersHeldInPlace)
{
    FaceIndices corners;
    for (int32_t c = 0; c < 7; ++c) {
        corners.push_back(10 * c);
        ASSERT_EQ(corners.size(), static_cast<size_t>(c + 1));
        for (int32_t k = 0; k <= c; ++k) EXPECT_EQ(corners[static_cast<size_t>(k)], 10 * k);
    }
    const FaceIndices copy = corners;
    EXPECT_EQ(copy, (FaceIndices{0, 10, 20, 30, 40, 50, 60}));
    EXPECT_NE(copy, (FaceIndices{0, 10, 20, 30, 40, 50}));
    EXPECT_NE((FaceIndices{1, 2, 3}), (FaceIndices{1, 2, 4}));
    EXPECT_TRUE(FaceIndices{}.empty());
    // Moves and assignments between held and spilled lists (the sanitizer
    // build sees any block lost or freed twice).
    FaceIndices moved = std::move(corners);
    EXPECT_EQ(moved, copy);
    FaceIndices small{4, 5, 6};
    small = copy;
    EXPECT_EQ(small, copy);
    moved = FaceIndices{7, 8};
    EXPECT_EQ(moved, (FaceIndices{7, 8}));
    std::vector<MeshFace> faces(3, {7, copy});
    faces.resize(1000, {3, {1, 2, 3}});
    EXPECT_EQ(faces[2].indices, copy);
    EXPECT_EQ(faces[999].indices, (FaceIndices{1, 2, 3}));
}

}  // namespace
}  // namespace vorlane
