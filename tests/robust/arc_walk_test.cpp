#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "bench/mesh_generator.h"
#include "geometry/exact_predicates.h"
#include "geometry/model_catalogue.h"
#include "robust/arc_walk.h"
#include "robust/merge_meshes.h"
#include "robust/sphere_map_check.h"

namespace vorlane {
namespace {

struct Case {
    std::string name;
    Polyhedron from;
    Polyhedron over;
};

ModelTable Turned(ModelTable table, uint32_t seed)
{
    Rotate(table, seed);
    return table;
}

ModelTable Bumpy(ModelTable table, uint32_t seed)
{
    PerturbRadially(table, 0.3f, seed);
    return table;
}

// Generic pairs, and the catalogue's, whose vertices lie on each other's
// arcs and vertices and whose arcs run along each other's circles.
std::vector<Case> Cases()
{
    std::vector<Case> cases;
    auto add = [&](std::string name, const ModelTable& from, const ModelTable& over) {
        cases.push_back({std::move(name), BuildPolyhedron(from, {0, 0, 0}), BuildPolyhedron(over, {0, 0, 0})});
    };
    add("icosphere over cube-sphere", Icosphere(2, 40.0f), Turned(CubeSphere(4, 50.0f), 3));
    add("bumpy over bumpy", Bumpy(Icosphere(2, 40.0f), 5), Bumpy(Turned(CubeSphere(5, 50.0f), 7), 9));
    add("bipyramid over icosphere", Bipyramid(40, 30.0f), Icosphere(2, 40.0f));
    add("icosphere over bipyramid", Icosphere(2, 40.0f), Bipyramid(40, 30.0f));
    add("icosphere over itself", Icosphere(2, 40.0f), Icosphere(2, 40.0f));
    // Fans of 600 at the poles, searched by angle: walks leave them from
    // the other pole and along the cube's diagonal through one.
    add("wide bipyramid over its half-turned copy", Bipyramid(600, 30.0f), Bipyramid(600, 40.0f, 0.5));
    add("cube over wide bipyramid", CubeTable(), Bipyramid(600, 30.0f));
    add("turned icosphere over wide bipyramid", Turned(Icosphere(2, 40.0f), 3), Bipyramid(600, 30.0f));
    for (const CatalogueEntry& a : Catalogue()) {
        for (const CatalogueEntry& b : Catalogue()) cases.push_back({std::string(a.name) + " over " + b.name, a.build({0, 0, 0}), b.build({0, 0, 0})});
    }
    return cases;
}

bool SamePlace(const Location& a, const Location& b)
{
    return a.kind == b.kind && a.index == b.index;
}

// The definition the walk must meet: a proper crossing has each arc's ends
// strictly on opposite sides of the other's circle.
bool CrossesProperly(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d)
{
    const int sd = Orient3(a, b, d);
    return sd != 0 && Orient3(a, b, c) == -sd && Orient3(c, d, a) == sd && Orient3(c, d, b) == -sd;
}

// Strictly between a and b on their arc.
bool Inside(const Vec3& a, const Vec3& b, const Vec3& w)
{
    return !(w == a) && !(w == b) && Orient3(a, b, w) == 0 && TangentCosine(a, w, b) > 0 && TangentCosine(b, w, a) > 0;
}

// Every vertex placed by walking lies where a look at every triangle puts it.
TEST(ArcWalk, PlacesEveryVertexWhereBruteForceDoes)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(ValidateSphereCover(c.from), "");
        ASSERT_EQ(ValidateSphereCover(c.over), "");
        const WalkMesh from = MakeWalkMesh(c.from);
        const WalkMesh over = MakeWalkMesh(c.over);
        const std::vector<bool> used(c.from.vertices.size(), true);
        const std::vector<Location> placed = LocateVertices(from, used, over);
        for (size_t v = 0; v < c.from.vertices.size(); ++v) {
            Location expected;
            for (int32_t t = 0; t < static_cast<int32_t>(c.over.faces.size()); ++t) {
                if (LocateIn(over, t, c.from.vertices[v], expected)) break;
            }
            ASSERT_GE(expected.index, 0);
            EXPECT_TRUE(SamePlace(placed[v], expected)) << "vertex " << v;
        }
    }
}

// Each arc meets exactly the arcs it crosses properly and the vertices
// inside it, and meets them in order along it.
TEST(ArcWalk, MeetsExactlyWhatAllPairsFindInOrder)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const WalkMesh from = MakeWalkMesh(c.from);
        const WalkMesh over = MakeWalkMesh(c.over);
        const std::vector<Location> placed = LocateVertices(from, std::vector<bool>(c.from.vertices.size(), true), over);
        std::vector<int32_t> met;
        for (const IndexPair& arc : from.arcs) {
            const Vec3& a = from.Point(arc.from);
            const Vec3& b = from.Point(arc.to);
            Location end = placed[static_cast<size_t>(arc.to)];
            met.clear();
            WalkArc(over, a, b, placed[static_cast<size_t>(arc.from)], end, met);
            std::vector<bool> crossed(over.arcs.size(), false), passed(c.over.vertices.size(), false);
            std::vector<ArcEvent> events;
            for (const int32_t m : met) {
                if (m >= 0) {
                    const IndexPair& e = over.arcs[static_cast<size_t>(over.sideArc[static_cast<size_t>(m)])];
                    ASSERT_FALSE(crossed[static_cast<size_t>(over.sideArc[static_cast<size_t>(m)])]) << "an arc crossed twice";
                    crossed[static_cast<size_t>(over.sideArc[static_cast<size_t>(m)])] = true;
                    // The side is crossed from its start on the right to its end on the left.
                    EXPECT_LT(Orient3(a, b, over.Point(over.Corner(m))), 0);
                    events.push_back({false, over.Point(e.from), over.Point(e.to)});
                } else {
                    passed[static_cast<size_t>(~m)] = true;
                    events.push_back({true, over.Point(~m), {}});
                }
            }
            for (size_t k = 0; k < over.arcs.size(); ++k) {
                const bool expected = CrossesProperly(a, b, over.Point(over.arcs[k].from), over.Point(over.arcs[k].to));
                ASSERT_EQ(crossed[k], expected) << "arc (" << arc.from << ", " << arc.to << ") and (" << over.arcs[k].from << ", "
                                                << over.arcs[k].to << ")";
            }
            for (size_t w = 0; w < c.over.vertices.size(); ++w) {
                ASSERT_EQ(passed[w], Inside(a, b, c.over.vertices[w])) << "vertex " << w;
            }
            for (size_t k = 1; k < events.size(); ++k) ASSERT_GT(CompareAlongArc(a, b, events[k - 1], events[k]), 0) << k;
        }
    }
}

}  // namespace
}  // namespace vorlane
