#include "embed/spherical_embedding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>

#include "bench/hard_meshes.h"
#include "bench/mesh_generator.h"
#include "embed/mesh_topology.h"
#include "geometry/exact_predicates.h"

namespace vorlane {
namespace {

// The tiling recounted here, apart from CheckEmbedding: every triangle
// positive by the exact predicate, and the solid angles (l'Huilier) adding
// up to one sphere.
void ExpectTiling(const ModelTable& table, const std::vector<Vec3>& directions)
{
    ASSERT_EQ(directions.size(), table.vertices.size());
    for (const Vec3& d : directions) {
        EXPECT_NEAR(std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z), SphereRadius, 1e-3);
    }
    double total = 0.0;
    int negative = 0;
    for (const Triangle& f : table.triangles) {
        const Vec3 &a = directions[size_t(f[0])], &b = directions[size_t(f[1])], &c = directions[size_t(f[2])];
        negative += Orient3(a, b, c) <= 0;
        auto angle = [](const Vec3& p, const Vec3& q) {
            const double px = p.x, py = p.y, pz = p.z, qx = q.x, qy = q.y, qz = q.z;
            const double cx = py * qz - pz * qy, cy = pz * qx - px * qz, cz = px * qy - py * qx;
            return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), px * qx + py * qy + pz * qz);
        };
        const double x = angle(b, c), y = angle(c, a), z = angle(a, b), s = 0.5 * (x + y + z);
        const double t = std::tan(s / 2) * std::tan((s - x) / 2) * std::tan((s - y) / 2) * std::tan((s - z) / 2);
        total += 4.0 * std::atan(std::sqrt(std::fmax(0.0, t)));
    }
    EXPECT_EQ(negative, 0);
    EXPECT_NEAR(total, 4.0 * M_PI, 1e-6);
}

ModelTable WithoutLast(ModelTable table)
{
    table.triangles.pop_back();
    return table;
}

struct Case {
    const char* name;
    ModelTable table;
};

std::vector<Case> Corpus()
{
    return {
        {"icosphere 3", Icosphere(3, 2.0f)},
        {"cube-sphere 6", CubeSphere(6, 1.0f)},
        {"bipyramid 40", Bipyramid(40, 1.0f)},
        {"perturbed icosphere", [] {
             ModelTable t = Icosphere(3, 1.0f);
             PerturbRadially(t, 0.3f, 7);
             return t;
         }()},
        {"finger comb", FingerComb(6, 10, 2)},
        {"long fingers", FingerComb(3, 40, 1)},
        {"dumbbell", Dumbbell(12, 2)},
        {"thick C", ThickC(3)},
        {"pinched cubes split", [] {
             ModelTable t = PinchedLoop(2);
             SplitPinchedVertices(t);
             return t;
         }()},
    };
}

TEST(EmbedOnSphere, TilesTheSphereAndSpreadsArea)
{
    for (const Case& c : Corpus()) {
        SCOPED_TRACE(c.name);
        const SphericalEmbedding embedding = EmbedOnSphere(c.table);
        ASSERT_EQ(embedding.error, "");
        ExpectTiling(c.table, embedding.directions);
        EXPECT_EQ(CheckEmbedding(c.table, embedding.directions), "");
        const EmbedStatistics& s = embedding.statistics;
        EXPECT_GT(s.smallestShare, 1e-7);
        EXPECT_GT(s.ratioPercentile1, 0.02);
        EXPECT_LT(s.ratioPercentile99, 20.0);
        EXPECT_GT(s.areaWithinTenfold, 0.98);
        EXPECT_EQ(s.collapses, static_cast<int>(c.table.vertices.size()) - 4);
    }
}

// What the default is for: a plain Tutte map squeezes each of three fingers
// 40 edges long into specks below float resolution, so it fails the exact
// check and leaves no directions.
TEST(EmbedOnSphere, TutteMapSqueezesLongFingers)
{
    const ModelTable table = FingerComb(3, 40, 1);
    EmbedOptions options;
    options.method = EmbedMethod::Tutte;
    const SphericalEmbedding tutte = EmbedOnSphere(table, options);
    EXPECT_EQ(tutte.error.rfind("no valid spherical embedding (", 0), 0u) << tutte.error;
    EXPECT_TRUE(tutte.directions.empty());
    const SphericalEmbedding icosphere = EmbedOnSphere(Icosphere(2, 1.0f), options);
    ASSERT_EQ(icosphere.error, "");
    ExpectTiling(Icosphere(2, 1.0f), icosphere.directions);
}

TEST(EmbedOnSphere, RefusesWithTheTopologyCheck)
{
    for (const ModelTable& table : {SquareTorus(2), PinchedCubes(1), WithoutLast(Icosphere(1, 1.0f))}) {
        const SphericalEmbedding embedding = EmbedOnSphere(table);
        EXPECT_EQ(embedding.error, CheckSphereTopology(table));
        EXPECT_NE(embedding.error, "");
        EXPECT_TRUE(embedding.directions.empty());
    }
}

// A tetrahedron is its own coarsest mesh: nothing to collapse.
TEST(EmbedOnSphere, TetrahedronNeedsNoCollapse)
{
    const ModelTable table{{{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}}, {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}}};
    const SphericalEmbedding embedding = EmbedOnSphere(table);
    ASSERT_EQ(embedding.error, "");
    EXPECT_EQ(embedding.statistics.collapses, 0);
    ExpectTiling(table, embedding.directions);
}

TEST(EmbedOnSphere, ReportsProgressPerPhase)
{
    std::map<std::string, double> last;
    const SphericalEmbedding embedding = EmbedOnSphere(Icosphere(5, 1.0f), {}, [&last](std::string_view view, double fraction) {
        const std::string phase(view);
        EXPECT_GE(fraction, 0.0);
        EXPECT_LE(fraction, 1.0);
        if (last.count(phase)) {
            EXPECT_GE(fraction, last[phase]) << phase;
        }
        last[phase] = fraction;
    });
    ASSERT_EQ(embedding.error, "");
    for (const char* phase : {"simplify", "insert", "relax", "check"}) EXPECT_TRUE(last.count(phase)) << phase;
    EXPECT_EQ(last["relax"], 1.0);
}

// The expected number of crossings of a net of arcs with any other is in
// proportion to its total length (Crofton). Asking triangles for even sides
// must shorten the comb's net a good deal.
TEST(EmbedOnSphere, EvenSidesShortenTheArcs)
{
    const ModelTable comb = FingerComb(6, 8, 4);
    double lengths[2] = {0.0, 0.0};
    for (int even = 0; even < 2; ++even) {
        EmbedOptions options;
        if (even == 0) options.shapeWeight = 0.0;
        const SphericalEmbedding embedding = EmbedOnSphere(comb, options);
        ASSERT_EQ(embedding.error, "");
        for (const Triangle& t : comb.triangles) {
            for (int c = 0; c < 3; ++c) {
                const Vec3& a = embedding.directions[static_cast<size_t>(t[static_cast<size_t>(c)])];
                const Vec3& b = embedding.directions[static_cast<size_t>(t[static_cast<size_t>((c + 1) % 3)])];
                const double dot = (double{a.x} * b.x + double{a.y} * b.y + double{a.z} * b.z) /
                                   (std::hypot(a.x, a.y, a.z) * std::hypot(b.x, b.y, b.z));
                lengths[even] += std::acos(std::clamp(dot, -1.0, 1.0)) / 2;  // each arc twice
            }
        }
    }
    EXPECT_LT(lengths[1], 0.75 * lengths[0]) << lengths[0] << " -> " << lengths[1];
}

// Guides that are themselves a valid map (a lumpy sphere's directions from
// its centre) are met: vertices come back at them and end on them.
TEST(EmbedOnSphere, FollowsGuidesThatAreAValidMap)
{
    ModelTable lumpy = Icosphere(4, 1.0f);
    PerturbRadially(lumpy, 0.3f, 5);
    EmbedOptions options;
    for (const Vec3& v : lumpy.vertices) {
        const double length = std::hypot(v.x, v.y, v.z);
        options.guides.push_back({static_cast<float>(v.x / length * SphereRadius), static_cast<float>(v.y / length * SphereRadius),
                                  static_cast<float>(v.z / length * SphereRadius)});
    }
    ASSERT_EQ(CheckEmbedding(lumpy, options.guides), "") << "the guides must be a map themselves";
    const SphericalEmbedding embedding = EmbedOnSphere(lumpy, options);
    ASSERT_EQ(embedding.error, "");
    size_t met = 0;
    for (size_t v = 0; v < lumpy.vertices.size(); ++v) met += embedding.directions[v] == options.guides[v];
    EXPECT_GE(met, lumpy.vertices.size() * 99 / 100) << met << " of " << lumpy.vertices.size();
}


// A U of cubes with arms one cube thick and 200 long, two apart: the arms
// squeeze into specks whose kernels hold no float point until all is relaxed.
TEST(EmbedOnSphere, ThinVoxelUEmbeds)
{
    std::vector<std::array<int, 3>> cubes{{1, 0, 0}, {2, 0, 0}};
    for (int y = 0; y < 200; ++y) {
        cubes.push_back({0, y, 0});
        cubes.push_back({3, y, 0});
    }
    const ModelTable u = VoxelSurface(cubes, 1);
    ASSERT_EQ(CheckSphereTopology(u), "");
    const SphericalEmbedding embedding = EmbedOnSphere(u);
    ASSERT_EQ(embedding.error, "");
    ExpectTiling(u, embedding.directions);
}

// The conformal start, pinned per mesh: a sphere and a thick C (no point
// sees all of it) are mapped and pass the exact check without the fallback;
// long fingers squeezed below float resolution fall back to coarse to fine.
TEST(EmbedOnSphere, ConformalStartOrFallBack)
{
    struct Row {
        const char* name;
        ModelTable table;
        bool fellBack;
    };
    const Row rows[] = {{"icosphere 3", Icosphere(3, 2.0f), false},
                        {"thick C", ThickC(2), false},
                        {"long fingers", FingerComb(3, 40, 1), true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EmbedOptions options;
        options.method = EmbedMethod::Conformal;
        options.finalSweeps = 0;
        const SphericalEmbedding embedding = EmbedOnSphere(row.table, options);
        ASSERT_EQ(embedding.error, "");
        EXPECT_EQ(embedding.statistics.fellBack, row.fellBack);
        ExpectTiling(row.table, embedding.directions);
    }
}

}  // namespace
}  // namespace vorlane
