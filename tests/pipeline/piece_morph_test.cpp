#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench/mesh_generator.h"
#include "geometry/morph_step.h"
#include "pipeline/morph_job.h"
#include "test_support.h"

namespace {

using namespace vorlane;

bool Same(const Vec3& a, const Vec3& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Five spheres: two large ones far apart (pieces 0 and 1), three small ones
// between and above them; and two spheres of another tessellation where
// the large ones are.
ModelTable FivePieces()
{
    ModelTable five = test::Joined(Icosphere(1, 1.0f), Icosphere(1, 1.0f), {10.0f, 0.0f, 0.0f});
    five = test::Joined(five, Icosphere(1, 0.3f), {11.5f, 0.0f, 0.0f});
    five = test::Joined(five, Icosphere(0, 0.3f), {-3.0f, 2.5f, 0.0f});
    return test::Joined(five, Icosphere(0, 0.2f), {8.0f, -2.5f, 0.0f});
}

ModelTable TwoPieces()
{
    return test::Joined(Icosphere(2, 1.1f), Icosphere(2, 0.9f), {10.0f, 0.0f, 0.0f});
}

// Five pieces against two, both ways: the large spheres pair by place, the
// three small ones shrink to (or grow from) one vertex of the sphere
// nearest them, every other vertex ends where its input holds it, and the
// shape path gives both ends bit for bit.
TEST(PieceMorph, FivePiecesAgainstTwoPairByPlaceAndSize)
{
    test::ScratchDirectory scratch;
    const ModelTable five = FivePieces(), two = TwoPieces();
    test::WriteOff("five.off", five);
    test::WriteOff("two.off", two);
    const struct {
        bool fiveFirst;
        const char* pairing;
    } cases[] = {
        {true, " pieces 5:2 paired 0-0 1-1 unpaired 2>point 3>point 4>point"},
        {false, " pieces 2:5 paired 0-0 1-1 unpaired point>2 point>3 point>4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pairing);
        MorphRequest request;
        request.source = c.fiveFirst ? "five.off" : "two.off";
        request.target = c.fiveFirst ? "two.off" : "five.off";
        request.path = PathChoice::Shape;
        const MorphJob job = RunMorphJob(request);
        ASSERT_EQ(job.error, "");
        EXPECT_EQ(PairingText(job.pieces), c.pairing);
        const MorphMesh& mesh = job.merged.mesh;
        const std::vector<Vec3>& fiveEnd = c.fiveFirst ? mesh.startPositions : mesh.endPositions;
        const std::vector<Vec3>& twoEnd = c.fiveFirst ? mesh.endPositions : mesh.startPositions;
        // note: the small spheres (42, 12 and 12 vertices) are the last merged vertices.
        const std::size_t small = 66, count = mesh.startPositions.size();
        for (std::size_t v = 0; v < five.vertices.size(); ++v)
            EXPECT_NE(std::find_if(fiveEnd.begin(), fiveEnd.end(), [&](const Vec3& p) { return Same(p, five.vertices[v]); }),
                      fiveEnd.end())
                << "input vertex " << v;
        // Each small sphere ends at one vertex of the large sphere nearest it: 2 and 4 on the right one, 3 on the left.
        const std::size_t firsts[3] = {count - small, count - 24, count - 12}, sizes[3] = {42, 12, 12};
        const bool right[3] = {true, false, true};
        for (int p = 0; p < 3; ++p) {
            const Vec3 point = twoEnd[firsts[p]];
            for (std::size_t k = 0; k < sizes[p]; ++k) EXPECT_TRUE(Same(twoEnd[firsts[p] + k], point));
            EXPECT_NE(std::find_if(two.vertices.begin(), two.vertices.end(), [&](const Vec3& q) { return Same(q, point); }),
                      two.vertices.end());
            EXPECT_EQ(point.x > 5.0f, right[p]) << p;
        }
        ASSERT_FALSE(job.path.empty());
        const std::vector<Vec3> start = job.path.At(0.0), end = job.path.At(1.0), middle = job.path.AtStep(MorphSteps / 2);
        for (std::size_t v = 0; v < count; ++v) {
            EXPECT_TRUE(Same(start[v], mesh.startPositions[v]) && Same(end[v], mesh.endPositions[v])) << v;
            // A piece to or from a point walks straight: halfway, halfway along its line.
            if (v >= count - small) {
                EXPECT_TRUE(Same(middle[v], MorphPosition(mesh.startPositions[v], mesh.endPositions[v], MorphSteps / 2))) << v;
            }
        }
    }
}

// Landmarks name vertices of one mesh, so a mesh in pieces is still refused with them.
TEST(PieceMorph, LandmarksRefuseAMeshInPieces)
{
    test::ScratchDirectory scratch;
    test::WriteOff("two.off", TwoPieces());
    MorphRequest request;
    request.source = "two.off";
    request.target = "icosahedron";
    request.landmarks = {{0, 0}};
    EXPECT_EQ(RunMorphJob(request).error, "two.off: the mesh has 2 separate pieces");
}

}  // namespace
